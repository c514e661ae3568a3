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
