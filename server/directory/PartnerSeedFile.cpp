#include "PartnerSeedFile.h"

#include <fstream>
#include <set>

#include "store/PartnerStore.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

// No control bytes, DEL or the reply separator 0xFF: the text goes into replies as one item.
bool IsItemText(std::string_view text, size_t minLength, size_t maxLength) {
    if (text.size() < minLength || text.size() > maxLength) {
        return false;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte == 0xFF) {
            return false;
        }
    }
    return true;
}

// A host name as the client reduces addresses to: letters, digits, '-' and '.'. It travels
// unencoded in GetPartnerForums, so nothing that could end or split a query.
bool IsDomain(std::string_view text) {
    if (text.empty() || text.size() > PartnerSeedFile::kMaxDomain) {
        return false;
    }
    for (const char c : text) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool PartnerSeedFile::Parse(std::string_view text, PartnerSeed& seed, std::string& error) {
    PartnerSeed parsed;
    std::set<std::int64_t> named;
    size_t sites = 0;
    size_t lineNumber = 0;
    const auto fail = [&](const std::string& message) {
        error = "line " + std::to_string(lineNumber) + ": " + message;
        return false;
    };
    bool inPartner = false;
    bool inSite = false;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (text::Trim(line).empty() || line.front() == '#') {
            continue;
        }
        const size_t space = line.find(' ');
        const std::string_view keyword = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (keyword == "partner" || keyword == "remove") {
            const std::string_view idText = rest.substr(0, rest.find(' '));
            const auto id = text::Number(idText, 0, 65535);
            if (!id) {
                return fail("a partner number is 0 to 65535");
            }
            if (!named.insert(*id).second) {
                return fail("partner " + std::to_string(*id) + " is named twice");
            }
            if (named.size() > kMaxPartners) {
                return fail("more than " + std::to_string(kMaxPartners) + " partners");
            }
            inSite = false;
            inPartner = keyword == "partner";
            if (keyword == "remove") {
                if (idText.size() != rest.size()) {
                    return fail("remove takes only a partner number");
                }
                parsed.removed.push_back(*id);
                continue;
            }
            const std::string_view name =
                text::Trim(idText.size() < rest.size() ? rest.substr(idText.size() + 1) : "");
            if (!IsItemText(name, 1, kMaxName)) {
                return fail("a partner name is 1 to 31 bytes without control characters");
            }
            parsed.partners.push_back({*id, std::string(name), {}});
        } else if (keyword == "site") {
            if (!inPartner) {
                return fail("a site belongs to a partner line before it");
            }
            if (!IsDomain(rest)) {
                return fail("a site is a domain of letters, digits, '-' and '.' (at most 255)");
            }
            Partner& partner = parsed.partners.back();
            for (const PartnerSite& site : partner.sites) {
                if (text::EqualsIgnoringCase(site.baseDomain, rest)) {
                    return fail("site " + std::string(rest) + " is named twice");
                }
            }
            if (++sites > PartnerStore::kMaxSites) {
                return fail("more than " + std::to_string(PartnerStore::kMaxSites) + " sites");
            }
            partner.sites.push_back({std::string(rest), 0, {}});
            inSite = true;
        } else if (keyword == "rule") {
            if (!inSite) {
                return fail("a rule belongs to a site line before it");
            }
            const size_t tab = rest.find('\t');
            if (tab == std::string_view::npos) {
                return fail("a rule is a pattern, a tab and the parameters");
            }
            const std::string_view pattern = rest.substr(0, tab);
            const std::string_view parameters = rest.substr(tab + 1);
            if (!IsItemText(pattern, 1, kMaxRuleText) || !IsItemText(parameters, 0, kMaxRuleText)) {
                return fail(
                    "a rule's pattern (1 to 255 bytes) and parameters (at most 255) may not hold "
                    "control characters");
            }
            std::vector<ForumRule>& rules = parsed.partners.back().sites.back().rules;
            if (rules.size() >= kMaxRulesPerSite) {
                return fail("more than " + std::to_string(kMaxRulesPerSite) + " rules for a site");
            }
            rules.push_back({std::string(pattern), std::string(parameters)});
        } else {
            return fail("unknown line '" + std::string(keyword.substr(0, 32)) +
                        "' (partner, site, rule, remove or # comment)");
        }
    }
    seed = std::move(parsed);
    return true;
}

bool PartnerSeedFile::Load(const std::string& path, PartnerSeed& seed, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open the partner file '" + path + "'";
        return false;
    }
    std::string text;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(file.gcount()));
        if (text.size() > kMaxFileBytes) {
            error = "the partner file '" + path + "' is larger than 4 MiB";
            return false;
        }
    }
    if (file.bad()) {
        error = "cannot read the partner file '" + path + "'";
        return false;
    }
    if (!Parse(text, seed, error)) {
        error = "partner file '" + path + "', " + error;
        return false;
    }
    return true;
}

}  // namespace qv::dirsvc
