#pragma once

// The operator's partner file (--partners): the partners, their sites and the sites' forum rules
// as text, one item a line. The format is in the README.

#include <cstddef>
#include <string>
#include <string_view>

#include "store/PartnerData.h"

namespace qv::dirsvc {

class PartnerSeedFile {
  public:
    static constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;
    static constexpr size_t kMaxPartners = 1000;  // partner and remove lines together
    static constexpr size_t kMaxRulesPerSite = 256;
    static constexpr size_t kMaxName = 31;       // the client keeps 31 bytes
    static constexpr size_t kMaxDomain = 255;    // the client keeps 255 bytes
    static constexpr size_t kMaxRuleText = 255;  // pattern and parameters, each

    // False with "line N: what is wrong" in error; seed is then left as it was.
    static bool Parse(std::string_view text, PartnerSeed& seed, std::string& error);
    static bool Load(const std::string& path, PartnerSeed& seed, std::string& error);
};

}  // namespace qv::dirsvc
