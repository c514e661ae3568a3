// The call manager's forum joins and the moderation commands over the real engine manager and
// the simulated engine: what the engine is asked, in order, and what the user is told.

#include <gtest/gtest.h>

#include <algorithm>

#include "CallRig.h"
#include "calls/ForumModeration.h"
#include "calls/ForumNames.h"
#include "calls/ParticipantMenu.h"

namespace qv {
namespace {

using test::CallRig;
using test::Lines;

class ForumCallsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rig.LogIn();
        calls = rig.calls.get();
    }
    // Joins a listed forum and lets the engine answer.
    void Join(const std::string& path) {
        ASSERT_TRUE(calls->JoinExistingForum(path, "", 0, false, false, false, false, false));
        rig.Pump();
        ASSERT_TRUE(calls->ActiveIsForum());
        ASSERT_TRUE(calls->Active()->connected);
        rig.TakeCalls();
        rig.chat.lines.clear();
        rig.panes.log.clear();
    }
    // Me (42, the rig's login) with those flags, Bob (7) and Cid (8) as given.
    void Members(std::uint32_t me, std::uint32_t bob, std::uint32_t cid) {
        auto& p = calls->Active()->participants;
        p = {{"42", "nick", me}, {"7", "Bob", bob}, {"8", "Cid", cid}};
    }
    bool Contains(const Lines& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    CallRig rig;
    CallManager* calls = nullptr;
};

constexpr std::uint32_t kPlain = participant_flag::kPresent;
constexpr std::uint32_t kOwner = participant_flag::kPresent | participant_flag::kOwner;
constexpr std::uint32_t kModerator = participant_flag::kPresent | participant_flag::kModerator;
constexpr std::uint32_t kHoldsMicrophone =
    participant_flag::kPresent | participant_flag::kMicrophone;

// ---- joining ----------------------------------------------------------------------------------

TEST_F(ForumCallsTest, JoiningAListedForumFillsTheSlotUntilTheEngineSaysJoined) {
    int stops = 0;
    calls->SetVoiceMailStop([&stops] { ++stops; });
    ASSERT_TRUE(
        calls->JoinExistingForum("Quorvane/Help", "pw", 0, true, false, false, false, false));
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(rig.surroundings.voiceLinkOff, 1);
    ASSERT_TRUE(calls->ActiveIsForum());
    EXPECT_FALSE(calls->Active()->connected);
    EXPECT_EQ(calls->ActiveForumPassword(), "pw");
    EXPECT_EQ(calls->ActiveForumOptionWord1(), 1);
    EXPECT_EQ(rig.panes.Shown(), (Lines{"active forum Quorvane/Help joining"}));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"JoinGroup(\"Quorvane/Help\", \"pw\", 2)"}));
    EXPECT_TRUE(calls->Active()->connected);
    EXPECT_EQ(rig.chat.lines, (Lines{"joined forum Quorvane/Help"}));
    EXPECT_TRUE(rig.NoticeTexts().empty());
}

TEST_F(ForumCallsTest, JoiningTheForumOneIsInDoesNothing) {
    Join("Lobby");
    EXPECT_TRUE(calls->JoinExistingForum("Lobby", "", 0, false, false, false, false, false));
    EXPECT_TRUE(calls->CreateOrJoinForum("Lobby", "", false, false, false, false, false, false));
    EXPECT_EQ(rig.TakeCalls(), Lines{});
    EXPECT_TRUE(rig.panes.Shown().empty());
    EXPECT_TRUE(calls->Active()->connected);
}

TEST_F(ForumCallsTest, CreatingPassesTheOptionsAsEngineFlags) {
    ASSERT_TRUE(
        calls->CreateOrJoinForum("Quorvane/Mine", "pw", true, true, false, false, true, false));
    EXPECT_EQ(calls->ActiveForumFirstOption(), 1);
    EXPECT_TRUE(calls->ActiveHasControlledMicrophones());
    EXPECT_EQ(rig.TakeCalls(), (Lines{"JoinGroup(\"Quorvane/Mine\", \"pw\", 13)"}));
    ASSERT_TRUE(
        calls->CreateOrJoinForum("Quorvane/Other", "", false, false, false, false, false, false));
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"JoinGroup(\"\", \"\", 0)", "JoinGroup(\"Quorvane/Other\", \"\", 0)"}));
}

TEST_F(ForumCallsTest, PathsUpTo255AreJoinedLongerOnesRefusedExceptForAWebTour) {
    const std::string fits = "Quorvane/" + std::string(kMaxForumPath - 9, 'x');
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_TRUE(calls->CreateOrJoinForum(fits, "", false, false, false, false, false, false));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"JoinGroup(\"" + fits + "\", \"\", 0)"}));
    EXPECT_TRUE(rig.NoticeTexts().empty());
    calls->EndActive(false);
    rig.TakeCalls();

    const std::string tooLong = fits + "y";
    EXPECT_FALSE(calls->CreateOrJoinForum(tooLong, "", false, false, false, false, false, false));
    EXPECT_FALSE(calls->JoinExistingForum(tooLong, "", 0, false, false, false, false, false));
    EXPECT_EQ(rig.TakeCalls(), Lines{});
    EXPECT_TRUE(calls->IsIdle());
    EXPECT_EQ(rig.NoticeTexts(), (Lines{"Forum names must be 255 characters or less.",
                                        "Forum names must be 255 characters or less."}));

    // A web tour's forum: no length check, and the web tour's own voice link stays.
    const int linkOff = rig.surroundings.voiceLinkOff;
    EXPECT_TRUE(calls->CreateOrJoinForum(tooLong, "", false, false, false, true, false, false));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"JoinGroup(\"" + tooLong + "\", \"\", 0)"}));
    EXPECT_EQ(rig.surroundings.voiceLinkOff, linkOff);
    EXPECT_TRUE(calls->ActiveIsWebTourForum());
}

TEST_F(ForumCallsTest, NotLoggedInOrAnEmptyPathMakesNoRecord) {
    EXPECT_FALSE(calls->JoinExistingForum("", "", 0, false, false, false, false, false));
    EXPECT_TRUE(calls->IsIdle());
    CallRig offline;
    EXPECT_FALSE(
        offline.calls->JoinExistingForum("Lobby", "", 0, false, false, false, false, false));
    EXPECT_TRUE(offline.calls->IsIdle());
    EXPECT_TRUE(offline.NoticeTexts().empty());
}

TEST_F(ForumCallsTest, ARefusedJoinRemovesTheHalfMadeRecord) {
    ASSERT_TRUE(
        calls->JoinExistingForum("Quorvane/Gone", "", 0, false, false, false, false, false));
    EXPECT_TRUE(calls->ActiveIsForum());
    rig.Pump();  // "The forum does not exist - Quorvane/Gone"
    EXPECT_TRUE(calls->IsIdle());
    EXPECT_FALSE(Contains(rig.chat.lines, "joined forum Quorvane/Gone"));
    EXPECT_FALSE(Contains(rig.chat.lines, "left forum Quorvane/Gone"));
}

TEST_F(ForumCallsTest, ARefusalNamingTheForumOneIsInLeavesItAlone) {
    Join("Lobby");
    rig.h.Raise([](SonaroEventSink& e) { e.serverMessage(1, 1, "Wrong password - Lobby"); });
    rig.Pump();
    ASSERT_TRUE(calls->ActiveIsForum());
    EXPECT_TRUE(calls->Active()->connected);
}

TEST_F(ForumCallsTest, SwitchingForumsKeepsTheNewOneThroughTheOldOnesAnswers) {
    Join("Lobby");
    ASSERT_TRUE(
        calls->JoinExistingForum("Quorvane/General", "", 0, false, false, false, false, false));
    // JoinedGroup("") for the leave, then JoinedGroup for the new forum.
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"JoinGroup(\"\", \"\", 0)", "JoinGroup(\"Quorvane/General\", \"\", 2)"}));
    ASSERT_TRUE(calls->ActiveIsForum());
    EXPECT_EQ(calls->ActiveForumName(), "Quorvane/General");
    EXPECT_TRUE(calls->Active()->connected);
    EXPECT_EQ(rig.chat.lines,
              (Lines{"left forum Lobby", "no conversation", "joined forum Quorvane/General"}));
}

TEST_F(ForumCallsTest, AnAnswerForAnotherPathDoesNotConnectTheJoiningForum) {
    auto forum = std::make_unique<CallRecord>();
    forum->forumName = "A/B";
    ASSERT_TRUE(calls->FillActiveForum(std::move(forum)));
    rig.h.Raise([](SonaroEventSink& e) { e.JoinedGroup("C/D"); });
    rig.Pump();
    EXPECT_FALSE(calls->Active()->connected);
    rig.h.Raise([](SonaroEventSink& e) { e.JoinedGroup(""); });
    rig.Pump();
    ASSERT_TRUE(calls->ActiveIsForum());
    rig.h.Raise([](SonaroEventSink& e) { e.JoinedGroup("A/B"); });
    rig.Pump();
    EXPECT_TRUE(calls->Active()->connected);
}

// ---- once joined ------------------------------------------------------------------------------

TEST_F(ForumCallsTest, TheControlledMicrophoneNoticeIsASystemMessageOnceThenAChatLine) {
    ASSERT_TRUE(
        calls->CreateOrJoinForum("Quorvane/Mics", "", false, false, false, false, true, false));
    rig.Pump();
    EXPECT_EQ(rig.NoticeTexts(), (Lines{CallManager::kControlledMicrophonesNotice}));
    // The engine's canTalkEvent(true) after the join, as a chat line in such a forum.
    EXPECT_EQ(rig.chat.lines, (Lines{"joined forum Quorvane/Mics",
                                     std::string("notice ") + CallManager::kGrantedSpeaking}));
    calls->EndActive(false);
    rig.chat.lines.clear();
    ASSERT_TRUE(
        calls->CreateOrJoinForum("Quorvane/Mics2", "", false, false, false, false, true, false));
    rig.Pump();
    EXPECT_EQ(rig.NoticeTexts().size(), 1u);
    EXPECT_EQ(rig.chat.lines,
              (Lines{"joined forum Quorvane/Mics2",
                     std::string("notice ") + CallManager::kControlledMicrophonesNotice,
                     std::string("notice ") + CallManager::kGrantedSpeaking}));
    rig.chat.lines.clear();
    rig.h.Raise([](SonaroEventSink& e) { e.canTalkEvent(0); });
    rig.Pump();
    EXPECT_EQ(rig.chat.lines, (Lines{std::string("notice ") + CallManager::kNoSpeaking}));
    EXPECT_EQ(std::string(CallManager::kControlledMicrophonesNotice)
                  .rfind("This forum uses Controlled Microphones. Only Owners, Moderators, and "
                         "those who have been handed a microphone may speak. To receive a "
                         "microphone, you may request it via the Text Chat window, or by Instant "
                         "Messaging a moderator. ",
                         0),
              0u);
}

TEST_F(ForumCallsTest, SpeakingPrivilegesAreNotShownInOtherForums) {
    Join("Lobby");
    rig.h.Raise([](SonaroEventSink& e) { e.canTalkEvent(1); });
    rig.Pump();
    EXPECT_TRUE(rig.chat.lines.empty());
}

TEST_F(ForumCallsTest, AWebTourForumWithControlledMicrophonesShowsNoNotice) {
    ASSERT_TRUE(
        calls->CreateOrJoinForum("Quorvane/Tour", "", false, false, false, true, true, false));
    rig.Pump();
    EXPECT_TRUE(rig.NoticeTexts().empty());
}

TEST_F(ForumCallsTest, BanningTheBlockListOnceJoined) {
    rig.surroundings.blocked = {"5", "6"};
    ASSERT_TRUE(
        calls->CreateOrJoinForum("Quorvane/Mine", "", false, false, false, false, false, true));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"JoinGroup(\"Quorvane/Mine\", \"\", 0)",
                                      "BanMember(\"5\\n\", 1)", "BanMember(\"6\\n\", 1)"}));
    // Without the option nobody is banned.
    ASSERT_TRUE(
        calls->CreateOrJoinForum("Quorvane/Yours", "", false, false, false, false, false, false));
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"JoinGroup(\"\", \"\", 0)", "JoinGroup(\"Quorvane/Yours\", \"\", 0)"}));
}

TEST_F(ForumCallsTest, ThrownOutByTheServerEndsTheSlotWithoutALeave) {
    Join("Lobby");
    rig.h.Raise([](SonaroEventSink& e) { e.JoinedGroup(""); });
    rig.Pump();
    EXPECT_TRUE(calls->IsIdle());
    EXPECT_EQ(rig.TakeCalls(), Lines{});
    EXPECT_EQ(rig.chat.lines, (Lines{"left forum Lobby", "no conversation"}));
    EXPECT_EQ(rig.panes.Shown(), (Lines{"active none"}));
}

// ---- forced push-to-talk ----------------------------------------------------------------------

TEST_F(ForumCallsTest, ForcedPushToTalkFollowsTheParticipantCount) {
    Join("Lobby");
    calls->ParticipantCountChanged(7);
    calls->ParticipantCountChanged(8);
    EXPECT_TRUE(calls->ForcedPushToTalkOn());
    calls->ParticipantCountChanged(5);
    EXPECT_TRUE(calls->ForcedPushToTalkOn());
    calls->ParticipantCountChanged(4);
    EXPECT_FALSE(calls->ForcedPushToTalkOn());
    EXPECT_EQ(rig.panes.log, (Lines{"forced on", "forced off"}));
    EXPECT_EQ(rig.NoticeTexts().size(), 2u);
    // With the PushToTalk setting on the switch is silent.
    rig.h.options.SetPushToTalk(1);
    calls->ParticipantCountChanged(9);
    calls->ParticipantCountChanged(1);
    EXPECT_EQ(rig.NoticeTexts().size(), 2u);
    EXPECT_EQ(rig.panes.log.size(), 4u);
}

TEST_F(ForumCallsTest, ForcedPushToTalkEndsWhenTheForumDoes) {
    Join("Lobby");
    calls->ParticipantCountChanged(8);
    rig.h.Raise([](SonaroEventSink& e) { e.JoinedGroup(""); });
    rig.Pump();
    EXPECT_FALSE(calls->ForcedPushToTalkOn());
    EXPECT_TRUE(Contains(rig.panes.log, "forced off"));
    Join("Lobby");
    calls->ParticipantCountChanged(8);
    ASSERT_TRUE(calls->ForcedPushToTalkOn());
    rig.panes.log.clear();
    calls->EndActive(false);
    EXPECT_FALSE(calls->ForcedPushToTalkOn());
    EXPECT_TRUE(Contains(rig.panes.log, "forced off"));
    // A call never forces it.
    rig.CallAnswered("7", "Bob");
    calls->ParticipantCountChanged(9);
    EXPECT_FALSE(calls->ForcedPushToTalkOn());
}

// ---- moderation -------------------------------------------------------------------------------

TEST_F(ForumCallsTest, KickSendsTheNoticeTakesTheMicrophoneThenBansAndUnbans) {
    Join("Quorvane/General");
    Members(kModerator, kHoldsMicrophone, kPlain);
    calls->Moderation().Kick(*calls->Active(), "7", "too loud");
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"SendUserMessage(\"7\", 14, 1, \"Quorvane/General\\ttoo loud\")",
                     "SetMemberMicrophone(\"7\\n\", 2)", "BanMember(\"7\\n\", 1)",
                     "BanMember(\"7\\n\", 2)"}));
    calls->Moderation().Kick(*calls->Active(), "8", "");
    EXPECT_EQ(rig.TakeCalls(), (Lines{"SendUserMessage(\"8\", 14, 1, \"Quorvane/General\\t\")",
                                      "BanMember(\"8\\n\", 1)", "BanMember(\"8\\n\", 2)"}));
}

TEST_F(ForumCallsTest, BanSendsItsNoticeAndABanOnly) {
    Join("Quorvane/General");
    Members(kOwner, kPlain, kPlain);
    calls->Moderation().Ban(*calls->Active(), "7", "spam");
    EXPECT_EQ(rig.TakeCalls(), (Lines{"SendUserMessage(\"7\", 15, 1, \"Quorvane/General\\tspam\")",
                                      "BanMember(\"7\\n\", 1)"}));
}

TEST_F(ForumCallsTest, UnbanLiftsTheBanAndSaysSo) {
    Join("Quorvane/General");
    EXPECT_TRUE(calls->Moderation().Unban("77"));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"BanMember(\"77\\n\", 2)"}));
    EXPECT_EQ(rig.NoticeTexts(), (Lines{"User 77 has been unbanned from this forum."}));
    EXPECT_FALSE(calls->Moderation().Unban(""));
    EXPECT_FALSE(calls->Moderation().Unban("7\n8"));
    EXPECT_EQ(rig.TakeCalls(), Lines{});
}

TEST_F(ForumCallsTest, RolesAndMicrophones) {
    ASSERT_TRUE(
        calls->CreateOrJoinForum("Quorvane/Mics", "", false, false, false, false, true, false));
    rig.Pump();
    rig.TakeCalls();
    Members(kOwner, kPlain, kHoldsMicrophone);
    ForumModeration& m = calls->Moderation();
    CallRecord& forum = *calls->Active();
    EXPECT_EQ(m.MyFlags(forum), kOwner);
    m.MakeModerator(forum, "7");
    EXPECT_NE(FindParticipant(forum, "7")->flags & participant_flag::kModerator, 0u);
    m.MakeOwner(forum, "7");
    m.RevokeModerator(forum, "7");
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"SetMemberRole(\"7\\n\", 0, 1)", "SetMemberRole(\"7\\n\", 1, 1)",
                     "SetMemberRole(\"7\\n\", 0, 2)", "SetMemberMicrophone(\"7\\n\", 2)"}));
    // Make owner of an owner asks nothing.
    FindParticipant(forum, "7")->flags = kOwner;
    m.MakeOwner(forum, "7");
    EXPECT_EQ(rig.TakeCalls(), Lines{});
    // The selection: give to those without, take from those holding one.
    FindParticipant(forum, "7")->flags = kPlain;
    m.GiveMicrophoneToSelection(forum, {"7", "8"});
    EXPECT_EQ(rig.TakeCalls(), (Lines{"SetMemberMicrophone(\"7\\n\", 1)"}));
    m.TakeMicrophoneFromSelection(forum, {"7", "8"});
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"SetMemberMicrophone(\"7\\n\", 2)", "SetMemberMicrophone(\"8\\n\", 2)"}));
}

TEST_F(ForumCallsTest, MuteTogglesTheFlagAndTellsTheEngine) {
    Join("Lobby");
    Members(kPlain, kPlain, kPlain);
    EXPECT_TRUE(calls->Moderation().ToggleMute(*calls->Active(), "7"));
    EXPECT_FALSE(calls->Moderation().ToggleMute(*calls->Active(), "7"));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"MuteMember(\"7\\n\", 1)", "MuteMember(\"7\\n\", 0)"}));
}

TEST_F(ForumCallsTest, DisbandTellsEveryNonOwnerAndTheSlotEnds) {
    Join("Quorvane/General");
    Members(kOwner, kModerator, kOwner);
    ASSERT_TRUE(calls->Moderation().Disband(*calls->Active()));
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"DisbandGroup()", "SendUserMessage(\"7\", 18, 1, \"Quorvane/General\\t\")"}));
    // The engine's JoinedGroup("") ended the slot; no leave of our own went out.
    EXPECT_TRUE(calls->IsIdle());
}

TEST_F(ForumCallsTest, RenameFollowsTheEngine) {
    Join("Quorvane/General");
    EXPECT_FALSE(calls->Moderation().Rename(""));
    EXPECT_TRUE(calls->Moderation().Rename("Quorvane/Renamed"));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"RenameGroup(\"Quorvane/Renamed\")"}));
    EXPECT_EQ(calls->ActiveForumName(), "Quorvane/Renamed");
    EXPECT_TRUE(calls->Active()->connected);
}

}  // namespace
}  // namespace qv
