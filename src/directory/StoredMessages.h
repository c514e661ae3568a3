#pragma once

// Messages kept on the directory service for a user who was offline: list them, read one,
// delete one, store a text. Held requests (they wait for the connection id) that a refused login
// refuses; every operation reports through its callback, a refusal at once.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/DirectoryRequest.h"

namespace qv {

class DirectoryClient;

struct StoredMessage {
    std::string MessageId;
    std::string MessageType;  // "Text" or "Voice"
    std::uint32_t time = 0;   // seconds since 1970
    std::string senderId;
    std::string senderNickname;
    std::string text;  // subject or text
    bool read = false;
    std::uint32_t flags = 0;  // the low 16 bits are the message flags
    std::int32_t extra = 0;
};

struct StoredMessagesReply {
    int status = -1;
    std::string error;
    std::vector<StoredMessage> records;
};

// "Success", a count (not used), then nine items per record; reading stops at the first record
// that is not complete.
StoredMessagesReply ParseStoredMessagesReply(std::string_view reply);

// (records in reply order, null on failure; error text, status, context).
using StoredMessagesCallback =
    std::function<void(const std::vector<StoredMessage>* records, const std::string& error,
                       int status, RequestContext context)>;
// (message id or recipient, reply or error text, status, context).
using StoredMessageCallback = std::function<void(const std::string& item, const std::string& text,
                                                 int status, RequestContext context)>;

bool GetMessagesEx(DirectoryClient& client, StoredMessagesCallback callback,
                   RequestContext context);
bool ReadMessage(DirectoryClient& client, std::string_view messageId,
                 StoredMessageCallback callback, RequestContext context);
// callback may be null.
bool DeleteMessage(DirectoryClient& client, std::string_view messageId,
                   StoredMessageCallback callback, RequestContext context);
bool SendMessage(DirectoryClient& client, std::string_view to, std::string_view type,
                 std::string_view subject, long priority, std::string_view data,
                 StoredMessageCallback callback, RequestContext context);

// A text stored for an offline user travels in the URL, whose size is limited: this cuts text
// into pieces that each fit (whole UTF-8 characters, at most 1023 bytes each), in order.
std::vector<std::string> SplitStoredText(std::string_view text, std::size_t encodedBudget);
// The encoded bytes a piece may take in a SendMessage URL to that recipient.
std::size_t StoredTextBudget(const DirectoryClient& client, std::string_view to, long priority);
// Sends text as one or more stored "text" messages; the callback hears every piece. False when
// a piece was refused.
bool SendStoredText(DirectoryClient& client, std::string_view to, long priority,
                    std::string_view text, StoredMessageCallback callback, RequestContext context);

}  // namespace qv
