#include "pages/BlockPages.h"

#include "http/PageRouter.h"
#include "pages/Messages.h"
#include "pages/Params.h"
#include "pages/SessionCheck.h"
#include "store/BlockListStore.h"
#include "store/Schema.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

Reply Answer(ListChange outcome) {
    switch (outcome) {
        case ListChange::kDone:
            return Reply::Success();
        case ListChange::kAlreadyPresent:
            return Reply::Fail(messages::kAlreadyBlocked);
        case ListChange::kNotPresent:
            return Reply::Fail(messages::kNotBlocked);
        case ListChange::kUserNotFound:
            return Reply::Fail(messages::kUserNotFound);
        case ListChange::kSelf:
            return Reply::Fail(messages::kBlockSelf);
        case ListChange::kTooManyBlocked:
            return Reply::Fail(messages::kTooManyBlocked);
        case ListChange::kGroupExists:
        case ListChange::kGroupNotFound:
        case ListChange::kTooManyContacts:
        case ListChange::kTooManyGroups:
        case ListChange::kError:
            break;
    }
    return Reply::Fail(messages::kDatabase);
}

}  // namespace

void BlockPages::Register(PageRouter& router) {
    router.Add("GetBlockList", [this](const PageRequest& r) { return GetBlockList(r); });
    router.Add("AddBlock", [this](const PageRequest& r) { return AddBlock(r); });
    router.Add("RemoveBlock", [this](const PageRequest& r) { return RemoveBlock(r); });
}

std::optional<Reply> BlockPages::ReadChange(const PageRequest& request, std::int64_t& user,
                                            std::string& block) {
    Params params(request.query);
    const std::string connectionId = params.Required("ConnectionId");
    block = params.Required("Block");
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    std::string failure;
    const auto found =
        SessionCheck::User(services_.sessions, services_.clock, connectionId, failure);
    if (!found) {
        return Reply::Fail(failure);
    }
    user = *found;
    return std::nullopt;
}

Reply BlockPages::GetBlockList(const PageRequest& request) {
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
    Reply reply = Reply::Success();
    const StoreStatus status =
        services_.blocks.Visit(*user, [&reply](std::string_view nickName, std::int64_t id) {
            reply.Item(nickName).Item(std::to_string(id));
        });
    if (status != StoreStatus::kOk) {
        return Reply::Fail(messages::kDatabase);
    }
    return reply;
}

Reply BlockPages::AddBlock(const PageRequest& request) {
    std::int64_t user = 0;
    std::string block;
    if (auto failure = ReadChange(request, user, block)) {
        return std::move(*failure);
    }
    // Anything but a Quorvane Number names nobody.
    const auto blocked = text::Number(block, 1, Schema::kLastNumber);
    if (!blocked) {
        return Reply::Fail(messages::kUserNotFound);
    }
    return Answer(services_.blocks.AddBlock(user, *blocked));
}

Reply BlockPages::RemoveBlock(const PageRequest& request) {
    std::int64_t user = 0;
    std::string block;
    if (auto failure = ReadChange(request, user, block)) {
        return std::move(*failure);
    }
    const auto blocked = text::Number(block, 1, Schema::kLastNumber);
    if (!blocked) {
        return Reply::Fail(messages::kNotBlocked);
    }
    return Answer(services_.blocks.RemoveBlock(user, *blocked));
}

}  // namespace qv::dirsvc
