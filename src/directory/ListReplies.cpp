#include "directory/ListReplies.h"

#include <algorithm>

#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"

namespace qv {

namespace {

constexpr std::size_t kShortText = 31;
constexpr std::size_t kLongText = 255;

std::string Cut(std::string_view text, std::size_t max) {
    return std::string(text.substr(0, std::min(text.size(), max)));
}

// Everything after the leading "Success" item.
std::string_view AfterFirstItem(std::string_view reply) {
    const std::size_t end = reply.find(reply::kItemSeparator);
    return end == std::string_view::npos ? std::string_view{} : reply.substr(end + 1);
}

// Reads (nickname, id) pairs in reply order; only complete pairs with an id count. The caller
// reverses the whole list at the end, which puts each contact at the front as it is read.
void ReadPairs(std::string_view text, const std::string& group, std::vector<UserProfile>& into) {
    reply::ItemReader reader(text);
    std::string_view nick;
    std::string_view id;
    while (reader.Next(nick)) {
        if (!reader.Next(id)) {
            break;
        }
        if (id.empty()) {
            continue;
        }
        UserProfile& profile = into.emplace_back();
        profile.group = group;
        profile.NickName.assign(nick);
        profile.LoginId.assign(id);
    }
}

struct KnownRefusal {
    RequestKind kind;
    std::string_view text;
    int status;
};

constexpr KnownRefusal kRefusals[] = {
    {RequestKind::AddContact, "Contact already present in group", kStatusAlreadyPresent},
    {RequestKind::AddContact, "User not found", kStatusNotPresent},
    {RequestKind::DeleteContact, "Contact not present in group", kStatusNotPresent},
    {RequestKind::AddGroup, "Group already exists", kStatusAlreadyPresent},
    {RequestKind::DeleteGroup, "Group not found", kStatusNotPresent},
    {RequestKind::AddBlock, "Already blocked", kStatusAlreadyPresent},
    {RequestKind::RemoveBlock, "Not Blocked", kStatusNotPresent},
};

std::string_view ItemKey(RequestKind kind) {
    switch (kind) {
        case RequestKind::AddContact:
        case RequestKind::DeleteContact:
            return "Contact";
        case RequestKind::AddGroup:
        case RequestKind::DeleteGroup:
            return "Group";
        case RequestKind::AddBlock:
        case RequestKind::RemoveBlock:
            return "Block";
        default:
            return {};
    }
}

}  // namespace

ContactsReply ParseContactsReply(std::string_view reply) {
    ContactsReply result;
    if (!reply::IsSuccess(reply)) {
        result.error = reply::ErrorText(reply);
        return result;
    }
    static constexpr std::string_view kGroupKey = "Group=";
    static constexpr std::string_view kContactsKey = "Contacts";
    static const std::string kTerminator = std::string(1, reply::kItemSeparator) + "Group=";
    std::string_view rest = AfterFirstItem(reply);
    while (true) {
        const std::size_t key = rest.find(kGroupKey);
        if (key == std::string_view::npos) {
            break;
        }
        const std::size_t nameAt = key + kGroupKey.size();
        const std::size_t nameEnd = rest.find(reply::kItemSeparator, nameAt);
        const std::string name(
            rest.substr(nameAt, nameEnd == std::string_view::npos ? nameEnd : nameEnd - nameAt));
        const std::string_view afterName =
            nameEnd == std::string_view::npos ? std::string_view{} : rest.substr(nameEnd + 1);
        const std::size_t contacts = afterName.find(kContactsKey);
        if (contacts == std::string_view::npos) {
            break;
        }
        // "Contacts" and its equals sign.
        const std::string_view tail =
            afterName.substr(std::min(afterName.size(), contacts + kContactsKey.size() + 1));
        const std::size_t end = tail.find(kTerminator);
        const std::string_view section = end == std::string_view::npos ? tail : tail.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : tail.substr(end);
        const std::size_t before = result.contacts.size();
        ReadPairs(section, name, result.contacts);
        if (result.contacts.size() != before) {
            result.groups.push_back(name);
        }
    }
    std::reverse(result.contacts.begin(), result.contacts.end());
    result.status = kStatusSuccess;
    return result;
}

BlockListReply ParseBlockListReply(std::string_view reply) {
    BlockListReply result;
    if (!reply::IsSuccess(reply)) {
        result.error = reply::ErrorText(reply);
        return result;
    }
    ReadPairs(AfterFirstItem(reply), {}, result.users);
    std::reverse(result.users.begin(), result.users.end());
    result.status = kStatusSuccess;
    return result;
}

PartnersReply ParsePartnersReply(std::string_view reply) {
    PartnersReply result;
    if (!reply::IsSuccess(reply)) {
        result.error = reply::ErrorText(reply);
        return result;
    }
    result.status = kStatusSuccess;
    reply::ItemReader reader(AfterFirstItem(reply));
    std::string_view first;
    std::string_view second;
    std::string_view count;
    while (reader.Next(first) && reader.Next(second) && reader.Next(count)) {
        const long n = reply::Number(count);
        for (long i = 0; i < n; ++i) {
            std::string_view text;
            std::string_view number;
            if (!reader.Next(text) || !reader.Next(number)) {
                return result;
            }
            result.entries.push_back({Cut(first, kShortText), Cut(second, kShortText),
                                      Cut(text, kLongText), reply::Number(number), 0});
        }
    }
    return result;
}

PartnerForumsReply ParsePartnerForumsReply(std::string_view reply, std::string_view url) {
    PartnerForumsReply result;
    result.baseUrl = reply::UrlParameter(url, "BaseURL");
    if (!reply::IsSuccess(reply)) {
        result.error = reply::ErrorText(reply);
        return result;
    }
    result.status = kStatusSuccess;
    reply::ItemReader reader(AfterFirstItem(reply));
    std::string_view name;
    std::string_view address;
    while (reader.Next(name) && reader.Next(address)) {
        result.forums.push_back({Cut(name, kLongText), Cut(address, kLongText)});
    }
    return result;
}

ItemChangeReply ParseItemChangeReply(RequestKind kind, std::string_view reply,
                                     std::string_view url) {
    ItemChangeReply result;
    const std::string_view key = ItemKey(kind);
    if (!key.empty()) {
        result.item = reply::UrlParameter(url, key);
    }
    if (reply::IsSuccess(reply)) {
        result.status = kStatusSuccess;
        return result;
    }
    result.error = reply::ErrorText(reply);
    for (const KnownRefusal& refusal : kRefusals) {
        if (refusal.kind == kind && refusal.text == result.error) {
            result.status = refusal.status;
            break;
        }
    }
    return result;
}

}  // namespace qv
