#include "store/Schema.h"

#include "store/PartnerDefaults.h"
#include "store/SqliteConnection.h"
#include "store/SqliteTransaction.h"

namespace qv::dirsvc {

namespace {

constexpr std::int64_t kVersion = Schema::kCurrentVersion;

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

// Contact lists, block lists and the partner list with its forum rules. The lists' versions
// live in accounts (contact_list_ver, block_list_ver) and service_state (partner_list_ver).
// seq columns keep the order rows were added in.
constexpr const char* kVersion2 = R"sql(
CREATE TABLE contact_groups (
    id INTEGER PRIMARY KEY,
    owner INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    UNIQUE (owner, name)
);
CREATE TABLE contacts (
    seq INTEGER PRIMARY KEY,
    owner INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    contact INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    group_id INTEGER NOT NULL REFERENCES contact_groups(id) ON DELETE CASCADE,
    UNIQUE (owner, contact)
);
CREATE INDEX contacts_by_group ON contacts(group_id, seq);
CREATE INDEX contacts_by_contact ON contacts(contact);
CREATE TABLE blocks (
    seq INTEGER PRIMARY KEY,
    owner INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    blocked INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    UNIQUE (owner, blocked)
);
CREATE INDEX blocks_by_blocked ON blocks(blocked);
CREATE TABLE partners (
    partner_id INTEGER PRIMARY KEY,
    name TEXT NOT NULL
);
CREATE TABLE partner_sites (
    partner_id INTEGER NOT NULL REFERENCES partners(partner_id) ON DELETE CASCADE,
    base_domain TEXT NOT NULL COLLATE NOCASE,
    position INTEGER NOT NULL,
    rule_version INTEGER NOT NULL,
    PRIMARY KEY (partner_id, base_domain)
);
CREATE TABLE partner_forum_rules (
    partner_id INTEGER NOT NULL,
    base_domain TEXT NOT NULL COLLATE NOCASE,
    position INTEGER NOT NULL,
    pattern TEXT NOT NULL,
    parameters TEXT NOT NULL,
    PRIMARY KEY (partner_id, base_domain, position),
    FOREIGN KEY (partner_id, base_domain) REFERENCES partner_sites(partner_id, base_domain)
        ON DELETE CASCADE
);
CREATE TABLE partner_sites_retired (
    partner_id INTEGER NOT NULL,
    base_domain TEXT NOT NULL COLLATE NOCASE,
    rule_version INTEGER NOT NULL,
    PRIMARY KEY (partner_id, base_domain)
);
)sql";

// Messages kept for users who were offline, each with its sender, time, type, subject, flags and
// read state; seq keeps the order they came in.
constexpr const char* kVersion3 = R"sql(
CREATE TABLE stored_messages (
    seq INTEGER PRIMARY KEY,
    recipient INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    sender INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    sent_at INTEGER NOT NULL,
    type TEXT NOT NULL,
    subject TEXT NOT NULL,
    flags INTEGER NOT NULL,
    body TEXT NOT NULL,
    read INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX stored_messages_by_recipient ON stored_messages(recipient, seq);
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
    return Upgrade(connection, kVersion, error);
}

bool Schema::Upgrade(SqliteConnection& connection, std::int64_t target, std::string& error) {
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
    if (version >= target) {
        return true;
    }
    // Each step keeps what the earlier ones hold; all of them commit together or not at all.
    bool done = true;
    if (version < 1) {
        done = CreateVersion1(connection) && connection.Exec("PRAGMA user_version = 1");
    }
    if (done && version < 2 && target >= 2) {
        done = connection.Exec(kVersion2) && connection.Exec("PRAGMA user_version = 2");
    }
    if (done && version < 3 && target >= 3) {
        done = connection.Exec(kVersion3) && connection.Exec("PRAGMA user_version = 3");
    }
    if (!done || !transaction.Commit()) {
        error = connection.LastError();
        return false;
    }
    return true;
}

}  // namespace qv::dirsvc
