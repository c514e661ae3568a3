#include "ui/CVolumeControlDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/Options.h"

namespace qv {

namespace {

constexpr MixerControl kSliderControls[3] = {MixerControl::MasterVolume, MixerControl::WaveVolume,
                                             MixerControl::MicVolume};
constexpr const char* kCaptions[3] = {"Master Volume Control", "Wave Volume Control",
                                      "Microphone Volume Control"};

}  // namespace

int CVolumeControlDialog::PositionOf(std::uint32_t level) {
    // A full control reads 65536: the slider's top.
    const std::int64_t position = std::int64_t{kMaxPosition} - std::int64_t{level};
    return static_cast<int>(std::clamp<std::int64_t>(position, 0, kMaxPosition));
}

std::uint32_t CVolumeControlDialog::LevelOf(int position) {
    return static_cast<std::uint32_t>(kMaxPosition - std::clamp(position, 0, kMaxPosition));
}

CVolumeControlDialog::CVolumeControlDialog(Mixer& mixer, Options* options, QWidget* parent)
    : QDialog(parent),
      mixer_(mixer),
      options_(options),
      micOnOff_(new QCheckBox("Mic On/Off Control", this)),
      noMixer_(new QLabel(kNoMixerText, this)) {
    setObjectName("VolumeControl");
    setWindowTitle("Volume Control");
    auto* grid = new QGridLayout;
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        auto* caption = new QLabel(kCaptions[i], this);
        caption->setAlignment(Qt::AlignHCenter);
        caption->setWordWrap(true);
        auto* slider = new QSlider(Qt::Vertical, this);
        slider->setObjectName(QString("slider%1").arg(i));
        slider->setRange(0, kMaxPosition);
        // Position 0 at the top: the top is loudest, and Up moves towards it.
        slider->setInvertedAppearance(true);
        slider->setInvertedControls(true);
        slider->setTickInterval(kTickInterval);
        slider->setTickPosition(QSlider::TicksBothSides);
        slider->setSingleStep(kTickInterval / 8);
        slider->setPageStep(kTickInterval);
        slider->setMinimumHeight(140);
        const std::uint32_t level = mixer_.GetLevel(kSliderControls[i]);
        const bool exists = level != kMixerNotFound;
        any = any || exists;
        slider->setEnabled(exists);
        slider->setValue(exists ? PositionOf(level) : kMaxPosition);
        const MixerControl control = kSliderControls[i];
        connect(slider, &QSlider::valueChanged, this,
                [this, control](int position) { mixer_.SetLevel(control, LevelOf(position)); });
        sliders_[static_cast<std::size_t>(i)] = slider;
        grid->addWidget(caption, 0, i);
        grid->addWidget(slider, 1, i, Qt::AlignHCenter);
        grid->setColumnMinimumWidth(i, 110);
    }
    const std::uint32_t onOff = mixer_.GetLevel(MixerControl::MicOnOff);
    micOnOff_->setEnabled(onOff != kMixerNotFound);
    micOnOff_->setChecked(onOff != kMixerNotFound && onOff != 0);
    any = any || onOff != kMixerNotFound;
    connect(micOnOff_, &QCheckBox::toggled, this,
            [this](bool on) { mixer_.SetLevel(MixerControl::MicOnOff, on ? 1 : 0); });
    noMixer_->setObjectName("noMixer");
    noMixer_->setVisible(!any);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(noMixer_);
    layout->addLayout(grid);
    layout->addWidget(micOnOff_, 0, Qt::AlignHCenter);
    layout->addWidget(buttons);
}

void CVolumeControlDialog::accept() {
    if (options_ != nullptr) {
        options_->SetMicVolume(static_cast<int>(LevelOf(MicSlider()->value())));
        options_->SetWaveVolume(static_cast<int>(LevelOf(WaveSlider()->value())));
        options_->SetMasterVolume(static_cast<int>(LevelOf(MasterSlider()->value())));
        options_->SetMicOnOff(micOnOff_->isChecked() ? 1 : 0);
    }
    QDialog::accept();
}

void OpenVolumeControl(Mixer& mixer, Options* options, QWidget* parent) {
    CVolumeControlDialog dialog(mixer, options, parent);
    dialog.exec();
}

}  // namespace qv
