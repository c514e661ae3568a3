// Forums between the networked engines of several users on a real voice server, each behind an
// engine manager as the program has it: joining and leaving, the rosters both sides read, the
// forum list, roles, microphones, bans, disbanding, and local echo of text chat lines. The
// forums are hidden ones, which users may create anywhere.

#include <gtest/gtest.h>

#include <algorithm>

#include "AudioCall.h"
#include "VoiceRig.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;
using test::Account;
using test::VoiceUser;

constexpr std::int32_t kHidden = 1;
constexpr std::int32_t kJoinOnly = 2;
constexpr std::int32_t kModerated = 4;
constexpr std::int32_t kControlledMicrophones = 8;

const std::string kForum = "General/Test";

struct Party {
    Account account;
    std::unique_ptr<VoiceUser> user;

    CSonaroManager& M() { return *user->h.manager; }
    std::string Row(const std::string& letters = "") const {
        return account.nick + "\t" + account.id + "\t" + letters + "\n";
    }
    bool ListIs(const std::string& list) {
        return user->DriveUntil([&] { return M().UserListText() == list; });
    }
    bool Sees(const std::string& line) {
        return user->DriveUntil([&] { return user->Saw(line); });
    }
    // How many event lines equal line.
    std::size_t Count(const std::string& line) const {
        const auto& log = user->h.events.log;
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), line));
    }
    void Forget() { user->h.events.log.clear(); }
};

class ForumSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Ready()) << "a server did not start";
        ASSERT_NE(rig.engine, nullptr);
        ann = LogIn("Ann");
        bob = LogIn("Bob");
    }
    Party LogIn(const std::string& nick) {
        Party p;
        p.account = rig.Register(nick);
        p.user = rig.NewUser();
        const std::string ticket = rig.LogInToDirectory(p.account);
        EXPECT_FALSE(ticket.empty());
        EXPECT_TRUE(rig.LogIn(*p.user, p.account, ticket)) << nick << " did not log in";
        return p;
    }
    // Ann makes the forum (its owner), Bob joins it.
    void BothIn(std::int32_t flags, const std::string& password = "") {
        ASSERT_TRUE(ann.M().JoinForum(kForum, password, kHidden | flags));
        ASSERT_TRUE(ann.Sees("JoinedGroup " + kForum));
        ASSERT_TRUE(ann.ListIs(ann.Row("OM")));
        ASSERT_TRUE(bob.M().JoinForum(kForum, password, kJoinOnly));
        ASSERT_TRUE(bob.Sees("JoinedGroup " + kForum));
        ASSERT_TRUE(bob.ListIs(ann.Row("OM") + bob.Row()));
        ASSERT_TRUE(ann.ListIs(ann.Row("OM") + bob.Row()));
    }

    test::VoiceRig rig;
    Party ann;
    Party bob;
};

TEST_F(ForumSessionTest, AJoinShowsBothRostersAndALeaveTakesTheRowAway) {
    // A password-protected forum: Bob needs it.
    ASSERT_TRUE(ann.M().JoinForum(kForum, "secret", kHidden | kModerated));
    ASSERT_TRUE(ann.Sees("JoinedGroup " + kForum));
    EXPECT_TRUE(ann.Sees("canTalkEvent 1"));
    EXPECT_EQ(ann.M().CurrentGroup(), kForum);
    ASSERT_TRUE(bob.M().JoinForum(kForum, "wrong", kJoinOnly));
    EXPECT_TRUE(bob.Sees("serverMessage 1 1 Wrong password - " + kForum));
    ASSERT_TRUE(bob.M().JoinForum(kForum, "secret", kJoinOnly));
    ASSERT_TRUE(bob.Sees("JoinedGroup " + kForum));
    EXPECT_TRUE(bob.ListIs(ann.Row("OM") + bob.Row()));
    EXPECT_TRUE(ann.ListIs(ann.Row("OM") + bob.Row()));
    // Those already there come as existing members; the newcomer as a join.
    EXPECT_TRUE(bob.Sees("UserChange Ann " + ann.account.id + " 1 1"));
    EXPECT_TRUE(ann.Sees("UserChange Bob " + bob.account.id + " 1 0"));
    EXPECT_EQ(bob.Count("UserChange Bob " + bob.account.id + " 1 0"), 0u);

    ASSERT_TRUE(bob.M().JoinForum("", "", 0));
    EXPECT_TRUE(bob.Sees("JoinedGroup "));
    EXPECT_TRUE(bob.ListIs(""));
    EXPECT_TRUE(ann.Sees("UserChange Bob " + bob.account.id + " 0 0"));
    EXPECT_TRUE(ann.ListIs(ann.Row("OM")));
    // A join-only request for a forum that is not there is refused with the path as asked.
    ASSERT_TRUE(bob.M().JoinForum("General/Nowhere", "", kJoinOnly));
    EXPECT_TRUE(bob.Sees("serverMessage 1 1 The forum does not exist - General/Nowhere"));
}

TEST_F(ForumSessionTest, HiddenForumsStayOutOfTheForumList) {
    BothIn(0);
    ann.Forget();
    ASSERT_TRUE(ann.M().ClearModeFlags());
    EXPECT_TRUE(ann.Sees("groupListUpdate "));
    EXPECT_EQ(ann.M().GroupListText().find(kForum), std::string::npos);
    // Each write asks again, and each list is raised once.
    ASSERT_TRUE(ann.M().ClearModeFlags());
    EXPECT_TRUE(ann.user->DriveUntil([&] { return ann.Count("groupListUpdate ") == 2; }));
    ann.user->DriveFor(200);
    EXPECT_EQ(ann.Count("groupListUpdate "), 2u);
}

TEST_F(ForumSessionTest, TheOwnerMakesAModeratorAndTakesTheRoleAway) {
    BothIn(kModerated);
    ASSERT_TRUE(ann.M().SetMemberRole(bob.account.id, 0, 1));
    EXPECT_TRUE(bob.ListIs(ann.Row("OM") + bob.Row("M")));
    EXPECT_TRUE(ann.ListIs(ann.Row("OM") + bob.Row("M")));
    // A moderator may not change roles: refused, nothing changes.
    ASSERT_TRUE(bob.M().SetMemberRole(ann.account.id, 0, 2));
    EXPECT_TRUE(
        bob.user->DriveUntil([&] { return !bob.user->Events("serverMessage 1 6 ").empty(); }));
    ASSERT_TRUE(ann.M().SetMemberRole(bob.account.id, 0, 2));
    EXPECT_TRUE(bob.ListIs(ann.Row("OM") + bob.Row()));
    EXPECT_TRUE(ann.ListIs(ann.Row("OM") + bob.Row()));
    // The owner role.
    ASSERT_TRUE(ann.M().SetMemberRole(bob.account.id, 1, 1));
    EXPECT_TRUE(bob.ListIs(ann.Row("OM") + bob.Row("OM")));
}

TEST_F(ForumSessionTest, AHandedMicrophoneGivesTheRightToSpeakAndTakingItEndsIt) {
    BothIn(kControlledMicrophones);
    EXPECT_TRUE(bob.Sees("canTalkEvent 0"));
    EXPECT_TRUE(ann.Sees("canTalkEvent 1"));
    bob.Forget();
    ASSERT_TRUE(ann.M().SetMemberMicrophone(bob.account.id + "\n", 1));
    EXPECT_TRUE(bob.Sees("canTalkEvent 1"));
    EXPECT_TRUE(bob.ListIs(ann.Row("OM") + bob.Row("T")));
    EXPECT_TRUE(ann.ListIs(ann.Row("OM") + bob.Row("T")));
    ASSERT_TRUE(ann.M().SetMemberMicrophone(bob.account.id, 2));
    EXPECT_TRUE(bob.Sees("canTalkEvent 0"));
    EXPECT_TRUE(bob.ListIs(ann.Row("OM") + bob.Row()));
}

TEST_F(ForumSessionTest, ABanPutsTheMemberOutUntilItIsLifted) {
    BothIn(kModerated);
    bob.Forget();
    ASSERT_TRUE(ann.M().BanMember(bob.account.id, 1));
    EXPECT_TRUE(bob.Sees("JoinedGroup "));
    EXPECT_TRUE(bob.ListIs(""));
    EXPECT_TRUE(ann.Sees("UserChange Bob " + bob.account.id + " 0 0"));
    EXPECT_TRUE(ann.ListIs(ann.Row("OM")));
    ASSERT_TRUE(bob.M().JoinForum(kForum, "", kJoinOnly));
    EXPECT_TRUE(bob.Sees("serverMessage 1 1 You were banned from the forum - " + kForum));
    // Lifted (a kick is a ban and its lifting): Bob may come back.
    ASSERT_TRUE(ann.M().BanMember(bob.account.id, 2));
    // Refused, so answered after the lift: a fence.
    ASSERT_TRUE(ann.M().SetMemberRole(ann.account.id, 1, 1));
    ASSERT_TRUE(ann.user->DriveUntil([&] { return !ann.user->Events("serverMessage").empty(); }));
    ASSERT_TRUE(bob.M().JoinForum(kForum, "", kJoinOnly));
    EXPECT_TRUE(bob.ListIs(ann.Row("OM") + bob.Row()));
}

TEST_F(ForumSessionTest, DisbandingPutsEveryoneOut) {
    BothIn(0);
    // Bob is no owner: refused.
    ASSERT_TRUE(bob.M().DisbandGroup());
    EXPECT_TRUE(
        bob.user->DriveUntil([&] { return !bob.user->Events("serverMessage 1 6 ").empty(); }));
    EXPECT_EQ(bob.M().CurrentGroup(), kForum);
    ASSERT_TRUE(ann.M().DisbandGroup());
    EXPECT_TRUE(ann.Sees("JoinedGroup "));
    EXPECT_TRUE(bob.Sees("JoinedGroup "));
    EXPECT_TRUE(ann.ListIs(""));
    EXPECT_TRUE(bob.ListIs(""));
    EXPECT_EQ(bob.M().CurrentGroup(), "");
    // The forum is gone with it.
    ASSERT_TRUE(bob.M().JoinForum(kForum, "", kJoinOnly));
    EXPECT_TRUE(bob.Sees("serverMessage 1 1 The forum does not exist - " + kForum));
}

TEST_F(ForumSessionTest, ARenameReachesEveryMemberAndKeepsTheRoster) {
    BothIn(0);
    ASSERT_TRUE(ann.M().RenameGroup("General/Renamed"));
    EXPECT_TRUE(ann.Sees("JoinedGroup General/Renamed"));
    EXPECT_TRUE(bob.Sees("JoinedGroup General/Renamed"));
    EXPECT_EQ(bob.M().CurrentGroup(), "General/Renamed");
    // Cat comes after the rename: the rows Ann and Bob hold are still the forum's.
    const Party cat = LogIn("Cat");
    ASSERT_TRUE(cat.user->h.manager->JoinForum("General/Renamed", "", kJoinOnly));
    const std::string all = ann.Row("OM") + bob.Row() + cat.Row();
    EXPECT_TRUE(ann.ListIs(all));
    EXPECT_TRUE(bob.ListIs(all));
}

TEST_F(ForumSessionTest, LocalEchoShowsTheUsersOwnLineOnlyToTheUser) {
    BothIn(0);
    ASSERT_TRUE(ann.M().SetLocalEcho(1));
    ASSERT_TRUE(ann.M().SendTextChatMessage("hello forum"));
    EXPECT_TRUE(ann.Sees("UserMessage Ann " + ann.account.id + " 4 0 hello forum"));
    ann.user->DriveFor(200);
    EXPECT_EQ(ann.Count("UserMessage Ann " + ann.account.id + " 4 0 hello forum"), 1u);
    ASSERT_TRUE(ann.M().SetLocalEcho(0));
    ASSERT_TRUE(ann.M().SendTextChatMessage("not echoed"));
    ann.user->DriveFor(200);
    EXPECT_TRUE(ann.user->Events("UserMessage Ann " + ann.account.id + " 4 0 not").empty());
}

// Voice in a forum with controlled microphones, tone bursts from one microphone file found in
// the other's playback file: the owner is heard, a member without a microphone is not until one
// is handed to it, and a member muted by a listener is not heard by that listener.
TEST(ForumVoiceTest, OnlyThoseWithTheRightToSpeakAreHeardAndAMutedOneIsNot) {
    using namespace test;
    AudioCall call;
    ASSERT_TRUE(call.Ready()) << "a server did not start";
    std::unique_ptr<AudioParty> ann = call.LogIn("Ann");
    std::unique_ptr<AudioParty> bob = call.LogIn("Bob");
    ASSERT_TRUE(ann && bob);
    const auto sees = [](AudioParty& p, const std::string& line) {
        return p.user->DriveUntil([&] { return p.user->Saw(line); });
    };
    ASSERT_TRUE(ann->M().JoinForum(kForum, "", kHidden | kControlledMicrophones));
    ASSERT_TRUE(sees(*ann, "JoinedGroup " + kForum));
    ASSERT_TRUE(bob->M().JoinForum(kForum, "", kJoinOnly));
    ASSERT_TRUE(sees(*bob, "JoinedGroup " + kForum));
    ASSERT_TRUE(sees(*bob, "canTalkEvent 0"));

    // 0-3 s: Bob has no microphone. 3-7 s: he has one, and has muted Ann. From 7 s on: Ann is
    // no longer muted.
    const std::vector<audio::testing::ToneBurst> annBursts = {
        {1000, 500, 60}, {1500, 625, 60}, {4000, 750, 60}, {4500, 875, 60}, {8500, 1000, 60}};
    const std::vector<audio::testing::ToneBurst> bobBursts = {
        {1200, 1500, 60}, {1700, 1625, 60}, {4200, 1750, 60}, {4700, 1875, 60}, {8700, 2000, 60}};
    const std::string annMic = call.rig.folder.File("ann-mic.wav");
    const std::string bobMic = call.rig.folder.File("bob-mic.wav");
    const std::string annHears = call.rig.folder.File("ann-hears.wav");
    const std::string bobHears = call.rig.folder.File("bob-hears.wav");
    ASSERT_TRUE(audio::testing::WriteToneBursts(annMic, annBursts, 9500));
    ASSERT_TRUE(audio::testing::WriteToneBursts(bobMic, bobBursts, 9500));
    ASSERT_TRUE(call.StartOnFiles(*bob, bobMic, bobHears));
    ASSERT_TRUE(call.StartOnFiles(*ann, annMic, annHears));
    const std::int64_t start = ann->audioStartNs;
    const auto driveTo = [&](int ms) {
        const std::int64_t left = start + std::int64_t{ms} * 1'000'000 - MonotonicNs();
        call.Drive(*ann, *bob, static_cast<int>(std::max<std::int64_t>(0, left / 1'000'000)));
    };
    driveTo(3000);
    ASSERT_TRUE(ann->M().SetMemberMicrophone(bob->account.id, 1));
    ASSERT_TRUE(bob->M().MuteMember(ann->account.id, true));
    driveTo(7000);
    ASSERT_TRUE(bob->M().MuteMember(ann->account.id, false));
    driveTo(9500);
    AudioCall::StopAudio(*ann);
    AudioCall::StopAudio(*bob);
    EXPECT_TRUE(bob->user->Saw("canTalkEvent 1"));

    const auto heard = [](const std::string& mic, std::int64_t micStart, const std::string& out,
                          std::int64_t outStart, const std::vector<audio::testing::ToneBurst>& b) {
        std::vector<bool> found;
        for (const BurstTrip& trip :
             MeasureTrips(mic, micStart, out, outStart, Frequencies(b)).trips) {
            found.push_back(trip.latency.has_value() && *trip.latency < 200);
        }
        return found;
    };
    EXPECT_EQ(heard(annMic, ann->audioStartNs, bobHears, bob->audioStartNs, annBursts),
              (std::vector<bool>{true, true, false, false, true}))
        << "Ann to Bob";
    EXPECT_EQ(heard(bobMic, bob->audioStartNs, annHears, ann->audioStartNs, bobBursts),
              (std::vector<bool>{false, false, true, true, true}))
        << "Bob to Ann";
}

}  // namespace
}  // namespace qv
