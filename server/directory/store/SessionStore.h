#pragma once

// Connection ids: minted at each login, kept as digests, valid for the user until they have
// been idle for a long time or the user has logged in many times since.

#include <cstdint>
#include <string>
#include <string_view>

#include "store/StoreStatus.h"

namespace qv::dirsvc {

class Database;

class SessionStore {
  public:
    // A client keeps its id for as long as it runs, and requests queued before a re-login still
    // carry the previous one; so older ids stay valid beside the new one.
    static constexpr int kKeptPerUser = 8;
    static constexpr std::int64_t kIdleLifetime = 90LL * 24 * 3600;

    explicit SessionStore(Database& database) : database_(database) {}

    StoreStatus Create(std::int64_t userId, std::int64_t now, std::string& connectionId);
    // kOk with the user, kNotFound for an unknown, malformed or expired id.
    StoreStatus Find(std::string_view connectionId, std::int64_t now, std::int64_t& userId);

    // Ends every id of the user except keep (the one in use): after a password change the
    // old password's logins must not live on.
    StoreStatus RevokeOthers(std::int64_t userId, std::string_view keep);

  private:
    Database& database_;
};

}  // namespace qv::dirsvc
