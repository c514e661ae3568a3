#pragma once

// The parameter set of partner 1 (the service's own customers) written into a new database: the
// client rebuilds its customization file from the complete set whenever the version changes.

namespace qv::dirsvc {

class SqliteConnection;

class PartnerDefaults {
  public:
    static constexpr int kPartner = 1;
    static constexpr int kVersion = 1;

    // Writes the set inside the caller's transaction.
    static bool Seed(SqliteConnection& connection);
};

}  // namespace qv::dirsvc
