#include "store/SqliteConnection.h"

#include <sqlite3.h>

namespace qv::dirsvc {

namespace {

constexpr int kBusyTimeoutMs = 5000;

}  // namespace

std::unique_ptr<SqliteConnection> SqliteConnection::Open(const std::string& path,
                                                         std::string& error) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return nullptr;
    }
    auto connection = std::make_unique<SqliteConnection>(db);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    // FULL: a commit the service has answered for (a new account's number, a new password)
    // survives a power cut.
    if (!connection->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
                          "PRAGMA foreign_keys=ON;")) {
        error = connection->LastError();
        return nullptr;
    }
    return connection;
}

SqliteConnection::~SqliteConnection() {
    for (auto& [sql, statement] : cache_) {
        sqlite3_finalize(statement);
    }
    sqlite3_close(db_);
}

SqliteStatement SqliteConnection::Prepare(std::string_view sql) {
    auto it = cache_.find(std::string(sql));
    if (it != cache_.end()) {
        return SqliteStatement(it->second);
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return SqliteStatement(nullptr);
    }
    cache_.emplace(std::string(sql), statement);
    return SqliteStatement(statement);
}

bool SqliteConnection::Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::int64_t SqliteConnection::LastInsertRowId() const {
    return sqlite3_last_insert_rowid(db_);
}

int SqliteConnection::Changes() const {
    return sqlite3_changes(db_);
}

std::string SqliteConnection::LastError() const {
    return sqlite3_errmsg(db_);
}

bool SqliteConnection::LastWasConstraint() const {
    return (sqlite3_extended_errcode(db_) & 0xFF) == SQLITE_CONSTRAINT;
}

}  // namespace qv::dirsvc
