#include "security/RateLimiter.h"

#include <algorithm>
#include <iterator>

#include "util/Clock.h"

namespace qv::dirsvc {

void RateLimiter::Refill(Bucket& bucket, std::int64_t now) const {
    const std::int64_t refill = std::max<std::int64_t>(policy_.refillSeconds, 1);
    if (now < bucket.updated) {
        bucket.updated = now;  // the clock went back
    }
    const std::int64_t earned = (now - bucket.updated) / refill;
    if (bucket.tokens + earned >= policy_.burst) {
        bucket.tokens = policy_.burst;
        bucket.updated = now;
    } else {
        bucket.tokens += earned;
        bucket.updated += earned * refill;
    }
}

bool RateLimiter::Take(const std::string& key) {
    const std::int64_t now = clock_.Now();
    std::lock_guard lock(mutex_);
    auto it = buckets_.find(key);
    if (it == buckets_.end()) {
        if (buckets_.size() >= policy_.maxTracked) {
            // A full bucket is the same as none.
            for (auto b = buckets_.begin(); b != buckets_.end();) {
                Refill(b->second, now);
                b = b->second.tokens >= policy_.burst ? buckets_.erase(b) : std::next(b);
            }
            if (buckets_.size() >= policy_.maxTracked) {
                return false;
            }
        }
        it = buckets_.emplace(key, Bucket{policy_.burst, now}).first;
    }
    Bucket& bucket = it->second;
    Refill(bucket, now);
    if (bucket.tokens <= 0) {
        return false;
    }
    --bucket.tokens;
    return true;
}

}  // namespace qv::dirsvc
