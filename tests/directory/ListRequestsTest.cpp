#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/AccountRequests.h"
#include "directory/BlockRequests.h"
#include "directory/ContactRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/PartnerRequests.h"
#include "directory/ReplyGrammar.h"
#include "support/ClientRig.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

class ListRequestsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(rig.Start(server.Host())); }

    void LogIn() {
        server.Answer("LoginEx2", "Success" + S + "ConnectId=c7" + S + "ContactListVer=1" + S +
                                      "BlockListVer=0" + S + "PartnerListVer=0" + S +
                                      "PartnerParamsVer=0" + S + "NickName=Me" + S);
        bool done = false;
        LoginEx2(
            client, "1", "pw",
            [&](const std::string&, const std::string&, long, long, long, long, int,
                RequestContext) { done = true; },
            nullptr);
        ASSERT_TRUE(rig.DriveUntil([&] { return done; }));
    }

    std::string SentTarget(const std::string& page) {
        for (const auto& r : server.PageRequests()) {
            if (r.page == page) {
                return r.target;
            }
        }
        return "(not sent)";
    }

    test::TestHttpServer server;
    test::ClientRig rig;
    DirectoryClient& client = rig.client;
};

struct Change {
    std::string item, error;
    int status = 0;
    RequestContext context = nullptr;
};

TEST_F(ListRequestsTest, SingleItemChangesCarryTheirItemsUnencoded) {
    LogIn();
    server.Answer("AddContact", "Fail" + S + "User not found");
    server.Answer("RemoveBlock", "Fail" + S + "Not Blocked");
    std::vector<Change> got;
    int waiter = 0;
    auto record = [&](const std::string& item, const std::string& error, int status,
                      RequestContext context) {
        got.push_back({item, error, status, context});
    };
    AddContact(client, "1001", "My Mates", record, &waiter);
    DeleteContact(client, "1002", "General", record, &waiter);
    AddGroup(client, "New One", record, &waiter);
    DeleteGroup(client, "Old", record, &waiter);
    AddBlock(client, "42", record, &waiter);
    RemoveBlock(client, "43", record, &waiter);
    ASSERT_TRUE(rig.DriveUntil([&] { return got.size() == 6; }));
    EXPECT_EQ(SentTarget("AddContact"),
              "/Quorvane/AddContact.asp?ConnectionId=c7&Contact=1001&Group=My%20Mates");
    EXPECT_EQ(SentTarget("DeleteContact"),
              "/Quorvane/DeleteContact.asp?ConnectionId=c7&Contact=1002&Group=General");
    EXPECT_EQ(SentTarget("AddGroup"), "/Quorvane/AddGroup.asp?ConnectionId=c7&Group=New%20One");
    EXPECT_EQ(SentTarget("DeleteGroup"), "/Quorvane/DeleteGroup.asp?ConnectionId=c7&Group=Old");
    EXPECT_EQ(SentTarget("AddBlock"), "/Quorvane/AddBlock.asp?ConnectionId=c7&Block=42");
    EXPECT_EQ(SentTarget("RemoveBlock"), "/Quorvane/RemoveBlock.asp?ConnectionId=c7&Block=43");
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].item, "1001");
    EXPECT_EQ(got[0].status, kStatusNotPresent);
    EXPECT_EQ(got[0].error, "User not found");
    EXPECT_EQ(got[2].item, "New One");
    EXPECT_EQ(got[2].status, kStatusSuccess);
    EXPECT_EQ(got[5].item, "43");
    EXPECT_EQ(got[5].status, kStatusNotPresent);
    for (const auto& g : got) {
        EXPECT_EQ(g.context, &waiter);
    }
}

TEST_F(ListRequestsTest, HeldUntilTheLoginGivesTheConnectionId) {
    std::vector<std::string> groups;
    int status = 0;
    GetContacts(
        client,
        [&](const std::vector<UserProfile>*, const std::vector<std::string>* g, const std::string&,
            int s, RequestContext) {
            status = s;
            if (g != nullptr) {
                groups = *g;
            }
        },
        nullptr);
    EXPECT_EQ(client.Sizes().held, 1u);
    server.Answer("GetContacts",
                  "Success" + S + "Group=Friends" + S + "Contacts=Ann" + S + "1001" + S);
    LogIn();
    ASSERT_TRUE(rig.DriveUntil([&] { return status != 0; }));
    EXPECT_EQ(SentTarget("GetContacts"), "/Quorvane/GetContacts.asp?ConnectionId=c7");
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_EQ(groups, std::vector<std::string>{"Friends"});
}

TEST_F(ListRequestsTest, RefusedLoginFailsThemAtOnce) {
    client.SetLoginRefused(true);
    std::vector<Change> got;
    AddBlock(
        client, "42",
        [&](const std::string& item, const std::string& error, int status, RequestContext c) {
            got.push_back({item, error, status, c});
        },
        nullptr);
    int blockStatus = 0;
    GetBlockList(
        client,
        [&](const std::vector<UserProfile>* users, const std::string&, int s, RequestContext) {
            blockStatus = users == nullptr ? s : 99;
        },
        nullptr);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].item, "42");
    EXPECT_EQ(got[0].error, kNotConnectedMessage);
    EXPECT_EQ(got[0].status, kStatusFailure);
    EXPECT_EQ(blockStatus, kStatusFailure);
}

TEST_F(ListRequestsTest, BlockListPartnersAndForums) {
    LogIn();
    server.Answer("GetBlockList", "Success" + S + "Ann" + S + "1" + S + "Bob" + S + "2" + S);
    server.Answer("GetPartnersList",
                  "Success" + S + "P" + S + "Q" + S + "1" + S + "e" + S + "4" + S);
    server.Answer("GetPartnerForums", "Success" + S + "Lobby" + S + "/a" + S);
    std::vector<std::string> blocked;
    std::vector<std::string> partners;
    std::string base;
    std::vector<std::string> forums;
    int done = 0;
    GetBlockList(
        client,
        [&](const std::vector<UserProfile>* users, const std::string&, int, RequestContext) {
            for (const auto& u : *users) {
                blocked.push_back(u.NickName + "/" + u.LoginId);
            }
            ++done;
        },
        nullptr);
    GetPartnersList(
        client,
        [&](const std::vector<PartnerEntry>* entries, const std::string&, int, RequestContext) {
            for (const auto& e : *entries) {
                partners.push_back(e.first + e.second + e.text + std::to_string(e.number));
            }
            ++done;
        },
        nullptr);
    GetPartnerForums(
        client, 9, "http://tour/",
        [&](const std::string& b, const std::vector<ForumEntry>* f, const std::string&, int,
            RequestContext) {
            base = b;
            for (const auto& e : *f) {
                forums.push_back(e.name + e.address);
            }
            ++done;
        },
        nullptr);
    ASSERT_TRUE(rig.DriveUntil([&] { return done == 3; }));
    EXPECT_EQ(blocked, (std::vector<std::string>{"Bob/2", "Ann/1"}));
    EXPECT_EQ(partners, std::vector<std::string>{"PQe4"});
    EXPECT_EQ(base, "http://tour/");
    EXPECT_EQ(forums, std::vector<std::string>{"Lobby/a"});
    EXPECT_EQ(SentTarget("GetPartnersList"), "/Quorvane/GetPartnersList.asp?ConnectionId=c7");
    EXPECT_EQ(SentTarget("GetPartnerForums"),
              "/Quorvane/GetPartnerForums.asp?PartnerId=9&BaseURL=http://tour/");
}

}  // namespace
}  // namespace qv
