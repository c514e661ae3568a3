#include "calls/GlobalTalkTimer.h"

#include "app/TimerScheduler.h"

namespace qv {

GlobalTalkTimer::GlobalTalkTimer(TimerScheduler& scheduler, std::function<void()> talkStart,
                                 std::function<void()> talkStop)
    : scheduler_(scheduler), talkStart_(std::move(talkStart)), talkStop_(std::move(talkStop)) {}

GlobalTalkTimer::~GlobalTalkTimer() {
    scheduler_.Remove(entry_);
}

void GlobalTalkTimer::Arm(std::uint32_t ms) {
    scheduler_.Remove(entry_);
    entry_ = scheduler_.Add([this](const std::string&, std::uintptr_t) { Fired(); }, 0, ms,
                            TimerScheduler::kOnce);
}

void GlobalTalkTimer::Press() {
    down_ = true;
    if (talkStart_) {
        talkStart_();
    }
    Arm(entry_ == 0 ? kFirstMs : kRepeatMs);
}

void GlobalTalkTimer::Release() {
    down_ = false;
}

void GlobalTalkTimer::Cancel() {
    down_ = false;
    if (entry_ != 0) {
        scheduler_.Remove(entry_);
        entry_ = 0;
        if (talkStop_) {
            talkStop_();
        }
    }
}

void GlobalTalkTimer::Fired() {
    // A one-shot entry is gone once it ran.
    entry_ = 0;
    if (down_) {
        Arm(kRepeatMs);
        return;
    }
    if (talkStop_) {
        talkStop_();
    }
}

}  // namespace qv
