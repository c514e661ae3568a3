#include "security/LoginThrottle.h"

#include <algorithm>

#include "security/SourceAddress.h"
#include "util/Clock.h"

namespace qv::dirsvc {

namespace {

// Asked to wait this long while another attempt for the same pair is running.
constexpr std::int64_t kBusyWait = 1;

}  // namespace

std::string LoginThrottle::PairKey(std::int64_t number, std::string_view address) {
    return std::to_string(number) + " " + SourceKey(address);
}

std::int64_t LoginThrottle::Begin(std::int64_t number, std::string_view address) {
    const std::int64_t now = clock_.Now();
    const std::string key = PairKey(number, address);
    std::lock_guard lock(mutex_);
    if (pairs_.size() >= policy_.maxTracked) {
        Sweep(pairs_, now);
    }
    if (numbers_.size() >= policy_.maxTracked) {
        Sweep(numbers_, now);
    }
    Entry& pair = pairs_[key];
    if (pair.inFlight) {
        return kBusyWait;
    }
    std::int64_t wait = pair.nextAllowed - now;
    if (auto it = numbers_.find(number); it != numbers_.end()) {
        wait = std::max(wait, it->second.nextAllowed - now);
    }
    if (wait > 0) {
        return wait;
    }
    pair.inFlight = true;
    return 0;
}

void LoginThrottle::Fail(Entry& entry, std::int64_t now, int freeFailures,
                         std::int64_t maxDelay) const {
    if (entry.failures > 0 && now - entry.lastFailure > policy_.forgetAfter) {
        entry.failures = 0;
    }
    entry.failures = std::min(entry.failures + 1, 1000000);
    entry.lastFailure = now;
    const int over = entry.failures - freeFailures;
    if (over >= 0) {
        std::int64_t delay = policy_.firstDelay;
        for (int i = 0; i < over && delay < maxDelay; ++i) {
            delay *= 2;
        }
        entry.nextAllowed = now + std::min(delay, maxDelay);
    }
}

void LoginThrottle::Finished(std::int64_t number, std::string_view address, bool failed) {
    const std::int64_t now = clock_.Now();
    std::lock_guard lock(mutex_);
    auto it = pairs_.find(PairKey(number, address));
    if (it == pairs_.end()) {
        return;
    }
    if (!failed) {
        // The number's own count stays: one success must not reset a guessing storm's bound.
        pairs_.erase(it);
        return;
    }
    it->second.inFlight = false;
    Fail(it->second, now, policy_.freeFailures, policy_.maxDelay);
    Fail(numbers_[number], now, policy_.numberFreeFailures, policy_.numberMaxDelay);
}

void LoginThrottle::Abandoned(std::int64_t number, std::string_view address) {
    std::lock_guard lock(mutex_);
    auto it = pairs_.find(PairKey(number, address));
    if (it == pairs_.end()) {
        return;
    }
    it->second.inFlight = false;
    if (it->second.failures == 0) {
        pairs_.erase(it);
    }
}

template <typename Key>
void LoginThrottle::Sweep(Table<Key>& table, std::int64_t now) const {
    std::erase_if(table, [&](const auto& item) {
        const Entry& entry = item.second;
        return !entry.inFlight && entry.nextAllowed <= now &&
               now - entry.lastFailure > policy_.forgetAfter;
    });
    // Still full (a storm over many numbers): drop those that are not waiting.
    if (table.size() >= policy_.maxTracked) {
        std::erase_if(table, [&](const auto& item) {
            return !item.second.inFlight && item.second.nextAllowed <= now;
        });
    }
}

}  // namespace qv::dirsvc
