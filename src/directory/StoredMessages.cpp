#include "directory/StoredMessages.h"

#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/DirectoryUrl.h"
#include "directory/ListRequestSubmit.h"
#include "directory/ReplyGrammar.h"

namespace qv {

namespace {

using directory_detail::ListPage;
using directory_detail::SubmitListRequest;

constexpr std::size_t kMaxStoredText = 1023;
// A held request gets its connection id only when it is sent: room for the longest we expect.
constexpr std::size_t kConnectionIdRoom = 64;

std::size_t EncodedSize(unsigned char byte) {
    const bool plain = (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= 'A' && byte <= 'Z');
    return plain ? 1 : 3;
}

StoredMessageCallback Refusal(const StoredMessageCallback& callback, std::string item,
                              RequestContext context) {
    return [callback, item, context](const std::string&, const std::string&, int, RequestContext) {
        if (callback) {
            callback(item, kNotConnectedMessage, kStatusFailure, context);
        }
    };
}

bool SubmitItem(DirectoryClient& client, RequestKind kind, std::string url, std::string item,
                bool wholeReply, StoredMessageCallback callback, RequestContext context) {
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback, item, wholeReply](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            if (reply::IsSuccess(request.reply)) {
                callback(item, wholeReply ? request.reply : std::string{}, kStatusSuccess,
                         request.context);
            } else {
                callback(item, reply::ErrorText(request.reply), kStatusFailure, request.context);
            }
        };
    }
    const StoredMessageCallback refuse = Refusal(callback, item, context);
    return SubmitListRequest(client, kind, std::move(url), std::move(handler), context,
                             [&] { refuse({}, {}, 0, context); });
}

std::string SendMessagePath(std::string_view connectionId, std::string_view to,
                            std::string_view type, std::string_view subject, long priority,
                            std::string_view encodedData) {
    return ListPage(RequestKind::SendMessage) + "ConnectionId=" + std::string(connectionId) +
           "&MessageTo=" + std::string(to) + "&MessageType=" + EncodeParam(type) +
           "&Subject=" + EncodeParam(subject) + "&Priority=" + std::to_string(priority) +
           "&MessageData=" + std::string(encodedData);
}

}  // namespace

StoredMessagesReply ParseStoredMessagesReply(std::string_view text) {
    StoredMessagesReply result;
    if (!reply::IsSuccess(text)) {
        result.error = reply::ErrorText(text);
        return result;
    }
    result.status = kStatusSuccess;
    reply::ItemReader reader(text);
    std::string_view item;
    if (!reader.Next(item) || !reader.Next(item)) {  // "Success" and the count
        return result;
    }
    for (;;) {
        std::string_view items[9];
        bool complete = true;
        for (std::string_view& each : items) {
            if (!reader.Next(each)) {
                complete = false;
                break;
            }
        }
        if (!complete) {
            break;
        }
        StoredMessage& record = result.records.emplace_back();
        record.MessageId.assign(items[0]);
        record.senderId.assign(items[1]);
        record.senderNickname.assign(items[2]);
        record.MessageType.assign(items[3]);
        record.extra = static_cast<std::int32_t>(reply::Number(items[4]));
        record.time = static_cast<std::uint32_t>(reply::HexNumber(items[5]));
        record.text.assign(items[6]);
        record.read = items[7] != "0";
        record.flags = static_cast<std::uint32_t>(reply::Number(items[8]));
    }
    return result;
}

bool GetMessagesEx(DirectoryClient& client, StoredMessagesCallback callback,
                   RequestContext context) {
    const RequestKind kind = RequestKind::GetMessagesEx;
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            const StoredMessagesReply reply = ParseStoredMessagesReply(request.reply);
            callback(reply.status == kStatusSuccess ? &reply.records : nullptr, reply.error,
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

bool ReadMessage(DirectoryClient& client, std::string_view messageId,
                 StoredMessageCallback callback, RequestContext context) {
    return SubmitItem(client, RequestKind::ReadMessage,
                      ListPage(RequestKind::ReadMessage) + "ConnectionId=" + client.ConnectionId() +
                          "&MessageId=" + std::string(messageId),
                      std::string(messageId), true, std::move(callback), context);
}

bool DeleteMessage(DirectoryClient& client, std::string_view messageId,
                   StoredMessageCallback callback, RequestContext context) {
    return SubmitItem(client, RequestKind::DeleteMessage,
                      ListPage(RequestKind::DeleteMessage) + "ConnectionId=" +
                          client.ConnectionId() + "&MessageId=" + std::string(messageId),
                      std::string(messageId), true, std::move(callback), context);
}

bool SendMessage(DirectoryClient& client, std::string_view to, std::string_view type,
                 std::string_view subject, long priority, std::string_view data,
                 StoredMessageCallback callback, RequestContext context) {
    return SubmitItem(
        client, RequestKind::SendMessage,
        SendMessagePath(client.ConnectionId(), to, type, subject, priority, EncodeParam(data)),
        std::string(to), false, std::move(callback), context);
}

std::vector<std::string> SplitStoredText(std::string_view text, std::size_t encodedBudget) {
    std::vector<std::string> pieces;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = at;
        std::size_t encoded = 0;
        std::size_t lastBoundary = at;
        while (end < text.size()) {
            const std::size_t cost = EncodedSize(static_cast<unsigned char>(text[end]));
            if (encoded + cost > encodedBudget || end - at + 1 > kMaxStoredText) {
                break;
            }
            encoded += cost;
            ++end;
            if (end == text.size() || (static_cast<unsigned char>(text[end]) & 0xC0u) != 0x80u) {
                lastBoundary = end;  // a whole character ends here
            }
        }
        if (lastBoundary == at) {
            lastBoundary = end > at ? end : at + 1;  // no room for one character: cut bytes
        }
        pieces.emplace_back(text.substr(at, lastBoundary - at));
        at = lastBoundary;
    }
    return pieces;
}

std::size_t StoredTextBudget(const DirectoryClient& client, std::string_view to, long priority) {
    const std::string fixed =
        "http://" + client.Host() + client.Folder() +
        SendMessagePath(std::string(kConnectionIdRoom, 'x'), to, "text", "", priority, "");
    // The terminating zero counts; spaces in the fixed part would only grow by encoding, and
    // there are none.
    if (fixed.size() + 1 >= kCanonicalUrlBuffer) {
        return 0;
    }
    return kCanonicalUrlBuffer - 1 - fixed.size();
}

bool SendStoredText(DirectoryClient& client, std::string_view to, long priority,
                    std::string_view text, StoredMessageCallback callback, RequestContext context) {
    const std::size_t budget = StoredTextBudget(client, to, priority);
    if (budget < 3) {
        if (callback) {
            callback(std::string(to), "The recipient's address is too long.", kStatusFailure,
                     context);
        }
        return false;
    }
    bool all = true;
    const std::vector<std::string> pieces =
        text.empty() ? std::vector<std::string>{std::string{}} : SplitStoredText(text, budget);
    for (const std::string& piece : pieces) {
        all = SendMessage(client, to, "text", "", priority, piece, callback, context) && all;
    }
    return all;
}

}  // namespace qv
