#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "app/StringTable.h"
#include "engine/SonaroLibrary.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;
namespace id = sonaro_id;

// A command that passes its arguments on to one engine call.
struct PassThrough {
    const char* name;
    std::function<bool(CSonaroManager&)> run;
    bool needsConnection;  // state 3 or 4; else the engine only has to be alive
    const char* call;      // what the engine sees
    int dispatchId;        // to script a failing result; 0: no result to fail
};

const PassThrough kPassThrough[] = {
    {"InviteUser", [](CSonaroManager& m) { return m.InviteUser("7", 0, ""); }, true,
     "InviteUser(\"7\", 0, \"\")", id::kInviteUser},
    {"AcceptConference", [](CSonaroManager& m) { return m.AcceptConference(5); }, true,
     "AcceptConference(5)", id::kAcceptConference},
    {"DeclineConference", [](CSonaroManager& m) { return m.DeclineConference(5, 1, "dnd"); }, true,
     "DeclineConference(5, 1, \"dnd\")", id::kDeclineConference},
    {"LeaveConference", [](CSonaroManager& m) { return m.LeaveConference(5, 0, ""); }, true,
     "LeaveConference(5, 0, \"\")", id::kLeaveConference},
    {"HoldConference", [](CSonaroManager& m) { return m.HoldConference(5, 0, ""); }, true,
     "HoldConference(5, 0, \"\")", id::kHoldConference},
    {"CancelInvitations", [](CSonaroManager& m) { return m.CancelInvitations("7\n", 0, ""); }, true,
     "CancelInvitations(\"7\\n\", 0, \"\")", id::kCancelInvitations},
    {"SendUserMessage",
     [](CSonaroManager& m) { return m.SendUserMessage("7", "Ann", 8, 2, "hi\r\nthere"); }, true,
     "SendUserMessage(\"7\", 8, 2, \"hi\\r\\nthere\")", id::kSendUserMessage},
    {"SendTextChatMessage", [](CSonaroManager& m) { return m.SendTextChatMessage("hello"); }, true,
     "SendUserMessage(\"\", 4, 0, \"hello\")", id::kSendUserMessage},
    {"SendWhisper", [](CSonaroManager& m) { return m.SendWhisper("Ann", "psst"); }, true,
     "SendUserMessage(\"Ann\", 5, 0, \"psst\")", id::kSendUserMessage},
    {"SendTextChatCommand", [](CSonaroManager& m) { return m.SendTextChatCommand("waves"); }, true,
     "SendUserMessage(\"\", 6, 0, \"waves\")", id::kSendUserMessage},
    {"MuteMember", [](CSonaroManager& m) { return m.MuteMember("7", true); }, true,
     "MuteMember(\"7\\n\", 1)", id::kMuteMember},
    {"BanMember", [](CSonaroManager& m) { return m.BanMember("7\n", 1); }, true,
     "BanMember(\"7\\n\", 1)", id::kBanMember},
    {"SetMemberMicrophone", [](CSonaroManager& m) { return m.SetMemberMicrophone("7", 2); }, true,
     "SetMemberMicrophone(\"7\\n\", 2)", id::kSetMemberMicrophone},
    {"SetMemberRole", [](CSonaroManager& m) { return m.SetMemberRole("7", 1, 1); }, true,
     "SetMemberRole(\"7\\n\", 1, 1)", id::kSetMemberRole},
    {"JoinForum", [](CSonaroManager& m) { return m.JoinForum("Lobby", "pw", 2); }, true,
     "JoinGroup(\"Lobby\", \"pw\", 2)", id::kJoinGroup},
    {"SetSquelch", [](CSonaroManager& m) { return m.SetSquelch(4); }, false, "Squelch=4", 0},
    {"SetTalkDirect", [](CSonaroManager& m) { return m.SetTalkDirect(true); }, false, "Talk(1)",
     id::kTalk},
    {"SetBehindFirewall", [](CSonaroManager& m) { return m.SetBehindFirewall(1); }, false,
     "SetParameter(1, 1)", 0},
    {"SetLocalEcho", [](CSonaroManager& m) { return m.SetLocalEcho(1); }, false,
     "SetParameter(0, 1)", 0},
    {"ClearModeFlags", [](CSonaroManager& m) { return m.ClearModeFlags(); }, false, "ModeFlags=0",
     0},
    {"DisbandGroup", [](CSonaroManager& m) { return m.DisbandGroup(); }, false, "DisbandGroup()",
     id::kDisbandGroup},
    {"RenameGroup", [](CSonaroManager& m) { return m.RenameGroup("New/Name"); }, false,
     "RenameGroup(\"New/Name\")", id::kRenameGroup},
    {"RecordWave", [](CSonaroManager& m) { return m.RecordWave("/tmp/vm.wav", 1); }, false,
     "RecordWave(\"/tmp/vm.wav\", 1)", id::kRecordWave},
    {"StopFile", [](CSonaroManager& m) { return m.StopFile(3); }, false, "StopFile(3)",
     id::kStopFile},
    {"PauseFile", [](CSonaroManager& m) { return m.PauseFile(3, true); }, false, "PauseFile(3, 1)",
     id::kPauseFile},
};

class PassThroughTest : public ::testing::TestWithParam<PassThrough> {
  protected:
    // Alive but idle: connected once, then disconnected.
    void AliveAndIdle() {
        ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
        h.manager->Disconnect(false);
        h.ClearCalls();
    }
    void Connected() {
        ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
        h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, ""); });
        h.ClearCalls();
    }
    test::EngineHarness h;
};

TEST_P(PassThroughTest, RefusedWithoutAnEngine) {
    EXPECT_FALSE(GetParam().run(*h.manager));
    EXPECT_EQ(h.factory->created, 0);
}

TEST_P(PassThroughTest, ConnectionRuleWhenIdle) {
    AliveAndIdle();
    const bool result = GetParam().run(*h.manager);
    if (GetParam().needsConnection) {
        EXPECT_FALSE(result);
        EXPECT_TRUE(h.Calls().empty());
    } else {
        EXPECT_TRUE(result);
        EXPECT_EQ(h.Calls(), Lines{GetParam().call});
    }
}

TEST_P(PassThroughTest, PassedOnWhenConnected) {
    Connected();
    EXPECT_TRUE(GetParam().run(*h.manager));
    EXPECT_EQ(h.Calls(), Lines{GetParam().call});
}

TEST_P(PassThroughTest, EngineFailureIsReported) {
    Connected();
    if (GetParam().dispatchId == 0) {
        EXPECT_TRUE(GetParam().run(*h.manager));  // a property write has no result to fail
        return;
    }
    h.Sim()->ScriptResults(GetParam().dispatchId, {0});
    EXPECT_FALSE(GetParam().run(*h.manager));
}

INSTANTIATE_TEST_SUITE_P(Commands, PassThroughTest, ::testing::ValuesIn(kPassThrough),
                         [](const auto& info) { return std::string(info.param.name); });

class ManagerCommandsTest : public ::testing::Test {
  protected:
    void Connected() {
        ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
        h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, ""); });
        h.ClearCalls();
    }
    void InForum() {
        h.RaiseAndDrain([](SonaroEventSink& e) { e.JoinedGroup("Lobby"); });
        h.ClearCalls();
    }
    test::EngineHarness h;
};

// ---- Forums ----

TEST_F(ManagerCommandsTest, JoiningTheForumAlreadyJoinedDoesNotCallTheEngine) {
    h.LogIn();
    InForum();
    EXPECT_FALSE(h.manager->JoinForum("Lobby", "", 2));
    EXPECT_TRUE(h.Calls().empty());
    EXPECT_TRUE(h.manager->JoinForum("Other", "", 2));
}

TEST_F(ManagerCommandsTest, LeavingEmptiesTheCurrentGroupAtOnce) {
    h.LogIn();
    InForum();
    EXPECT_TRUE(h.manager->JoinForum("", "", 0));
    EXPECT_EQ(h.Calls(), Lines{"JoinGroup(\"\", \"\", 0)"});
    EXPECT_EQ(h.manager->CurrentGroup(), "");
    EXPECT_FALSE(h.manager->JoinForum("", "", 0));  // nothing left to leave
}

TEST_F(ManagerCommandsTest, AFailureThrownByTheEngineGivesFalse) {
    auto owned = std::make_unique<test::QuietControl>();
    test::QuietControl* engine = owned.get();
    engine->throwOnJoin = true;
    SonaroEventSink* events = nullptr;
    h.factory->replacement = [&owned, &events](SonaroEventSink& sink) {
        events = &sink;
        return SonaroInstance::Adopt(std::move(owned));
    };
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    ASSERT_NE(events, nullptr);
    events->connectionEvent(0, "");
    h.manager->DrainEvents();
    ASSERT_EQ(h.manager->State(), 3);
    EXPECT_FALSE(h.manager->JoinForum("Lobby", "", 0));
    engine->throwOnJoin = false;
    EXPECT_TRUE(h.manager->JoinForum("Lobby", "", 0));
}

// ---- Audio ----

struct AudioCase {
    int result;
    std::string textStart;
};

class StartAudioErrorTest : public ::testing::TestWithParam<AudioCase> {};

TEST_P(StartAudioErrorTest, ShowsTheTextOfTheCode) {
    test::EngineHarness h;
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    h.Sim()->ScriptResults(id::kStartAudio, {GetParam().result});
    h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, ""); });
    EXPECT_FALSE(h.manager->AudioStarted());
    EXPECT_TRUE(h.manager->InStandby());
    ASSERT_EQ(h.notices.texts.size(), 1u);
    EXPECT_EQ(h.notices.texts[0].substr(0, GetParam().textStart.size()), GetParam().textStart);
    EXPECT_FALSE(h.notices.shownNow[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, StartAudioErrorTest,
    ::testing::Values(AudioCase{1, "Audio output open failed.  Your sound card may be in use"},
                      AudioCase{2, "Audio card does not support full duplex."},
                      AudioCase{3, "Audio input open failed."},
                      AudioCase{4, "Codec isn't available."},
                      AudioCase{5, "Audio Playback setup failed."},
                      AudioCase{6, "Codec Test Failed."}, AudioCase{7, "Unknown Audio Error."},
                      AudioCase{9, "Unknown Audio Error."}, AudioCase{42, "Unknown Audio Error."},
                      AudioCase{-3, "Unknown Audio Error."}));

TEST_F(ManagerCommandsTest, StartAudioOnlyOnceAndOnlyWhenConnected) {
    EXPECT_FALSE(h.manager->StartAudio());
    Connected();
    EXPECT_TRUE(h.manager->AudioStarted());
    EXPECT_FALSE(h.manager->StartAudio());
    EXPECT_TRUE(h.Calls().empty());
}

TEST_F(ManagerCommandsTest, StandbyReleasesTheDeviceAndForcesLoggedIn) {
    Connected();
    EXPECT_EQ(h.manager->State(), 3);
    EXPECT_TRUE(h.manager->SetStandby(true));
    EXPECT_EQ(h.manager->State(), 4);
    EXPECT_TRUE(h.manager->InStandby());
    EXPECT_EQ(h.Calls(), Lines{"SetStandby(1)"});
}

TEST_F(ManagerCommandsTest, LeavingStandbyRetriesOnceAfterStoppingTheSounds) {
    Connected();
    h.manager->SetStandby(true);
    h.ClearCalls();
    h.Sim()->ScriptResults(id::kSetStandby, {0, 1});
    EXPECT_TRUE(h.manager->SetStandby(false));
    EXPECT_EQ(h.Calls(), (Lines{"SetStandby(0)", "PlayWave(\"\", 0)", "SetStandby(0)"}));
    EXPECT_EQ(h.waits, std::vector<std::uint32_t>{300});
    EXPECT_FALSE(h.manager->InStandby());
    EXPECT_TRUE(h.notices.texts.empty());
}

TEST_F(ManagerCommandsTest, LeavingStandbyFailingTwiceRaisesTheAudioAlert) {
    Connected();
    h.manager->SetStandby(true);
    h.Sim()->ScriptResults(id::kSetStandby, {0, 0});
    EXPECT_FALSE(h.manager->SetStandby(false));
    EXPECT_TRUE(h.manager->InStandby());
    ASSERT_EQ(h.notices.texts.size(), 1u);
    EXPECT_EQ(h.notices.texts[0], std::string(LoadString(131)));
}

TEST_F(ManagerCommandsTest, LeavingStandbyBeforeAudioEverStartedStartsIt) {
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    h.Sim()->ScriptResults(id::kStartAudio, {3});
    h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, ""); });
    h.ClearCalls();
    EXPECT_TRUE(h.manager->SetStandby(false));
    EXPECT_EQ(h.Calls(), Lines{"StartAudio()"});
    EXPECT_TRUE(h.manager->AudioStarted());
    EXPECT_FALSE(h.manager->InStandby());
}

TEST_F(ManagerCommandsTest, StandbyNeedsAConnection) {
    EXPECT_FALSE(h.manager->SetStandby(true));
    EXPECT_EQ(h.manager->State(), 0);
}

TEST_F(ManagerCommandsTest, TalkOnlyInAForumOrConferenceAndNotInStandby) {
    Connected();
    EXPECT_FALSE(h.manager->SetTalk(false));
    EXPECT_TRUE(h.Calls().empty());
    InForum();
    EXPECT_TRUE(h.manager->IsInGroupOrConference());
    EXPECT_TRUE(h.manager->SetTalk(false));
    EXPECT_TRUE(h.manager->SetTalk(true));
    EXPECT_EQ(h.Calls(), (Lines{"Talk(1)", "Talk(0)"}));
    h.manager->SetStandby(true);
    h.ClearCalls();
    EXPECT_FALSE(h.manager->SetTalk(false));
    EXPECT_TRUE(h.Calls().empty());
}

TEST_F(ManagerCommandsTest, InAConferenceCountsForTalking) {
    Connected();
    h.RaiseAndDrain([](SonaroEventSink& e) { e.JoinedConference(5, 1, 0); });
    h.ClearCalls();
    EXPECT_TRUE(h.manager->IsInGroupOrConference());
    EXPECT_TRUE(h.manager->SetTalk(true));
    EXPECT_EQ(h.Calls(), Lines{"Talk(0)"});
}

TEST_F(ManagerCommandsTest, PushToTalkSetsTheGateAndTheMicrophone) {
    h.options.SetSquelch(6);
    h.user.WriteInt("Options", "MuteVolume", 1);
    h.options.Load();
    Connected();
    EXPECT_TRUE(h.manager->SetPushToTalk(true));  // outside a forum: no Talk
    EXPECT_EQ(h.Calls(), (Lines{"Squelch=0", "MuteVolume=1"}));
    InForum();
    EXPECT_TRUE(h.manager->SetPushToTalk(false));
    EXPECT_EQ(h.Calls(), (Lines{"Talk(1)", "Squelch=6", "MuteVolume=1"}));
    h.ClearCalls();
    EXPECT_TRUE(h.manager->SetPushToTalk(true));
    EXPECT_EQ(h.Calls(), (Lines{"Talk(0)", "Squelch=0", "MuteVolume=1"}));
}

TEST_F(ManagerCommandsTest, PushToTalkNeedsAConnection) {
    EXPECT_FALSE(h.manager->SetPushToTalk(true));
}

TEST_F(ManagerCommandsTest, CodecChangeRestartsRunningAudio) {
    Connected();
    EXPECT_TRUE(h.manager->SetCodec(5));
    EXPECT_EQ(h.Calls(), (Lines{"StopAudio()", "Codec=5", "StartAudio()"}));
    EXPECT_TRUE(h.manager->AudioStarted());
}

TEST_F(ManagerCommandsTest, CodecWithoutRunningAudioIsOnlyWritten) {
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    h.ClearCalls();
    EXPECT_TRUE(h.manager->SetCodec(2));
    EXPECT_EQ(h.Calls(), Lines{"Codec=2"});
}

TEST_F(ManagerCommandsTest, CodecThatDoesNotStartIsReportedAndAudioCountsAsStopped) {
    Connected();
    h.Sim()->ScriptResults(id::kStartAudio, {4});
    EXPECT_FALSE(h.manager->SetCodec(6));
    EXPECT_FALSE(h.manager->AudioStarted());
    EXPECT_TRUE(h.manager->InStandby());
    EXPECT_EQ(h.notices.texts, Lines{"Codec isn't available."});
}

// ---- Presence, watch list and block list ----

TEST_F(ManagerCommandsTest, StatusIsKeptWithoutAnEngineAndSentOnlyWhenLoggedIn) {
    EXPECT_FALSE(h.manager->SetStatus(32));
    EXPECT_EQ(h.manager->PresenceMode(), 32);
    Connected();
    EXPECT_FALSE(h.manager->SetStatus(2));
    EXPECT_TRUE(h.Calls().empty());
    h.RaiseAndDrain([](SonaroEventSink& e) { e.Registered("nick"); });
    EXPECT_EQ(h.Calls()[2], "SetStatus(2)");
    h.ClearCalls();
    EXPECT_TRUE(h.manager->SetStatus(4));
    EXPECT_EQ(h.Calls(), Lines{"SetStatus(4)"});
}

TEST_F(ManagerCommandsTest, ReplacementListsGoToTheEngineOnlyWhenLoggedInEvenWhenEmpty) {
    h.manager->SetWatchList("7\n");
    EXPECT_EQ(h.manager->WatchList(), "7\n");
    Connected();
    EXPECT_FALSE(h.manager->SetBlockList("9\n"));
    EXPECT_TRUE(h.Calls().empty());
    h.RaiseAndDrain([](SonaroEventSink& e) { e.Registered("nick"); });
    h.ClearCalls();
    EXPECT_TRUE(h.manager->SetWatchList("8\n"));
    EXPECT_TRUE(h.manager->SetBlockList(""));  // unblocking the last one must reach the engine
    EXPECT_TRUE(h.manager->SetWatchList(""));
    EXPECT_EQ(h.Calls(), (Lines{"SetWatchList(\"8\\n\", 0)", "SetBlockList(\"\", 0)",
                                "SetWatchList(\"\", 0)"}));
}

struct ListOps {
    const char* name;
    std::function<bool(CSonaroManager&, const std::string&)> add;
    std::function<bool(CSonaroManager&, const std::string&)> remove;
    std::function<const std::string&(CSonaroManager&)> list;
    const char* call;
};

class ListEntryTest : public ::testing::TestWithParam<ListOps> {};

TEST_P(ListEntryTest, EntriesAreWholeLines) {
    test::EngineHarness h;
    const ListOps& ops = GetParam();
    h.LogIn(std::string(), std::string());
    CSonaroManager& m = *h.manager;
    ops.add(m, "312");
    EXPECT_TRUE(ops.add(m, "12"));  // 312 holds no entry 12
    EXPECT_EQ(ops.list(m), "312\n12\n");
    ops.add(m, "12\n");  // already there
    EXPECT_EQ(ops.list(m), "312\n12\n");
    EXPECT_TRUE(ops.remove(m, "12"));
    EXPECT_EQ(ops.list(m), "312\n");
    EXPECT_FALSE(ops.add(m, ""));
    EXPECT_FALSE(ops.remove(m, ""));
    const std::string c = ops.call;
    EXPECT_EQ(h.Calls(), (Lines{c + "(\"312\\n\", 1)", c + "(\"12\\n\", 1)", c + "(\"12\\n\", 1)",
                                c + "(\"12\\n\", 2)"}));
}

TEST_P(ListEntryTest, ChangesBeforeLoginAreKeptForIt) {
    test::EngineHarness h;
    const ListOps& ops = GetParam();
    ops.add(*h.manager, "5");
    ops.add(*h.manager, "6");
    ops.remove(*h.manager, "5");
    EXPECT_EQ(ops.list(*h.manager), "6\n");
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, ""); });
    EXPECT_FALSE(ops.add(*h.manager, "7"));  // connected, not logged in: kept, not sent
    h.ClearCalls();
    h.RaiseAndDrain([](SonaroEventSink& e) { e.Registered("nick"); });
    const Lines calls = h.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), std::string(ops.call) + "(\"6\\n7\\n\", 0)"),
              calls.end());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ListEntryTest,
    ::testing::Values(
        ListOps{"Watch", [](CSonaroManager& m, const std::string& id) { return m.AddWatch(id); },
                [](CSonaroManager& m, const std::string& id) { return m.RemoveWatch(id); },
                [](CSonaroManager& m) -> const std::string& { return m.WatchList(); },
                "SetWatchList"},
        ListOps{"Block", [](CSonaroManager& m, const std::string& id) { return m.AddBlock(id); },
                [](CSonaroManager& m, const std::string& id) { return m.RemoveBlock(id); },
                [](CSonaroManager& m) -> const std::string& { return m.BlockList(); },
                "SetBlockList"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Messages ----

TEST_F(ManagerCommandsTest, MessageTextIsCutTo1023Bytes) {
    Connected();
    const std::string text(1500, 'm');
    EXPECT_TRUE(h.manager->SendUserMessage("7", "", 8, 0, text));
    EXPECT_EQ(h.Calls(), Lines{"SendUserMessage(\"7\", 8, 0, " +
                               sim::QuoteForLog(text.substr(0, 1023)) + ")"});
}

TEST_F(ManagerCommandsTest, EmptyTargetsAreRefused) {
    Connected();
    EXPECT_FALSE(h.manager->SendWhisper("", "psst"));
    EXPECT_FALSE(h.manager->CancelInvitations("", 0, ""));
    EXPECT_TRUE(h.Calls().empty());
}

// ---- Voice mail and sounds ----

TEST_F(ManagerCommandsTest, PlayFileGivesMinusOneWithoutAnEngineElseTheHandle) {
    EXPECT_EQ(h.manager->PlayFile("/tmp/a.wav", 100), -1);
    Connected();
    h.Sim()->ScriptResults(id::kPlayFile, {7});
    EXPECT_EQ(h.manager->PlayFile("/tmp/a.wav", 100), 7);
    EXPECT_EQ(h.Calls(), Lines{"PlayFile(\"/tmp/a.wav\", 100)"});
}

TEST_F(ManagerCommandsTest, PlayWaveMakesProgramRelativePathsAbsolute) {
    EXPECT_EQ(h.manager->PlayWave(".\\Sounds\\ring.wav", 80), 0);
    Connected();
    h.Sim()->ScriptResults(id::kPlayWave, {3});
    EXPECT_EQ(h.manager->PlayWave(".\\Sounds\\ring.wav", 80), 3);
    h.manager->PlayWave("/abs/ring.wav", 50);
    EXPECT_EQ(
        h.Calls(),
        (Lines{"PlayWave(" + sim::QuoteForLog(h.ProgramFolder() + "Sounds/ring.wav") + ", 80)",
               "PlayWave(\"/abs/ring.wav\", 50)"}));
}

// ---- Reads ----

TEST_F(ManagerCommandsTest, ReadsPassThroughAndHaveDefaultsWithoutAnEngine) {
    EXPECT_EQ(h.manager->GetUserList(), "");
    EXPECT_EQ(h.manager->GetPing(), 0);
    EXPECT_EQ(h.manager->GetPacketLoss(), 0.0f);
    EXPECT_FALSE(h.manager->IsCurrentVersion());
    EXPECT_EQ(h.manager->RequiredVersions(), 0);
    EXPECT_EQ(h.manager->StatusCode(), 0);

    Connected();
    sim::SonaroSimulation& s = *h.Sim();
    s.ScriptResults(id::kGetUserList, {std::string("nick\t42\t\n")});
    s.ScriptResults(id::kGetPing, {120});
    s.ScriptResults(id::kGetPacketLoss, {2.5f});
    s.ScriptResults(id::kIsCurrentVersion, {0});
    s.ScriptResults(id::kRequiredVersions, {(101 << 16) | 7});
    s.ScriptResults(id::kStatusCode, {3});
    EXPECT_EQ(h.manager->GetUserList(), "nick\t42\t\n");
    EXPECT_EQ(h.manager->GetPing(), 120);
    EXPECT_EQ(h.manager->GetPacketLoss(), 2.5f);
    EXPECT_FALSE(h.manager->IsCurrentVersion());
    EXPECT_EQ(h.manager->RequiredVersions(), (101 << 16) | 7);
    EXPECT_EQ(h.manager->StatusCode(), 3);
    EXPECT_TRUE(h.manager->IsCurrentVersion());  // script used up: the default again
}

}  // namespace
}  // namespace qv
