#include "MonotonicClock.h"

#include <time.h>

#include <cerrno>

namespace qv::audio {

namespace {

class SystemClock final : public MonotonicClock {
  public:
    std::int64_t NowNs() const override { return MonotonicNowNs(); }

    void SleepUntil(std::int64_t deadlineNs) override {
        timespec at{};
        at.tv_sec = static_cast<time_t>(deadlineNs / 1'000'000'000);
        at.tv_nsec = static_cast<long>(deadlineNs % 1'000'000'000);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
    }
};

}  // namespace

std::int64_t MonotonicNowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::shared_ptr<MonotonicClock> SystemMonotonicClock() {
    return std::make_shared<SystemClock>();
}

}  // namespace qv::audio
