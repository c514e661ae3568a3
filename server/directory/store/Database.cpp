#include "store/Database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/Schema.h"

namespace qv::dirsvc {

namespace {

// Idle connections kept beyond this are closed (the pool grows with the worker threads).
constexpr size_t kMaxIdle = 32;

}  // namespace

Database::Lease::~Lease() {
    if (connection_ != nullptr && owner_ != nullptr) {
        owner_->Return(std::move(connection_));
    }
}

std::unique_ptr<Database> Database::Open(const std::string& path, std::string& error) {
    // Password hashes and connection digests live here: 0600, and SQLite gives its -wal and
    // -shm files the database's mode. A file made before this rule is tightened too.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        ::chmod((path + suffix).c_str(), 0600);
    }
    auto connection = SqliteConnection::Open(path, error);
    if (connection == nullptr) {
        return nullptr;
    }
    if (!Schema::Apply(*connection, error)) {
        return nullptr;
    }
    auto database = std::make_unique<Database>(path);
    database->Return(std::move(connection));
    return database;
}

Database::Lease Database::Acquire() {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto connection = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(connection));
        }
    }
    std::string error;
    return Lease(*this, SqliteConnection::Open(path_, error));
}

void Database::Return(std::unique_ptr<SqliteConnection> connection) {
    std::lock_guard lock(mutex_);
    if (idle_.size() < kMaxIdle) {
        idle_.push_back(std::move(connection));
    }
}

}  // namespace qv::dirsvc
