#pragma once

// The clock the devices pace themselves by. The real one is CLOCK_MONOTONIC, the clock every
// engine on the machine shares (so mouth-to-ear is measured without clock sync); tests inject a
// clock that jumps instead of sleeping, so a pipeline runs as fast as it computes.

#include <cstdint>
#include <memory>

namespace qv::audio {

class MonotonicClock {
  public:
    virtual ~MonotonicClock() = default;
    virtual std::int64_t NowNs() const = 0;
    // Returns at deadlineNs or later (at once when it has passed).
    virtual void SleepUntil(std::int64_t deadlineNs) = 0;
};

// CLOCK_MONOTONIC and clock_nanosleep.
std::shared_ptr<MonotonicClock> SystemMonotonicClock();
// Monotonic time now, for stamping arrivals on other threads.
std::int64_t MonotonicNowNs();

}  // namespace qv::audio
