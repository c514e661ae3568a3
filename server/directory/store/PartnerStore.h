#pragma once

// Partner data: the parameter set of each partner number with its version, and the version of
// the partner list that logins report.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "store/StoreStatus.h"

namespace qv::dirsvc {

class Database;

struct PartnerParams {
    std::int64_t version = 0;
    // In the order they are sent; Version itself is not among them.
    std::vector<std::pair<std::string, std::string>> values;
};

class PartnerStore {
  public:
    explicit PartnerStore(Database& database) : database_(database) {}

    // kNotFound for a partner without a parameter set.
    StoreStatus Params(std::int64_t partnerId, PartnerParams& params);
    StoreStatus ParamsVersion(std::int64_t partnerId, std::int64_t& version);
    StoreStatus PartnerListVersion(std::int64_t& version);

  private:
    Database& database_;
};

}  // namespace qv::dirsvc
