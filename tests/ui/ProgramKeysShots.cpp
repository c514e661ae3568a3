// Pictures of the Volume Control window (with a mixer and without), the remap dialog and the
// Talk/Mute button in both modes, for a person to look at: qv_program_keys_shots OUTPUT_FOLDER
// (run under Xvfb or offscreen).

#include <QApplication>
#include <QPushButton>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "app/TimerScheduler.h"
#include "calls/CallRecord.h"
#include "calls/KeyNames.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "ui/CActiveCallPane.h"
#include "ui/CRemapKeyDialog.h"
#include "ui/CVolumeControlDialog.h"

namespace {

using namespace qv;

bool Save(QWidget& widget, const std::string& folder, const std::string& name) {
    widget.show();
    QApplication::processEvents();
    const std::string path = folder + "/" + name;
    const bool ok = widget.grab().save(QString::fromStdString(path));
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", path.c_str(), widget.width(),
                widget.height());
    return ok;
}

class LevelsMixer final : public Mixer {
  public:
    std::uint32_t GetLevel(MixerControl c) override { return levels[c]; }
    void SetLevel(MixerControl c, std::uint32_t level) override { levels[c] = level; }
    std::string ControlName(MixerControl) override { return "Master"; }
    std::map<MixerControl, std::uint32_t> levels{{MixerControl::MasterVolume, 52000},
                                                 {MixerControl::WaveVolume, 40000},
                                                 {MixerControl::MicVolume, 20000},
                                                 {MixerControl::MicOnOff, 1}};
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_program_keys_shots OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;
    {
        LevelsMixer mixer;
        CVolumeControlDialog dialog(mixer, nullptr);
        ok = Save(dialog, folder, "volume-control.png") && ok;
    }
    {
        auto mixer = MakeNullMixer();
        CVolumeControlDialog dialog(*mixer, nullptr);
        ok = Save(dialog, folder, "volume-control-no-mixer.png") && ok;
    }
    {
        CRemapKeyDialog dialog(key_combo::kDefault, nullptr);
        ok = Save(dialog, folder, "remap-key.png") && ok;
    }
    {
        ManualTickClock clock(1000);
        TimerScheduler scheduler(clock);
        CallPaneParts parts;
        parts.scheduler = &scheduler;
        parts.clock = &clock;
        bool pushToTalk = false;
        parts.pushToTalk = [&] { return pushToTalk; };
        CallRecord call;
        call.userId = "200";
        call.nickname = "Bob";
        call.connected = true;
        call.participants = {{"100", "Alice", 1}, {"200", "Bob", 1}};
        CActiveCallPane pane(parts);
        pane.resize(200, 220);
        pane.ShowActive(&call);
        pane.TalkButton()->click();
        ok = Save(pane, folder, "talk-button-muted.png") && ok;
        pushToTalk = true;
        pane.UpdateTalkButton();
        ok = Save(pane, folder, "talk-button-push-to-talk.png") && ok;
        pane.TalkStart();
        ok = Save(pane, folder, "talk-button-talking.png") && ok;
    }
    return ok ? 0 : 1;
}
