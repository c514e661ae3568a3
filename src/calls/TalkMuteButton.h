#pragma once

// The Talk/Mute button of the active-call pane in its two modes. Voice-activated: "Mute" toggles
// the microphone and stays pushed while muted. Push-to-talk: "Talk" in red, pushed while the
// user talks; talk-start opens and talk-stop closes the microphone. Plain rules: the pane draws
// what Look gives and hands the button's and the keys' events here.

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

struct TalkMuteLook {
    std::string caption;
    std::string tooltip;
    // Push-to-talk draws the caption in captionColour (0x00BBGGRR); otherwise the normal colours.
    bool redCaption = false;
    std::uint32_t captionColour = 0;
    bool pushed = false;
};

class TalkMuteButton {
  public:
    static constexpr std::uint32_t kRed = 0x0000FF;

    struct Engine {
        // true closes the microphone.
        std::function<void(bool mute)> setTalk;
        // Told the mode whenever the button is updated.
        std::function<void(bool on)> setPushToTalk;
    };

    explicit TalkMuteButton(Engine engine) : engine_(std::move(engine)) {}

    // The mode may have changed (setting, forum, new record): the engine hears the mode, and
    // leaving push-to-talk while talking releases the talk state.
    void Update(bool pushToTalkMode);
    // Voice-activated click: toggles the muted flag. Ignored in push-to-talk mode.
    void Click();
    // hasRecord: the pane shows a call or forum; enabled: the button may be used.
    void TalkStart(bool hasRecord, bool enabled);
    void TalkStop(bool hasRecord);
    // A new record is shown: talking stops (the microphone closes in push-to-talk mode) and the
    // muted flag goes.
    void Release();

    TalkMuteLook Look() const;
    bool PushToTalkMode() const { return pushToTalk_; }
    bool Muted() const { return muted_; }
    bool Talking() const { return talking_; }

  private:
    Engine engine_;
    bool pushToTalk_ = false;
    bool muted_ = false;
    bool talking_ = false;
};

}  // namespace qv
