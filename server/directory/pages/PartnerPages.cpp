#include "pages/PartnerPages.h"

#include "http/PageRouter.h"
#include "pages/Messages.h"
#include "pages/Params.h"
#include "store/PartnerStore.h"

namespace qv::dirsvc {

void PartnerPages::Register(PageRouter& router) {
    router.Add("GetPartnerParams", [this](const PageRequest& r) { return GetPartnerParams(r); });
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

}  // namespace qv::dirsvc
