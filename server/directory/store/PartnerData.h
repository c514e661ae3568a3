#pragma once

// The partner list and its forum rules as the operator sets them and the client reads them.
// Text is 8-bit bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace qv::dirsvc {

struct ForumRule {
    std::string pattern;     // a regular expression the client matches against page addresses
    std::string parameters;  // key=value&key=value
};

struct PartnerSite {
    std::string baseDomain;  // compared without regard to ASCII case
    std::int64_t ruleVersion = 0;
    std::vector<ForumRule> rules;  // in order
};

struct Partner {
    std::int64_t id = 0;
    std::string name;
    std::vector<PartnerSite> sites;  // in order
};

// What a seed file sets: partners replaced whole, and partners removed.
struct PartnerSeed {
    std::vector<Partner> partners;
    std::vector<std::int64_t> removed;
};

}  // namespace qv::dirsvc
