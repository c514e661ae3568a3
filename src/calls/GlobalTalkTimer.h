#pragma once

// How long the global push-to-talk key transmits. Every press (the key's auto-repeat included)
// starts talking and arms a one-shot job: 1000 ms when none is armed, 250 ms when one is. When
// the job fires, talking stops, unless the key is still known to be down (a mechanism that reports
// the release but no repeats): then it waits another 250 ms. So a tap talks about a second and a
// held key until about a quarter second after it is let go.

#include <cstdint>
#include <functional>

namespace qv {

class TimerScheduler;

class GlobalTalkTimer {
  public:
    static constexpr std::uint32_t kFirstMs = 1000;
    static constexpr std::uint32_t kRepeatMs = 250;

    GlobalTalkTimer(TimerScheduler& scheduler, std::function<void()> talkStart,
                    std::function<void()> talkStop);
    ~GlobalTalkTimer();
    GlobalTalkTimer(const GlobalTalkTimer&) = delete;
    GlobalTalkTimer& operator=(const GlobalTalkTimer&) = delete;

    void Press();
    void Release();
    // Stops at once (the key was unregistered).
    void Cancel();
    bool Armed() const { return entry_ != 0; }

  private:
    void Arm(std::uint32_t ms);
    void Fired();

    TimerScheduler& scheduler_;
    std::function<void()> talkStart_;
    std::function<void()> talkStop_;
    std::uint32_t entry_ = 0;
    bool down_ = false;
};

}  // namespace qv
