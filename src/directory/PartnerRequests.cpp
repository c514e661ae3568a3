#include "directory/PartnerRequests.h"

#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
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

}  // namespace qv
