// GetMessagesEx, ReadMessage, DeleteMessage and SendMessage against the running service: the
// reply bytes the client parses, the limits and their refusal texts, and a blocked sender.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ServiceFixture.h"
#include "directory/StoredMessages.h"
#include "store/MessageStore.h"

namespace qv::dirsvc::test {
namespace {

constexpr const char* kSuccess = "Success\xFF";

std::string Fail(std::string_view message) {
    return "Fail\xFF" + std::string(message);
}

class MessagePagesTest : public ServiceFixture {
  protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        ann_ = Register("Ann");
        bob_ = Register("Bob");
        annId_ = Connect(ann_);
        bobId_ = Connect(bob_);
        ASSERT_FALSE(annId_.empty());
        ASSERT_FALSE(bobId_.empty());
    }

    std::string Page(const std::string& connection, const std::string& page,
                     const std::string& query = {}) const {
        return Body("\\Quorvane\\" + page + ".asp?ConnectionId=" + connection + query);
    }
    std::string AnnSends(const std::string& text, const std::string& type = "text",
                         long priority = 0) const {
        return Page(annId_, "SendMessage",
                    "&MessageTo=" + std::to_string(bob_.number) + "&MessageType=" + Encode(type) +
                        "&Subject=&Priority=" + std::to_string(priority) +
                        "&MessageData=" + Encode(text));
    }
    std::vector<StoredMessage> BobsMessages() const {
        const StoredMessagesReply reply = ParseStoredMessagesReply(Page(bobId_, "GetMessagesEx"));
        EXPECT_EQ(reply.status, 1) << reply.error;
        return reply.records;
    }

    NewUser ann_;
    NewUser bob_;
    std::string annId_;
    std::string bobId_;
};

TEST_F(MessagePagesTest, AStoredTextIsListedReadAndDeleted) {
    EXPECT_EQ(AnnSends("a b&c \xC3\xA9", "text", 3), kSuccess);
    const std::vector<StoredMessage> listed = BobsMessages();
    ASSERT_EQ(listed.size(), 1u);
    const StoredMessage& m = listed[0];
    EXPECT_EQ(m.MessageType, "Text");  // sent as "text"
    EXPECT_EQ(m.senderId, std::to_string(ann_.number));
    EXPECT_EQ(m.senderNickname, "Ann");
    EXPECT_EQ(m.text, "a b&c \xC3\xA9");
    EXPECT_EQ(m.time, static_cast<std::uint32_t>(clock_.Now()));
    EXPECT_EQ(m.flags, 3u);
    EXPECT_FALSE(m.read);
    EXPECT_EQ(Page(bobId_, "ReadMessage", "&MessageId=" + m.MessageId),
              "Success\xFF"
              "0\xFF");
    EXPECT_TRUE(BobsMessages().at(0).read);
    // Only the recipient reaches a message.
    EXPECT_EQ(Page(annId_, "DeleteMessage", "&MessageId=" + m.MessageId),
              Fail("Message not found"));
    EXPECT_EQ(Page(bobId_, "DeleteMessage", "&MessageId=" + m.MessageId), kSuccess);
    EXPECT_TRUE(BobsMessages().empty());
    EXPECT_EQ(Page(bobId_, "DeleteMessage", "&MessageId=" + m.MessageId),
              Fail("Message not found"));
    EXPECT_EQ(Page(bobId_, "ReadMessage", "&MessageId=junk"), Fail("Message not found"));
}

TEST_F(MessagePagesTest, RefusalsHaveClearTexts) {
    struct Case {
        const char* what;
        std::string query;
        std::string body;
    };
    const std::string bob = std::to_string(bob_.number);
    const Case cases[] = {
        {"too long",
         "&MessageTo=" + bob + "&MessageType=text&Priority=0&MessageData=" + std::string(1024, 'x'),
         Fail("The message is too long (at most 1023 bytes).")},
        {"longest",
         "&MessageTo=" + bob + "&MessageType=text&Priority=0&MessageData=" + std::string(1023, 'x'),
         kSuccess},
        {"unknown user", "&MessageTo=999&MessageType=text&Priority=0&MessageData=x",
         Fail("User not found")},
        {"not a number", "&MessageTo=abc&MessageType=text&Priority=0&MessageData=x",
         Fail("User not found")},
        {"voice here", "&MessageTo=" + bob + "&MessageType=Voice&Priority=0&MessageData=x",
         Fail("Unknown message type")},
        {"no recipient", "&MessageType=text&Priority=0&MessageData=x",
         Fail("Missing parameter MessageTo")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Page(annId_, "SendMessage", c.query), c.body) << c.what;
    }
    EXPECT_EQ(Body("\\Quorvane\\GetMessagesEx.asp?ConnectionId=nope").substr(0, 5), "Fail\xFF");
}

TEST_F(MessagePagesTest, ABlockedSenderIsAnsweredSuccessButNothingIsKept) {
    EXPECT_EQ(Page(bobId_, "AddBlock", "&Block=" + std::to_string(ann_.number)), kSuccess);
    EXPECT_EQ(AnnSends("hello"), kSuccess);
    EXPECT_TRUE(BobsMessages().empty());
}

TEST_F(MessagePagesTest, AThousandWaitingMessagesAreTheLimit) {
    for (int i = 0; i < MessageStore::kMaxWaiting; ++i) {
        ASSERT_EQ(service_->Messages().Add(bob_.number, ann_.number, 1, "Text", "", 0, "m"),
                  MessageStore::Outcome::kStored)
            << i;
    }
    EXPECT_EQ(AnnSends("one more"),
              Fail("This user has too many messages waiting; try again later."));
    EXPECT_EQ(BobsMessages().size(), 1000u);
}

}  // namespace
}  // namespace qv::dirsvc::test
