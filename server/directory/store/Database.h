#pragma once

// The service's SQLite file: schema on first open, then a pool of connections that the server's
// threads borrow one at a time (WAL lets readers run beside the one writer).

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/SqliteConnection.h"

namespace qv::dirsvc {

class Database {
  public:
    // A borrowed connection, handed back when the lease ends. Empty when no connection could be
    // opened.
    class Lease {
      public:
        Lease(Database& owner, std::unique_ptr<SqliteConnection> connection)
            : owner_(&owner), connection_(std::move(connection)) {}
        ~Lease();
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        explicit operator bool() const { return connection_ != nullptr; }
        SqliteConnection& operator*() const { return *connection_; }
        SqliteConnection* operator->() const { return connection_.get(); }

      private:
        Database* owner_;
        std::unique_ptr<SqliteConnection> connection_;
    };

    // Opens (creating when needed) the file and brings its schema up to date. Null with a
    // message in error on failure.
    static std::unique_ptr<Database> Open(const std::string& path, std::string& error);

    explicit Database(std::string path) : path_(std::move(path)) {}

    Lease Acquire();

  private:
    void Return(std::unique_ptr<SqliteConnection> connection);

    std::string path_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<SqliteConnection>> idle_;
};

}  // namespace qv::dirsvc
