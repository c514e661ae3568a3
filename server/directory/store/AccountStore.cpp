#include "store/AccountStore.h"

#include "store/Database.h"
#include "store/Schema.h"
#include "store/SqliteTransaction.h"

namespace qv::dirsvc {

namespace {

using Step = SqliteStatement::Step;

constexpr const char* kInsert =
    "INSERT INTO accounts(nickname, password_hash, first_name, last_name, email, company, "
    "comment, hide_email, subscribe, partner_id, created) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)";

constexpr const char* kSelect =
    "SELECT nickname, first_name, last_name, email, company, comment, address1, address2, city, "
    "state, zip, country, tele_home, tele_office, fax, cell, pager, home_page, hide_email, "
    "subscribe, password_hash, reset_hash, reset_expires, reset_mailed, partner_id, "
    "contact_list_ver, block_list_ver FROM accounts WHERE id = ?1";

// The profile's text fields in the column order of kSelect.
std::string Profile::*const kProfileText[] = {
    &Profile::nickName, &Profile::firstName,  &Profile::lastName, &Profile::email1,
    &Profile::company,  &Profile::comment,    &Profile::address1, &Profile::address2,
    &Profile::city,     &Profile::state,      &Profile::zip,      &Profile::country,
    &Profile::teleHome, &Profile::teleOffice, &Profile::fax,      &Profile::cell,
    &Profile::pager,    &Profile::homePage,
};

// kOk, or the failure of one insert.
StoreStatus InsertOne(SqliteConnection& connection, const NewAccount& account, std::int64_t now,
                      std::int64_t& id) {
    const Profile& p = account.profile;
    auto insert = connection.Prepare(kInsert);
    insert.Bind(1, p.nickName)
        .Bind(2, account.passwordHash)
        .Bind(3, p.firstName)
        .Bind(4, p.lastName)
        .Bind(5, p.email1)
        .Bind(6, p.company)
        .Bind(7, p.comment)
        .Bind(8, std::int64_t{p.hideEmail ? 1 : 0})
        .Bind(9, std::int64_t{p.subscribeToMails ? 1 : 0})
        .Bind(10, std::int64_t{account.partnerId})
        .Bind(11, now);
    if (!insert.Run()) {
        return connection.LastWasConstraint() ? StoreStatus::kConflict : StoreStatus::kError;
    }
    id = connection.LastInsertRowId();
    return id > Schema::kLastNumber ? StoreStatus::kFull : StoreStatus::kOk;
}

void BindOptional(SqliteStatement& statement, int index, const std::optional<std::string>& value) {
    if (value) {
        statement.Bind(index, *value);
    } else {
        statement.BindNull(index);
    }
}

void BindOptional(SqliteStatement& statement, int index, const std::optional<bool>& value) {
    if (value) {
        statement.Bind(index, std::int64_t{*value ? 1 : 0});
    } else {
        statement.BindNull(index);
    }
}

}  // namespace

StoreStatus AccountStore::Create(const NewAccount& account, std::int64_t now,
                                 const BeforeCommit& beforeCommit, std::int64_t& id) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return StoreStatus::kError;
    }
    std::int64_t number = 0;
    const StoreStatus inserted = InsertOne(*connection, account, now, number);
    if (inserted != StoreStatus::kOk) {
        return inserted;
    }
    if (beforeCommit && !beforeCommit(number)) {
        return StoreStatus::kAborted;
    }
    if (!transaction.Commit()) {
        return StoreStatus::kError;
    }
    id = number;
    return StoreStatus::kOk;
}

StoreStatus AccountStore::Import(const std::vector<NewAccount>& accounts, std::int64_t now) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return StoreStatus::kError;
    }
    for (const NewAccount& account : accounts) {
        std::int64_t number = 0;
        const StoreStatus inserted = InsertOne(*connection, account, now, number);
        if (inserted != StoreStatus::kOk) {
            return inserted;
        }
    }
    return transaction.Commit() ? StoreStatus::kOk : StoreStatus::kError;
}

StoreStatus AccountStore::Discard(std::int64_t id) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto remove = connection->Prepare("DELETE FROM accounts WHERE id = ?1");
    if (!remove.Bind(1, id).Run()) {
        return StoreStatus::kError;
    }
    return connection->Changes() == 1 ? StoreStatus::kOk : StoreStatus::kNotFound;
}

StoreStatus AccountStore::Find(std::int64_t id, Account& account) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto select = connection->Prepare(kSelect);
    select.Bind(1, id);
    switch (select.Next()) {
        case Step::kDone:
            return StoreStatus::kNotFound;
        case Step::kError:
            return StoreStatus::kError;
        case Step::kRow:
            break;
    }
    Account found;
    found.id = id;
    int column = 0;
    for (std::string Profile::*field : kProfileText) {
        found.profile.*field = select.Text(column++);
    }
    found.profile.hideEmail = select.Int(column++) != 0;
    found.profile.subscribeToMails = select.Int(column++) != 0;
    found.passwordHash = select.Text(column++);
    found.resetHash = select.Text(column++);
    found.resetExpires = select.Int(column++);
    found.resetMailed = select.Int(column++);
    found.partnerId = static_cast<int>(select.Int(column++));
    found.contactListVer = select.Int(column++);
    found.blockListVer = select.Int(column++);
    account = std::move(found);
    return StoreStatus::kOk;
}

StoreStatus AccountStore::Update(std::int64_t id, const ProfileChange& change) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    // A new password also withdraws a mailed one.
    auto update = connection->Prepare(
        "UPDATE accounts SET nickname = COALESCE(?2, nickname), email = COALESCE(?3, email), "
        "hide_email = COALESCE(?4, hide_email), subscribe = COALESCE(?5, subscribe), "
        "first_name = COALESCE(?6, first_name), last_name = COALESCE(?7, last_name), "
        "password_hash = COALESCE(?8, password_hash), "
        "reset_hash = CASE WHEN ?8 IS NULL THEN reset_hash ELSE NULL END, "
        "company = COALESCE(?9, company), comment = COALESCE(?10, comment) WHERE id = ?1");
    update.Bind(1, id);
    BindOptional(update, 2, change.nickName);
    BindOptional(update, 3, change.email1);
    BindOptional(update, 4, change.hideEmail);
    BindOptional(update, 5, change.subscribeToMails);
    BindOptional(update, 6, change.firstName);
    BindOptional(update, 7, change.lastName);
    BindOptional(update, 8, change.passwordHash);
    BindOptional(update, 9, change.company);
    BindOptional(update, 10, change.comment);
    if (!update.Run()) {
        return connection->LastWasConstraint() ? StoreStatus::kConflict : StoreStatus::kError;
    }
    return connection->Changes() == 1 ? StoreStatus::kOk : StoreStatus::kNotFound;
}

StoreStatus AccountStore::ReplacePasswordHash(std::int64_t id, const std::string& expected,
                                              const std::string& hash) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto update = connection->Prepare(
        "UPDATE accounts SET password_hash = ?3 WHERE id = ?1 AND password_hash = ?2");
    if (!update.Bind(1, id).Bind(2, expected).Bind(3, hash).Run()) {
        return StoreStatus::kError;
    }
    return connection->Changes() == 1 ? StoreStatus::kOk : StoreStatus::kNotFound;
}

StoreStatus AccountStore::SetResetPassword(std::int64_t id, const std::string& hash,
                                           std::int64_t expires, std::int64_t mailed,
                                           std::int64_t minInterval) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    // One statement: the interval check and the write cannot be split by another request. A
    // stamp in the future (the clock was set back) does not block for ever.
    auto update = connection->Prepare(
        "UPDATE accounts SET reset_hash = ?2, reset_expires = ?3, reset_mailed = ?4 "
        "WHERE id = ?1 AND (reset_mailed = 0 OR reset_mailed <= ?4 - ?5 OR reset_mailed > ?4)");
    if (!update.Bind(1, id)
             .Bind(2, hash)
             .Bind(3, expires)
             .Bind(4, mailed)
             .Bind(5, minInterval)
             .Run()) {
        return StoreStatus::kError;
    }
    if (connection->Changes() == 1) {
        return StoreStatus::kOk;
    }
    auto exists = connection->Prepare("SELECT 1 FROM accounts WHERE id = ?1");
    exists.Bind(1, id);
    switch (exists.Next()) {
        case Step::kRow:
            return StoreStatus::kConflict;
        case Step::kDone:
            return StoreStatus::kNotFound;
        case Step::kError:
            break;
    }
    return StoreStatus::kError;
}

StoreStatus AccountStore::WithdrawResetPassword(std::int64_t id, const std::string& expected) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto update = connection->Prepare(
        "UPDATE accounts SET reset_hash = NULL, reset_expires = 0, reset_mailed = 0 "
        "WHERE id = ?1 AND reset_hash = ?2");
    if (!update.Bind(1, id).Bind(2, expected).Run()) {
        return StoreStatus::kError;
    }
    return connection->Changes() == 1 ? StoreStatus::kOk : StoreStatus::kNotFound;
}

StoreStatus AccountStore::PromoteResetPassword(std::int64_t id, const std::string& expected) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto update = connection->Prepare(
        "UPDATE accounts SET password_hash = reset_hash, reset_hash = NULL, reset_expires = 0 "
        "WHERE id = ?1 AND reset_hash = ?2");
    if (!update.Bind(1, id).Bind(2, expected).Run()) {
        return StoreStatus::kError;
    }
    return connection->Changes() == 1 ? StoreStatus::kOk : StoreStatus::kNotFound;
}

}  // namespace qv::dirsvc
