#pragma once

// The program's own keys while one of its windows has the focus: Ctrl+P picks up, Ctrl+Alt+T
// switches push-to-talk, Ctrl+M sends an instant message, Ctrl+H hangs up, Ctrl+O holds or
// switches (not while a call rings) and Ctrl alone talks while it is held. Keys are told by the
// scan codes of the standard layout (KeyNames.h maps key symbols to them).

#include <cstdint>

namespace qv {

class LocalKeyTarget {
  public:
    virtual ~LocalKeyTarget() = default;
    virtual void PickUp() = 0;
    virtual void TogglePushToTalk() = 0;
    virtual void SendInstantMessage() = 0;
    virtual void HangUp() = 0;
    virtual void HoldOrSwitch() = 0;
    virtual bool IsRinging() const = 0;
    virtual void TalkStart() = 0;
    virtual void TalkStop() = 0;
};

struct LocalKeyEvent {
    std::uint32_t keysym = 0;
    bool down = true;
    bool autoRepeat = false;
    bool ctrl = false;
    bool alt = false;
};

class LocalKeys {
  public:
    explicit LocalKeys(LocalKeyTarget& target) : target_(target) {}
    // True when the key was handled and is to be swallowed.
    bool OnKey(const LocalKeyEvent& event);

  private:
    LocalKeyTarget& target_;
};

}  // namespace qv
