#include "security/LoginThrottle.h"

#include <algorithm>

#include "util/Clock.h"

namespace qv::dirsvc {

namespace {

// Asked to wait this long while another attempt for the same number is running.
constexpr std::int64_t kBusyWait = 1;

}  // namespace

std::int64_t LoginThrottle::Begin(std::int64_t number) {
    const std::int64_t now = clock_.Now();
    std::lock_guard lock(mutex_);
    if (entries_.size() >= policy_.maxTracked) {
        Sweep(now);
    }
    Entry& entry = entries_[number];
    if (entry.inFlight) {
        return kBusyWait;
    }
    if (entry.nextAllowed > now) {
        return entry.nextAllowed - now;
    }
    entry.inFlight = true;
    return 0;
}

void LoginThrottle::Finished(std::int64_t number, bool failed) {
    const std::int64_t now = clock_.Now();
    std::lock_guard lock(mutex_);
    auto it = entries_.find(number);
    if (it == entries_.end()) {
        return;
    }
    if (!failed) {
        entries_.erase(it);
        return;
    }
    Entry& entry = it->second;
    entry.inFlight = false;
    if (entry.failures > 0 && now - entry.lastFailure > policy_.forgetAfter) {
        entry.failures = 0;
    }
    entry.failures = std::min(entry.failures + 1, 1000);
    entry.lastFailure = now;
    const int over = entry.failures - policy_.freeFailures;
    if (over >= 0) {
        std::int64_t delay = policy_.firstDelay;
        for (int i = 0; i < over && delay < policy_.maxDelay; ++i) {
            delay *= 2;
        }
        entry.nextAllowed = now + std::min(delay, policy_.maxDelay);
    }
}

void LoginThrottle::Abandoned(std::int64_t number) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(number);
    if (it == entries_.end()) {
        return;
    }
    it->second.inFlight = false;
    if (it->second.failures == 0) {
        entries_.erase(it);
    }
}

void LoginThrottle::Sweep(std::int64_t now) {
    std::erase_if(entries_, [&](const auto& item) {
        const Entry& entry = item.second;
        return !entry.inFlight && entry.nextAllowed <= now &&
               now - entry.lastFailure > policy_.forgetAfter;
    });
    // Still full (a storm over many numbers): drop those that are not waiting.
    if (entries_.size() >= policy_.maxTracked) {
        std::erase_if(entries_, [&](const auto& item) {
            return !item.second.inFlight && item.second.nextAllowed <= now;
        });
    }
}

}  // namespace qv::dirsvc
