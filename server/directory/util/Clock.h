#pragma once

// Wall-clock time in whole seconds since 1970, injected so that tests can move it by hand.

#include <atomic>
#include <cstdint>

namespace qv::dirsvc {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::int64_t Now() const = 0;
};

class SystemClock final : public Clock {
  public:
    std::int64_t Now() const override;
};

// A clock that moves only when told to; safe to read from the server's threads.
class ManualClock final : public Clock {
  public:
    explicit ManualClock(std::int64_t start = 1700000000) : now_(start) {}
    std::int64_t Now() const override { return now_.load(); }
    void Advance(std::int64_t seconds) { now_.fetch_add(seconds); }

  private:
    std::atomic<std::int64_t> now_;
};

}  // namespace qv::dirsvc
