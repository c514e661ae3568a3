#include "store/Schema.h"

#include "store/PartnerDefaults.h"
#include "store/SqliteConnection.h"
#include "store/SqliteTransaction.h"

namespace qv::dirsvc {

namespace {

constexpr std::int64_t kVersion = 1;

// Text columns hold the client's 8-bit bytes unchanged; the nickname's NOCASE collation makes
// "Bob" and "bob" the same nickname.
constexpr const char* kVersion1 = R"sql(
CREATE TABLE accounts (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    nickname TEXT NOT NULL COLLATE NOCASE UNIQUE,
    password_hash TEXT NOT NULL,
    reset_hash TEXT,
    reset_expires INTEGER NOT NULL DEFAULT 0,
    reset_mailed INTEGER NOT NULL DEFAULT 0,
    first_name TEXT NOT NULL DEFAULT '',
    last_name TEXT NOT NULL DEFAULT '',
    email TEXT NOT NULL DEFAULT '',
    company TEXT NOT NULL DEFAULT '',
    comment TEXT NOT NULL DEFAULT '',
    address1 TEXT NOT NULL DEFAULT '',
    address2 TEXT NOT NULL DEFAULT '',
    city TEXT NOT NULL DEFAULT '',
    state TEXT NOT NULL DEFAULT '',
    zip TEXT NOT NULL DEFAULT '',
    country TEXT NOT NULL DEFAULT '',
    tele_home TEXT NOT NULL DEFAULT '',
    tele_office TEXT NOT NULL DEFAULT '',
    fax TEXT NOT NULL DEFAULT '',
    cell TEXT NOT NULL DEFAULT '',
    pager TEXT NOT NULL DEFAULT '',
    home_page TEXT NOT NULL DEFAULT '',
    hide_email INTEGER NOT NULL DEFAULT 0,
    subscribe INTEGER NOT NULL DEFAULT 0,
    partner_id INTEGER NOT NULL DEFAULT 1,
    contact_list_ver INTEGER NOT NULL DEFAULT 0,
    block_list_ver INTEGER NOT NULL DEFAULT 0,
    created INTEGER NOT NULL
);
CREATE TABLE sessions (
    seq INTEGER PRIMARY KEY,
    token_digest BLOB NOT NULL UNIQUE,
    user_id INTEGER NOT NULL REFERENCES accounts(id),
    created INTEGER NOT NULL,
    last_used INTEGER NOT NULL
);
CREATE INDEX sessions_by_user ON sessions(user_id, seq);
CREATE TABLE partner_params (
    partner_id INTEGER PRIMARY KEY,
    version INTEGER NOT NULL
);
CREATE TABLE partner_param_values (
    partner_id INTEGER NOT NULL REFERENCES partner_params(partner_id),
    position INTEGER NOT NULL,
    key TEXT NOT NULL,
    value TEXT NOT NULL,
    PRIMARY KEY (partner_id, position)
);
CREATE TABLE service_state (
    key TEXT PRIMARY KEY,
    value INTEGER NOT NULL
);
INSERT INTO service_state(key, value) VALUES ('partner_list_ver', 0);
)sql";

bool CreateVersion1(SqliteConnection& connection) {
    if (!connection.Exec(kVersion1)) {
        return false;
    }
    // The first AUTOINCREMENT value is one above the sequence's stored value.
    auto sequence = connection.Prepare("INSERT INTO sqlite_sequence(name, seq) VALUES (?1, ?2)");
    if (!sequence.Bind(1, std::string_view("accounts")).Bind(2, Schema::kFirstNumber - 1).Run()) {
        return false;
    }
    return PartnerDefaults::Seed(connection);
}

}  // namespace

bool Schema::Apply(SqliteConnection& connection, std::string& error) {
    SqliteTransaction transaction(connection);
    if (!transaction.Started()) {
        error = connection.LastError();
        return false;
    }
    std::int64_t version = 0;
    {
        auto query = connection.Prepare("PRAGMA user_version");
        if (query.Next() != SqliteStatement::Step::kRow) {
            error = connection.LastError();
            return false;
        }
        version = query.Int(0);
    }
    if (version > kVersion) {
        error = "the database was written by a newer version of the service";
        return false;
    }
    if (version == kVersion) {
        return true;
    }
    if (!CreateVersion1(connection) || !connection.Exec("PRAGMA user_version = 1") ||
        !transaction.Commit()) {
        error = connection.LastError();
        return false;
    }
    return true;
}

}  // namespace qv::dirsvc
