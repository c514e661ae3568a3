// The stores against a directory client on loopback: synchronisation by version at login, the
// journal reaching the server, confirmations coming back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StoreFakes.h"
#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/ReplyGrammar.h"
#include "stores/AddressBookFile.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"
#include "support/ClientRig.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

class StoreSyncTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Start(server.Host()));
        contacts.SetUi(&ui);
    }

    void LogIn() {
        server.Answer("LoginEx2", "Success" + S + "ConnectId=c1" + S + "ContactListVer=0" + S +
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

    // Drives the client until nothing is queued or in flight.
    void Settle() {
        ASSERT_TRUE(rig.DriveUntil([&] {
            const auto sizes = client.Sizes();
            return sizes.ready == 0 && sizes.inFlight == 0 && sizes.completed == 0 &&
                   sizes.held == 0;
        }));
    }

    std::string Book() const { return folder.File("7/Addressbook.dat"); }

    UserProfile Profile(const std::string& id, const std::string& nick) {
        UserProfile p;
        p.LoginId = id;
        p.NickName = nick;
        return p;
    }

    test::TempFolder folder;
    test::TestHttpServer server;
    test::ClientRig rig;
    DirectoryClient& client = rig.client;
    test::RecordingScreen screen;
    test::RecordingNotices notices;
    test::RecordingEngineLists engine;
    test::RecordingContactUi ui;
    ContactStore contacts{&client, &engine, screen, notices};
    BlockStore blocks{&client, &engine, screen, notices};
};

TEST_F(StoreSyncTest, EqualVersionsSendNothingOthersReplaceAndReplay) {
    LogIn();
    // A list saved at version 7.
    AddressBookData data;
    data.listVersion = 7;
    data.groups.push_back({"Old", 1});
    UserProfile old = Profile("900", "Gone");
    old.group = "Old";
    old.onServer = 1;
    data.contacts.push_back(old);
    folder.Write("7/Addressbook.dat", WriteAddressBook(data));
    contacts.Load(Book());
    ASSERT_EQ(contacts.ListVersion(), 7u);

    contacts.SynchronizeWithServer(7);
    Settle();
    EXPECT_EQ(server.Count("GetContacts"), 0u);
    EXPECT_FALSE(contacts.Synchronizing());

    // A change not yet confirmed: the server will not answer AddContact for now.
    server.Answer("AddContact", "Fail" + S + "Server busy");
    ASSERT_TRUE(contacts.AddContact(Profile("1003", "Cy")));
    Settle();
    ASSERT_EQ(contacts.Pending().size(), 1u);

    server.Answer("GetContacts", "Success" + S + "Group=Friends" + S + "Contacts=Ann" + S + "1001" +
                                     S + "Bob" + S + "1002" + S);
    server.Answer("AddContact", "Success" + S);
    ui.calls.clear();
    contacts.SynchronizeWithServer(8);
    EXPECT_TRUE(contacts.Synchronizing());
    EXPECT_EQ(ui.calls.front(), "sync on");
    Settle();
    EXPECT_EQ(server.Count("GetContacts"), 1u);
    EXPECT_FALSE(contacts.Synchronizing());
    EXPECT_EQ(ui.calls.back(), "sync off");
    EXPECT_EQ(contacts.Find("900"), nullptr);
    ASSERT_NE(contacts.Find("1001"), nullptr);
    EXPECT_EQ(contacts.Find("1001")->onServer, 1);
    EXPECT_EQ(contacts.Find("1001")->group, "Friends");
    // The pending addition applied again and sent again; confirmed, so one higher.
    ASSERT_NE(contacts.Find("1003"), nullptr);
    EXPECT_EQ(contacts.Find("1003")->group, "General");
    EXPECT_TRUE(contacts.Pending().empty());
    EXPECT_EQ(contacts.ListVersion(), 9u);
    EXPECT_EQ(engine.calls.back(), "watch:1002\n1001\n1003\n");
    // Saved with the server's version and the list.
    AddressBookData saved;
    ASSERT_EQ(ReadAddressBook(folder.Read("7/Addressbook.dat"), saved), AddressBookRead::Read);
    EXPECT_EQ(saved.listVersion, 8u);
    EXPECT_EQ(saved.contacts.size(), 3u);
}

TEST_F(StoreSyncTest, AFailedGetContactsLeavesTheListAndItsVersion) {
    LogIn();
    contacts.Load(Book());
    server.Answer("AddContact", "Success" + S);
    contacts.AddContact(Profile("1001", "Ann"));
    Settle();
    ASSERT_EQ(contacts.ListVersion(), 1u);
    server.Answer("GetContacts", "Fail" + S + "Database down");
    contacts.SynchronizeWithServer(5);
    Settle();
    EXPECT_EQ(server.Count("GetContacts"), 1u);
    EXPECT_EQ(contacts.ListVersion(), 1u);
    EXPECT_NE(contacts.Find("1001"), nullptr);
    EXPECT_FALSE(contacts.Synchronizing());
    EXPECT_EQ(ui.calls.back(), "sync off");
}

TEST_F(StoreSyncTest, AChangeMadeOfflineReachesTheServerAtTheNextLogin) {
    // Not logged in: the request waits for the connection id.
    contacts.Load(Book());
    ASSERT_TRUE(contacts.AddContact(Profile("1001", "Ann")));
    ASSERT_TRUE(contacts.AddGroup("Work"));
    EXPECT_EQ(contacts.Pending().size(), 2u);
    // The program ends before any login: the journal holds both.
    contacts.Load({});
    EXPECT_EQ(ReadContactJournal(folder.Read("7/Addressbook.mod")).size(), 2u);
    client.Stop();
    ASSERT_TRUE(rig.Start(server.Host()));

    server.Answer("AddContact", "Success" + S);
    server.Answer("AddGroup", "Success" + S);
    contacts.Load(Book());
    LogIn();
    Settle();
    EXPECT_EQ(server.Count("AddContact"), 1u);
    EXPECT_EQ(server.Count("AddGroup"), 1u);
    EXPECT_TRUE(contacts.Pending().empty());
    EXPECT_TRUE(ReadContactJournal(folder.Read("7/Addressbook.mod")).empty());
    EXPECT_EQ(contacts.ListVersion(), 2u);
}

TEST_F(StoreSyncTest, ChangesThatCouldNotBeSentGoAtTheNextLoginOfTheSameRun) {
    contacts.Load(Book());
    blocks.Load(folder.File("7/Blocked.dat"));
    // After a refused login nothing goes to the service: the changes stay in the journals.
    client.SetLoginRefused(true);
    ASSERT_TRUE(contacts.AddContact(Profile("1001", "Ann")));
    ASSERT_EQ(blocks.Block("1002", "Bob", {}), BlockStore::BlockResult::Blocked);
    ASSERT_EQ(contacts.Pending().size(), 1u);
    ASSERT_EQ(blocks.Pending().size(), 1u);
    server.Answer("AddContact", "Success" + S);
    server.Answer("AddBlock", "Success" + S);
    LogIn();
    // The versions agree, so no list is fetched; the stores are not loaded again either.
    contacts.SynchronizeWithServer(0);
    blocks.SynchronizeWithServer(0);
    Settle();
    EXPECT_EQ(server.Count("GetContacts"), 0u);
    EXPECT_EQ(server.Count("AddContact"), 1u);
    EXPECT_EQ(server.Count("AddBlock"), 1u);
    EXPECT_TRUE(contacts.Pending().empty());
    EXPECT_TRUE(blocks.Pending().empty());
    EXPECT_EQ(contacts.ListVersion(), 1u);
    EXPECT_EQ(blocks.ListVersion(), 1u);
    // Sent once: a later login with equal versions sends nothing more.
    contacts.SynchronizeWithServer(1);
    blocks.SynchronizeWithServer(1);
    Settle();
    EXPECT_EQ(server.Count("AddContact"), 1u);
    EXPECT_EQ(server.Count("AddBlock"), 1u);
}

TEST_F(StoreSyncTest, RefusedForGoodIsDroppedWithANotice) {
    LogIn();
    contacts.Load(Book());
    server.Answer("AddContact", "Fail" + S + "Too many contacts");
    contacts.AddContact(Profile("1001", "Ann"));
    Settle();
    EXPECT_TRUE(contacts.Pending().empty());
    ASSERT_EQ(notices.texts.size(), 1u);
    EXPECT_EQ(notices.texts[0],
              "Adding Ann (1001) to the group \"General\" was refused by the server: Too many "
              "contacts");
}

TEST_F(StoreSyncTest, BlockListByVersion) {
    LogIn();
    blocks.Load(folder.File("7/Blocked.dat"));
    blocks.SynchronizeWithServer(0);
    Settle();
    EXPECT_EQ(server.Count("GetBlockList"), 0u);
    server.Answer("GetBlockList", "Success" + S + "Ann" + S + "1001" + S + "Bob" + S + "1002" + S);
    blocks.SynchronizeWithServer(3);
    Settle();
    EXPECT_EQ(blocks.ListVersion(), 3u);
    ASSERT_EQ(blocks.Records().size(), 2u);
    EXPECT_EQ(blocks.Records()[0].LoginId, "1002");
    EXPECT_EQ(engine.blockList, "1002\n1001\n");
    // A failed request leaves it.
    server.Answer("GetBlockList", "Fail" + S + "down");
    blocks.SynchronizeWithServer(4);
    Settle();
    EXPECT_EQ(blocks.ListVersion(), 3u);
    EXPECT_EQ(blocks.Records().size(), 2u);
    // Blocking goes to the server and is confirmed.
    server.Answer("AddBlock", "Success" + S);
    blocks.Block("1003", "Cy", {});
    Settle();
    EXPECT_TRUE(blocks.Pending().empty());
    EXPECT_EQ(blocks.ListVersion(), 4u);
    EXPECT_EQ(blocks.Records().back().onServer, 1);
}

}  // namespace
}  // namespace qv
