#include "store/SessionStore.h"

#include <cctype>

#include "security/Secrets.h"
#include "store/Database.h"
#include "store/SqliteTransaction.h"

namespace qv::dirsvc {

namespace {

using Step = SqliteStatement::Step;

constexpr size_t kIdLength = 32;
// last_used is refreshed at most this often, so lookups rarely write.
constexpr std::int64_t kTouchInterval = 3600;

// The id in lower case, or empty when it is not 32 hexadecimal digits.
std::string Normalised(std::string_view id) {
    if (id.size() != kIdLength) {
        return {};
    }
    std::string lower;
    lower.reserve(kIdLength);
    for (const char c : id) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
            return {};
        }
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return lower;
}

}  // namespace

StoreStatus SessionStore::Create(std::int64_t userId, std::int64_t now, std::string& connectionId) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return StoreStatus::kError;
    }
    const std::string id = secrets::NewConnectionId();
    {
        auto insert = connection->Prepare(
            "INSERT INTO sessions(token_digest, user_id, created, last_used) "
            "VALUES (?1, ?2, ?3, ?3)");
        if (!insert.BindBlob(1, secrets::Digest(id)).Bind(2, userId).Bind(3, now).Run()) {
            return StoreStatus::kError;
        }
    }
    {
        auto prune = connection->Prepare(
            "DELETE FROM sessions WHERE user_id = ?1 AND seq NOT IN "
            "(SELECT seq FROM sessions WHERE user_id = ?1 ORDER BY seq DESC LIMIT ?2)");
        if (!prune.Bind(1, userId).Bind(2, std::int64_t{kKeptPerUser}).Run()) {
            return StoreStatus::kError;
        }
    }
    if (!transaction.Commit()) {
        return StoreStatus::kError;
    }
    connectionId = id;
    return StoreStatus::kOk;
}

StoreStatus SessionStore::Find(std::string_view connectionId, std::int64_t now,
                               std::int64_t& userId) {
    const std::string id = Normalised(connectionId);
    if (id.empty()) {
        return StoreStatus::kNotFound;
    }
    const std::string digest = secrets::Digest(id);
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    std::int64_t user = 0;
    std::int64_t lastUsed = 0;
    {
        auto select =
            connection->Prepare("SELECT user_id, last_used FROM sessions WHERE token_digest = ?1");
        select.BindBlob(1, digest);
        switch (select.Next()) {
            case Step::kDone:
                return StoreStatus::kNotFound;
            case Step::kError:
                return StoreStatus::kError;
            case Step::kRow:
                user = select.Int(0);
                lastUsed = select.Int(1);
                break;
        }
    }
    if (now - lastUsed > kIdleLifetime) {
        auto expire = connection->Prepare("DELETE FROM sessions WHERE token_digest = ?1");
        expire.BindBlob(1, digest).Run();
        return StoreStatus::kNotFound;
    }
    if (now - lastUsed >= kTouchInterval) {
        auto touch =
            connection->Prepare("UPDATE sessions SET last_used = ?2 WHERE token_digest = ?1");
        touch.BindBlob(1, digest).Bind(2, now).Run();
    }
    userId = user;
    return StoreStatus::kOk;
}

}  // namespace qv::dirsvc

namespace qv::dirsvc {

StoreStatus SessionStore::RevokeOthers(std::int64_t userId, std::string_view keep) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto revoke =
        connection->Prepare("DELETE FROM sessions WHERE user_id = ?1 AND token_digest != ?2");
    if (!revoke.Bind(1, userId).BindBlob(2, secrets::Digest(Normalised(keep))).Run()) {
        return StoreStatus::kError;
    }
    return StoreStatus::kOk;
}

}  // namespace qv::dirsvc
