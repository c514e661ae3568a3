#pragma once

// The Volume Control window: master, wave and microphone volume on vertical sliders (the top is
// loudest) and the microphone's on/off switch. Every move is written to the mixer at once; OK
// saves the levels into the settings. Without a mixer the window says so.

#include <QDialog>
#include <array>

#include "platform/Mixer.h"

class QCheckBox;
class QLabel;
class QSlider;

namespace qv {

class Options;

class CVolumeControlDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kMaxPosition = 65535;
    static constexpr int kTickInterval = 8192;
    static constexpr const char* kNoMixerText = "No sound mixer was found on this computer.";

    // options may be null (OK then saves nothing).
    CVolumeControlDialog(Mixer& mixer, Options* options, QWidget* parent = nullptr);

    QSlider* MasterSlider() const { return sliders_[0]; }
    QSlider* WaveSlider() const { return sliders_[1]; }
    QSlider* MicSlider() const { return sliders_[2]; }
    QCheckBox* MicOnOff() const { return micOnOff_; }
    QLabel* NoMixerLabel() const { return noMixer_; }

    // The slider position that shows a level, and the level a position writes.
    static int PositionOf(std::uint32_t level);
    static std::uint32_t LevelOf(int position);

    void accept() override;

  private:
    Mixer& mixer_;
    Options* options_;
    std::array<QSlider*, 3> sliders_{};
    QCheckBox* micOnOff_;
    QLabel* noMixer_;
};

// The menu's command: the window, modal over parent.
void OpenVolumeControl(Mixer& mixer, Options* options, QWidget* parent);

}  // namespace qv
