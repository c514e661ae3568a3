#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryUrl.h"
#include "directory/ReplyGrammar.h"
#include "directory/StoredMessages.h"
#include "support/ClientRig.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

std::string Record(const std::string& id, const std::string& type, const std::string& read) {
    return id + S + "1002" + S + "Bob" + S + type + S + "0" + S + "38A2B7C0" + S + "hello" + S +
           read + S + "3" + S;
}

TEST(StoredMessagesReplyTest, OneAndAHalfRecordsGiveOne) {
    const std::string half = "m2" + S + "1003" + S + "Cid" + S + "Text" + S;
    const StoredMessagesReply reply =
        ParseStoredMessagesReply("Success" + S + "2" + S + Record("m1", "Text", "0") + half);
    EXPECT_EQ(reply.status, 1);
    ASSERT_EQ(reply.records.size(), 1u);
    const StoredMessage& r = reply.records[0];
    EXPECT_EQ(r.MessageId, "m1");
    EXPECT_EQ(r.senderId, "1002");
    EXPECT_EQ(r.senderNickname, "Bob");
    EXPECT_EQ(r.MessageType, "Text");
    EXPECT_EQ(r.time, 0x38A2B7C0u);
    EXPECT_EQ(r.text, "hello");
    EXPECT_FALSE(r.read);
    EXPECT_EQ(r.flags, 3u);
}

TEST(StoredMessagesReplyTest, Table) {
    struct Case {
        const char* what;
        std::string reply;
        int status;
        std::size_t records;
        std::string error;
    };
    const Case cases[] = {
        {"none", "Success" + S + "0" + S, 1, 0, ""},
        {"no count", "Success", 1, 0, ""},
        {"two", "Success" + S + "2" + S + Record("a", "Text", "0") + Record("b", "Voice", "1"), 1,
         2, ""},
        {"last item without separator",
         "Success" + S + "1" + S +
             Record("a", "Text", "0").substr(0, Record("a", "Text", "0").size() - 1),
         1, 1, ""},
        {"fail", "Fail" + S + "Invalid connection", -1, 0, "Invalid connection"},
    };
    for (const Case& c : cases) {
        const StoredMessagesReply reply = ParseStoredMessagesReply(c.reply);
        EXPECT_EQ(reply.status, c.status) << c.what;
        EXPECT_EQ(reply.records.size(), c.records) << c.what;
        EXPECT_EQ(reply.error, c.error) << c.what;
    }
}

std::size_t Encoded(const std::string& text) {
    return EncodeParam(text).size();
}

TEST(StoredTextSplitTest, PiecesFitTheBudgetKeepOrderAndWholeCharacters) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t budget;
        std::size_t pieces;
    };
    std::string mixed;
    for (int i = 0; i < 400; ++i) {
        mixed += "ab, \xC3\xA9!";  // letters, punctuation and a two-byte character
    }
    const Case cases[] = {
        {"short", "a b&c", 1800, 1},
        {"letters up to 1023 bytes", std::string(1023, 'x'), 1800, 1},
        {"letters over 1023 bytes", std::string(1500, 'x'), 1800, 2},
        {"punctuation", std::string(1000, '!'), 1800, 2},
        {"mixed", mixed, 1800, 0},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> pieces = SplitStoredText(c.text, c.budget);
        if (c.pieces != 0) {
            EXPECT_EQ(pieces.size(), c.pieces) << c.what;
        }
        std::string joined;
        for (const std::string& piece : pieces) {
            EXPECT_LE(Encoded(piece), c.budget) << c.what;
            EXPECT_LE(piece.size(), 1023u) << c.what;
            ASSERT_FALSE(piece.empty()) << c.what;
            EXPECT_NE(static_cast<unsigned char>(piece[0]) & 0xC0u, 0x80u) << c.what;
            joined += piece;
        }
        EXPECT_EQ(joined, c.text) << c.what;
    }
}

class StoredMessageRequestsTest : public ::testing::Test {
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

    std::vector<std::string> SentTargets(const std::string& page) {
        std::vector<std::string> targets;
        for (const auto& r : server.PageRequests()) {
            if (r.page == page) {
                targets.push_back(r.target);
            }
        }
        return targets;
    }

    test::TestHttpServer server;
    test::ClientRig rig;
    DirectoryClient& client = rig.client;
};

TEST_F(StoredMessageRequestsTest, SendMessageEncodesTypeSubjectAndData) {
    LogIn();
    server.Answer("SendMessage", "Success" + S);
    std::vector<std::pair<std::string, int>> told;
    ASSERT_TRUE(SendMessage(
        client, "1002", "text", "", 3, "a b&c",
        [&](const std::string& to, const std::string&, int status, RequestContext) {
            told.emplace_back(to, status);
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !told.empty(); }));
    EXPECT_EQ(told[0], (std::pair<std::string, int>{"1002", 1}));
    const auto sent = SentTargets("SendMessage");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].find("ConnectionId=c7&MessageTo=1002&MessageType=text&Subject=&Priority=3"
                           "&MessageData=a%20b%26c"),
              std::string::npos)
        << sent[0];
}

TEST_F(StoredMessageRequestsTest, ALongTextGoesAsSeveralMessagesInOrder) {
    LogIn();
    server.Answer("SendMessage", "Success" + S);
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "w" + std::to_string(i) + ", ";
    }
    int told = 0;
    ASSERT_TRUE(SendStoredText(
        client, "1002", 0, text,
        [&](const std::string&, const std::string&, int status, RequestContext) {
            EXPECT_EQ(status, 1);
            ++told;
        },
        nullptr));
    const auto pieces = SplitStoredText(text, StoredTextBudget(client, "1002", 0));
    ASSERT_GT(pieces.size(), 1u);
    ASSERT_TRUE(rig.DriveUntil([&] { return told == static_cast<int>(pieces.size()); }));
    const auto sent = SentTargets("SendMessage");
    ASSERT_EQ(sent.size(), pieces.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_NE(sent[i].find("MessageData=" + EncodeParam(pieces[i])), std::string::npos) << i;
    }
}

TEST_F(StoredMessageRequestsTest, ListReadAndDelete) {
    LogIn();
    server.Answer("GetMessagesEx", "Success" + S + "1" + S + Record("m1", "Text", "0"));
    server.Answer("ReadMessage", "Success" + S + "0" + S);
    server.Answer("DeleteMessage", "Fail" + S + "No such message");
    std::vector<StoredMessage> listed;
    bool listedDone = false;
    GetMessagesEx(
        client,
        [&](const std::vector<StoredMessage>* records, const std::string&, int status,
            RequestContext) {
            EXPECT_EQ(status, 1);
            if (records != nullptr) {
                listed = *records;
            }
            listedDone = true;
        },
        nullptr);
    ASSERT_TRUE(rig.DriveUntil([&] { return listedDone; }));
    ASSERT_EQ(listed.size(), 1u);
    std::string readId;
    ReadMessage(
        client, "m1",
        [&](const std::string& id, const std::string&, int status, RequestContext) {
            EXPECT_EQ(status, 1);
            readId = id;
        },
        nullptr);
    ASSERT_TRUE(rig.DriveUntil([&] { return !readId.empty(); }));
    EXPECT_EQ(readId, "m1");
    std::string deleteError;
    DeleteMessage(
        client, "m1",
        [&](const std::string&, const std::string& error, int status, RequestContext) {
            EXPECT_EQ(status, -1);
            deleteError = error;
        },
        nullptr);
    EXPECT_EQ(client.PendingDeletions(), 1);
    ASSERT_TRUE(rig.DriveUntil([&] { return !deleteError.empty(); }));
    EXPECT_EQ(deleteError, "No such message");
    EXPECT_EQ(client.PendingDeletions(), 0);        // a failure still releases the count
    DeleteMessage(client, "m1", nullptr, nullptr);  // no callback at all
    ASSERT_TRUE(rig.DriveUntil([&] { return client.PendingDeletions() == 0; }));
    EXPECT_EQ(SentTargets("ReadMessage").at(0).find("MessageId=m1") != std::string::npos, true);
}

}  // namespace
}  // namespace qv
