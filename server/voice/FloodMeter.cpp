#include "FloodMeter.h"

#include <algorithm>

namespace qv::voicesvc {

FloodMeter::FloodMeter(int framesPerSecond, std::chrono::milliseconds window)
    : bucketMs_(std::max<std::int64_t>(1, window.count() / static_cast<std::int64_t>(kBuckets))),
      limit_(static_cast<std::uint64_t>(std::max(1, framesPerSecond)) *
             static_cast<std::uint64_t>(std::max<std::int64_t>(1, window.count())) / 1000) {}

bool FloodMeter::Count(Clock::time_point now) {
    const std::int64_t ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::int64_t bucket = ms / bucketMs_;
    if (lastBucket_ < 0 || bucket - lastBucket_ >= static_cast<std::int64_t>(kBuckets)) {
        counts_.fill(0);
        total_ = 0;
    } else {
        // Empty the buckets that slid out of the window since the last frame.
        for (std::int64_t b = lastBucket_ + 1; b <= bucket; ++b) {
            std::uint32_t& slot = counts_[static_cast<std::size_t>(b) % kBuckets];
            total_ -= slot;
            slot = 0;
        }
    }
    if (bucket > lastBucket_) {
        lastBucket_ = bucket;
    }
    ++counts_[static_cast<std::size_t>(lastBucket_) % kBuckets];
    ++total_;
    return total_ > limit_;
}

}  // namespace qv::voicesvc
