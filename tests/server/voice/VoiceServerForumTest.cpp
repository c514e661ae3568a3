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
    EXPECT_EQ(kicked[0], "UserMessage Bobby " + bob.id + " 14 1 " + path + "\tbye");
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

TEST(VoiceServerForumFileTest, AFaultyForumFileKeepsTheServerFromStarting) {
    qv::test::TempFolder folder;
    struct Case {
        std::string text;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"Category = General\nCategory = Music\nForum = General/Lobby\n",
         "line 2: the category 'Music' holds no visible permanent forum"},
        {"Category = General\nForum General/Lobby\n", "line 2: expected Key=Value"},
    };
    for (const Case& c : cases) {
        const std::string file = folder.Write("forums.conf", c.text);
        const std::string command = std::string(QV_VOICE_SERVER_PROGRAM) + " --forums '" + file +
                                    "' --listen 127.0.0.1:0 2>&1";
        std::FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        const int status = ::pclose(pipe);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 2) << output;
        EXPECT_NE(output.find("the forum file " + file + ", " + c.message), std::string::npos)
            << output;
    }
}

class VoiceServerDefaultForumsTest : public VoiceServerForumTest {
  protected:
    void SetUp() override {
        ASSERT_FALSE(directory.Host().empty()) << "no directory service";
        server = std::make_unique<qv::test::VoiceServerProcess>(
            QV_VOICE_SERVER_PROGRAM, folder, directory.TicketPublicKey(),
            std::vector<std::string>{"--forums", QV_DEFAULT_FORUM_FILE});
        ASSERT_GT(server->Port(), 0) << "the voice server did not start";
        ann = CreateAccount(directory, "Annie");
        bob = CreateAccount(directory, "Bobby");
        cid = CreateAccount(directory, "Cidney");
    }
};

TEST_F(VoiceServerDefaultForumsTest, TheDefaultSetIsListedAndUsersCreateInsideItsCategories) {
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    ASSERT_TRUE(b->Send(voice::Encode(voice::GroupListRequest{})));
    const Lines list = Until(*b);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_NE(list[0].find("General/Lobby\t0\t\n"), std::string::npos) << list[0];
    EXPECT_NE(list[0].find("Technology/Talk Shows\t0\tT\n"), std::string::npos) << list[0];

    ASSERT_TRUE(a->Send(Join("General/Test", "pw", 0)));
    EXPECT_EQ(Until(*a).front(), "JoinedGroup [General/Test]");
    ASSERT_TRUE(a->Send(Join("Nowhere/Test", "", 0)));
    EXPECT_EQ(Until(*a), (Lines{"ServerMessage 1 1 No such category: forums are created inside "
                                "a listed category - Nowhere/Test"}));
    // Bob asked, so he hears of the new forum; a permanent one stays when its last member goes,
    // a user forum does not.
    const auto frame = b->Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_NE(FrameText(*frame).find("General/Test\t1\tP\n"), std::string::npos)
        << FrameText(*frame);
    ASSERT_TRUE(a->Send(Join("General/Lobby", "", 0)));
    Until(*a);
    ASSERT_TRUE(a->Send(Join("", "", 0)));
    Until(*a);
    ASSERT_TRUE(b->Send(voice::Encode(voice::GroupListRequest{})));
    Lines after;
    for (const std::string& line : Until(*b)) {
        after = {line};
    }
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after[0].find("General/Lobby\t0\t\n"), std::string::npos) << after[0];
    EXPECT_EQ(after[0].find("General/Test"), std::string::npos) << after[0];
}

}  // namespace
}  // namespace qv::voicesvc::test
