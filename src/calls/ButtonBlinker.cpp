#include "calls/ButtonBlinker.h"

#include "app/TimerScheduler.h"

namespace qv {

ButtonBlinker::ButtonBlinker(TimerScheduler* scheduler, std::function<void(bool)> paint,
                             std::uint32_t periodMs)
    : scheduler_(scheduler), paint_(std::move(paint)), periodMs_(periodMs) {}

ButtonBlinker::~ButtonBlinker() {
    if (scheduler_ != nullptr && entry_ != 0) {
        scheduler_->Remove(entry_);
    }
}

void ButtonBlinker::Start() {
    if (scheduler_ == nullptr || entry_ != 0) {
        return;
    }
    entry_ = scheduler_->Add(
        [this](const std::string&, std::uintptr_t) {
            lit_ = !lit_;
            paint_(lit_);
        },
        0, periodMs_, TimerScheduler::kRepeat);
    // Lit at once, so that a call that rings is seen before the first period is over.
    lit_ = true;
    paint_(lit_);
}

void ButtonBlinker::Stop() {
    if (entry_ != 0) {
        scheduler_->Remove(entry_);
        entry_ = 0;
    }
    lit_ = false;
    paint_(false);
}

}  // namespace qv
