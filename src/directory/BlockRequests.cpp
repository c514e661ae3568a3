#include "directory/BlockRequests.h"

#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/ListReplies.h"
#include "directory/ListRequestSubmit.h"

namespace qv {

namespace {

using directory_detail::ListPage;
using directory_detail::SubmitListRequest;

bool SubmitBlockChange(DirectoryClient& client, RequestKind kind, std::string_view userId,
                       ItemChangeCallback callback, RequestContext context) {
    std::string url =
        ListPage(kind) + "ConnectionId=" + client.ConnectionId() + "&Block=" + std::string(userId);
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            const ItemChangeReply reply =
                ParseItemChangeReply(request.kind, request.reply, request.url);
            callback(reply.item, reply.error, reply.status, request.context);
        };
    }
    const std::string item(userId);
    return SubmitListRequest(client, kind, std::move(url), std::move(handler), context, [&] {
        if (callback) {
            callback(item, kNotConnectedMessage, kStatusFailure, context);
        }
    });
}

}  // namespace

bool GetBlockList(DirectoryClient& client, BlockListCallback callback, RequestContext context) {
    const RequestKind kind = RequestKind::GetBlockList;
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            const BlockListReply reply = ParseBlockListReply(request.reply);
            callback(reply.status == kStatusSuccess ? &reply.users : nullptr, reply.error,
                     reply.status, request.context);
        };
    }
    return SubmitListRequest(client, kind, ListPage(kind) + "ConnectionId=" + client.ConnectionId(),
                             std::move(handler), context, [&] {
                                 if (callback) {
                                     callback(nullptr, kNotConnectedMessage, kStatusFailure,
                                              context);
                                 }
                             });
}

bool AddBlock(DirectoryClient& client, std::string_view userId, ItemChangeCallback callback,
              RequestContext context) {
    return SubmitBlockChange(client, RequestKind::AddBlock, userId, std::move(callback), context);
}

bool RemoveBlock(DirectoryClient& client, std::string_view userId, ItemChangeCallback callback,
                 RequestContext context) {
    return SubmitBlockChange(client, RequestKind::RemoveBlock, userId, std::move(callback),
                             context);
}

}  // namespace qv
