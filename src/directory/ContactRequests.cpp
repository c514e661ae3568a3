#include "directory/ContactRequests.h"

#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/ListReplies.h"
#include "directory/ListRequestSubmit.h"

namespace qv {

namespace {

using directory_detail::ListPage;
using directory_detail::SubmitListRequest;

bool SubmitItemChange(DirectoryClient& client, RequestKind kind, std::string url,
                      ItemChangeCallback callback, RequestContext context) {
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
    // The item as the request would have carried it.
    ItemChangeReply refused = ParseItemChangeReply(kind, {}, url);
    return SubmitListRequest(client, kind, std::move(url), std::move(handler), context, [&] {
        if (callback) {
            callback(refused.item, kNotConnectedMessage, kStatusFailure, context);
        }
    });
}

}  // namespace

bool GetContacts(DirectoryClient& client, ContactsCallback callback, RequestContext context) {
    const RequestKind kind = RequestKind::GetContacts;
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            const ContactsReply reply = ParseContactsReply(request.reply);
            if (reply.status == kStatusSuccess) {
                callback(&reply.contacts, &reply.groups, {}, reply.status, request.context);
            } else {
                callback(nullptr, nullptr, reply.error, reply.status, request.context);
            }
        };
    }
    return SubmitListRequest(client, kind, ListPage(kind) + "ConnectionId=" + client.ConnectionId(),
                             std::move(handler), context, [&] {
                                 if (callback) {
                                     callback(nullptr, nullptr, kNotConnectedMessage,
                                              kStatusFailure, context);
                                 }
                             });
}

bool AddContact(DirectoryClient& client, std::string_view contactId, std::string_view group,
                ItemChangeCallback callback, RequestContext context) {
    const RequestKind kind = RequestKind::AddContact;
    return SubmitItemChange(client, kind,
                            ListPage(kind) + "ConnectionId=" + client.ConnectionId() + "&Contact=" +
                                std::string(contactId) + "&Group=" + std::string(group),
                            std::move(callback), context);
}

bool DeleteContact(DirectoryClient& client, std::string_view contactId, std::string_view group,
                   ItemChangeCallback callback, RequestContext context) {
    const RequestKind kind = RequestKind::DeleteContact;
    return SubmitItemChange(client, kind,
                            ListPage(kind) + "ConnectionId=" + client.ConnectionId() + "&Contact=" +
                                std::string(contactId) + "&Group=" + std::string(group),
                            std::move(callback), context);
}

bool AddGroup(DirectoryClient& client, std::string_view group, ItemChangeCallback callback,
              RequestContext context) {
    const RequestKind kind = RequestKind::AddGroup;
    return SubmitItemChange(
        client, kind,
        ListPage(kind) + "ConnectionId=" + client.ConnectionId() + "&Group=" + std::string(group),
        std::move(callback), context);
}

bool DeleteGroup(DirectoryClient& client, std::string_view group, ItemChangeCallback callback,
                 RequestContext context) {
    const RequestKind kind = RequestKind::DeleteGroup;
    return SubmitItemChange(
        client, kind,
        ListPage(kind) + "ConnectionId=" + client.ConnectionId() + "&Group=" + std::string(group),
        std::move(callback), context);
}

}  // namespace qv
