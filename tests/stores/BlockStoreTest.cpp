#include "stores/BlockStore.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Bytes.h"
#include "StoreFakes.h"
#include "directory/UserProfile.h"
#include "stores/BlockListFile.h"
#include "stores/ContactStore.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using test::Text;
using test::U32;

const std::string kMagic("CBLK\0", 5);

std::string V2Record(const std::string& id, const std::string& nick, std::uint32_t onServer,
                     const std::string& text) {
    return Text(id, 32) + Text(nick, 32) + U32(onServer) + Text(text, 256);
}

class BlockStoreTest : public ::testing::Test {
  protected:
    BlockStoreTest() {
        blocks.SetUi(&ui);
        blocks.SetContactStore(&contacts);
        blocks.SetOwnId("500");
    }

    std::string Path() const { return folder.File("u.1/Blocked.dat"); }

    std::vector<std::string> Ids() const {
        std::vector<std::string> ids;
        for (const auto& r : blocks.Records()) {
            ids.push_back(r.LoginId + ":" + r.NickName + ":" + std::to_string(r.onServer));
        }
        return ids;
    }

    test::TempFolder folder;
    test::RecordingScreen screen;
    test::RecordingNotices notices;
    test::RecordingEngineLists engine;
    test::RecordingBlockUi ui;
    ContactStore contacts{nullptr, nullptr, screen, notices};
    BlockStore blocks{nullptr, &engine, screen, notices};
};

TEST_F(BlockStoreTest, VersionOneFileWithTwoRecords) {
    folder.Write("u.1/Blocked.dat", kMagic + U32(1) + U32(2) + Text("1001", 32) + Text("Ann", 32) +
                                        Text("rude", 256) + Text("1002", 32) + Text("Bob", 32) +
                                        Text("", 256));
    EXPECT_TRUE(blocks.Load(Path()));
    EXPECT_EQ(blocks.ListVersion(), 0u);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"1001:Ann:0", "1002:Bob:0"}));
    EXPECT_EQ(blocks.Records()[0].text, "rude");
    EXPECT_EQ(engine.blockList, "1001\n1002\n");
    // Saved again in version 2.
    EXPECT_EQ(folder.Read("u.1/Blocked.dat"), kMagic + U32(2) + U32(0) + U32(2) +
                                                  V2Record("1001", "Ann", 0, "rude") +
                                                  V2Record("1002", "Bob", 0, ""));
}

TEST_F(BlockStoreTest, FilesThatAreNotOurs) {
    struct Case {
        const char* name;
        std::string bytes;
        bool read;
        std::vector<std::string> ids;
        std::uint32_t version;
    };
    const std::vector<Case> cases = {
        {"version 2",
         kMagic + U32(2) + U32(9) + U32(1) + V2Record("7", "Cy", 1, ""),
         true,
         {"7:Cy:1"},
         9},
        {"wrong magic", std::string("CBLX\0", 5) + U32(2) + U32(9) + U32(0), false, {}, 0},
        {"version 3", kMagic + U32(3) + U32(9) + U32(0), false, {}, 0},
        {"count beyond the file keeps what is there",
         kMagic + U32(2) + U32(4) + U32(1000) + V2Record("7", "Cy", 1, "") +
             V2Record("8", "Di", 1, "").substr(0, 100),
         true,
         {"7:Cy:1"},
         4},
        {"short header", kMagic + U32(2), true, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        folder.Write("u.1/Blocked.dat", c.bytes);
        EXPECT_EQ(blocks.Load(Path()), c.read);
        EXPECT_EQ(Ids(), c.ids);
        EXPECT_EQ(blocks.ListVersion(), c.version);
        blocks.Load({});
    }
}

TEST_F(BlockStoreTest, BlockRefusalsAndNotices) {
    blocks.Load(Path());
    contacts.Load(folder.File("u.1/Addressbook.dat"));
    UserProfile contact;
    contact.LoginId = "2002";
    contact.NickName = "Dora";
    ASSERT_TRUE(contacts.AddContact(contact));
    struct Case {
        std::string id, nick;
        BlockStore::BlockResult result;
        std::string notice;
    };
    const std::vector<Case> cases = {
        {"3001", "cs anybody", BlockStore::BlockResult::CustomerService,
         "Quorvane Customer Service representatives may not be blocked."},
        {"3002", "CS Helen", BlockStore::BlockResult::CustomerService,
         "Quorvane Customer Service representatives may not be blocked."},
        {"3003", "velmora support", BlockStore::BlockResult::CustomerService,
         "Quorvane Customer Service representatives may not be blocked."},
        {"3004", "QUORVANE", BlockStore::BlockResult::CustomerService,
         "Quorvane Customer Service representatives may not be blocked."},
        {"500", "Me", BlockStore::BlockResult::Self,
         "You can't add yourself to the blocked users list."},
        {"1001", "Ann", BlockStore::BlockResult::Blocked,
         "Ann (1001) has been added to your block list."},
        {"1001", "Ann", BlockStore::BlockResult::Duplicate,
         "User already exists in the blocked user list."},
        {"2002", "Dora", BlockStore::BlockResult::Blocked,
         "User Dora (2002) has been blocked and removed from your contact list."},
        {"3005", "csv fan", BlockStore::BlockResult::Blocked,
         "csv fan (3005) has been added to your block list."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nick);
        notices.texts.clear();
        EXPECT_EQ(blocks.Block(c.id, c.nick, {}), c.result);
        EXPECT_EQ(notices.texts, std::vector<std::string>{c.notice});
        EXPECT_EQ(notices.shownNow, std::vector<bool>(notices.shownNow.size(), true));
    }
    EXPECT_EQ(contacts.Find("2002"), nullptr);
    EXPECT_EQ(contacts.Pending().back().operation, PendingChange::kDelete);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"1001:Ann:0", "2002:Dora:0", "3005:csv fan:0"}));
    EXPECT_EQ(engine.blockList, "1001\n2002\n3005\n");
    EXPECT_EQ(blocks.Pending().size(), 3u);
    EXPECT_TRUE(blocks.IsBlocked("1001"));
    EXPECT_FALSE(blocks.IsBlocked("100"));
}

TEST_F(BlockStoreTest, JournalOfThreeHundredTwentyEightByteRecords) {
    blocks.Load(Path());
    blocks.Block("1001", "Ann", "spam");
    blocks.Unblock("1001");
    // Each record: the operation, then the whole blocked-user record.
    const std::string expected = U32(1) + U32(2) + U32(0) + Text("1001", 32) + Text("Ann", 32) +
                                 U32(0) + Text("spam", 256) + U32(1) + Text("1001", 32) +
                                 Text("Ann", 32) + U32(0) + Text("spam", 256);
    EXPECT_EQ(folder.Read("u.1/Blocked.mod"), expected);
    EXPECT_EQ(expected.size(), 8u + 2 * kBlockJournalRecordSize);
    // Replayed on the next load: blocked and unblocked again, both still pending.
    blocks.Load({});
    folder.Write("u.1/Blocked.dat", kMagic + U32(2) + U32(3) + U32(0));
    blocks.Load(Path());
    EXPECT_TRUE(blocks.Records().empty());
    EXPECT_EQ(blocks.Pending().size(), 2u);
}

TEST_F(BlockStoreTest, ReplayAddsBlocksAndRemovesUnblocks) {
    folder.Write("u.1/Blocked.dat", kMagic + U32(2) + U32(3) + U32(1) + V2Record("7", "Cy", 1, ""));
    folder.Write("u.1/Blocked.mod", U32(1) + U32(2) + U32(1) + V2Record("7", "Cy", 1, "") + U32(0) +
                                        V2Record("8", "Di", 0, ""));
    blocks.Load(Path());
    EXPECT_EQ(Ids(), std::vector<std::string>{"8:Di:0"});
    EXPECT_EQ(engine.blockList, "8\n");
}

TEST_F(BlockStoreTest, ServerConfirmations) {
    struct Case {
        bool block;
        int status;
        std::string error;
        bool removed;
        std::uint32_t delta;
        bool noticed;
    };
    const std::vector<Case> cases = {
        {true, 1, "", true, 1, false},
        {true, -9, "Already blocked", true, 0, false},
        {true, 10, "x", false, 0, false},
        {true, -1, "User not found", true, 0, true},
        {true, -1, "Too many blocked users", true, 0, true},
        {true, -1, "You can't block yourself", true, 0, true},
        {true, -1, "Server down", false, 0, false},
        {false, 1, "", true, 1, false},
        {false, 10, "Not Blocked", true, 0, false},
        {false, -1, "User not found", false, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error + std::to_string(c.status));
        blocks.Load(Path());
        blocks.Block("1001", "Ann", {});
        if (!c.block) {
            blocks.OnAddBlockReply("1001", {}, 1);
            blocks.Unblock("1001");
        }
        ASSERT_EQ(blocks.Pending().size(), 1u);
        notices.texts.clear();
        const std::uint32_t before = blocks.ListVersion();
        if (c.block) {
            blocks.OnAddBlockReply("1001", c.error, c.status);
        } else {
            blocks.OnRemoveBlockReply("1001", c.error, c.status);
        }
        EXPECT_EQ(blocks.Pending().empty(), c.removed);
        EXPECT_EQ(blocks.ListVersion() - before, c.delta);
        EXPECT_EQ(!notices.texts.empty(), c.noticed);
        if (c.block && c.status == 1) {
            EXPECT_EQ(blocks.Records()[0].onServer, 1);
        }
        blocks.Load({});
        ::unlink(Path().c_str());
        ::unlink(folder.File("u.1/Blocked.mod").c_str());
    }
}

TEST_F(BlockStoreTest, UnblockAllAsksFirst) {
    blocks.Load(Path());
    blocks.Block("1001", "Ann", {});
    blocks.Block("1002", "Bob", {});
    screen.ScriptAnswers({mb::kIdNo, mb::kIdYes});
    EXPECT_FALSE(blocks.UnblockAll());
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].caption, "Warning");
    EXPECT_EQ(screen.boxes[0].text, "Warning: Are you sure you want to unblock all users?");
    EXPECT_EQ(screen.boxes[0].style, mb::kYesNo | mb::kIconExclamation);
    EXPECT_EQ(blocks.Records().size(), 2u);
    EXPECT_TRUE(blocks.UnblockAll());
    EXPECT_TRUE(blocks.Records().empty());
    EXPECT_EQ(engine.blockList, "");
    EXPECT_EQ(blocks.Pending().size(), 4u);
}

TEST_F(BlockStoreTest, ReplaceFromServerKeepsPendingBlocks) {
    blocks.Load(Path());
    blocks.Block("1001", "Ann", {});
    UserProfile a;
    a.LoginId = "7";
    a.NickName = std::string(40, 'n');
    blocks.ReplaceFromServer(12, {a});
    EXPECT_EQ(blocks.ListVersion(), 12u);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"7:" + std::string(31, 'n') + ":1", "1001:Ann:0"}));
    EXPECT_EQ(engine.blockList, "7\n1001\n");
}

}  // namespace
}  // namespace qv
