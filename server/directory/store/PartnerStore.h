#pragma once

// Partner data: the parameter set of each partner number with its version, the partner list
// with its sites and forum rules, and the version of the partner list that logins report.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/PartnerData.h"
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

    // Bounds on the whole list, so its reply stays small (every login may fetch it).
    static constexpr size_t kMaxSites = 2000;

    // In one transaction: each partner of the seed replaces the stored one of its id (name,
    // sites, rules), each removed id goes. A site keeps its rule version while its rules stay the
    // same and gets 1 more when they change; a new site starts at 1, a site that was removed
    // earlier at 1 above its last version (a client may still hold that one). When anything the
    // client sees changed, the partner-list version goes up by 1; changed tells whether it did.
    // kFull (and nothing changed) when the list would hold more than kMaxSites sites.
    StoreStatus Replace(const PartnerSeed& seed, bool& changed);
    // Every partner in id order with its sites (rules left empty).
    StoreStatus List(std::vector<Partner>& partners);
    // The rules of one site; kNotFound for an unknown partner or site.
    StoreStatus ForumRules(std::int64_t partnerId, std::string_view baseDomain,
                           std::vector<ForumRule>& rules);

  private:
    Database& database_;
};

}  // namespace qv::dirsvc
