#pragma once

// A monotonic clock that jumps to every deadline instead of sleeping: a device paced by it runs
// faster than real time, and the test reads the time it has reached.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "MonotonicClock.h"

namespace qv::audio::testing {

class FakeClock final : public MonotonicClock {
  public:
    explicit FakeClock(std::int64_t startNs = 1'000'000'000) : now_(startNs) {}
    std::int64_t NowNs() const override { return now_.load(); }
    void SleepUntil(std::int64_t deadlineNs) override {
        std::int64_t now = now_.load();
        while (now < deadlineNs && !now_.compare_exchange_weak(now, deadlineNs)) {
        }
        // At most some twenty times real time, so what the test thread does between two
        // checks (loading a sound, a call into the engine) stays short on this clock too.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    void Advance(std::int64_t ns) { now_.fetch_add(ns); }

  private:
    std::atomic<std::int64_t> now_;
};

// Waits (in real time, up to a generous bound) until condition holds; its result.
inline bool WaitUntil(const std::function<bool()>& condition, int maxMs = 30000) {
    for (int i = 0; i < maxMs; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

}  // namespace qv::audio::testing
