#include "TicketReplayCache.h"

namespace qv::voicesvc {

TicketReplayCache::Result TicketReplayCache::Remember(const std::string& nonce,
                                                      std::int64_t expires, std::int64_t now) {
    while (!byExpiry_.empty() && byExpiry_.top().first < now) {
        nonces_.erase(byExpiry_.top().second);
        byExpiry_.pop();
    }
    if (nonces_.count(nonce) != 0) {
        return Result::kReplayed;
    }
    if (nonces_.size() >= capacity_) {
        return Result::kFull;
    }
    nonces_.insert(nonce);
    byExpiry_.emplace(expires, nonce);
    return Result::kFresh;
}

}  // namespace qv::voicesvc
