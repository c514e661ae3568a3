#include "pages/ContactPages.h"

#include <optional>
#include <string>

#include "http/PageRouter.h"
#include "pages/FieldRules.h"
#include "pages/Messages.h"
#include "pages/Params.h"
#include "pages/SessionCheck.h"
#include "store/ContactListStore.h"
#include "store/Schema.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

// The reply to a change. The texts for an item the service already has or lacks are the ones
// the client reconciles, so a repeated change is never sent again for ever.
Reply Answer(ListChange outcome) {
    switch (outcome) {
        case ListChange::kDone:
            return Reply::Success();
        case ListChange::kAlreadyPresent:
            return Reply::Fail(messages::kContactPresent);
        case ListChange::kNotPresent:
            return Reply::Fail(messages::kContactNotPresent);
        case ListChange::kUserNotFound:
            return Reply::Fail(messages::kUserNotFound);
        case ListChange::kGroupExists:
            return Reply::Fail(messages::kGroupExists);
        case ListChange::kGroupNotFound:
            return Reply::Fail(messages::kGroupNotFound);
        case ListChange::kTooManyContacts:
            return Reply::Fail(messages::kTooManyContacts);
        case ListChange::kTooManyGroups:
            return Reply::Fail(messages::kTooManyGroups);
        case ListChange::kSelf:
        case ListChange::kTooManyBlocked:
        case ListChange::kError:
            break;
    }
    return Reply::Fail(messages::kDatabase);
}

// The parameters every change carries, checked in the order the client is told about them:
// the request itself, the connection, then the group name.
struct Change {
    std::int64_t user = 0;
    std::string group;
    std::string contact;  // as sent; only the contact pages read it
};

std::optional<Reply> ReadChange(const PageServices& services, const PageRequest& request,
                                bool withContact, Change& change) {
    Params params(request.query);
    const std::string connectionId = params.Required("ConnectionId");
    if (withContact) {
        change.contact = params.Required("Contact");
    }
    change.group = params.Required("Group");
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    std::string failure;
    const auto user = SessionCheck::User(services.sessions, services.clock, connectionId, failure);
    if (!user) {
        return Reply::Fail(failure);
    }
    if (!fields::IsAllowedGroupName(change.group)) {
        return Reply::Fail(messages::kInvalidGroupName);
    }
    change.user = *user;
    return std::nullopt;
}

// A contact is a Quorvane Number; anything else names nobody.
std::optional<std::int64_t> ContactNumber(const std::string& contact) {
    return text::Number(contact, 1, Schema::kLastNumber);
}

}  // namespace

void ContactPages::Register(PageRouter& router) {
    router.Add("GetContacts", [this](const PageRequest& r) { return GetContacts(r); });
    router.Add("AddContact", [this](const PageRequest& r) { return AddContact(r); });
    router.Add("DeleteContact", [this](const PageRequest& r) { return DeleteContact(r); });
    router.Add("AddGroup", [this](const PageRequest& r) { return AddGroup(r); });
    router.Add("DeleteGroup", [this](const PageRequest& r) { return DeleteGroup(r); });
}

Reply ContactPages::GetContacts(const PageRequest& request) {
    Params params(request.query);
    const std::string connectionId = params.Required("ConnectionId");
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    std::string failure;
    const auto user =
        SessionCheck::User(services_.sessions, services_.clock, connectionId, failure);
    if (!user) {
        return Reply::Fail(failure);
    }
    // Written straight from the rows: a group's section is "Group=" name, then "Contacts=" and
    // the (nickname, number) pairs. Only groups with contacts come back, so no section is empty.
    Reply reply = Reply::Success();
    std::string group;
    bool first = true;
    const StoreStatus status = services_.contacts.Visit(
        *user, [&](std::string_view groupName, std::string_view nickName, std::int64_t id) {
            if (first || groupName != group) {
                group = groupName;
                first = false;
                reply.Field("Group", group);
                reply.Field("Contacts", nickName);
            } else {
                reply.Item(nickName);
            }
            reply.Item(std::to_string(id));
        });
    if (status != StoreStatus::kOk) {
        return Reply::Fail(messages::kDatabase);
    }
    return reply;
}

Reply ContactPages::AddContact(const PageRequest& request) {
    Change change;
    if (auto failure = ReadChange(services_, request, true, change)) {
        return std::move(*failure);
    }
    const auto contact = ContactNumber(change.contact);
    if (!contact) {
        return Reply::Fail(messages::kUserNotFound);
    }
    return Answer(services_.contacts.AddContact(change.user, *contact, change.group));
}

Reply ContactPages::DeleteContact(const PageRequest& request) {
    Change change;
    if (auto failure = ReadChange(services_, request, true, change)) {
        return std::move(*failure);
    }
    const auto contact = ContactNumber(change.contact);
    if (!contact) {
        return Reply::Fail(messages::kContactNotPresent);
    }
    return Answer(services_.contacts.DeleteContact(change.user, *contact, change.group));
}

Reply ContactPages::AddGroup(const PageRequest& request) {
    Change change;
    if (auto failure = ReadChange(services_, request, false, change)) {
        return std::move(*failure);
    }
    return Answer(services_.contacts.AddGroup(change.user, change.group));
}

Reply ContactPages::DeleteGroup(const PageRequest& request) {
    Change change;
    if (auto failure = ReadChange(services_, request, false, change)) {
        return std::move(*failure);
    }
    return Answer(services_.contacts.DeleteGroup(change.user, change.group));
}

}  // namespace qv::dirsvc
