#include "directory/PartnerRequests.h"

#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/ListRequestSubmit.h"
#include "directory/ReplyGrammar.h"
#include "directory/RequestKind.h"

namespace qv {

bool GetPartnerParams(DirectoryClient& client, std::uint16_t partnerNumber,
                      PartnerParamsCallback callback, RequestContext context) {
    const RequestKind kind = RequestKind::GetPartnerParams;
    if (!client.Accepts(kind)) {
        if (callback) {
            callback({}, kNotConnectedMessage, -1, context);
        }
        return false;
    }
    std::string url = "\\Quorvane\\" + std::string(PageName(kind)) +
                      ".asp?PartnerId=" + std::to_string(partnerNumber);
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback = std::move(callback)](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            if (reply::IsSuccess(request.reply)) {
                callback(request.reply, {}, 1, request.context);
            } else {
                callback({}, reply::ErrorText(request.reply), -1, request.context);
            }
        };
    }
    client.Queue(
        std::make_unique<DirectoryRequest>(kind, std::move(url), std::move(handler), context));
    return true;
}

bool GetPartnersList(DirectoryClient& client, PartnersCallback callback, RequestContext context) {
    const RequestKind kind = RequestKind::GetPartnersList;
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            const PartnersReply reply = ParsePartnersReply(request.reply);
            callback(reply.status == kStatusSuccess ? &reply.entries : nullptr, reply.error,
                     reply.status, request.context);
        };
    }
    return directory_detail::SubmitListRequest(
        client, kind, directory_detail::ListPage(kind) + "ConnectionId=" + client.ConnectionId(),
        std::move(handler), context, [&] {
            if (callback) {
                callback(nullptr, kNotConnectedMessage, kStatusFailure, context);
            }
        });
}

bool GetPartnerForums(DirectoryClient& client, std::uint16_t partnerNumber,
                      std::string_view baseUrl, PartnerForumsCallback callback,
                      RequestContext context) {
    const RequestKind kind = RequestKind::GetPartnerForums;
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            const PartnerForumsReply reply = ParsePartnerForumsReply(request.reply, request.url);
            callback(reply.baseUrl, reply.status == kStatusSuccess ? &reply.forums : nullptr,
                     reply.error, reply.status, request.context);
        };
    }
    const std::string base(baseUrl);
    return directory_detail::SubmitListRequest(
        client, kind,
        directory_detail::ListPage(kind) + "PartnerId=" + std::to_string(partnerNumber) +
            "&BaseURL=" + base,
        std::move(handler), context, [&] {
            if (callback) {
                callback(base, nullptr, kNotConnectedMessage, kStatusFailure, context);
            }
        });
}

}  // namespace qv
