#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

class ManagerEventsTest : public ::testing::Test {
  protected:
    void Raise(const std::function<void(SonaroEventSink&)>& raise) { h.RaiseAndDrain(raise); }
    test::EngineHarness h;
};

TEST_F(ManagerEventsTest, JoiningAForumOpensTheMicrophoneInVoiceActivatedMode) {
    h.LogIn();
    Raise([](SonaroEventSink& e) { e.JoinedGroup("Lobby"); });
    EXPECT_EQ(h.manager->CurrentGroup(), "Lobby");
    EXPECT_EQ(h.Calls(), (Lines{"SetStandby(0)", "Talk(1)"}));
    EXPECT_EQ(h.events.log, Lines{"JoinedGroup Lobby"});
}

TEST_F(ManagerEventsTest, JoiningInPushToTalkKeepsTheMicrophoneClosed) {
    h.options.SetPushToTalk(1);
    h.LogIn();
    Raise([](SonaroEventSink& e) { e.JoinedGroup("Lobby"); });
    EXPECT_EQ(h.Calls(), (Lines{"SetStandby(0)", "Talk(0)"}));
}

TEST_F(ManagerEventsTest, JoiningWhenTheDeviceCannotBeTakenLeavesTheMicrophoneAlone) {
    h.LogIn();
    h.Sim()->ScriptResults(sonaro_id::kSetStandby, {0, 0});
    Raise([](SonaroEventSink& e) { e.JoinedGroup("Lobby"); });
    EXPECT_EQ(h.Calls(), (Lines{"SetStandby(0)", "PlayWave(\"\", 0)", "SetStandby(0)"}));
    EXPECT_EQ(h.manager->CurrentGroup(), "Lobby");
    EXPECT_EQ(h.waits, std::vector<std::uint32_t>{300});
    ASSERT_EQ(h.notices.texts.size(), 1u);
    EXPECT_EQ(h.notices.texts[0].substr(0, 25), "Audio output open failed.");
}

TEST_F(ManagerEventsTest, LeavingAForumClosesTheMicrophoneAndNotesTheTime) {
    h.LogIn();
    Raise([](SonaroEventSink& e) { e.JoinedGroup("Lobby"); });
    h.ClearCalls();
    h.clock.Set(50000);
    Raise([](SonaroEventSink& e) { e.JoinedGroup(""); });
    EXPECT_EQ(h.manager->CurrentGroup(), "");
    EXPECT_EQ(h.Calls(), Lines{"Talk(0)"});
    EXPECT_EQ(h.manager->LeaveTime(), 50000u);
}

TEST_F(ManagerEventsTest, LeaveTimeStartsAtCreation) {
    EXPECT_EQ(h.manager->LeaveTime(), 1000u);
}

TEST_F(ManagerEventsTest, LeavingInStandbyDoesNotTouchTheMicrophone) {
    h.LogIn();
    h.manager->SetStandby(true);
    h.ClearCalls();
    Raise([](SonaroEventSink& e) { e.JoinedGroup(""); });
    EXPECT_TRUE(h.Calls().empty());
}

TEST_F(ManagerEventsTest, ConferenceJoinAndDeletion) {
    h.LogIn();
    Raise([](SonaroEventSink& e) { e.JoinedConference(77, 1, 0); });
    EXPECT_EQ(h.manager->ConferenceId(), 77);
    EXPECT_EQ(h.Calls(), (Lines{"SetStandby(0)", "Talk(1)"}));
    h.ClearCalls();

    // Another conference ends: ours stays, but the time is still noted.
    h.clock.Set(9000);
    Raise([](SonaroEventSink& e) { e.JoinedConference(78, 0, 1); });
    EXPECT_EQ(h.manager->ConferenceId(), 77);
    EXPECT_TRUE(h.Calls().empty());
    EXPECT_EQ(h.manager->LeaveTime(), 9000u);

    Raise([](SonaroEventSink& e) { e.JoinedConference(77, 0, 1); });
    EXPECT_EQ(h.manager->ConferenceId(), 0);
    EXPECT_EQ(h.Calls(), Lines{"Talk(0)"});
    EXPECT_EQ(h.events.log, (Lines{"JoinedConference 77 1 0", "JoinedConference 78 0 1",
                                   "JoinedConference 77 0 1"}));
}

TEST_F(ManagerEventsTest, AFailureRemembersTheForumOrConferenceItEnded) {
    struct Row {
        const char* name;
        std::function<void(SonaroEventSink&)> before;
        bool ended;
    };
    const std::vector<Row> rows = {
        {"forum", [](SonaroEventSink& e) { e.JoinedGroup("Lobby"); }, true},
        {"conference", [](SonaroEventSink& e) { e.JoinedConference(77, 1, 0); }, true},
        {"neither", [](SonaroEventSink&) {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::EngineHarness x;
        x.LogIn();
        x.RaiseAndDrain(row.before);
        // What a subscriber sees: the forum and conference are gone, their memory is not.
        struct Seen {
            CSonaroManager* manager;
            bool ended = false;
        } seen{x.manager.get()};
        x.manager->Subscribe<engine_event::connectionEvent>(
            [](std::int16_t, const std::string&, void* context) {
                auto* s = static_cast<Seen*>(context);
                s->ended =
                    !s->manager->IsInGroupOrConference() && s->manager->EndedInGroupOrConference();
            },
            &seen);
        x.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(5, "lost"); });
        EXPECT_EQ(seen.ended, row.ended);
        EXPECT_EQ(x.manager->EndedInGroupOrConference(), row.ended);
        ASSERT_TRUE(x.manager->Connect("voice.example", 12011, "nick", "42"));
        EXPECT_FALSE(x.manager->EndedInGroupOrConference());
    }
}

TEST_F(ManagerEventsTest, DeletionOfConferenceZeroMeansAll) {
    h.LogIn();
    Raise([](SonaroEventSink& e) { e.JoinedConference(77, 1, 0); });
    Raise([](SonaroEventSink& e) { e.JoinedConference(0, 0, 1); });
    EXPECT_EQ(h.manager->ConferenceId(), 0);
}

struct BurstCase {
    const char* name;
    std::string watchList;
    int burst;
};

class WatchBurstTest : public ::testing::TestWithParam<BurstCase> {};

TEST_P(WatchBurstTest, MarksTheBurstAfterLogin) {
    test::EngineHarness h;
    h.LogIn(GetParam().watchList);
    EXPECT_EQ(h.manager->PendingWatchReplies(), GetParam().burst);
    const int replies = GetParam().burst + 2;
    for (int i = 0; i < replies; ++i) {
        h.RaiseAndDrain([i](SonaroEventSink& e) { e.Watch(std::to_string(100 + i), 0); });
    }
    Lines expected;
    for (int i = 0; i < replies; ++i) {
        const bool initial = i < GetParam().burst;
        const bool last = i == GetParam().burst - 1;
        expected.push_back("Watch " + std::to_string(100 + i) + " 0 " + std::to_string(initial) +
                           " " + std::to_string(last));
    }
    EXPECT_EQ(h.events.log, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, WatchBurstTest,
                         ::testing::Values(BurstCase{"three", "7\n8\n9\n", 3},
                                           BurstCase{"withOwnId", "7\n42\n9\n", 2},
                                           BurstCase{"onlyOwnId", "42\n", 0},
                                           BurstCase{"empty", "", 0},
                                           BurstCase{"ownIdTwice", "42\n7\n42\n", 1},
                                           BurstCase{"idContainingOwn", "142\n420\n", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManagerEventsTest, AWatchListTheEngineRefusedStartsNoBurst) {
    h.manager->SetWatchList("7\n8\n");
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    Raise([](SonaroEventSink& e) { e.connectionEvent(0, "ok"); });
    h.Sim()->ScriptResults(sonaro_id::kSetWatchList, {0});
    Raise([](SonaroEventSink& e) { e.Registered("nick"); });
    EXPECT_EQ(h.manager->PendingWatchReplies(), 0);
    h.events.log.clear();
    Raise([](SonaroEventSink& e) { e.Watch("7", 0); });
    EXPECT_EQ(h.events.log, Lines{"Watch 7 0 0 0"});
}

TEST_F(ManagerEventsTest, LongListsGoToTheEngineWholeAndEveryLineCounts) {
    // More than one protocol frame holds: the engine, not the manager, splits them.
    std::string watch;
    std::string block;
    for (int i = 0; i < 10001; ++i) {
        watch += std::to_string(1000000 + i) + "\n";
        block += std::to_string(2000000 + i) + "\n";
    }
    watch += "42\nnot-an-id\n\n";
    ASSERT_GT(watch.size(), 60000u);
    ASSERT_GT(block.size(), 60000u);
    h.LogIn(watch, block);
    // Every non-empty line but the own id is answered.
    EXPECT_EQ(h.manager->PendingWatchReplies(), 10002);
    EXPECT_EQ(h.manager->WatchList(), watch);
    EXPECT_EQ(h.manager->BlockList(), block);

    h.manager->SetBlockList(block + "3000000\n");
    ASSERT_EQ(h.Calls().size(), 1u);
    EXPECT_EQ(h.Calls()[0], "SetBlockList(" + sim::QuoteForLog(block + "3000000\n") + ", 0)");
}

TEST_F(ManagerEventsTest, WatchOutsideABurstIsNeitherInitialNorLast) {
    h.LogIn();
    Raise([](SonaroEventSink& e) { e.Watch("7", 3); });
    EXPECT_EQ(h.events.log, Lines{"Watch 7 3 0 0"});
}

TEST_F(ManagerEventsTest, RegisteredAlwaysEndsWithTheMicrophoneClosed) {
    for (int pushToTalk : {0, 1}) {
        for (int firewall : {0, 1}) {
            test::EngineHarness x;
            x.options.SetPushToTalk(pushToTalk);
            x.options.SetBehindFirewall(firewall);
            x.options.Load();
            ASSERT_TRUE(x.manager->Connect("voice.example", 12011, "nick", "42"));
            x.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, ""); });
            x.ClearCalls();
            x.RaiseAndDrain([](SonaroEventSink& e) { e.Registered("nick"); });
            const Lines calls = x.Calls();
            ASSERT_FALSE(calls.empty());
            EXPECT_EQ(calls.back(), "Talk(0)") << pushToTalk << firewall;
            EXPECT_EQ(calls.size(), firewall != 0 ? 5u : 4u);
        }
    }
}

TEST_F(ManagerEventsTest, RegisteredInStandbyDoesNotTalk) {
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    h.Sim()->ScriptResults(sonaro_id::kStartAudio, {1});
    Raise([](SonaroEventSink& e) { e.connectionEvent(0, ""); });
    ASSERT_TRUE(h.manager->InStandby());
    h.ClearCalls();
    Raise([](SonaroEventSink& e) { e.Registered("nick"); });
    EXPECT_EQ(h.Calls(), (Lines{"SetWatchList(\"\", 0)", "SetBlockList(\"\", 0)", "SetStatus(0)"}));
}

TEST_F(ManagerEventsTest, ListUpdatesFetchTheListAndPassItOn) {
    h.LogIn();
    h.Sim()->ScriptResults(sonaro_id::kGetUserList, {std::string("nick\t42\tOM\n")});
    h.Sim()->ScriptResults(sonaro_id::kGetGroupList, {std::string("General/Friends\t12\tPM\n")});
    Raise([](SonaroEventSink& e) {
        e.userListUpdate();
        e.groupListUpdate();
    });
    EXPECT_EQ(h.events.log, (Lines{"userListUpdate nick\t42\tOM\n",
                                   "groupListUpdate General/Friends\t12\tPM\n"}));
    EXPECT_EQ(h.manager->UserListText(), "nick\t42\tOM\n");
    EXPECT_EQ(h.manager->GroupListText(), "General/Friends\t12\tPM\n");
    EXPECT_EQ(h.Calls(), (Lines{"GetUserList()", "GetGroupList()"}));
}

TEST_F(ManagerEventsTest, InstantMessagesAreLoggedAfterTheSubscribersSawThem) {
    h.LogIn();
    Raise([](SonaroEventSink& e) {
        e.UserMessage("Ann", "7", 8, 2, "hello");
        e.UserMessage("Ann", "7", 4, 0, "chat line");
    });
    EXPECT_EQ(h.events.log,
              (Lines{"UserMessage Ann 7 8 2 hello", "UserMessage Ann 7 4 0 chat line"}));
    EXPECT_EQ(h.messageLog.records, Lines{"7|Ann|hello"});
    EXPECT_GT(h.messageLog.times.at(0), 1600000000u);
}

TEST_F(ManagerEventsTest, NothingIsLoggedWithLoggingOffOrTheLogClosed) {
    h.LogIn();
    h.options.SetLogEvents(0);
    Raise([](SonaroEventSink& e) { e.UserMessage("Ann", "7", 8, 0, "a"); });
    h.options.SetLogEvents(1);
    h.messageLog.open = false;
    Raise([](SonaroEventSink& e) { e.UserMessage("Ann", "7", 8, 0, "b"); });
    h.manager->SetEventLog(nullptr);
    Raise([](SonaroEventSink& e) { e.UserMessage("Ann", "7", 8, 0, "c"); });
    EXPECT_TRUE(h.messageLog.records.empty());
    EXPECT_EQ(h.events.log.size(), 3u);
}

TEST_F(ManagerEventsTest, OtherEventsReachTheirSubscribersWithTheirValues) {
    h.LogIn();
    Raise([](SonaroEventSink& e) {
        e.userTalking("Ann", "7", 1);
        e.canTalkEvent(-1);  // any non-zero truth value is true
        e.mikeActive(1);
        e.serverMessage(3, 2, "Gone - 7");
        e.Found("Ann", 0, "Lobby");
        e.UserChange("Ann", "7", 1, 0);
        e.Invitation(5, "Ann", "7", 0, "");
        e.AcceptedConference(0, "Ann", "7", 4, "busy");
        e.ConferenceMessage("Ann", "7", 1, "x");
        e.InvitationCancel(5, "Ann", "7", 0, "");
        e.FirewallNotify(3);
    });
    EXPECT_EQ(h.events.log,
              (Lines{"userTalking Ann 7 1", "canTalkEvent 1", "mikeActive 1",
                     "serverMessage 3 2 Gone - 7", "Found Ann 0 Lobby", "UserChange Ann 7 1 0",
                     "Invitation 5 Ann 7 0 ", "AcceptedConference 0 Ann 7 4 busy",
                     "ConferenceMessage Ann 7 1 x", "InvitationCancel 5 Ann 7 0 "}));
    EXPECT_TRUE(h.Calls().empty());
}

TEST_F(ManagerEventsTest, DestroyingTheEngineDropsItsPendingSessionEvents) {
    h.LogIn();
    h.Raise([](SonaroEventSink& e) { e.JoinedGroup("Lobby"); });
    EXPECT_EQ(h.manager->PendingEvents(), 1u);
    h.manager->DestroyControl();  // disconnect drops the session's events
    EXPECT_EQ(h.manager->PendingEvents(), 0u);
}

// Subscribers are kept per callback: the later context wins, and only the right context
// unsubscribes.
void Counter(std::int32_t, void* context) {
    ++*static_cast<int*>(context);
}

TEST_F(ManagerEventsTest, SubscribingTheSameCallbackTwiceKeepsTheLaterContext) {
    int first = 0;
    int second = 0;
    h.manager->Subscribe<engine_event::ConnectionState>(&Counter, &first);
    h.manager->Subscribe<engine_event::ConnectionState>(&Counter, &second);
    EXPECT_EQ(h.manager->Subscribers<engine_event::ConnectionState>().Size(), 2u);  // + recorder
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    h.manager->Unsubscribe<engine_event::ConnectionState>(&Counter, &first);
    h.manager->Disconnect(true);
    EXPECT_EQ(second, 2);
    h.manager->Unsubscribe<engine_event::ConnectionState>(&Counter, &second);
    EXPECT_FALSE(h.manager->Subscribers<engine_event::ConnectionState>().Contains(&Counter));
}

}  // namespace
}  // namespace qv
