#include "pages/ReplayCache.h"

#include "security/Secrets.h"
#include "util/Clock.h"

namespace qv::dirsvc {

std::string ReplayCache::Key(std::string_view page, std::string_view query) {
    std::string whole(page);
    whole.push_back('?');
    whole.append(query);
    return secrets::Digest(whole);
}

std::optional<std::string> ReplayCache::Find(std::string_view page, std::string_view query) {
    const std::int64_t now = clock_.Now();
    std::lock_guard lock(mutex_);
    Expire(now);
    const auto it = entries_.find(Key(page, query));
    if (it == entries_.end()) {
        return std::nullopt;
    }
    return it->second.reply;
}

void ReplayCache::Store(std::string_view page, std::string_view query, std::string reply) {
    const std::int64_t now = clock_.Now();
    std::lock_guard lock(mutex_);
    Expire(now);
    std::string key = Key(page, query);
    if (entries_.count(key) != 0) {
        return;
    }
    while (entries_.size() >= kCapacity && !order_.empty()) {
        entries_.erase(order_.front());
        order_.pop_front();
    }
    entries_.emplace(key, Entry{std::move(reply), now});
    order_.push_back(std::move(key));
}

void ReplayCache::Expire(std::int64_t now) {
    while (!order_.empty()) {
        const auto it = entries_.find(order_.front());
        if (it != entries_.end() && now - it->second.stored <= kLifetime) {
            break;
        }
        if (it != entries_.end()) {
            entries_.erase(it);
        }
        order_.pop_front();
    }
}

}  // namespace qv::dirsvc
