#pragma once

// One SQLite connection in WAL mode with a cache of prepared statements. Used by one thread at a
// time (the database's pool hands it out).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "store/SqliteStatement.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qv::dirsvc {

class SqliteConnection {
  public:
    // Null with a message in error when the file cannot be opened or configured.
    static std::unique_ptr<SqliteConnection> Open(const std::string& path, std::string& error);
    // Takes ownership of an open handle.
    explicit SqliteConnection(sqlite3* db) : db_(db) {}
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // A statement from the cache (prepared on first use). Check Valid() when the text may be
    // wrong; the built-in statements are tested.
    SqliteStatement Prepare(std::string_view sql);
    // Runs one or more statements without results (schema, pragmas, BEGIN/COMMIT).
    bool Exec(const char* sql);

    std::int64_t LastInsertRowId() const;
    int Changes() const;
    std::string LastError() const;
    // True when the last failure was a constraint violation (a unique key taken).
    bool LastWasConstraint() const;

  private:
    sqlite3* db_;
    std::unordered_map<std::string, sqlite3_stmt*> cache_;
};

}  // namespace qv::dirsvc
