#include "pages/MessagePages.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "http/PageRouter.h"
#include "pages/Messages.h"
#include "pages/Params.h"
#include "pages/SessionCheck.h"
#include "store/MessageStore.h"
#include "store/Schema.h"
#include "util/Clock.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

constexpr const char* kMessageTooLong = "The message is too long (at most 1023 bytes).";
constexpr const char* kSubjectTooLong = "The subject is too long (at most 255 bytes).";
constexpr const char* kTooManyWaiting = "This user has too many messages waiting; try again later.";
constexpr const char* kUnknownType = "Unknown message type";
constexpr const char* kNoSuchMessage = "Message not found";

std::string Hex(std::int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value & 0xFFFFFFFF));
    return text;
}

// The caller's number from ConnectionId, or the failure in reply.
std::optional<std::int64_t> Caller(const PageServices& services, Params& params, Reply& reply) {
    const std::string connectionId = params.Required("ConnectionId");
    if (!params.Ok()) {
        reply = Reply::Fail(params.Error());
        return std::nullopt;
    }
    std::string failure;
    const auto user = SessionCheck::User(services.sessions, services.clock, connectionId, failure);
    if (!user) {
        reply = Reply::Fail(failure);
    }
    return user;
}

}  // namespace

void MessagePages::Register(PageRouter& router) {
    router.Add("GetMessagesEx", [this](const PageRequest& r) { return GetMessagesEx(r); });
    router.Add("ReadMessage", [this](const PageRequest& r) { return ReadMessage(r); });
    router.Add("DeleteMessage", [this](const PageRequest& r) { return DeleteMessage(r); });
    router.Add("SendMessage", [this](const PageRequest& r) { return SendMessage(r); });
}

Reply MessagePages::GetMessagesEx(const PageRequest& request) {
    Params params(request.query);
    Reply failure = Reply::Fail(messages::kDatabase);
    const auto user = Caller(services_, params, failure);
    if (!user) {
        return failure;
    }
    std::vector<KeptMessage> kept;
    if (messages_.Visit(*user, [&kept](const KeptMessage& m) { kept.push_back(m); }) !=
        StoreStatus::kOk) {
        return Reply::Fail(messages::kDatabase);
    }
    Reply reply = Reply::Success();
    reply.Item(std::to_string(kept.size()));
    for (const KeptMessage& m : kept) {
        reply.Item(std::to_string(m.id))
            .Item(std::to_string(m.sender))
            .Item(m.senderNickname)
            .Item(m.type)
            .Item("0")
            .Item(Hex(m.sentAt))
            .Item(m.type == "Text" ? m.body : m.subject)
            .Item(m.read ? "1" : "0")
            .Item(std::to_string(m.flags));
    }
    return reply;
}

Reply MessagePages::ChangeMessage(const PageRequest& request, const MessageChange& change,
                                  Reply success) {
    Params params(request.query);
    Reply failure = Reply::Fail(messages::kDatabase);
    const auto user = Caller(services_, params, failure);
    if (!user) {
        return failure;
    }
    const std::string id = params.Required("MessageId");
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    const auto number = text::Number(id, 1, INT64_MAX);
    const StoreStatus status = number ? change(*user, *number) : StoreStatus::kNotFound;
    if (status == StoreStatus::kNotFound) {
        return Reply::Fail(kNoSuchMessage);
    }
    if (status != StoreStatus::kOk) {
        return Reply::Fail(messages::kDatabase);
    }
    return success;
}

Reply MessagePages::ReadMessage(const PageRequest& request) {
    return ChangeMessage(
        request,
        [this](std::int64_t user, std::int64_t id) { return messages_.MarkRead(user, id); },
        Reply::Success().Item("0"));
}

Reply MessagePages::DeleteMessage(const PageRequest& request) {
    return ChangeMessage(
        request, [this](std::int64_t user, std::int64_t id) { return messages_.Delete(user, id); },
        Reply::Success());
}

Reply MessagePages::SendMessage(const PageRequest& request) {
    Params params(request.query);
    Reply failure = Reply::Fail(messages::kDatabase);
    const auto user = Caller(services_, params, failure);
    if (!user) {
        return failure;
    }
    const std::string to = params.Required("MessageTo");
    const std::string type = params.Required("MessageType");
    const std::string subject = params.Optional("Subject").value_or("");
    const auto priority = params.Number("Priority", 0, 65535, 0);
    const std::string data = params.Optional("MessageData").value_or("");
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    if (!priority) {
        return Reply::Fail("Invalid Priority");
    }
    // The client sends its texts as "text"; they are listed as "Text".
    std::string lower = type;
    for (char& c : lower) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    if (lower != "text") {
        return Reply::Fail(kUnknownType);
    }
    if (data.size() > MessageStore::kMaxBody) {
        return Reply::Fail(kMessageTooLong);
    }
    if (subject.size() > MessageStore::kMaxSubject) {
        return Reply::Fail(kSubjectTooLong);
    }
    const auto recipient = text::Number(to, 1, Schema::kLastNumber);
    if (!recipient) {
        return Reply::Fail(messages::kUserNotFound);
    }
    switch (
        messages_.Add(*recipient, *user, services_.clock.Now(), "Text", subject, *priority, data)) {
        case MessageStore::Outcome::kStored:
        case MessageStore::Outcome::kBlocked:  // not revealed
            return Reply::Success();
        case MessageStore::Outcome::kUnknownRecipient:
            return Reply::Fail(messages::kUserNotFound);
        case MessageStore::Outcome::kFull:
            return Reply::Fail(kTooManyWaiting);
        case MessageStore::Outcome::kError:
            break;
    }
    return Reply::Fail(messages::kDatabase);
}

}  // namespace qv::dirsvc
