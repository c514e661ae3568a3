#pragma once

// A token bucket per key (a caller's address): burst uses at once, then one more each
// refillSeconds. The table is bounded; while it is full of active keys a new key is refused,
// so a flood of addresses costs the flood, not the table.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qv::dirsvc {

class Clock;

class RateLimiter {
  public:
    struct Policy {
        int burst = 10;
        std::int64_t refillSeconds = 360;
        size_t maxTracked = 100000;
    };

    RateLimiter(const Clock& clock, Policy policy) : clock_(clock), policy_(policy) {}

    // True, with one use spent, when the key has one left.
    bool Take(const std::string& key);

  private:
    struct Bucket {
        std::int64_t tokens = 0;
        std::int64_t updated = 0;
    };

    void Refill(Bucket& bucket, std::int64_t now) const;

    const Clock& clock_;
    Policy policy_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};

}  // namespace qv::dirsvc
