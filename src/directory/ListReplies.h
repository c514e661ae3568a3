#pragma once

// Readers of the list replies: contacts and groups, the block list, partners and their forums,
// and the single-item changes of those lists.

#include <string>
#include <string_view>
#include <vector>

#include "directory/RequestKind.h"
#include "directory/UserProfile.h"

namespace qv {

struct ContactsReply {
    int status = -1;
    std::string error;
    // In reverse reply order; each carries its group.
    std::vector<UserProfile> contacts;
    // Reply order; groups without contacts left out.
    std::vector<std::string> groups;
};
ContactsReply ParseContactsReply(std::string_view reply);

struct BlockListReply {
    int status = -1;
    std::string error;
    // In reverse reply order (NickName, LoginId).
    std::vector<UserProfile> users;
};
BlockListReply ParseBlockListReply(std::string_view reply);

struct PartnerEntry {
    std::string first;   // at most 31 characters
    std::string second;  // at most 31 characters
    std::string text;    // at most 255 characters
    long number = 0;
    long reserved = 0;
};
struct PartnersReply {
    int status = -1;
    std::string error;
    std::vector<PartnerEntry> entries;
};
PartnersReply ParsePartnersReply(std::string_view reply);

struct ForumEntry {
    std::string name;     // at most 255 characters
    std::string address;  // at most 255 characters
};
struct PartnerForumsReply {
    int status = -1;
    std::string error;
    // Read back from the request URL.
    std::string baseUrl;
    std::vector<ForumEntry> forums;
};
PartnerForumsReply ParsePartnerForumsReply(std::string_view reply, std::string_view url);

struct ItemChangeReply {
    int status = -1;
    std::string error;
    // The contact, group or blocked id, read back from the request URL.
    std::string item;
};
// For AddContact, DeleteContact, AddGroup, DeleteGroup, AddBlock and RemoveBlock: the known
// refusals of each (compared exactly) give -9 (the server had it) or 10 (it had not).
ItemChangeReply ParseItemChangeReply(RequestKind kind, std::string_view reply,
                                     std::string_view url);

}  // namespace qv
