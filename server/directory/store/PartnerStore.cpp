#include "store/PartnerStore.h"

#include <optional>

#include "store/Database.h"
#include "store/SqliteTransaction.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

using Step = SqliteStatement::Step;

// Reads one integer from a one-row query.
StoreStatus ReadInt(SqliteStatement& statement, std::int64_t& value) {
    switch (statement.Next()) {
        case Step::kRow:
            value = statement.Int(0);
            return StoreStatus::kOk;
        case Step::kDone:
            return StoreStatus::kNotFound;
        case Step::kError:
            break;
    }
    return StoreStatus::kError;
}

bool SameRules(const std::vector<ForumRule>& a, const std::vector<ForumRule>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].pattern != b[i].pattern || a[i].parameters != b[i].parameters) {
            return false;
        }
    }
    return true;
}

// What the client's list shows of a partner: name, and each site's domain and rule version.
bool SameListing(const Partner& a, const Partner& b) {
    if (a.name != b.name || a.sites.size() != b.sites.size()) {
        return false;
    }
    for (size_t i = 0; i < a.sites.size(); ++i) {
        if (a.sites[i].baseDomain != b.sites[i].baseDomain ||
            a.sites[i].ruleVersion != b.sites[i].ruleVersion) {
            return false;
        }
    }
    return true;
}

// The steps of a replacement, inside the caller's transaction.
class PartnerEdit {
  public:
    explicit PartnerEdit(SqliteConnection& connection) : connection_(connection) {}

    bool Failed() const { return error_; }

    // The stored partner with its sites and rules.
    std::optional<Partner> Load(std::int64_t id) {
        Partner partner;
        partner.id = id;
        {
            auto select = connection_.Prepare("SELECT name FROM partners WHERE partner_id = ?1");
            select.Bind(1, id);
            const Step step = select.Next();
            if (step != Step::kRow) {
                error_ = error_ || step == Step::kError;
                return std::nullopt;
            }
            partner.name = select.Text(0);
        }
        {
            auto sites = connection_.Prepare(
                "SELECT base_domain, rule_version FROM partner_sites WHERE partner_id = ?1 "
                "ORDER BY position");
            sites.Bind(1, id);
            Step step;
            while ((step = sites.Next()) == Step::kRow) {
                partner.sites.push_back({sites.Text(0), sites.Int(1), {}});
            }
            error_ = error_ || step == Step::kError;
        }
        for (PartnerSite& site : partner.sites) {
            auto rules = connection_.Prepare(
                "SELECT pattern, parameters FROM partner_forum_rules "
                "WHERE partner_id = ?1 AND base_domain = ?2 ORDER BY position");
            rules.Bind(1, id).Bind(2, site.baseDomain);
            Step step;
            while ((step = rules.Next()) == Step::kRow) {
                site.rules.push_back({rules.Text(0), rules.Text(1)});
            }
            error_ = error_ || step == Step::kError;
        }
        return partner;
    }

    std::int64_t RetiredVersion(std::int64_t id, std::string_view domain) {
        auto select = connection_.Prepare(
            "SELECT rule_version FROM partner_sites_retired WHERE partner_id = ?1 AND "
            "base_domain = ?2");
        select.Bind(1, id).Bind(2, domain);
        switch (select.Next()) {
            case Step::kRow:
                return select.Int(0);
            case Step::kDone:
                return 0;
            case Step::kError:
                break;
        }
        error_ = true;
        return 0;
    }

    void Retire(std::int64_t id, const PartnerSite& site) {
        auto insert = connection_.Prepare(
            "INSERT OR REPLACE INTO partner_sites_retired(partner_id, base_domain, rule_version) "
            "VALUES (?1, ?2, ?3)");
        if (!insert.Bind(1, id).Bind(2, site.baseDomain).Bind(3, site.ruleVersion).Run()) {
            error_ = true;
        }
    }

    void Remove(std::int64_t id) {
        auto remove = connection_.Prepare("DELETE FROM partners WHERE partner_id = ?1");
        if (!remove.Bind(1, id).Run()) {
            error_ = true;
        }
    }

    void Insert(const Partner& partner) {
        {
            auto insert =
                connection_.Prepare("INSERT INTO partners(partner_id, name) VALUES (?1, ?2)");
            if (!insert.Bind(1, partner.id).Bind(2, partner.name).Run()) {
                error_ = true;
                return;
            }
        }
        std::int64_t sitePosition = 0;
        for (const PartnerSite& site : partner.sites) {
            {
                auto insert = connection_.Prepare(
                    "INSERT INTO partner_sites(partner_id, base_domain, position, rule_version) "
                    "VALUES (?1, ?2, ?3, ?4)");
                if (!insert.Bind(1, partner.id)
                         .Bind(2, site.baseDomain)
                         .Bind(3, sitePosition++)
                         .Bind(4, site.ruleVersion)
                         .Run()) {
                    error_ = true;
                    return;
                }
            }
            {
                auto unretire = connection_.Prepare(
                    "DELETE FROM partner_sites_retired WHERE partner_id = ?1 AND "
                    "base_domain = ?2");
                if (!unretire.Bind(1, partner.id).Bind(2, site.baseDomain).Run()) {
                    error_ = true;
                    return;
                }
            }
            std::int64_t rulePosition = 0;
            for (const ForumRule& rule : site.rules) {
                auto insert = connection_.Prepare(
                    "INSERT INTO partner_forum_rules(partner_id, base_domain, position, pattern, "
                    "parameters) VALUES (?1, ?2, ?3, ?4, ?5)");
                if (!insert.Bind(1, partner.id)
                         .Bind(2, site.baseDomain)
                         .Bind(3, rulePosition++)
                         .Bind(4, rule.pattern)
                         .Bind(5, rule.parameters)
                         .Run()) {
                    error_ = true;
                    return;
                }
            }
        }
    }

    std::int64_t SiteCount() {
        auto count = connection_.Prepare("SELECT COUNT(*) FROM partner_sites");
        if (count.Next() != Step::kRow) {
            error_ = true;
            return 0;
        }
        return count.Int(0);
    }

    // Replaces one partner; true when the client's view of it changed.
    bool Replace(const Partner& wanted) {
        const std::optional<Partner> old = Load(wanted.id);
        Partner next = wanted;
        for (PartnerSite& site : next.sites) {
            const PartnerSite* before = nullptr;
            if (old) {
                for (const PartnerSite& candidate : old->sites) {
                    if (text::EqualsIgnoringCase(candidate.baseDomain, site.baseDomain)) {
                        before = &candidate;
                    }
                }
            }
            if (before != nullptr) {
                site.ruleVersion =
                    before->ruleVersion + (SameRules(before->rules, site.rules) ? 0 : 1);
            } else {
                site.ruleVersion = RetiredVersion(wanted.id, site.baseDomain) + 1;
            }
        }
        if (old && SameListing(*old, next)) {
            return false;
        }
        if (old) {
            for (const PartnerSite& site : old->sites) {
                bool kept = false;
                for (const PartnerSite& candidate : next.sites) {
                    kept = kept || text::EqualsIgnoringCase(candidate.baseDomain, site.baseDomain);
                }
                if (!kept) {
                    Retire(wanted.id, site);
                }
            }
            Remove(wanted.id);
        }
        Insert(next);
        return true;
    }

    // Removes one partner; true when there was one.
    bool Drop(std::int64_t id) {
        const std::optional<Partner> old = Load(id);
        if (!old) {
            return false;
        }
        for (const PartnerSite& site : old->sites) {
            Retire(id, site);
        }
        Remove(id);
        return true;
    }

    void BumpListVersion() {
        auto update = connection_.Prepare(
            "UPDATE service_state SET value = value + 1 WHERE key = 'partner_list_ver'");
        if (!update.Run() || connection_.Changes() != 1) {
            error_ = true;
        }
    }

  private:
    SqliteConnection& connection_;
    bool error_ = false;
};

}  // namespace

StoreStatus PartnerStore::Replace(const PartnerSeed& seed, bool& changed) {
    changed = false;
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    SqliteTransaction transaction(*connection);
    if (!transaction.Started()) {
        return StoreStatus::kError;
    }
    PartnerEdit edit(*connection);
    bool any = false;
    for (const std::int64_t id : seed.removed) {
        any = edit.Drop(id) || any;
    }
    for (const Partner& partner : seed.partners) {
        any = edit.Replace(partner) || any;
    }
    if (edit.Failed()) {
        return StoreStatus::kError;
    }
    if (static_cast<size_t>(edit.SiteCount()) > kMaxSites) {
        return edit.Failed() ? StoreStatus::kError : StoreStatus::kFull;
    }
    if (any) {
        edit.BumpListVersion();
    }
    if (edit.Failed() || !transaction.Commit()) {
        return StoreStatus::kError;
    }
    changed = any;
    return StoreStatus::kOk;
}

StoreStatus PartnerStore::List(std::vector<Partner>& partners) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    // One statement, one snapshot: partners without sites come with null site columns.
    auto select = connection->Prepare(
        "SELECT p.partner_id, p.name, s.base_domain, s.rule_version FROM partners p "
        "LEFT JOIN partner_sites s ON s.partner_id = p.partner_id "
        "ORDER BY p.partner_id, s.position");
    std::vector<Partner> found;
    for (;;) {
        const Step step = select.Next();
        if (step == Step::kDone) {
            break;
        }
        if (step == Step::kError) {
            return StoreStatus::kError;
        }
        const std::int64_t id = select.Int(0);
        if (found.empty() || found.back().id != id) {
            found.push_back({id, select.Text(1), {}});
        }
        if (!select.IsNull(2)) {
            found.back().sites.push_back({select.Text(2), select.Int(3), {}});
        }
    }
    partners = std::move(found);
    return StoreStatus::kOk;
}

StoreStatus PartnerStore::ForumRules(std::int64_t partnerId, std::string_view baseDomain,
                                     std::vector<ForumRule>& rules) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    // One statement: no row for an unknown site, one row of nulls for a site without rules.
    auto select = connection->Prepare(
        "SELECT r.pattern, r.parameters FROM partner_sites s LEFT JOIN partner_forum_rules r "
        "ON r.partner_id = s.partner_id AND r.base_domain = s.base_domain "
        "WHERE s.partner_id = ?1 AND s.base_domain = ?2 ORDER BY r.position");
    select.Bind(1, partnerId).Bind(2, baseDomain);
    bool site = false;
    std::vector<ForumRule> found;
    for (;;) {
        const Step step = select.Next();
        if (step == Step::kDone) {
            break;
        }
        if (step == Step::kError) {
            return StoreStatus::kError;
        }
        site = true;
        if (!select.IsNull(0)) {
            found.push_back({select.Text(0), select.Text(1)});
        }
    }
    if (!site) {
        return StoreStatus::kNotFound;
    }
    rules = std::move(found);
    return StoreStatus::kOk;
}

StoreStatus PartnerStore::Params(std::int64_t partnerId, PartnerParams& params) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    PartnerParams found;
    {
        auto version =
            connection->Prepare("SELECT version FROM partner_params WHERE partner_id = ?1");
        version.Bind(1, partnerId);
        const StoreStatus status = ReadInt(version, found.version);
        if (status != StoreStatus::kOk) {
            return status;
        }
    }
    auto values = connection->Prepare(
        "SELECT key, value FROM partner_param_values WHERE partner_id = ?1 ORDER BY position");
    values.Bind(1, partnerId);
    for (;;) {
        const Step step = values.Next();
        if (step == Step::kDone) {
            break;
        }
        if (step == Step::kError) {
            return StoreStatus::kError;
        }
        found.values.emplace_back(values.Text(0), values.Text(1));
    }
    params = std::move(found);
    return StoreStatus::kOk;
}

StoreStatus PartnerStore::ParamsVersion(std::int64_t partnerId, std::int64_t& version) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto select = connection->Prepare("SELECT version FROM partner_params WHERE partner_id = ?1");
    select.Bind(1, partnerId);
    return ReadInt(select, version);
}

StoreStatus PartnerStore::PartnerListVersion(std::int64_t& version) {
    auto connection = database_.Acquire();
    if (!connection) {
        return StoreStatus::kError;
    }
    auto select =
        connection->Prepare("SELECT value FROM service_state WHERE key = 'partner_list_ver'");
    return ReadInt(select, version);
}

}  // namespace qv::dirsvc
