#pragma once

namespace qv::dirsvc {

class SqliteConnection;

// BEGIN IMMEDIATE ... COMMIT; rolled back unless committed.
class SqliteTransaction {
  public:
    explicit SqliteTransaction(SqliteConnection& connection);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool Started() const { return started_; }
    bool Commit();

  private:
    SqliteConnection& connection_;
    bool started_;
    bool done_ = false;
};

}  // namespace qv::dirsvc
