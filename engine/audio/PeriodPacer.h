#pragma once

// Real-time pacing for devices with no hardware clock (the file and null devices): period k of
// 10 ms ends at epoch + (k + 1) x 10 ms on the monotonic clock. A thread that fell far behind
// skips to now instead of racing to catch up.

#include <cstdint>
#include <memory>

#include "MonotonicClock.h"

namespace qv::audio {

class PeriodPacer {
  public:
    static constexpr std::int64_t kPeriodNs = 10'000'000;
    static constexpr std::int64_t kMaxBehindNs = 500'000'000;

    explicit PeriodPacer(std::shared_ptr<MonotonicClock> clock) : clock_(std::move(clock)) {}

    // Starts the timeline at the first call; later calls (after a pause) resume at the period
    // now in progress. Returns that period's index.
    std::int64_t Resume() {
        const std::int64_t now = clock_->NowNs();
        if (!started_) {
            started_ = true;
            epochNs_ = now;
        }
        next_ = (now - epochNs_) / kPeriodNs;
        return next_;
    }

    // Waits for the end of the next period and returns its index.
    std::int64_t Next() {
        std::int64_t end = PeriodEndNs(next_);
        const std::int64_t now = clock_->NowNs();
        if (now - end > kMaxBehindNs) {
            next_ = (now - epochNs_) / kPeriodNs;
            end = PeriodEndNs(next_);
        }
        clock_->SleepUntil(end);
        return next_++;
    }

    std::int64_t EpochNs() const { return epochNs_; }
    std::int64_t PeriodEndNs(std::int64_t k) const { return epochNs_ + (k + 1) * kPeriodNs; }

  private:
    std::shared_ptr<MonotonicClock> clock_;
    bool started_ = false;
    std::int64_t epochNs_ = 0;
    std::int64_t next_ = 0;
};

}  // namespace qv::audio
