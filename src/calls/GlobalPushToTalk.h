#pragma once

// The global push-to-talk key: registered with the chosen mechanism while both PushToTalk and
// GlobalPushToTalk are on, for the combination GlobalPushToTalkMap stores. Its presses reach the
// active-call pane as talk-start and talk-stop: through the tap and hold timing, or directly
// where the desktop reports press and release of a key it binds itself.

#include <cstdint>
#include <functional>
#include <string>

#include "calls/GlobalTalkTimer.h"

namespace qv {

class GlobalHotKey;
class TimerScheduler;

class GlobalPushToTalk {
  public:
    GlobalPushToTalk(GlobalHotKey& key, TimerScheduler& scheduler, std::function<void()> talkStart,
                     std::function<void()> talkStop);
    ~GlobalPushToTalk();
    GlobalPushToTalk(const GlobalPushToTalk&) = delete;
    GlobalPushToTalk& operator=(const GlobalPushToTalk&) = delete;

    // Whenever one of the three settings changes, and when the main window is created.
    void Refresh(bool pushToTalk, bool globalPushToTalk, std::uint32_t combination);
    // Unregisters (the main window goes).
    void Stop();

    bool Registered() const;
    // What the options page shows: the mechanism and whether the key works, or why not.
    std::string StatusText() const;

  private:
    GlobalHotKey& key_;
    GlobalTalkTimer timer_;
    std::function<void()> talkStart_;
    std::function<void()> talkStop_;
    std::string status_;
};

}  // namespace qv
