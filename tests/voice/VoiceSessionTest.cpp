// Two users' engines against a real voice server and directory service on loopback.

#include <gtest/gtest.h>

#include "VoiceRig.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;
using test::Account;
using test::VoiceUser;

class VoiceSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Ready()) << "a server did not start";
        ASSERT_NE(rig.engine, nullptr);
        ann = rig.Register("Ann");
        bob = rig.Register("Bob");
        ASSERT_FALSE(ann.id.empty());
        ASSERT_FALSE(bob.id.empty());
    }

    // Logs a user in with a fresh directory login.
    std::unique_ptr<VoiceUser> LogIn(const Account& account, const std::string& watch = {},
                                     const std::string& block = {}) {
        auto user = rig.NewUser();
        const std::string connection = rig.LogInToDirectory(account);
        EXPECT_FALSE(connection.empty());
        EXPECT_TRUE(rig.LogIn(*user, account, connection, watch, block))
            << account.nick << " did not log in";
        return user;
    }

    // The status the last Watch reported for id, -1 when none came.
    static int LastStatus(const VoiceUser& user, const std::string& id) {
        int status = -1;
        for (const std::string& line : user.Events("Watch " + id + " ")) {
            status = std::stoi(line.substr(7 + id.size()));
        }
        return status;
    }

    test::VoiceRig rig;
    Account ann;
    Account bob;
};

TEST_F(VoiceSessionTest, TheLoginBurstReportsEveryWatchedEntryOnceAndNotTheUserItself) {
    auto bobUser = LogIn(bob);
    const std::string nobody = "4000000000";
    auto annUser = LogIn(ann, bob.id + "\n" + nobody + "\n" + ann.id + "\n" + bob.id + "\n");
    ASSERT_TRUE(annUser->DriveUntil([&] { return annUser->Events("Watch ").size() >= 3; }));
    annUser->DriveFor(200);
    EXPECT_EQ(annUser->Events("Watch "),
              (Lines{"Watch " + bob.id + " 1 1 0", "Watch " + nobody + " 0 1 0",
                     "Watch " + bob.id + " 1 1 1"}));
    EXPECT_EQ(annUser->h.manager->PendingWatchReplies(), 0);
}

TEST_F(VoiceSessionTest, StatusChangesReachTheWatcherAndInvisibleLooksOffline) {
    auto annUser = LogIn(ann, bob.id + "\n");
    ASSERT_TRUE(annUser->DriveUntil([&] { return LastStatus(*annUser, bob.id) == 0; }));
    auto bobUser = LogIn(bob);
    ASSERT_TRUE(annUser->DriveUntil([&] { return LastStatus(*annUser, bob.id) == 1; }));

    struct Case {
        std::int16_t mode;
        int seen;
    };
    for (const Case c :
         {Case{2, 3}, Case{4, 5}, Case{8, 9}, Case{16, 17}, Case{32, 32}, Case{0, 1}}) {
        ASSERT_TRUE(bobUser->h.manager->SetStatus(c.mode));
        EXPECT_TRUE(annUser->DriveUntil([&] { return LastStatus(*annUser, bob.id) == c.seen; }))
            << "mode " << c.mode << " seen as " << LastStatus(*annUser, bob.id);
    }
    bobUser->h.manager->Disconnect(true);
    EXPECT_TRUE(annUser->DriveUntil([&] { return LastStatus(*annUser, bob.id) == 0; }));
}

TEST_F(VoiceSessionTest, AnInvisibleUserNeverShowsOnlineAndStillGetsMessages) {
    auto annUser = LogIn(ann, bob.id + "\n");
    auto bobUser = rig.NewUser();
    bobUser->h.manager->SetStatus(32);  // chosen before connecting: sent at login
    ASSERT_TRUE(rig.LogIn(*bobUser, bob, rig.LogInToDirectory(bob)));
    ASSERT_TRUE(annUser->DriveUntil([&] { return LastStatus(*annUser, bob.id) == 32; }));
    for (const std::string& line : annUser->Events("Watch " + bob.id + " ")) {
        EXPECT_NE(line.substr(0, 8 + bob.id.size()), "Watch " + bob.id + " 1") << line;
    }
    ASSERT_TRUE(annUser->h.manager->SendUserMessage(bob.id, "", 8, 0, "psst"));
    EXPECT_TRUE(bobUser->DriveUntil(
        [&] { return bobUser->Saw("UserMessage Ann " + ann.id + " 8 0 psst"); }));
}

TEST_F(VoiceSessionTest, MessagesGoBothWaysWithTheSendersNicknameAndId) {
    auto annUser = LogIn(ann);
    auto bobUser = LogIn(bob);
    const std::string text = "two\r\nlines\twith a tab";
    ASSERT_TRUE(annUser->h.manager->SendUserMessage(bob.id, "", 8, 3, text));
    EXPECT_TRUE(bobUser->DriveUntil(
        [&] { return bobUser->Saw("UserMessage Ann " + ann.id + " 8 3 " + text); }));
    ASSERT_TRUE(bobUser->h.manager->SendUserMessage(ann.id, "", 13, 1, "away"));
    EXPECT_TRUE(annUser->DriveUntil(
        [&] { return annUser->Saw("UserMessage Bob " + bob.id + " 13 1 away"); }));
}

TEST_F(VoiceSessionTest, ABlockedSendersMessagesAreDroppedWithoutTellingThem) {
    const Account cat = rig.Register("Cat");
    auto annUser = LogIn(ann);
    auto bobUser = LogIn(bob, {}, ann.id + "\n");
    auto catUser = LogIn(cat);
    ASSERT_TRUE(annUser->h.manager->SendUserMessage(bob.id, "", 8, 0, "blocked"));
    // Ann's next message is answered only after the blocked one was handled.
    ASSERT_TRUE(annUser->h.manager->SendUserMessage("4000000000", "", 8, 0, "x"));
    ASSERT_TRUE(annUser->DriveUntil([&] { return !annUser->Events("serverMessage").empty(); }));
    EXPECT_EQ(annUser->Events("serverMessage"),
              Lines{"serverMessage 1 2 User is offline - 4000000000"});
    // What reached Bob before Cat's message would be there by the time Cat's is.
    ASSERT_TRUE(catUser->h.manager->SendUserMessage(bob.id, "", 8, 0, "hello"));
    ASSERT_TRUE(bobUser->DriveUntil([&] { return !bobUser->Events("UserMessage").empty(); }));
    EXPECT_EQ(bobUser->Events("UserMessage"), Lines{"UserMessage Cat " + cat.id + " 8 0 hello"});
}

TEST_F(VoiceSessionTest, AMessageToAnOfflineUserIsAnsweredWithTheOfflineNotice) {
    auto annUser = LogIn(ann);
    ASSERT_TRUE(annUser->h.manager->SendUserMessage(bob.id, "", 8, 0, "are you there?"));
    ASSERT_TRUE(annUser->DriveUntil([&] { return !annUser->Events("serverMessage").empty(); }));
    EXPECT_EQ(annUser->Events("serverMessage"),
              Lines{"serverMessage 1 2 User is offline - " + bob.id});
}

TEST_F(VoiceSessionTest, ASecondLoginOfTheSameAccountIsRefusedAndTheFirstStays) {
    auto first = LogIn(ann);
    auto bobUser = LogIn(bob);
    auto second = rig.NewUser();
    CSonaroManager& m = *second->h.manager;
    m.SetVoiceTicket(rig.LogInToDirectory(ann));
    ASSERT_TRUE(m.Connect("127.0.0.1", rig.VoicePort(), ann.nick, ann.id));
    ASSERT_TRUE(second->DriveUntil([&] { return !second->Events("serverMessage").empty(); }));
    EXPECT_EQ(second->Events("serverMessage"), Lines{"serverMessage 3 3 Alias in use - " + ann.id});
    EXPECT_TRUE(second->DriveUntil([&] { return m.State() == CSonaroManager::kIdle; }));
    EXPECT_FALSE(second->Saw("ConnectionState 4"));

    ASSERT_TRUE(bobUser->h.manager->SendUserMessage(ann.id, "", 8, 0, "still there?"));
    EXPECT_TRUE(first->DriveUntil(
        [&] { return first->Saw("UserMessage Bob " + bob.id + " 8 0 still there?"); }));
}

TEST_F(VoiceSessionTest, ATicketOfAnotherAccountIsALostConnectionNotARefusal) {
    auto user = rig.NewUser();
    CSonaroManager& m = *user->h.manager;
    m.SetVoiceTicket(rig.LogInToDirectory(bob));  // Bob's login, claiming to be Ann
    ASSERT_TRUE(m.Connect("127.0.0.1", rig.VoicePort(), ann.nick, ann.id));
    ASSERT_TRUE(user->DriveUntil([&] { return m.State() == CSonaroManager::kIdle; }));
    // Message 8 would make the program forget the stored login; a lost connection (5) makes
    // it log in afresh.
    EXPECT_TRUE(user->Events("serverMessage").empty());
    EXPECT_FALSE(user->Saw("ConnectionState 4"));
    const Lines events = user->Events("connectionEvent 5 ");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("connectionEvent 5 The voice login was refused (issued to another "
                              "user)",
                              0),
              0u)
        << events[0];

    // Nothing reached the impostor: a message to Ann finds nobody.
    auto bobUser = LogIn(bob);
    ASSERT_TRUE(bobUser->h.manager->SendUserMessage(ann.id, "", 8, 0, "hi"));
    EXPECT_TRUE(bobUser->DriveUntil(
        [&] { return bobUser->Saw("serverMessage 1 2 User is offline - " + ann.id); }));
}

TEST_F(VoiceSessionTest, NoEventFollowsADisconnectDuringTheConnection) {
    auto user = rig.NewUser();
    CSonaroManager& m = *user->h.manager;
    m.SetVoiceTicket(rig.LogInToDirectory(ann));
    ASSERT_TRUE(m.Connect("127.0.0.1", rig.VoicePort(), ann.nick, ann.id));
    ASSERT_TRUE(m.Disconnect(true));
    const std::size_t seen = user->h.events.log.size();
    user->DriveFor(1500);
    EXPECT_EQ(user->h.events.log.size(), seen);
    EXPECT_EQ(m.PendingEvents(), 0u);
}

TEST_F(VoiceSessionTest, PingAndPacketLossAreMeasured) {
    auto user = LogIn(ann);
    EXPECT_TRUE(user->DriveUntil([&] { return user->h.manager->GetPing() > 0; }, 5000));
    EXPECT_EQ(user->h.manager->GetPacketLoss(), 0.0f);
}

}  // namespace
}  // namespace qv
