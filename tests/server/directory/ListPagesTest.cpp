// GetContacts, AddContact, DeleteContact, AddGroup, DeleteGroup, GetBlockList, AddBlock and
// RemoveBlock against the running service: the exact reply bytes the client parses, every
// refusal text, and the list versions a client that applies the same changes arrives at.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ServiceFixture.h"
#include "directory/ReplyGrammar.h"
#include "store/AccountStore.h"
#include "store/BlockListStore.h"
#include "store/ContactListStore.h"
#include "store/Schema.h"

namespace qv::dirsvc::test {
namespace {

using namespace std::string_literals;

constexpr const char* kSuccess = "Success\xFF";

std::string Fail(std::string_view message) {
    return "Fail\xFF" + std::string(message);
}

// A GetContacts reply read the way the client reads it: per group section, (nickname, number)
// pairs in reply order.
std::vector<std::pair<std::string, std::vector<std::string>>> ClientView(const std::string& body) {
    std::vector<std::pair<std::string, std::vector<std::string>>> groups;
    reply::ItemReader reader(body);
    std::string item;
    reader.Next(item);
    for (;;) {
        const std::string rest(reader.Rest());
        const auto name = reply::FindField(rest, "Group");
        std::string section;
        if (!name || !reader.Section("Contacts", "\xFFGroup=", section)) {
            break;
        }
        std::vector<std::string> items;
        reply::ItemReader pairs(section);
        while (pairs.Next(item)) {
            items.push_back(item);
        }
        groups.emplace_back(*name, items);
    }
    return groups;
}

class ListPagesTest : public ServiceFixture {
  protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        ann_ = Register("Ann");
        bob_ = Register("Bob");
        cy_ = Register("Cy");
        id_ = Connect(ann_);
        ASSERT_FALSE(id_.empty());
    }

    std::string Page(const std::string& page, const std::string& query = {}) const {
        return Body("\\Quorvane\\" + page + ".asp?ConnectionId=" + id_ + query);
    }
    std::string AddContact(std::int64_t contact, const std::string& group) const {
        return Page("AddContact", "&Contact=" + std::to_string(contact) + "&Group=" + group);
    }
    std::string DeleteContact(std::int64_t contact, const std::string& group) const {
        return Page("DeleteContact", "&Contact=" + std::to_string(contact) + "&Group=" + group);
    }

    // The versions LoginEx2 reports, read from the account.
    std::pair<std::int64_t, std::int64_t> Versions() {
        Account account;
        EXPECT_EQ(service_->Accounts().Find(ann_.number, account), StoreStatus::kOk);
        return {account.contactListVer, account.blockListVer};
    }

    NewUser ann_;
    NewUser bob_;
    NewUser cy_;
    std::string id_;
};

TEST_F(ListPagesTest, EverySuccessAddsOneAndNothingElseDoes) {
    const std::string bob = std::to_string(bob_.number);
    const std::string cy = std::to_string(cy_.number);
    struct Step {
        std::string page;
        std::string query;
        std::string body;
    };
    const Step steps[] = {
        // A contact for a group the service does not have creates it: one change.
        {"AddContact", "&Contact=" + bob + "&Group=Friends", kSuccess},
        {"AddContact", "&Contact=" + bob + "&Group=Friends",
         Fail("Contact already present in group")},
        {"AddGroup", "&Group=Friends", Fail("Group already exists")},
        {"AddGroup", "&Group=Work", kSuccess},
        {"AddContact", "&Contact=" + cy + "&Group=Work", kSuccess},
        // A contact is in one group: adding it to another moves it.
        {"AddContact", "&Contact=" + bob + "&Group=Work", kSuccess},
        {"DeleteContact", "&Contact=" + bob + "&Group=Friends",
         Fail("Contact not present in group")},
        {"DeleteContact", "&Contact=" + bob + "&Group=Work", kSuccess},
        {"DeleteContact", "&Contact=" + bob + "&Group=Work", Fail("Contact not present in group")},
        {"DeleteContact", "&Contact=" + bob + "&Group=Nowhere",
         Fail("Contact not present in group")},
        {"DeleteContact", "&Contact=x1&Group=Work", Fail("Contact not present in group")},
        {"DeleteGroup", "&Group=Nowhere", Fail("Group not found")},
        // The group goes with its members.
        {"DeleteGroup", "&Group=Work", kSuccess},
        {"DeleteContact", "&Contact=" + cy + "&Group=Work", Fail("Contact not present in group")},
        {"DeleteGroup", "&Group=Work", Fail("Group not found")},
        {"AddContact", "&Contact=999&Group=Friends", Fail("User not found")},
        {"AddContact", "&Contact=2147483648&Group=Friends", Fail("User not found")},
        {"AddContact", "&Contact=" + bob + "x&Group=Friends", Fail("User not found")},
        {"AddContact", "&Contact=-1&Group=Friends", Fail("User not found")},
        {"AddContact", "&Contact=&Group=Friends", Fail("User not found")},
        {"AddContact", "&Contact=" + bob + "&Group=Bad%26Name", Fail("Invalid group name")},
        {"AddGroup", "&Group=", Fail("Invalid group name")},
        {"DeleteGroup", "&Group=My%20Contacts", Fail("Invalid group name")},
        {"DeleteContact", "&Contact=" + bob + "&Group=%FF", Fail("Invalid group name")},
        {"AddContact", "&Contact=" + cy + "&Group=Friends", kSuccess},
    };
    // A client counts +1 for each success and nothing for the rest.
    std::int64_t client = 0;
    for (const Step& step : steps) {
        const std::string body = Page(step.page, step.query);
        EXPECT_EQ(body, step.body) << step.page << step.query;
        client += body == kSuccess ? 1 : 0;
        EXPECT_EQ(Versions().first, client) << step.page << step.query;
    }
    EXPECT_EQ(client, 7);
    EXPECT_EQ(Versions().second, 0);
    // Bob moved to Work and was deleted there; Cy went with Work and came back to Friends.
    EXPECT_EQ(Page("GetContacts"),
              "Success\xFFGroup=Friends\xFF"
              "Contacts=Cy\xFF" +
                  cy + "\xFF");
}

TEST_F(ListPagesTest, GetContactsIsWhatTheClientParsesAndLeavesEmptyGroupsOut) {
    const NewUser dee = Register("Dee");
    ASSERT_EQ(AddContact(bob_.number, "Work"), kSuccess);
    ASSERT_EQ(AddContact(ann_.number, "Friends"), kSuccess);  // one's own number is allowed
    ASSERT_EQ(AddContact(dee.number, "Work"), kSuccess);
    ASSERT_EQ(AddContact(cy_.number, "Friends"), kSuccess);
    ASSERT_EQ(Page("AddGroup", "&Group=Empty"), kSuccess);
    ASSERT_EQ(Page("AddGroup", "&Group=A+B"), kSuccess);  // a raw '+' is a '+'
    const std::string ann = std::to_string(ann_.number);
    const std::string bob = std::to_string(bob_.number);
    const std::string cy = std::to_string(cy_.number);
    const std::string d = std::to_string(dee.number);
    // Groups by name, each group's contacts in the order they were added.
    const std::string expected =
        "Success\xFFGroup=Friends\xFF"
        "Contacts=Ann\xFF" +
        ann + "\xFF" + "Cy\xFF" + cy + "\xFF" +
        "Group=Work\xFF"
        "Contacts=Bob\xFF" +
        bob + "\xFF" + "Dee\xFF" + d + "\xFF";
    const std::string body = Page("GetContacts");
    EXPECT_EQ(body, expected);
    const auto view = ClientView(body);
    ASSERT_EQ(view.size(), 2u);
    EXPECT_EQ(view[0].first, "Friends");
    EXPECT_EQ(view[0].second, (std::vector<std::string>{"Ann", ann, "Cy", cy}));
    EXPECT_EQ(view[1].first, "Work");
    EXPECT_EQ(view[1].second, (std::vector<std::string>{"Bob", bob, "Dee", d}));

    // The example the client's own tests use, byte for byte.
    ASSERT_EQ(Page("DeleteGroup", "&Group=Work"), kSuccess);
    ASSERT_EQ(DeleteContact(ann_.number, "Friends"), kSuccess);
    ASSERT_EQ(DeleteContact(cy_.number, "Friends"), kSuccess);
    ASSERT_EQ(AddContact(bob_.number, "Friends"), kSuccess);
    ASSERT_EQ(AddContact(cy_.number, "Friends"), kSuccess);
    EXPECT_EQ(Page("GetContacts"),
              "Success\xFFGroup=Friends\xFF"
              "Contacts=Bob\xFF" +
                  bob + "\xFF" + "Cy\xFF" + cy + "\xFF");
    // With only empty groups left, nothing but the marker.
    ASSERT_EQ(Page("DeleteContact", "&Contact=" + bob + "&Group=Friends"), kSuccess);
    ASSERT_EQ(Page("DeleteContact", "&Contact=" + cy + "&Group=Friends"), kSuccess);
    EXPECT_EQ(Page("GetContacts"), kSuccess);
}

TEST_F(ListPagesTest, ListsShowEachContactsCurrentNickname) {
    ASSERT_EQ(AddContact(bob_.number, "Friends"), kSuccess);
    ASSERT_EQ(Page("AddBlock", "&Block=" + std::to_string(bob_.number)), kSuccess);
    const std::string bobsId = Connect(bob_);
    ASSERT_EQ(Body("/Quorvane/ModifyProfileEx.asp?ConnectionId=" + bobsId + "&NickName=Robert"),
              kSuccess);
    const std::string bob = std::to_string(bob_.number);
    EXPECT_EQ(Page("GetContacts"),
              "Success\xFFGroup=Friends\xFF"
              "Contacts=Robert\xFF" +
                  bob + "\xFF");
    EXPECT_EQ(Page("GetBlockList"), "Success\xFFRobert\xFF" + bob + "\xFF");
    // A rename is no change of Ann's lists.
    EXPECT_EQ(Versions(), std::make_pair(std::int64_t{1}, std::int64_t{1}));
}

TEST_F(ListPagesTest, GroupNamesThatCouldBreakAQueryOrTheReplyAreRefused) {
    struct Case {
        std::string group;  // as it stands in the query
        bool allowed;
    };
    const Case cases[] = {
        {"Friends", true},
        {"Best%20Friends", true},
        {"contacts", true},  // the check is exact
        {"group=1", true},
        {"Caf%E9", true},
        {std::string(63, 'g'), true},
        {"A+B", true},
        {"", false},
        {std::string(64, 'g'), false},
        {"%20Lead", false},
        {"Trail%20", false},
        {"a%26b", false},
        {"a%23b", false},
        {"a%25b", false},
        {"a%3Fb", false},
        {"My%20Contacts", false},
        {"xGroup%3Dy", false},
        {"Tab%09", false},
        {"a%00b", false},
        {"a%7Fb", false},
        {"a%FFb", false},
        {"a%0D%0Ab", false},
    };
    std::int64_t expected = 0;
    for (const Case& c : cases) {
        const std::string body = Page("AddGroup", "&Group=" + c.group);
        EXPECT_EQ(body, c.allowed ? kSuccess : Fail("Invalid group name")) << c.group;
        expected += c.allowed ? 1 : 0;
        if (!c.allowed) {
            for (const std::string& page : {"AddContact"s, "DeleteContact"s}) {
                EXPECT_EQ(
                    Page(page, "&Contact=" + std::to_string(bob_.number) + "&Group=" + c.group),
                    Fail("Invalid group name"))
                    << page << c.group;
            }
            EXPECT_EQ(Page("DeleteGroup", "&Group=" + c.group), Fail("Invalid group name"));
        }
    }
    EXPECT_EQ(Versions().first, expected);
}

TEST_F(ListPagesTest, BlockListChangesAndTheirTexts) {
    const std::string bob = std::to_string(bob_.number);
    const std::string cy = std::to_string(cy_.number);
    ASSERT_EQ(AddContact(bob_.number, "Friends"), kSuccess);
    struct Step {
        std::string page;
        std::string block;
        std::string body;
    };
    const Step steps[] = {
        {"AddBlock", bob, kSuccess},
        {"AddBlock", bob, Fail("Already blocked")},
        {"AddBlock", std::to_string(ann_.number), Fail("You can't block yourself")},
        {"AddBlock", "999", Fail("User not found")},
        {"AddBlock", "abc", Fail("User not found")},
        {"AddBlock", "", Fail("User not found")},
        {"AddBlock", std::string(5000, '9'), Fail("User not found")},
        {"AddBlock", cy, kSuccess},
        {"RemoveBlock", "999", Fail("Not Blocked")},
        {"RemoveBlock", "x", Fail("Not Blocked")},
        {"RemoveBlock", std::to_string(ann_.number), Fail("Not Blocked")},
        {"RemoveBlock", bob, kSuccess},
        {"RemoveBlock", bob, Fail("Not Blocked")},
        {"AddBlock", bob, kSuccess},
    };
    std::int64_t client = 0;
    for (const Step& step : steps) {
        const std::string body = Page(step.page, "&Block=" + step.block);
        EXPECT_EQ(body, step.body) << step.page << " " << step.block.substr(0, 20);
        client += body == kSuccess ? 1 : 0;
        EXPECT_EQ(Versions().second, client) << step.page << " " << step.block.substr(0, 20);
    }
    EXPECT_EQ(client, 4);
    // In the order blocked, nickname first.
    EXPECT_EQ(Page("GetBlockList"),
              "Success\xFF"
              "Cy\xFF" +
                  cy + "\xFF" + "Bob\xFF" + bob + "\xFF");
    // Blocking leaves the contact list alone (the client sends DeleteContact itself).
    EXPECT_EQ(Versions().first, 1);
    EXPECT_EQ(Page("GetContacts"),
              "Success\xFFGroup=Friends\xFF"
              "Contacts=Bob\xFF" +
                  bob + "\xFF");
    // Each account has its own lists.
    const std::string bobsId = Connect(bob_);
    EXPECT_EQ(Body("/Quorvane/GetBlockList.asp?ConnectionId=" + bobsId), kSuccess);
    EXPECT_EQ(Body("/Quorvane/GetContacts.asp?ConnectionId=" + bobsId), kSuccess);
}

TEST_F(ListPagesTest, LoginReportsTheListVersions) {
    ASSERT_EQ(AddContact(bob_.number, "Friends"), kSuccess);
    ASSERT_EQ(AddContact(cy_.number, "Friends"), kSuccess);
    ASSERT_EQ(Page("AddGroup", "&Group=Work"), kSuccess);
    ASSERT_EQ(Page("AddBlock", "&Block=" + std::to_string(cy_.number)), kSuccess);
    const std::string login = Login(ann_.number, ann_.password);
    EXPECT_EQ(reply::Field(login, "ContactListVer"), "3");
    EXPECT_EQ(reply::Field(login, "BlockListVer"), "1");
    EXPECT_EQ(reply::Field(login, "PartnerListVer"), "0");
    // Bob's lists are his own.
    const std::string bobs = Login(bob_.number, bob_.password);
    EXPECT_EQ(reply::Field(bobs, "ContactListVer"), "0");
    EXPECT_EQ(reply::Field(bobs, "BlockListVer"), "0");
}

TEST_F(ListPagesTest, TheLimitsHaveTheirOwnTexts) {
    // 10,000 accounts and lists filled through the stores, so the test stays fast.
    std::vector<NewAccount> many(ContactListStore::kMaxContacts);
    for (size_t i = 0; i < many.size(); ++i) {
        many[i].profile.nickName = "user" + std::to_string(i);
        many[i].passwordHash = "h";
    }
    ASSERT_EQ(service_->Accounts().Import(many, 1), StoreStatus::kOk);
    const std::int64_t first = Schema::kFirstNumber + 3;
    std::vector<std::pair<std::int64_t, std::string>> contacts;
    std::vector<std::int64_t> blocked;
    for (std::int64_t i = 0; i < ContactListStore::kMaxContacts; ++i) {
        contacts.emplace_back(first + i, "g" + std::to_string(i % ContactListStore::kMaxGroups));
        blocked.push_back(first + i);
    }
    ASSERT_EQ(service_->Contacts().Import(ann_.number, contacts), ListChange::kDone);
    ASSERT_EQ(service_->Blocks().Import(ann_.number, blocked), ListChange::kDone);
    const auto before = Versions();
    EXPECT_EQ(AddContact(bob_.number, "g1"), Fail("Too many contacts"));
    EXPECT_EQ(Page("AddGroup", "&Group=more"), Fail("Too many groups"));
    // A move adds no contact, but a new group it would need is one too many.
    EXPECT_EQ(AddContact(first, "more"), Fail("Too many groups"));
    EXPECT_EQ(Page("AddBlock", "&Block=" + std::to_string(bob_.number)),
              Fail("Too many blocked users"));
    EXPECT_EQ(Versions(), before);
    EXPECT_EQ(AddContact(first, "g5"), kSuccess);
    EXPECT_EQ(Page("AddBlock", "&Block=" + std::to_string(first)), Fail("Already blocked"));

    // The whole list comes back in one reply: 1,000 groups of 10.
    const std::string body = Page("GetContacts");
    const auto view = ClientView(body);
    ASSERT_EQ(view.size(), static_cast<size_t>(ContactListStore::kMaxGroups));
    size_t items = 0;
    for (const auto& group : view) {
        items += group.second.size();
    }
    EXPECT_EQ(items, 2u * ContactListStore::kMaxContacts);
    const std::string blocks = Page("GetBlockList");
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), '\xFF'),
              1 + 2 * ContactListStore::kMaxContacts);
    // Deleting a group makes room.
    EXPECT_EQ(Page("DeleteGroup", "&Group=g7"), kSuccess);
    EXPECT_EQ(AddContact(bob_.number, "new"), kSuccess);
}

}  // namespace
}  // namespace qv::dirsvc::test
