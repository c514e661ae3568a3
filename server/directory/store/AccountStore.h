#pragma once

// Accounts over SQLite: creation with a service-assigned Quorvane Number, lookups, profile and
// password changes. Every statement is parameterised.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/Account.h"
#include "store/StoreStatus.h"

namespace qv::dirsvc {

class Database;

class AccountStore {
  public:
    // Runs before the transaction commits with the new number; false rolls everything back.
    // Not for mail: a mail goes out only after the commit, so it never names a lost account.
    using BeforeCommit = std::function<bool(std::int64_t number)>;

    explicit AccountStore(Database& database) : database_(database) {}

    // kOk with the number in id, kConflict (nickname taken), kFull, kAborted or kError.
    StoreStatus Create(const NewAccount& account, std::int64_t now,
                       const BeforeCommit& beforeCommit, std::int64_t& id);
    // Adds many accounts in one transaction (test and benchmark data); numbers are assigned in
    // order from the next free one.
    StoreStatus Import(const std::vector<NewAccount>& accounts, std::int64_t now);

    // Removes an account created moments ago whose mail could not be sent. Its number is never
    // assigned again (AUTOINCREMENT).
    StoreStatus Discard(std::int64_t id);

    StoreStatus Find(std::int64_t id, Account& account);
    // kConflict when a new nickname is taken by another account.
    StoreStatus Update(std::int64_t id, const ProfileChange& change);
    // Replaces the password hash when it still is expected (a concurrent change wins).
    StoreStatus ReplacePasswordHash(std::int64_t id, const std::string& expected,
                                    const std::string& hash);
    // Stores a password to be mailed beside the current one, in one step with the check that
    // none was stored in the last minInterval seconds (kConflict then), so parallel requests
    // cannot both pass it. The caller mails after this commits.
    StoreStatus SetResetPassword(std::int64_t id, const std::string& hash, std::int64_t expires,
                                 std::int64_t mailed, std::int64_t minInterval);
    // Takes back a stored reset whose mail could not be sent, when it still is expected.
    StoreStatus WithdrawResetPassword(std::int64_t id, const std::string& expected);
    // Makes the mailed password the password, when it still is expected.
    StoreStatus PromoteResetPassword(std::int64_t id, const std::string& expected);

  private:
    Database& database_;
};

}  // namespace qv::dirsvc
