// The simulation in automatic mode, as a person clicking through the program would meet it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "platform/FileIo.h"
#include "platform/WavePlayer.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;
using States = std::vector<int>;

class SimAutomaticTest : public ::testing::Test {
  protected:
    SimAutomaticTest() { h.factory->mode = sim::Mode::Automatic; }
    // Lets the simulated server answer, then the view's timer run.
    void Pump() {
        for (int i = 0; i < 5; ++i) {
            if (sim::SonaroSimulation* s = h.Sim()) {
                s->WaitIdle();
            }
            if (h.manager->DrainEvents() == 0) {
                return;
            }
        }
    }
    void LogIn(const std::string& watch = {}) {
        h.manager->SetWatchList(watch);
        ASSERT_TRUE(h.manager->Connect("127.0.0.1", 12011, "nick", "42"));
        Pump();
        ASSERT_EQ(h.manager->State(), 4);
    }
    test::EngineHarness h;
};

TEST_F(SimAutomaticTest, ConnectsAndLogsInByItself) {
    LogIn("7\n42\n8\n");
    EXPECT_EQ(h.events.states, (States{2, 3, 4}));
    Lines watch;
    for (const std::string& line : h.events.log) {
        if (line.rfind("Watch", 0) == 0) {
            watch.push_back(line);
        }
    }
    // The burst leaves out our own id; setting the status after it reports us.
    EXPECT_EQ(watch, (Lines{"Watch 7 0 1 0", "Watch 8 0 1 1", "Watch 42 1 0 0"}));
    EXPECT_TRUE(h.manager->AudioStarted());
    EXPECT_TRUE(h.notices.texts.empty());
}

TEST_F(SimAutomaticTest, EveryNonEmptyLineOfALongWatchListIsAnswered) {
    // Lines that are no ids, an empty line, and more ids than the voice server keeps.
    std::string list = "7\nabc\n\n\r\n";
    for (int i = 0; i < 10002; ++i) {
        list += std::to_string(1000000 + i) + "\n";
    }
    LogIn(list + "42\n");
    Lines watch;
    for (const std::string& line : h.events.log) {
        if (line.rfind("Watch", 0) == 0) {
            watch.push_back(line);
        }
    }
    ASSERT_EQ(watch.size(), 10005u + 1);  // the burst, then our own status
    EXPECT_EQ(watch[1], "Watch abc 0 1 0");
    EXPECT_EQ(watch[2], "Watch \r 0 1 0");
    EXPECT_EQ(watch[10004], "Watch 1010001 0 1 1");
}

TEST_F(SimAutomaticTest, StatusChangesComeBackForOurOwnId) {
    LogIn("42\n");
    h.events.log.clear();
    h.manager->SetStatus(32);
    h.manager->SetStatus(2);
    Pump();
    EXPECT_EQ(h.events.log, (Lines{"Watch 42 32 0 0", "Watch 42 3 0 0"}));
}

TEST_F(SimAutomaticTest, MessagesToOneselfComeBackAndToOthersAreUndeliverable) {
    LogIn();
    h.events.log.clear();
    h.manager->SendUserMessage("42", "", 8, 2, "note to self");
    h.manager->SendUserMessage("7", "", 8, 0, "hello");
    Pump();
    EXPECT_EQ(h.events.log, (Lines{"UserMessage nick 42 8 2 note to self",
                                   "serverMessage 1 2 User is offline - 7"}));
    EXPECT_EQ(h.messageLog.records, Lines{"42|nick|note to self"});
}

TEST_F(SimAutomaticTest, ForumsCanBeListedJoinedAndLeft) {
    h.options.SetPushToTalk(0);
    h.machine.WriteInt("Internal", "LocalEcho", 1);
    h.options.Load();
    LogIn();
    h.events.log.clear();
    h.manager->ClearModeFlags();
    Pump();
    ASSERT_EQ(h.events.log.size(), 1u);
    EXPECT_EQ(h.events.log[0],
              "groupListUpdate Lobby\t0\t\nQuorvane/General\t0\t\nQuorvane/Help\t0\tM\n");
    h.events.log.clear();

    EXPECT_TRUE(h.manager->JoinForum("Lobby", "", 2));
    Pump();
    EXPECT_EQ(h.manager->CurrentGroup(), "Lobby");
    EXPECT_EQ(h.events.log,
              (Lines{"JoinedGroup Lobby", "userListUpdate nick\t42\t\n", "canTalkEvent 1"}));
    h.events.log.clear();
    h.manager->SendTextChatMessage("hi all");
    Pump();
    EXPECT_EQ(h.events.log, Lines{"UserMessage nick 42 4 0 hi all"});
    h.events.log.clear();

    EXPECT_TRUE(h.manager->JoinForum("Nowhere/Else", "", 2));
    Pump();
    EXPECT_EQ(h.events.log, Lines{"serverMessage 1 1 The forum does not exist - Nowhere/Else"});
    h.events.log.clear();
    EXPECT_TRUE(h.manager->JoinForum("", "", 0));
    Pump();
    EXPECT_EQ(h.events.log, (Lines{"JoinedGroup ", "userListUpdate "}));
}

TEST_F(SimAutomaticTest, CallsToAbsentUsersEndAlone) {
    LogIn();
    h.events.log.clear();
    EXPECT_TRUE(h.manager->InviteUser("7", 0, ""));
    Pump();
    ASSERT_GE(h.events.log.size(), 3u);
    EXPECT_EQ(h.events.log[0].rfind("JoinedConference ", 0), 0u);
    EXPECT_EQ(h.events.log[2], "serverMessage 1 5 User is offline - 7");
    const std::int32_t conference = h.manager->ConferenceId();
    ASSERT_NE(conference, 0);
    h.events.log.clear();
    EXPECT_TRUE(h.manager->LeaveConference(conference, 0, ""));
    Pump();
    EXPECT_EQ(h.manager->ConferenceId(), 0);
    EXPECT_EQ(h.events.log.front(), "JoinedConference " + std::to_string(conference) + " 0 1");
}

// The scripted callees and callers of the simulated server, as the call control meets them.
class SimCallTest : public SimAutomaticTest {
  protected:
    void SetUp() override {
        LogIn();
        sim = h.Sim();
        ASSERT_NE(sim, nullptr);
        sim->ScriptCallee("7", sim::SimCallee{"Bob", sim::CalleeAnswer::Ringing, 0, ""});
        h.events.log.clear();
    }
    // The events since the last call, then forgets them.
    Lines Take() {
        Pump();
        Lines out;
        out.swap(h.events.log);
        return out;
    }
    static std::string Id(std::int32_t conference) { return std::to_string(conference); }
    // Places a call to Bob that he answers: the conference.
    std::int32_t CallBob() {
        EXPECT_TRUE(h.manager->InviteUser("7", 0, ""));
        Pump();
        EXPECT_TRUE(sim->RemoteAnswer("7"));
        Take();
        return h.manager->ConferenceId();
    }
    sim::SonaroSimulation* sim = nullptr;
};

TEST_F(SimCallTest, TheCalleeRingsInOurListUntilItAnswers) {
    ASSERT_TRUE(h.manager->InviteUser("7", 0, ""));
    Lines events = Take();
    const std::int32_t c = h.manager->ConferenceId();
    ASSERT_NE(c, 0);
    EXPECT_EQ(events, (Lines{"JoinedConference " + Id(c) + " 1 0",
                             "userListUpdate nick\t42\t\nBob\t7\tI\n"}));
    ASSERT_TRUE(sim->RemoteAnswer("7"));
    EXPECT_FALSE(sim->RemoteAnswer("7"));
    EXPECT_EQ(Take(), (Lines{"AcceptedConference 1 Bob 7 0 ", "UserChange Bob 7 1 0",
                             "userListUpdate nick\t42\t\nBob\t7\t\n"}));
}

TEST_F(SimCallTest, ScriptedAnswersComeInTheOrderTheCallControlNeeds) {
    struct Case {
        sim::SimCallee callee;
        Lines after;  // what follows the JoinedConference
    };
    const Case cases[] = {
        {{"Bob", sim::CalleeAnswer::Answering, 0, ""},
         {"userListUpdate nick\t42\t\nBob\t7\t\n", "AcceptedConference 1 Bob 7 0 ",
          "UserChange Bob 7 1 0", "userListUpdate nick\t42\t\nBob\t7\t\n"}},
        {{"Bob", sim::CalleeAnswer::Declining, 1, "Please, do not disturb!"},
         {"userListUpdate nick\t42\t\n", "AcceptedConference 0 Bob 7 1 Please, do not disturb!",
          "UserChange Bob 7 0 0", "userListUpdate nick\t42\t\n"}},
        {{"Bob", sim::CalleeAnswer::Declining, 2, ""},
         {"userListUpdate nick\t42\t\n", "AcceptedConference 0 Bob 7 2 ", "UserChange Bob 7 0 0",
          "userListUpdate nick\t42\t\n"}},
        {{"", sim::CalleeAnswer::Offline, 0, ""},
         {"userListUpdate nick\t42\t\n", "serverMessage 1 5 User is offline - 7"}},
    };
    for (const Case& c : cases) {
        sim->ScriptCallee("7", c.callee);
        ASSERT_TRUE(h.manager->InviteUser("7", 0, ""));
        Lines events = Take();
        const std::int32_t conference = h.manager->ConferenceId();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front(), "JoinedConference " + Id(conference) + " 1 0");
        events.erase(events.begin());
        EXPECT_EQ(events, c.after) << c.callee.reason;
        // The call survives with us alone in it until we leave.
        EXPECT_EQ(h.manager->GetUserList(), c.callee.answer == sim::CalleeAnswer::Answering
                                                ? "nick\t42\t\nBob\t7\t\n"
                                                : "nick\t42\t\n");
        ASSERT_TRUE(h.manager->LeaveConference(conference, 0, ""));
        EXPECT_EQ(Take(),
                  (Lines{"JoinedConference " + Id(conference) + " 0 1", "userListUpdate "}));
    }
}

TEST_F(SimCallTest, ADeclineRaisedLaterComesBeforeTheCalleeDropsOut) {
    ASSERT_TRUE(h.manager->InviteUser("7", 0, ""));
    Take();
    ASSERT_TRUE(sim->RemoteDecline("7", 3, ""));
    EXPECT_FALSE(sim->RemoteDecline("7", 3, ""));
    EXPECT_EQ(Take(), (Lines{"AcceptedConference 0 Bob 7 3 ", "UserChange Bob 7 0 0",
                             "userListUpdate nick\t42\t\n"}));
}

TEST_F(SimCallTest, HangingUpBeforeTheAnswerWithdrawsTheInvitation) {
    ASSERT_TRUE(h.manager->InviteUser("7", 0, ""));
    Take();
    const std::int32_t c = h.manager->ConferenceId();
    ASSERT_TRUE(h.manager->CancelInvitations("7\n", 0, ""));
    ASSERT_TRUE(h.manager->LeaveConference(c, 0, ""));
    EXPECT_EQ(Take(), (Lines{"UserChange Bob 7 0 0", "userListUpdate ",
                             "JoinedConference " + Id(c) + " 0 1", "userListUpdate "}));
    EXPECT_FALSE(sim->RemoteAnswer("7"));
    EXPECT_EQ(h.manager->ConferenceId(), 0);
}

TEST_F(SimCallTest, AThirdPartyJoinsTheSameCallWithoutASecondJoin) {
    const std::int32_t c = CallBob();
    sim->ScriptCallee("8", sim::SimCallee{"Dan", sim::CalleeAnswer::Answering, 0, ""});
    ASSERT_TRUE(h.manager->InviteUser("8", 0, ""));
    const Lines events = Take();
    for (const std::string& e : events) {
        EXPECT_NE(e.rfind("JoinedConference", 0), 0u) << e;
    }
    EXPECT_EQ(events.back(), "userListUpdate nick\t42\t\nBob\t7\t\nDan\t8\t\n");
    EXPECT_EQ(h.manager->ConferenceId(), c);
}

TEST_F(SimCallTest, AnIncomingCallRingsAndIsAnswered) {
    const std::int32_t c = sim->RingIn("9", "Cat");
    ASSERT_NE(c, 0);
    EXPECT_EQ(Take(), Lines{"Invitation " + Id(c) + " Cat 9 0 "});
    EXPECT_FALSE(h.manager->HoldConference(c, 0, ""));  // not joined yet
    ASSERT_TRUE(h.manager->AcceptConference(c));
    EXPECT_EQ(Take(), (Lines{"JoinedConference " + Id(c) + " 1 0", "UserChange Cat 9 1 1",
                             "userListUpdate Cat\t9\t\nnick\t42\t\n"}));
    EXPECT_EQ(h.manager->ConferenceId(), c);
    // The caller hangs up: we stay alone in the call until the pane ends it.
    ASSERT_TRUE(sim->RemoteLeave("9"));
    EXPECT_EQ(Take(), (Lines{"UserChange Cat 9 0 0", "userListUpdate nick\t42\t\n"}));
    EXPECT_EQ(h.manager->ConferenceId(), c);
}

TEST_F(SimCallTest, ACallerWhoGivesUpCancelsTheInvitation) {
    const std::int32_t c = sim->RingIn("9", "Cat");
    Take();
    ASSERT_TRUE(sim->RemoteLeave("9"));
    EXPECT_EQ(Take(), Lines{"InvitationCancel " + Id(c) + " Cat 9 0 "});
    EXPECT_FALSE(h.manager->AcceptConference(c));
    EXPECT_TRUE(Take().empty());
}

TEST_F(SimCallTest, ADeclinedIncomingCallIsGone) {
    const std::int32_t c = sim->RingIn("9", "Cat");
    Take();
    ASSERT_TRUE(h.manager->DeclineConference(c, 1, "Please, do not disturb!"));
    EXPECT_TRUE(Take().empty());
    EXPECT_FALSE(h.manager->AcceptConference(c));
    EXPECT_FALSE(sim->RemoteLeave("9"));
}

TEST_F(SimCallTest, HoldAndSwitchResumeWithAJoinAndTheOtherSideShowsHold) {
    const std::int32_t c1 = CallBob();
    const std::int32_t c2 = sim->RingIn("9", "Cat");
    Take();
    // Picking up: hold the call we are in, accept the waiting one.
    ASSERT_TRUE(h.manager->HoldConference(c1, 0, ""));
    ASSERT_TRUE(h.manager->AcceptConference(c2));
    EXPECT_EQ(Take(),
              (Lines{"userListUpdate Cat\t9\t\nnick\t42\t\n", "JoinedConference " + Id(c2) + " 1 0",
                     "UserChange Cat 9 1 1", "userListUpdate Cat\t9\t\nnick\t42\t\n"}));
    EXPECT_EQ(h.manager->ConferenceId(), c2);
    // Switching back resumes the held call.
    ASSERT_TRUE(h.manager->HoldConference(c2, 0, ""));
    ASSERT_TRUE(h.manager->AcceptConference(c1));
    EXPECT_EQ(Take(),
              (Lines{"userListUpdate nick\t42\t\nBob\t7\t\n", "JoinedConference " + Id(c1) + " 1 0",
                     "userListUpdate nick\t42\t\nBob\t7\t\n"}));
    EXPECT_EQ(h.manager->ConferenceId(), c1);
    // Bob holds us, then comes back; Cat, held by us, hangs up unseen in our list.
    ASSERT_TRUE(sim->RemoteHold("7", true));
    EXPECT_EQ(Take(), Lines{"userListUpdate nick\t42\t\nBob\t7\tH\n"});
    ASSERT_TRUE(sim->RemoteHold("7", false));
    EXPECT_EQ(Take(), Lines{"userListUpdate nick\t42\t\nBob\t7\t\n"});
    ASSERT_TRUE(sim->RemoteLeave("9"));
    EXPECT_EQ(Take(), Lines{"UserChange Cat 9 0 0"});
    // Leaving the held call is harmless to the active one.
    ASSERT_TRUE(h.manager->LeaveConference(c2, 0, ""));
    EXPECT_EQ(Take(), Lines{"JoinedConference " + Id(c2) + " 0 1"});
    EXPECT_EQ(h.manager->ConferenceId(), c1);
}

TEST_F(SimCallTest, StaleConferenceIdsAreRefused) {
    EXPECT_FALSE(h.manager->AcceptConference(4242));
    EXPECT_FALSE(h.manager->HoldConference(4242, 0, ""));
    EXPECT_FALSE(h.manager->LeaveConference(4242, 0, ""));
    EXPECT_FALSE(sim->RemoteHold("7", true));
    EXPECT_TRUE(Take().empty());
}

TEST_F(SimCallTest, DisconnectingForgetsEveryConference) {
    CallBob();
    const std::int32_t waiting = sim->RingIn("9", "Cat");
    Take();
    h.manager->Disconnect(true);
    Pump();
    EXPECT_FALSE(sim->RemoteLeave("7"));
    EXPECT_FALSE(sim->RemoteLeave("9"));
    EXPECT_EQ(sim->RingIn("9", "Cat"), 0);
    EXPECT_NE(waiting, 0);
}

TEST_F(SimAutomaticTest, RecordingWritesAWaveFileOurReaderAccepts) {
    LogIn();
    const std::string path = h.folder.File("vm.wav");
    EXPECT_TRUE(h.manager->RecordWave(path, 1));
    EXPECT_TRUE(h.manager->RecordWave(path, 0));
    std::optional<std::string> bytes = ReadWholeFile(path);
    ASSERT_TRUE(bytes);
    std::optional<PcmWave> wave = ParsePcmWave(*bytes);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->sampleRate, 8000u);
    EXPECT_EQ(wave->bitsPerSample, 16);
    EXPECT_EQ(h.manager->PlayFile(path, 100), 1);
    EXPECT_TRUE(h.manager->StopFile(1));
    EXPECT_FALSE(h.manager->StopFile(1));
    EXPECT_EQ(h.manager->PlayFile(h.folder.File("missing.wav"), 100), -1);
}

TEST_F(SimAutomaticTest, NoReplyOfAnEndedSessionArrives) {
    ASSERT_TRUE(h.manager->Connect("127.0.0.1", 12011, "nick", "42"));
    h.manager->Disconnect(true);
    Pump();
    EXPECT_EQ(h.events.states, (States{2, 0}));
    EXPECT_EQ(h.manager->State(), 0);
}

TEST_F(SimAutomaticTest, QuittingLeavesNoThreadRunning) {
    const int before = test::ThreadCount();
    LogIn("7\n");
    EXPECT_GT(test::ThreadCount(), before);
    h.manager->DestroyControl();
    EXPECT_EQ(test::ThreadCount(), before);
    EXPECT_FALSE(test::IsMapped(h.SystemFolder() + "Sonaro.ocx"));
    EXPECT_EQ(h.events.states.back(), 0);
}

}  // namespace
}  // namespace qv
