#pragma once

// One prepared statement, borrowed from its connection's cache. Reset and unbound when the
// borrower is done, so the next user starts clean.

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace qv::dirsvc {

class SqliteStatement {
  public:
    enum class Step { kRow, kDone, kError };

    explicit SqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // False when the statement could not be prepared; every call below then fails harmlessly.
    bool Valid() const { return statement_ != nullptr; }

    // Parameters count from 1. Text is bound as raw bytes (8-bit, no conversion).
    SqliteStatement& Bind(int index, std::string_view text);
    SqliteStatement& Bind(int index, std::int64_t value);
    SqliteStatement& BindBlob(int index, std::string_view bytes);
    SqliteStatement& BindNull(int index);

    Step Next();
    // Runs a statement that returns no rows; true when it completed.
    bool Run() { return Next() == Step::kDone; }

    // Columns count from 0.
    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    bool IsNull(int column) const;

  private:
    sqlite3_stmt* statement_;
    bool bindFailed_ = false;
};

}  // namespace qv::dirsvc
