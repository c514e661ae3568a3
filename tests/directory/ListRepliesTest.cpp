#include "directory/ListReplies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

struct ContactsCase {
    const char* name;
    std::string reply;
    std::vector<std::string> groups;
    // "group/nick/id", in the order handed on.
    std::vector<std::string> contacts;
};

std::vector<std::string> Flatten(const std::vector<UserProfile>& contacts) {
    std::vector<std::string> out;
    for (const auto& c : contacts) {
        out.push_back(c.group + "/" + c.NickName + "/" + c.LoginId);
    }
    return out;
}

TEST(ListRepliesTest, ContactsReplies) {
    const std::vector<ContactsCase> cases = {
        {"empty group dropped, reverse order",
         "Success" + S + "Group=Friends" + S + "Contacts=Ann" + S + "1001" + S + "Bob" + S +
             "1002" + S + "Group=Empty" + S + "Contacts=",
         {"Friends"},
         {"Friends/Bob/1002", "Friends/Ann/1001"}},
        {"empty group in the middle",
         "Success" + S + "Group=A" + S + "Contacts=Ann" + S + "1" + S + "Group=B" + S +
             "Contacts=" + S + "Group=C" + S + "Contacts=Cy" + S + "3" + S,
         {"A", "C"},
         {"C/Cy/3", "A/Ann/1"}},
        {"last pair lacks its id",
         "Success" + S + "Group=Friends" + S + "Contacts=Ann" + S + "1001" + S + "Bob" + S,
         {"Friends"},
         {"Friends/Ann/1001"}},
        {"lone nickname before the next group",
         "Success" + S + "Group=A" + S + "Contacts=Ann" + S + "Group=B" + S + "Contacts=Bo" + S +
             "2" + S,
         {"B"},
         {"B/Bo/2"}},
        {"nothing but success", "Success" + S, {}, {}},
        {"success without separator", "Success", {}, {}},
        {"group without contacts key", "Success" + S + "Group=A" + S, {}, {}},
        {"empty id dropped",
         "Success" + S + "Group=A" + S + "Contacts=Ann" + S + S + "Bo" + S + "2" + S,
         {"A"},
         {"A/Bo/2"}},
        {"group name with a space",
         "Success" + S + "Group=My Mates" + S + "Contacts=Ann" + S + "1" + S,
         {"My Mates"},
         {"My Mates/Ann/1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ContactsReply r = ParseContactsReply(c.reply);
        EXPECT_EQ(r.status, kStatusSuccess);
        EXPECT_EQ(r.groups, c.groups);
        EXPECT_EQ(Flatten(r.contacts), c.contacts);
    }
}

TEST(ListRepliesTest, ContactsFailureCarriesTheText) {
    const ContactsReply r = ParseContactsReply("Fail" + S + "Invalid connection");
    EXPECT_EQ(r.status, kStatusFailure);
    EXPECT_EQ(r.error, "Invalid connection");
    EXPECT_TRUE(r.contacts.empty());
    EXPECT_TRUE(r.groups.empty());
}

TEST(ListRepliesTest, HostileContactsRepliesEnd) {
    // Keys in odd places, separators only, a huge run: nothing loops or crashes.
    const std::vector<std::string> replies = {
        "Success" + S + "Contacts=" + S + "Group=",
        "Success" + S + "Group=" + S + "Contacts",
        "Success" + S + std::string(5000, '\xFF'),
        "Success" + S + "Group=Group=Group=" + S + "ContactsContacts=" + S + "Group=",
        "SuccessGroup=A" + S + "Contacts=x" + S + "1",
    };
    for (const auto& reply : replies) {
        const ContactsReply r = ParseContactsReply(reply);
        EXPECT_EQ(r.status, kStatusSuccess);
    }
}

TEST(ListRepliesTest, BlockListInReverseOrderCompletePairsOnly) {
    const BlockListReply r = ParseBlockListReply("Success" + S + "Ann" + S + "1001" + S + "Bob" +
                                                 S + "1002" + S + "Cy" + S);
    ASSERT_EQ(r.status, kStatusSuccess);
    ASSERT_EQ(r.users.size(), 2u);
    EXPECT_EQ(r.users[0].NickName, "Bob");
    EXPECT_EQ(r.users[0].LoginId, "1002");
    EXPECT_EQ(r.users[1].NickName, "Ann");
    EXPECT_EQ(ParseBlockListReply("Fail" + S + "No").error, "No");
}

TEST(ListRepliesTest, PartnerBlocksStopAtTheFirstMissingItem) {
    const std::string long40(40, 'f');
    const std::string long300(300, 't');
    struct Case {
        const char* name;
        std::string reply;
        std::vector<std::string> entries;  // "first|second|text|number"
    };
    const std::vector<Case> cases = {
        {"count 2, one complete entry",
         "Success" + S + "P" + S + "Q" + S + "2" + S + "e1" + S + "7" + S + "e2" + S,
         {"P|Q|e1|7"}},
        {"two blocks",
         "Success" + S + "P" + S + "Q" + S + "1" + S + "e1" + S + "7" + S + "R" + S + "T" + S +
             "2" + S + "x" + S + "1" + S + "y" + S + "2" + S,
         {"P|Q|e1|7", "R|T|x|1", "R|T|y|2"}},
        {"count 0 then another block",
         "Success" + S + "P" + S + "Q" + S + "0" + S + "R" + S + "T" + S + "1" + S + "x" + S + "5" +
             S,
         {"R|T|x|5"}},
        {"missing count", "Success" + S + "P" + S + "Q" + S, {}},
        {"texts cut",
         "Success" + S + long40 + S + long40 + S + "1" + S + long300 + S + "3" + S,
         {std::string(31, 'f') + "|" + std::string(31, 'f') + "|" + std::string(255, 't') + "|3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PartnersReply r = ParsePartnersReply(c.reply);
        EXPECT_EQ(r.status, kStatusSuccess);
        std::vector<std::string> got;
        for (const auto& e : r.entries) {
            got.push_back(e.first + "|" + e.second + "|" + e.text + "|" + std::to_string(e.number));
            EXPECT_EQ(e.reserved, 0);
        }
        EXPECT_EQ(got, c.entries);
    }
}

TEST(ListRepliesTest, PartnerForumsInOrderWithTheBaseUrlFromTheRequest) {
    const std::string url = "\\Quorvane\\GetPartnerForums.asp?PartnerId=5&BaseURL=http://x/y";
    const PartnerForumsReply r = ParsePartnerForumsReply(
        "Success" + S + "Lobby" + S + "/a/b" + S + "Hall" + S + "/c" + S + "Odd" + S, url);
    EXPECT_EQ(r.status, kStatusSuccess);
    EXPECT_EQ(r.baseUrl, "http://x/y");
    ASSERT_EQ(r.forums.size(), 2u);
    EXPECT_EQ(r.forums[0].name, "Lobby");
    EXPECT_EQ(r.forums[1].address, "/c");
    const PartnerForumsReply f = ParsePartnerForumsReply("Fail" + S + "nope", url);
    EXPECT_EQ(f.status, kStatusFailure);
    EXPECT_EQ(f.baseUrl, "http://x/y");
}

TEST(ListRepliesTest, ItemChangeStatusesComparedExactly) {
    struct Case {
        RequestKind kind;
        std::string url;
        std::string reply;
        int status;
        std::string item;
    };
    const std::string contact = "\\Quorvane\\AddContact.asp?ConnectionId=c&Contact=1001&Group=G";
    const std::string del = "\\Quorvane\\DeleteContact.asp?ConnectionId=c&Contact=77&Group=G";
    const std::string group = "\\Quorvane\\AddGroup.asp?ConnectionId=c&Group=My Group";
    const std::string dgroup = "\\Quorvane\\DeleteGroup.asp?ConnectionId=c&Group=Old";
    const std::string block = "\\Quorvane\\AddBlock.asp?ConnectionId=c&Block=42";
    const std::string unblock = "\\Quorvane\\RemoveBlock.asp?ConnectionId=c&Block=43";
    const std::vector<Case> cases = {
        {RequestKind::AddContact, contact, "Success" + S, 1, "1001"},
        {RequestKind::AddContact, contact, "Fail" + S + "Contact already present in group", -9,
         "1001"},
        {RequestKind::AddContact, contact, "Fail" + S + "User not found", 10, "1001"},
        {RequestKind::AddContact, contact, "Fail" + S + "user not found", -1, "1001"},
        {RequestKind::AddContact, contact, "Fail" + S + "Too many contacts", -1, "1001"},
        {RequestKind::DeleteContact, del, "Fail" + S + "Contact not present in group", 10, "77"},
        {RequestKind::DeleteContact, del, "Fail" + S + "User not found", -1, "77"},
        {RequestKind::AddGroup, group, "Fail" + S + "Group already exists", -9, "My Group"},
        {RequestKind::AddGroup, group, "Success" + S, 1, "My Group"},
        {RequestKind::DeleteGroup, dgroup, "Fail" + S + "Group not found", 10, "Old"},
        {RequestKind::AddBlock, block, "Fail" + S + "Already blocked", -9, "42"},
        {RequestKind::AddBlock, block, "Fail" + S + "Not Blocked", -1, "42"},
        {RequestKind::RemoveBlock, unblock, "Fail" + S + "Not Blocked", 10, "43"},
        {RequestKind::RemoveBlock, unblock, "Fail" + S + "not blocked", -1, "43"},
        {RequestKind::RemoveBlock, unblock, "garbage", -1, "43"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        const ItemChangeReply r = ParseItemChangeReply(c.kind, c.reply, c.url);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.item, c.item);
        if (c.status != 1) {
            EXPECT_FALSE(r.error.empty());
        }
    }
}

}  // namespace
}  // namespace qv
