// Forums through the sonaro-server program: fake engines of real directory accounts join with
// and without the password, moderate and disband, and a session of version 4 never meets a forum
// type.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <memory>
#include <string>
#include <vector>

#include "DirectoryAccounts.h"
#include "FrameText.h"
#include "RawVoiceClient.h"
#include "support/DirectoryServiceProcess.h"
#include "support/TempFolder.h"
#include "support/VoiceServerProcess.h"

namespace qv::voicesvc::test {
namespace {

using Lines = std::vector<std::string>;
using voice::MessageType;

class VoiceServerForumTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(directory.Host().empty()) << "no directory service";
        server = std::make_unique<qv::test::VoiceServerProcess>(QV_VOICE_SERVER_PROGRAM, folder,
                                                                directory.TicketPublicKey());
        ASSERT_GT(server->Port(), 0) << "the voice server did not start";
        ann = CreateAccount(directory, "Annie");
        bob = CreateAccount(directory, "Bobby");
        cid = CreateAccount(directory, "Cidney");
    }
    void TearDown() override {
        if (server == nullptr || server->Port() == 0) {
            return;
        }
        const int status = server->Stop();
        EXPECT_TRUE(status < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        const std::string log = server->Log();
        EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
        EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
    }

    // Version 5 without media, so that only the forum frames come.
    std::unique_ptr<RawVoiceClient> LoggedIn(const Account& account) {
        auto client = std::make_unique<RawVoiceClient>();
        client->caFile = server->CaFile();
        EXPECT_TRUE(client->Connect(server->Port()));
        EXPECT_TRUE(
            client->Login(account.id, SignedTicket(directory, account), voice::kForumVersion))
            << account.id;
        return client;
    }

    // The frames until a Pong, as text: everything the server sent before it answered.
    static Lines Until(RawVoiceClient& client) {
        EXPECT_TRUE(client.Send(voice::EncodePing(voice::Ping{9, 0})));
        Lines lines;
        for (;;) {
            const auto frame = client.Next();
            if (!frame || frame->type == MessageType::kPong) {
                break;
            }
            if (frame->type == MessageType::kMediaStream) {
                continue;
            }
            lines.push_back(FrameText(*frame));
        }
        return lines;
    }

    static std::string Join(const std::string& path, const std::string& password,
                            std::int32_t flags) {
        return voice::Encode(voice::JoinGroup{1, path, password, flags});
    }

    qv::test::TempFolder folder;
    qv::test::DirectoryServiceProcess directory{QV_DIRECTORY_PROGRAM, folder};
    std::unique_ptr<qv::test::VoiceServerProcess> server;
    Account ann;
    Account bob;
    Account cid;
};

// Hidden forums need no configured category.
constexpr std::int32_t kHidden = 1;
constexpr std::int32_t kJoinOnly = 2;

TEST_F(VoiceServerForumTest, APasswordAModeratorAKickABanAndADisband) {
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    auto c = LoggedIn(cid);
    const std::string path = "Secret/Test";
    ASSERT_TRUE(a->Send(Join(path, "pw", kHidden)));
    const Lines created = Until(*a);
    ASSERT_FALSE(created.empty());
    EXPECT_EQ(created.front(), "JoinedGroup [" + path + "]");

    ASSERT_TRUE(b->Send(Join(path, "", kJoinOnly)));
    EXPECT_EQ(Until(*b), (Lines{"ServerMessage 1 1 Wrong password - " + path}));
    ASSERT_TRUE(b->Send(Join(path, "pw", kJoinOnly)));
    EXPECT_EQ(Until(*b).front(), "JoinedGroup [" + path + "]");
    ASSERT_TRUE(c->Send(Join(path, "pw", kJoinOnly)));
    EXPECT_EQ(Until(*c).front(), "JoinedGroup [" + path + "]");
    Until(*a);
    Until(*b);

    // Ann makes Bob moderator; Bob kicks Cid the way the client does: message 14, ban, unban.
    ASSERT_TRUE(a->Send(voice::Encode(voice::SetMemberRole{bob.id + "\n", 0, 1})));
    Until(*a);
    Until(*b);
    Until(*c);
    ASSERT_TRUE(b->Send(voice::Encode(voice::SendUserMessage{cid.id, 14, 1, path + "\tbye"})));
    ASSERT_TRUE(b->Send(voice::EncodeBanMember(voice::MemberOperation{cid.id + "\n", 1})));
    ASSERT_TRUE(b->Send(voice::EncodeBanMember(voice::MemberOperation{cid.id + "\n", 2})));
    Until(*b);
    const Lines kicked = Until(*c);
    ASSERT_GE(kicked.size(), 2u);
    // The message reaches Cid before its removal.
    EXPECT_EQ(kicked[0], "type 262");
    EXPECT_EQ(kicked[1], "JoinedGroup []");
    // Kicked, not kept out.
    ASSERT_TRUE(c->Send(Join(path, "pw", kJoinOnly)));
    EXPECT_EQ(Until(*c).front(), "JoinedGroup [" + path + "]");

    // A ban keeps Cid out.
    Until(*a);
    Until(*b);
    ASSERT_TRUE(a->Send(voice::EncodeBanMember(voice::MemberOperation{cid.id + "\n", 1})));
    Until(*a);
    Until(*b);
    EXPECT_EQ(Until(*c).front(), "JoinedGroup []");
    ASSERT_TRUE(c->Send(Join(path, "pw", kJoinOnly)));
    EXPECT_EQ(Until(*c), (Lines{"ServerMessage 1 1 You were banned from the forum - " + path}));

    // Bob may not disband; Ann may, and Bob is told.
    ASSERT_TRUE(b->Send(voice::Encode(voice::DisbandGroup{})));
    const Lines refused = Until(*b);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].rfind("ServerMessage 1 6 ", 0), 0u) << refused[0];
    Until(*a);
    ASSERT_TRUE(a->Send(voice::Encode(voice::DisbandGroup{})));
    EXPECT_EQ(Until(*a), (Lines{"JoinedGroup []"}));
    EXPECT_EQ(Until(*b), (Lines{"JoinedGroup []"}));
    ASSERT_TRUE(b->Send(Join(path, "pw", kJoinOnly)));
    EXPECT_EQ(Until(*b), (Lines{"ServerMessage 1 1 The forum does not exist - " + path}));
}

TEST_F(VoiceServerForumTest, AVersionFourSessionCannotUseForums) {
    auto old = std::make_unique<RawVoiceClient>();
    old->caFile = server->CaFile();
    ASSERT_TRUE(old->Connect(server->Port()));
    ASSERT_TRUE(old->Login(ann.id, SignedTicket(directory, ann), voice::kMediaVersion));
    ASSERT_TRUE(old->Send(Join("Secret/Old", "", kHidden)));
    EXPECT_TRUE(old->WaitClosed());
}

TEST_F(VoiceServerForumTest, TheListShowsVisibleForumsOnly) {
    auto a = LoggedIn(ann);
    ASSERT_TRUE(a->Send(Join("Hidden/Room", "", kHidden)));
    Until(*a);
    ASSERT_TRUE(a->Send(voice::Encode(voice::GroupListRequest{})));
    const Lines list = Until(*a);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].rfind("GroupList 1 ", 0), 0u);
    EXPECT_EQ(list[0].find("Hidden/Room"), std::string::npos);
}

}  // namespace
}  // namespace qv::voicesvc::test
