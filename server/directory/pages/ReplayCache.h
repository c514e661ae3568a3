#pragma once

// Remembers the replies of pages that must not act twice. The client sends a request again when
// its first attempt seemed to fail (connection lost, empty answer), so the same query can arrive
// twice after the service has already acted on it; it then gets the first reply again. Kept in
// memory only, for a short time.

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qv::dirsvc {

class Clock;

class ReplayCache {
  public:
    static constexpr std::int64_t kLifetime = 120;
    static constexpr size_t kCapacity = 1024;

    explicit ReplayCache(const Clock& clock) : clock_(clock) {}

    // The reply stored for exactly this page and query, while it is fresh.
    std::optional<std::string> Find(std::string_view page, std::string_view query);
    void Store(std::string_view page, std::string_view query, std::string reply);

  private:
    struct Entry {
        std::string reply;
        std::int64_t stored;
    };

    static std::string Key(std::string_view page, std::string_view query);
    void Expire(std::int64_t now);

    const Clock& clock_;
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    std::deque<std::string> order_;  // oldest first
};

}  // namespace qv::dirsvc
