#include "pages/PartnerPages.h"

#include "http/PageRouter.h"
#include "pages/Messages.h"
#include "pages/Params.h"
#include "pages/SessionCheck.h"
#include "store/PartnerStore.h"

namespace qv::dirsvc {

void PartnerPages::Register(PageRouter& router) {
    router.Add("GetPartnerParams", [this](const PageRequest& r) { return GetPartnerParams(r); });
    router.Add("GetPartnersList", [this](const PageRequest& r) { return GetPartnersList(r); });
    router.Add("GetPartnerForums", [this](const PageRequest& r) { return GetPartnerForums(r); });
}

Reply PartnerPages::GetPartnerParams(const PageRequest& request) {
    Params params(request.query);
    const auto partner = params.Number("PartnerId", 0, 65535);
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    PartnerParams set;
    switch (services_.partners.Params(*partner, set)) {
        case StoreStatus::kOk:
            break;
        case StoreStatus::kNotFound:
            return Reply::Fail(messages::kUnknownPartner);
        default:
            return Reply::Fail(messages::kDatabase);
    }
    // "Version=" also matches inside "LoginDLLVersion=" for a reader that searches the text, so
    // it goes first.
    Reply reply = Reply::Success().Field("Version", set.version);
    for (const auto& [key, value] : set.values) {
        reply.Field(key, value);
    }
    return reply;
}

Reply PartnerPages::GetPartnersList(const PageRequest& request) {
    Params params(request.query);
    const std::string connectionId = params.Required("ConnectionId");
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    std::string failure;
    if (!SessionCheck::User(services_.sessions, services_.clock, connectionId, failure)) {
        return Reply::Fail(failure);
    }
    std::vector<Partner> partners;
    if (services_.partners.List(partners) != StoreStatus::kOk) {
        return Reply::Fail(messages::kDatabase);
    }
    // Per partner: number, name, the count of sites, then each site's domain and rule version.
    Reply reply = Reply::Success();
    for (const Partner& partner : partners) {
        reply.Item(std::to_string(partner.id))
            .Item(partner.name)
            .Item(std::to_string(partner.sites.size()));
        for (const PartnerSite& site : partner.sites) {
            reply.Item(site.baseDomain).Item(std::to_string(site.ruleVersion));
        }
    }
    return reply;
}

Reply PartnerPages::GetPartnerForums(const PageRequest& request) {
    // Public like GetPartnerParams: the client sends no connection id with it.
    Params params(request.query);
    const auto partner = params.Number("PartnerId", 0, 65535);
    const std::string baseUrl = params.Required("BaseURL");
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    std::vector<ForumRule> rules;
    switch (services_.partners.ForumRules(*partner, baseUrl, rules)) {
        case StoreStatus::kOk:
            break;
        case StoreStatus::kNotFound:
            return Reply::Fail(messages::kUnknownPartnerSite);
        default:
            return Reply::Fail(messages::kDatabase);
    }
    Reply reply = Reply::Success();
    for (const ForumRule& rule : rules) {
        reply.Item(rule.pattern).Item(rule.parameters);
    }
    return reply;
}

}  // namespace qv::dirsvc
