#pragma once

// The nonces of the voice tickets already used, each kept until its ticket expires, so that a
// ticket logs in once. Bounded: when it is full of live nonces a new one is not taken.

#include <cstddef>
#include <cstdint>
#include <queue>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qv::voicesvc {

class TicketReplayCache {
  public:
    enum class Result { kFresh, kReplayed, kFull };

    explicit TicketReplayCache(std::size_t capacity) : capacity_(capacity) {}

    // now and expires in Unix seconds.
    Result Remember(const std::string& nonce, std::int64_t expires, std::int64_t now);
    std::size_t Size() const { return nonces_.size(); }

  private:
    using Entry = std::pair<std::int64_t, std::string>;

    std::size_t capacity_;
    std::unordered_set<std::string> nonces_;
    // Soonest expiry on top.
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> byExpiry_;
};

}  // namespace qv::voicesvc
