#pragma once

// The database layout, versioned with PRAGMA user_version; an older file is upgraded in place.

#include <cstdint>
#include <string>

namespace qv::dirsvc {

class SqliteConnection;

class Schema {
  public:
    // Quorvane Numbers are handed out from here upwards; the client keeps them in 32 bits.
    static constexpr std::int64_t kFirstNumber = 1000000;
    static constexpr std::int64_t kLastNumber = 2147483647;

    // Creates or upgrades the schema in one transaction. False with a message on failure (also
    // when the file was written by a newer version of the service).
    static bool Apply(SqliteConnection& connection, std::string& error);
    // The same, stopping at target (tests make an older database with it).
    static bool Upgrade(SqliteConnection& connection, std::int64_t target, std::string& error);

    static constexpr std::int64_t kCurrentVersion = 3;
};

}  // namespace qv::dirsvc
