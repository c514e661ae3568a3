#pragma once

// The system tick count: milliseconds on a monotonic clock, as a 32-bit value that wraps about
// every 49.7 days. Injected wherever time matters so tests can drive it.

#include <atomic>
#include <cstdint>

namespace qv {

class TickClock {
  public:
    virtual ~TickClock() = default;
    virtual std::uint32_t Now() const = 0;
};

class SteadyTickClock final : public TickClock {
  public:
    std::uint32_t Now() const override;
};

// A clock that moves only when told to.
class ManualTickClock final : public TickClock {
  public:
    explicit ManualTickClock(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t Now() const override { return now_.load(); }
    void Set(std::uint32_t now) { now_.store(now); }
    void Advance(std::uint32_t ms) { now_.fetch_add(ms); }

  private:
    std::atomic<std::uint32_t> now_;
};

}  // namespace qv
