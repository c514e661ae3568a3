#pragma once

// Counts a session's frames over a sliding window cut into small buckets, so that a session
// costs a few dozen bytes however fast it sends.

#include <array>
#include <chrono>
#include <cstdint>

namespace qv::voicesvc {

class FloodMeter {
  public:
    using Clock = std::chrono::steady_clock;

    // More than framesPerSecond * window frames within window is a flood.
    FloodMeter(int framesPerSecond, std::chrono::milliseconds window);

    // Counts one frame; true when the window now holds too many.
    bool Count(Clock::time_point now);

  private:
    static constexpr std::size_t kBuckets = 20;
    std::array<std::uint32_t, kBuckets> counts_{};
    std::int64_t bucketMs_;
    std::int64_t lastBucket_ = -1;
    std::uint64_t total_ = 0;
    std::uint64_t limit_;
};

}  // namespace qv::voicesvc
