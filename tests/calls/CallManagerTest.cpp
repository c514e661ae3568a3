// The call manager over the real engine manager and the simulated engine: every transition of
// the two slots, what the engine, the panes, the chat and the notices are told, and the texts.

#include <gtest/gtest.h>

#include "CallRig.h"

namespace qv {
namespace {

using test::CallRig;
using test::Lines;

std::string Conf(std::int32_t c) {
    return std::to_string(c);
}

class CallManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rig.LogIn();
        calls = rig.calls.get();
    }
    CallRig rig;
    CallManager* calls = nullptr;
};

// ---- placing calls ----------------------------------------------------------------------------

TEST(CallManagerOfflineTest, PlacingACallWhileNotConnectedDoesNothing) {
    CallRig rig;
    EXPECT_FALSE(rig.calls->PlaceCall("7", "Bob"));
    EXPECT_TRUE(rig.calls->IsIdle());
    EXPECT_TRUE(rig.panes.log.empty());
    EXPECT_TRUE(rig.NoticeTexts().empty());
}

TEST_F(CallManagerTest, APlacedCallRingsThenConnectsOnTheFirstJoin) {
    rig.Sim().ScriptCallee("7", sim::SimCallee{"Bob", sim::CalleeAnswer::Ringing, 0, ""});
    rig.h.options.SetLogEvents(1);
    rig.h.clock.Set(5000);
    ASSERT_TRUE(calls->PlaceCall("7", "Bob"));
    ASSERT_TRUE(calls->ActiveIsCall());
    EXPECT_EQ(calls->Active()->invitedIds, "7\n");
    EXPECT_EQ(calls->Active()->startTime, 5000u);
    EXPECT_EQ(rig.panes.Shown(), (Lines{"active call 7 Bob c=0 ringing"}));
    EXPECT_EQ(rig.eventLog.records, (Lines{"out 1700000000 7 Bob"}));
    ASSERT_EQ(calls->DeclineReasons().count("Bob"), 1u);
    EXPECT_EQ(calls->DeclineReasons().at("Bob"), "");
    rig.h.clock.Set(7000);
    EXPECT_EQ(rig.TakeCalls(), (Lines{"InviteUser(\"7\", 0, \"\")", "sound OutgoingCall"}));
    const std::int32_t c = rig.h.manager->ConferenceId();
    ASSERT_NE(c, 0);
    EXPECT_EQ(test::Describe(calls->Active()), "call 7 Bob c=" + Conf(c) + " on");
    EXPECT_EQ(calls->Active()->startTime, 7000u);
    EXPECT_EQ(rig.chat.lines, (Lines{"joined Bob 7"}));
}

TEST_F(CallManagerTest, CallsAreLoggedOnlyWithLoggingOnAndTheLogOpen) {
    struct Case {
        int logEvents;
        bool open;
        Lines records;
    };
    const Case cases[] = {
        {0, true, {}},
        {1, false, {}},
        {1, true, {"out 1700000000 7 Bob", "in 1700000000 8 Cid"}},
    };
    for (const Case& c : cases) {
        rig.h.options.SetLogEvents(c.logEvents);
        rig.eventLog.open = c.open;
        rig.eventLog.records.clear();
        ASSERT_TRUE(calls->PlaceCall("7", "Bob"));
        rig.RingIn("8", "Cid");
        EXPECT_EQ(rig.eventLog.records, c.records) << c.logEvents << c.open;
        calls->HangUp();
        calls->HangUp();
        rig.Pump();
        EXPECT_TRUE(calls->IsIdle());
    }
}

TEST_F(CallManagerTest, CallsThatCannotBePlacedSayWhy) {
    struct Case {
        std::string id;
        Lines notices;
    };
    rig.surroundings.blocked = {"13"};
    const Case cases[] = {
        {"42", {"You cannot call yourself."}},
        {"13",
         {"User \"13\" is currently blocked. To remove this user from your block list, select "
          "\"Block List\" from the View menu."}},
    };
    for (const Case& c : cases) {
        rig.notices.MarkAllShown();
        const std::size_t before = rig.NoticeTexts().size();
        EXPECT_FALSE(calls->PlaceCall(c.id, "Someone")) << c.id;
        Lines texts = rig.NoticeTexts();
        texts.erase(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(before));
        EXPECT_EQ(texts, c.notices) << c.id;
        EXPECT_TRUE(calls->IsIdle());
        EXPECT_TRUE(rig.TakeCalls().empty());
    }
    // Only the exact ID is blocked.
    EXPECT_TRUE(calls->PlaceCall("130", "Other"));
}

TEST_F(CallManagerTest, CallingARingingCallerAnswersThatCall) {
    const std::int32_t c = rig.RingIn("7", "Bob");
    ASSERT_TRUE(calls->IsRinging());
    rig.TakeCalls();
    EXPECT_FALSE(calls->PlaceCall("7", "Bob"));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"AcceptConference(" + Conf(c) + ")"}));
    EXPECT_EQ(test::Describe(calls->Active()), "call 7 Bob c=" + Conf(c) + " on");
    EXPECT_EQ(calls->Second(), nullptr);
}

TEST_F(CallManagerTest, ASecondCalleeJoinsTheSameCallAndIsWithdrawnWithIt) {
    rig.Sim().ScriptCallee("8", sim::SimCallee{"Cid", sim::CalleeAnswer::Ringing, 0, ""});
    const std::int32_t c = rig.CallAnswered("7", "Bob");
    CallRecord* record = calls->Active();
    ASSERT_TRUE(calls->PlaceCall("8", "Cid"));
    EXPECT_EQ(calls->Active(), record);
    EXPECT_EQ(record->invitedIds, "7\n8\n");
    EXPECT_EQ(rig.TakeCalls(), (Lines{"InviteUser(\"8\", 0, \"\")", "sound OutgoingCall"}));
    EXPECT_EQ(calls->Active()->conferenceId, c);  // no second join
    calls->HangUp();
    EXPECT_EQ(rig.TakeCalls(), (Lines{"CancelInvitations(\"7\\n8\\n\", 0, \"\")",
                                      "LeaveConference(" + Conf(c) + ", 0, \"\")"}));
    EXPECT_TRUE(calls->IsIdle());
    EXPECT_EQ(rig.chat.lines.back(), "no conversation");
}

TEST_F(CallManagerTest, CallingFromAForumLeavesTheForumFirst) {
    rig.EnterForum("General/Friends", true);
    ASSERT_TRUE(calls->ActiveIsForum());
    EXPECT_TRUE(calls->Active()->connected);
    EXPECT_TRUE(calls->InForum("General/Friends"));
    rig.TakeCalls();
    rig.chat.lines.clear();
    rig.Sim().ScriptCallee("7", sim::SimCallee{"Bob", sim::CalleeAnswer::Ringing, 0, ""});
    ASSERT_TRUE(calls->PlaceCall("7", "Bob"));
    EXPECT_EQ(rig.TakeCalls(), (Lines{"JoinGroup(\"\", \"\", 0)", "InviteUser(\"7\", 0, \"\")",
                                      "sound OutgoingCall"}));
    EXPECT_TRUE(calls->ActiveIsCall());
    EXPECT_FALSE(calls->InForum("General/Friends"));
    EXPECT_EQ(rig.chat.lines[0], "left forum General/Friends");
}

TEST_F(CallManagerTest, CallingFromAForumWithAHeldCallDoesNotAnswerTheHeldOneIntoIt) {
    rig.h.options.SetAutoAnswer(1);
    const std::int32_t held = rig.CallAnswered("8", "Cid");
    calls->HoldOrSwitch();
    rig.EnterForum("Lobby", true);
    rig.TakeCalls();
    rig.Sim().ScriptCallee("7", sim::SimCallee{"Bob", sim::CalleeAnswer::Ringing, 0, ""});
    ASSERT_TRUE(calls->PlaceCall("7", "Bob"));
    EXPECT_EQ(calls->Active()->invitedIds, "7\n");
    EXPECT_EQ(test::Describe(calls->Second()), "call 8 Cid c=" + Conf(held) + " on");
    Lines engine = rig.TakeCalls();
    EXPECT_EQ(std::count(engine.begin(), engine.end(), "AcceptConference(" + Conf(held) + ")"), 0);
}

// ---- incoming calls ---------------------------------------------------------------------------

TEST_F(CallManagerTest, AnIncomingCallIsScreenedByPresence) {
    struct Case {
        std::int16_t presence;
        bool rings;
        // The engine calls, with %c for the conference.
        std::string call;
    };
    const Case cases[] = {
        {0, true, ""},
        {16, true, ""},
        {4, false, "DeclineConference(%c, 1, \"Please, do not disturb!\")"},
        {8, false, "DeclineConference(%c, 4, \"I am occupied.\")"},
        {2, true,
         "SendUserMessage(\"7\", 13, 1, \"nick (42) is currently away:\\r\\n\\r\\nI am away.\")"},
    };
    rig.h.options.SetLogEvents(1);
    for (const Case& c : cases) {
        rig.h.manager->SetStatus(c.presence);
        rig.TakeCalls();
        rig.eventLog.records.clear();
        const std::int32_t conf = rig.RingIn("7", "Bob");
        EXPECT_EQ(calls->IsRinging(), c.rings) << c.presence;
        EXPECT_EQ(rig.eventLog.records, (Lines{"in 1700000000 7 Bob"})) << c.presence;
        Lines expected;
        if (!c.call.empty()) {
            std::string call = c.call;
            const std::size_t at = call.find("%c");
            if (at != std::string::npos) {
                call.replace(at, 2, Conf(conf));
            }
            expected.push_back(call);
        }
        EXPECT_EQ(rig.TakeCalls(), expected) << c.presence;
        EXPECT_EQ(rig.OpenCallNotices(), c.rings ? 1u : 0u) << c.presence;
        if (c.rings) {
            calls->HangUp();
            EXPECT_EQ(rig.TakeCalls(), (Lines{"DeclineConference(" + Conf(conf) + ", 0, \"\")"}));
            EXPECT_EQ(rig.OpenCallNotices(), 0u);
        }
        EXPECT_TRUE(calls->IsIdle()) << c.presence;
    }
}

TEST_F(CallManagerTest, AnAwayCallerGetsNoReplyWithoutAnAwayMessage) {
    rig.h.options.SetAwayMessage("");
    rig.h.manager->SetStatus(2);
    rig.TakeCalls();
    rig.RingIn("7", "Bob");
    EXPECT_TRUE(calls->IsRinging());
    EXPECT_TRUE(rig.TakeCalls().empty());
}

TEST_F(CallManagerTest, ARingingCallIsAnnouncedQueuedAndFlashedWhenInTheBackground) {
    struct Case {
        bool autoActivate;
        bool inFront;
        bool activeCall;
        bool flashes;
    };
    const Case cases[] = {
        {false, false, false, true},
        {true, false, false, true},
        {false, true, false, false},
        {false, false, true, false},
    };
    for (const Case& c : cases) {
        rig.h.options.SetAutoActivateAppOnCall(c.autoActivate ? 1 : 0);
        rig.surroundings.inFront = c.inFront;
        rig.surroundings.log.clear();
        rig.h.screen.flashes.clear();
        if (c.activeCall) {
            rig.CallAnswered("8", "Cid");
        }
        rig.RingIn("7", "Bob");
        ASSERT_TRUE(calls->IsRinging());
        const std::vector<SystemNoticeList::Notice> open = rig.notices.OpenNotices();
        ASSERT_FALSE(open.empty());
        const SystemNoticeList::Notice& notice = open.back();
        EXPECT_EQ(notice.kind, notice_kind::kIncomingCall);
        EXPECT_EQ(notice.senderId, "7");
        EXPECT_EQ(notice.senderNickname, "Bob");
        EXPECT_EQ(notice.time, CallRig::kWallTime);
        EXPECT_EQ(notice.activateApp, c.autoActivate);
        Lines expected;
        if (c.autoActivate) {
            expected.push_back("forward");
        }
        expected.push_back("caller 7 Bob");
        EXPECT_EQ(rig.surroundings.log, expected);
        EXPECT_EQ(rig.h.screen.flashes, c.flashes ? std::vector<bool>{true} : std::vector<bool>{});
        // Picking up closes the notice and stops the flashing.
        calls->PickUp();
        EXPECT_EQ(rig.OpenCallNotices(), 0u);
        calls->HangUp();
        if (c.activeCall) {
            calls->HangUp();  // the call that was held
        }
        rig.Pump();
        EXPECT_TRUE(calls->IsIdle());
    }
}

TEST_F(CallManagerTest, ABusySecondSlotDeclinesOtherCallsAndIgnoresRepeats) {
    const std::int32_t first = rig.RingIn("7", "Bob");
    rig.TakeCalls();
    CallRecord* ringing = calls->Second();
    const std::int32_t other = rig.RingIn("8", "Cid");
    EXPECT_EQ(rig.TakeCalls(), (Lines{"DeclineConference(" + Conf(other) + ", 2, \"\")"}));
    rig.h.Raise([&](SonaroEventSink& e) { e.Invitation(first, "Bob", "7", 0, ""); });
    rig.Pump();
    EXPECT_TRUE(rig.TakeCalls().empty());
    EXPECT_EQ(calls->Second(), ringing);
    EXPECT_EQ(rig.OpenCallNotices(), 1u);  // no second notice for the repeat
    // An invitation without a caller is no call.
    rig.h.Raise([&](SonaroEventSink& e) { e.Invitation(99, "Ghost", "", 0, ""); });
    rig.Pump();
    EXPECT_TRUE(rig.TakeCalls().empty());
}

TEST_F(CallManagerTest, OfferIncomingRefusesWithTheRecordAlreadyThere) {
    CallManager::Offer first = calls->OfferIncoming(5, "7", "Bob");
    EXPECT_TRUE(first.registered);
    ASSERT_NE(first.record, nullptr);
    EXPECT_EQ(first.record->invitedIds, "");
    EXPECT_FALSE(first.record->connected);
    CallManager::Offer second = calls->OfferIncoming(6, "8", "Cid");
    EXPECT_FALSE(second.registered);
    EXPECT_EQ(second.record, first.record);
    EXPECT_EQ(calls->SecondUserId(), "7");
    EXPECT_EQ(calls->SecondNickname(), "Bob");
}

TEST_F(CallManagerTest, TheInvitationOfTheCallAlreadyActiveChangesNothing) {
    const std::int32_t c = rig.CallAnswered("7", "Bob");
    rig.h.Raise([&](SonaroEventSink& e) { e.Invitation(c, "Bob", "7", 0, ""); });
    rig.Pump();
    EXPECT_EQ(calls->Second(), nullptr);
    EXPECT_TRUE(rig.TakeCalls().empty());
}

// ---- answering, holding, switching ------------------------------------------------------------

TEST_F(CallManagerTest, AnsweringDuringACallHoldsItAndSwitchingSwapsBack) {
    const std::int32_t c1 = rig.CallAnswered("7", "Bob");
    CallRecord* bob = calls->Active();
    rig.chat.lines.clear();
    rig.h.clock.Set(20000);
    const std::int32_t c2 = rig.RingIn("8", "Cid");
    rig.TakeCalls();
    rig.panes.log.clear();
    calls->PickUp();
    EXPECT_EQ(rig.TakeCalls(), (Lines{"HoldConference(" + Conf(c1) + ", 0, \"\")",
                                      "AcceptConference(" + Conf(c2) + ")"}));
    EXPECT_EQ(test::Describe(calls->Active()), "call 8 Cid c=" + Conf(c2) + " on");
    EXPECT_EQ(calls->Active()->startTime, 20000u);
    EXPECT_EQ(calls->Second(), bob);
    EXPECT_TRUE(calls->IsHolding());
    EXPECT_EQ(rig.panes.Shown(), (Lines{"active call 8 Cid c=" + Conf(c2) + " on",
                                        "second call 7 Bob c=" + Conf(c1) + " on"}));
    EXPECT_EQ(rig.chat.lines, (Lines{"on hold Bob 7"}));
    calls->HoldOrSwitch();
    EXPECT_EQ(rig.TakeCalls(), (Lines{"HoldConference(" + Conf(c2) + ", 0, \"\")",
                                      "AcceptConference(" + Conf(c1) + ")"}));
    EXPECT_EQ(calls->Active(), bob);
    EXPECT_EQ(rig.h.manager->ConferenceId(), c1);  // the engine resumed it
    EXPECT_EQ(rig.panes.log.back(), "refresh");
}

TEST_F(CallManagerTest, HoldingAloneMovesTheCallToTheSecondSlot) {
    const std::int32_t c = rig.CallAnswered("7", "Bob");
    rig.panes.log.clear();
    calls->HoldOrSwitch();
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"HoldConference(" + Conf(c) + ", 0, \"\")", "sound PlaceOnHold"}));
    EXPECT_EQ(calls->Active(), nullptr);
    EXPECT_TRUE(calls->IsHolding());
    EXPECT_FALSE(calls->IsRinging());
    EXPECT_EQ(rig.panes.log, (Lines{"active none", "second call 7 Bob c=" + Conf(c) + " on",
                                    "stop chat blink", "refresh"}));
    // Taking it back.
    calls->HoldOrSwitch();
    EXPECT_EQ(rig.TakeCalls(), (Lines{"AcceptConference(" + Conf(c) + ")"}));
    EXPECT_TRUE(calls->ActiveIsCall());
    EXPECT_EQ(calls->Second(), nullptr);
}

TEST_F(CallManagerTest, NothingIsHeldThatIsNotJoinedOrIsAForum) {
    // Nothing at all.
    calls->HoldOrSwitch();
    EXPECT_TRUE(calls->IsIdle());
    // A forum.
    rig.EnterForum("Lobby", true);
    rig.TakeCalls();
    rig.panes.log.clear();
    calls->HoldOrSwitch();
    EXPECT_TRUE(calls->ActiveIsForum());
    EXPECT_TRUE(rig.TakeCalls().empty());
    EXPECT_TRUE(rig.panes.log.empty());
    calls->HangUp();
    EXPECT_EQ(rig.TakeCalls(), (Lines{"JoinGroup(\"\", \"\", 0)"}));
    // A call the engine has not joined yet.
    ASSERT_TRUE(calls->PlaceCall("7", "Bob"));
    calls->HoldOrSwitch();  // before the engine's join arrives
    EXPECT_TRUE(calls->ActiveIsCall());
    EXPECT_EQ(calls->Second(), nullptr);
}

TEST_F(CallManagerTest, PickingUpInAForumLeavesTheForum) {
    rig.EnterForum("Lobby", true);
    const std::int32_t c = rig.RingIn("7", "Bob");
    rig.TakeCalls();
    rig.chat.lines.clear();
    calls->PickUp();
    EXPECT_EQ(rig.TakeCalls(),
              (Lines{"JoinGroup(\"\", \"\", 0)", "AcceptConference(" + Conf(c) + ")"}));
    EXPECT_TRUE(calls->ActiveIsCall());
    EXPECT_EQ(calls->Second(), nullptr);  // the forum is gone, not held
    EXPECT_EQ(rig.chat.lines, (Lines{"left forum Lobby", "no conversation"}));
}

TEST_F(CallManagerTest, PickingUpWhileTheOwnCallIsNotJoinedEndsThatCall) {
    rig.Sim().ScriptCallee("7", sim::SimCallee{"Bob", sim::CalleeAnswer::Ringing, 0, ""});
    const std::int32_t c = rig.RingIn("8", "Cid");
    rig.TakeCalls();
    ASSERT_TRUE(calls->PlaceCall("7", "Bob"));
    // Before the engine's join arrives.
    calls->PickUp();
    EXPECT_EQ(test::Describe(calls->Active()), "call 8 Cid c=" + Conf(c) + " on");
    EXPECT_EQ(calls->Second(), nullptr);
    const Lines engine = rig.TakeCalls();
    ASSERT_GE(engine.size(), 4u);
    EXPECT_EQ(engine[2], "CancelInvitations(\"7\\n\", 0, \"\")");
    EXPECT_NE(std::find(engine.begin(), engine.end(), "AcceptConference(" + Conf(c) + ")"),
              engine.end());
    // The conference the engine made for the ended call is left once its join comes.
    EXPECT_EQ(engine.back().rfind("LeaveConference(", 0), 0u) << engine.back();
    EXPECT_NE(engine.back(), "LeaveConference(" + Conf(c) + ", 0, \"\")");
    EXPECT_EQ(rig.h.manager->ConferenceId(), c);
    EXPECT_EQ(test::Describe(calls->Active()), "call 8 Cid c=" + Conf(c) + " on");
    EXPECT_EQ(
        std::count_if(engine.begin(), engine.end(),
                      [](const std::string& call) { return call.rfind("HoldConference", 0) == 0; }),
        0);
}

TEST_F(CallManagerTest, HangingUpBeforeTheEngineJoinedLeavesItsConferenceWhenItComes) {
    rig.Sim().ScriptCallee("7", sim::SimCallee{"Bob", sim::CalleeAnswer::Ringing, 0, ""});
    ASSERT_TRUE(calls->PlaceCall("7", "Bob"));
    calls->HangUp();
    EXPECT_TRUE(calls->IsIdle());
    const Lines engine = rig.TakeCalls();
    ASSERT_FALSE(engine.empty());
    EXPECT_EQ(engine.back().rfind("LeaveConference(", 0), 0u) << engine.back();
    EXPECT_NE(engine.back(), "LeaveConference(0, 0, \"\")");
    EXPECT_EQ(rig.h.manager->ConferenceId(), 0);
    EXPECT_EQ(rig.h.manager->GetUserList(), "");
}

TEST_F(CallManagerTest, PickingUpWithNothingWaitingOnlyClosesTheNotice) {
    rig.panes.log.clear();
    calls->PickUp();
    EXPECT_EQ(rig.panes.log, (Lines{"stop pickup blink"}));
    EXPECT_TRUE(rig.TakeCalls().empty());
}

// ---- ending -----------------------------------------------------------------------------------

TEST_F(CallManagerTest, EndingTheSecondSlotDeclinesARingingCallOrLeavesAHeldOne) {
    const std::int32_t ringing = rig.RingIn("7", "Bob");
    rig.TakeCalls();
    calls->EndSecond(3, "");
    EXPECT_EQ(rig.TakeCalls(), (Lines{"DeclineConference(" + Conf(ringing) + ", 3, \"\")"}));
    EXPECT_EQ(rig.panes.second, nullptr);
    const std::int32_t held = rig.CallAnswered("8", "Cid");
    calls->HoldOrSwitch();
    rig.TakeCalls();
    rig.chat.lines.clear();
    calls->EndSecond(0, "");
    EXPECT_EQ(rig.TakeCalls(), (Lines{"CancelInvitations(\"8\\n\", 0, \"\")",
                                      "LeaveConference(" + Conf(held) + ", 0, \"\")"}));
    EXPECT_EQ(rig.chat.lines, (Lines{"ended Cid 8"}));
    EXPECT_TRUE(calls->IsIdle());
}

TEST_F(CallManagerTest, HangUpEndsTheActiveSlotBeforeTheSecond) {
    const std::int32_t active = rig.CallAnswered("7", "Bob");
    const std::int32_t waiting = rig.RingIn("8", "Cid");
    rig.TakeCalls();
    rig.panes.log.clear();
    calls->HangUp();
    EXPECT_EQ(rig.TakeCalls(), (Lines{"CancelInvitations(\"7\\n\", 0, \"\")",
                                      "LeaveConference(" + Conf(active) + ", 0, \"\")"}));
    EXPECT_EQ(rig.panes.log,
              (Lines{"stop chat blink", "stop chat blink", "reset ring", "active none"}));
    EXPECT_TRUE(calls->IsRinging());
    calls->HangUp();
    EXPECT_EQ(rig.TakeCalls(), (Lines{"DeclineConference(" + Conf(waiting) + ", 0, \"\")"}));
    EXPECT_TRUE(calls->IsIdle());
}

TEST_F(CallManagerTest, AutoAnswerTakesCallsAtOnce) {
    rig.h.options.SetAutoAnswer(1);
    const std::int32_t c = rig.RingIn("7", "Bob");
    EXPECT_EQ(rig.TakeCalls(), (Lines{"AcceptConference(" + Conf(c) + ")"}));
    EXPECT_TRUE(calls->ActiveIsCall());
    EXPECT_EQ(rig.OpenCallNotices(), 0u);  // nothing rings, nothing waits
    EXPECT_TRUE(rig.h.screen.flashes.empty() || !rig.h.screen.flashes.back());
    // During a call the next one waits; ending the call takes it.
    const std::int32_t waiting = rig.RingIn("8", "Cid");
    EXPECT_TRUE(calls->IsRinging());
    rig.TakeCalls();
    calls->HangUp();
    // An answered call invited nobody: nothing to withdraw.
    EXPECT_EQ(rig.TakeCalls(), (Lines{"LeaveConference(" + Conf(c) + ", 0, \"\")",
                                      "AcceptConference(" + Conf(waiting) + ")"}));
    EXPECT_EQ(test::Describe(calls->Active()), "call 8 Cid c=" + Conf(waiting) + " on");
}

TEST_F(CallManagerTest, AnEndedWebTourForumOnlyWhenAsked) {
    rig.EnterForum("Tour", true, true);
    rig.TakeCalls();
    calls->EndActive(true);
    EXPECT_TRUE(calls->IsIdle());
    rig.EnterForum("Plain", true);
    rig.TakeCalls();
    calls->EndActive(true);
    EXPECT_TRUE(calls->ActiveIsForum());
    EXPECT_TRUE(rig.TakeCalls().empty());
}

TEST_F(CallManagerTest, AWithdrawnInvitationEmptiesItsSlotWithoutEngineCalls) {
    rig.RingIn("7", "Bob");
    rig.TakeCalls();
    ASSERT_TRUE(rig.Sim().RemoteLeave("7"));
    rig.Pump();
    EXPECT_EQ(calls->Second(), nullptr);
    EXPECT_EQ(rig.OpenCallNotices(), 0u);
    EXPECT_TRUE(rig.TakeCalls().empty());
}

TEST_F(CallManagerTest, ACancelOfAnotherConferenceLeavesTheRingingCallAndItsNotice) {
    const std::int32_t c = rig.RingIn("7", "Bob");
    rig.h.Raise([&](SonaroEventSink& e) { e.InvitationCancel(c + 100, "X", "9", 0, ""); });
    rig.Pump();
    EXPECT_TRUE(calls->IsRinging());
    EXPECT_EQ(rig.OpenCallNotices(), 1u);
    calls->ForgetConference(0);
    EXPECT_TRUE(calls->IsRinging());
}

TEST_F(CallManagerTest, ForgettingTheActiveConferenceEmptiesTheActiveSlot) {
    const std::int32_t c = rig.CallAnswered("7", "Bob");
    calls->ForgetConference(c);
    EXPECT_TRUE(calls->IsIdle());
    EXPECT_EQ(rig.panes.active, nullptr);
    EXPECT_TRUE(rig.TakeCalls().empty());
}

TEST_F(CallManagerTest, ALostConnectionEndsBothSlots) {
    const std::int32_t active = rig.CallAnswered("7", "Bob");
    const std::int32_t waiting = rig.RingIn("8", "Cid");
    rig.TakeCalls();
    rig.h.manager->Disconnect(true);
    EXPECT_TRUE(calls->IsIdle());
    EXPECT_EQ(rig.OpenCallNotices(), 0u);
    // Told while the session still stood (the disconnecting notice).
    EXPECT_EQ(rig.TakeCalls(), (Lines{"DeclineConference(" + Conf(waiting) + ", 0, \"\")",
                                      "CancelInvitations(\"7\\n\", 0, \"\")",
                                      "LeaveConference(" + Conf(active) + ", 0, \"\")"}));
}

TEST_F(CallManagerTest, ALostConnectionWithAutoAnswerAnswersNothing) {
    rig.h.options.SetAutoAnswer(1);
    rig.CallAnswered("7", "Bob");
    calls->HoldOrSwitch();
    rig.CallAnswered("8", "Cid");
    rig.TakeCalls();
    rig.h.manager->Disconnect(true);
    EXPECT_TRUE(calls->IsIdle());
    for (const std::string& call : rig.TakeCalls()) {
        EXPECT_EQ(call.rfind("AcceptConference", 0), std::string::npos) << call;
    }
}

TEST_F(CallManagerTest, DoNotDisturbAndOccupiedDeclineOnlyARingingCall) {
    struct Case {
        std::int16_t reason;
        std::string text;
    };
    for (const Case& c : {Case{1, "Please, do not disturb!"}, Case{4, "I am occupied."}}) {
        const std::int32_t conf = rig.RingIn("7", "Bob");
        rig.TakeCalls();
        calls->DeclineRingingCall(c.reason, c.text);
        EXPECT_EQ(rig.TakeCalls(), (Lines{"DeclineConference(" + Conf(conf) + ", " +
                                          std::to_string(c.reason) + ", \"" + c.text + "\")"}));
        EXPECT_TRUE(calls->IsIdle());
    }
    rig.CallAnswered("7", "Bob");
    calls->HoldOrSwitch();
    rig.TakeCalls();
    calls->DeclineRingingCall(1, "x");
    EXPECT_TRUE(calls->IsHolding());
    EXPECT_TRUE(rig.TakeCalls().empty());
}

TEST_F(CallManagerTest, ARingingCallTimesOutStrictlyAfterSixtySeconds) {
    rig.h.clock.Set(100000);
    const std::int32_t c = rig.RingIn("7", "Bob");
    rig.TakeCalls();
    rig.h.clock.Set(160000);
    EXPECT_FALSE(calls->RingTimedOut());
    EXPECT_FALSE(calls->CheckRingTimeout());
    rig.h.clock.Set(160001);
    EXPECT_TRUE(calls->RingTimedOut());
    EXPECT_TRUE(calls->CheckRingTimeout());
    EXPECT_EQ(rig.TakeCalls(), (Lines{"DeclineConference(" + Conf(c) + ", 3, \"\")"}));
    EXPECT_FALSE(calls->RingTimedOut());
}

TEST_F(CallManagerTest, AHeldCallNeverTimesOut) {
    rig.h.clock.Set(0);
    rig.CallAnswered("7", "Bob");
    calls->HoldOrSwitch();
    rig.h.clock.Set(3600000);
    EXPECT_FALSE(calls->RingTimedOut());
    EXPECT_FALSE(calls->CheckRingTimeout());
}

// ---- decline reasons --------------------------------------------------------------------------

TEST(CallManagerTextTest, DeclineTextsByReason) {
    struct Case {
        std::int32_t msgNum;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {1, "",
         "Bob (7) is currently in Do Not Disturb mode. Recipient will receive messages when they "
         "disable Do Not Disturb mode."},
        {1, "x",
         "Bob (7) is currently in Do Not Disturb mode. Recipient will receive messages when they "
         "disable Do Not Disturb mode."},
        {1, "Busy now", "Bob (7): Busy now."},
        {2, "ignored", "All of Bob (7)'s lines are busy."},
        {3, "", "Bob (7) did not answer."},
        {4, "",
         "Bob (7) is in occupied mode.  You can send a high priority instant message if you need "
         "to reach them immediately."},
        {4, "In a meeting", "Bob (7): In a meeting."},
        {0, "", "Bob (7) has declined your call."},
        {0, "Later", "Bob (7) has declined your call, with the following message: Later"},
        {9, "", "Bob (7) has declined your call."},
        {0x10003, "", "Bob (7) did not answer."},  // only the low 16 bits count
        {-1, "", "Bob (7) has declined your call."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CallManager::DeclineText(c.msgNum, "Bob", "7", c.text), c.expected) << c.msgNum;
    }
    // Values are not formats.
    EXPECT_EQ(CallManager::DeclineText(0, "%s", "%s", "%s"),
              "%s (%s) has declined your call, with the following message: %s");
}

TEST_F(CallManagerTest, ADeclineIsShownOnceWhenTheCalleeDropsOut) {
    struct Case {
        std::int16_t reason;
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {1, "",
         "Bob (7) is currently in Do Not Disturb mode. Recipient will receive messages when they "
         "disable Do Not Disturb mode."},
        {4, "Meeting", "Bob (7): Meeting."},
        {2, "", "All of Bob (7)'s lines are busy."},
        {0, "", "Bob (7) has declined your call."},
    };
    for (const Case& c : cases) {
        rig.Sim().ScriptCallee(
            "7", sim::SimCallee{"Bob", sim::CalleeAnswer::Declining, c.reason, c.text});
        const std::size_t before = rig.NoticeTexts().size();
        ASSERT_TRUE(calls->PlaceCall("7", "Bob"));
        rig.Pump();
        Lines texts = rig.NoticeTexts();
        texts.erase(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(before));
        EXPECT_EQ(texts, (Lines{c.shown})) << c.reason;
        EXPECT_EQ(calls->DeclineReasons().at("Bob"), "");
        // The callee leaving again shows nothing more.
        rig.h.Raise([](SonaroEventSink& e) { e.UserChange("Bob", "7", 0, false); });
        rig.Pump();
        EXPECT_EQ(rig.NoticeTexts().size(), before + 1);
        calls->HangUp();
        rig.Pump();
    }
}

TEST_F(CallManagerTest, AnAcceptanceStoresNothing) {
    rig.h.Raise([](SonaroEventSink& e) { e.AcceptedConference(1, "Bob", "7", 3, ""); });
    rig.Pump();
    EXPECT_TRUE(calls->DeclineReasons().empty());
    rig.h.Raise([](SonaroEventSink& e) { e.AcceptedConference(0, "Bob", "7", 3, ""); });
    rig.h.Raise([](SonaroEventSink& e) { e.UserChange("Bob", "7", 1, false); });
    rig.Pump();
    EXPECT_EQ(calls->DeclineReasons().at("Bob"), "Bob (7) did not answer.");
    EXPECT_TRUE(rig.NoticeTexts().empty());  // joining is no dropping out
}

// ---- forums -----------------------------------------------------------------------------------

TEST_F(CallManagerTest, AForumRecordAnswersTheForumQueries) {
    auto forum = std::make_unique<CallRecord>();
    forum->forumName = "General/Friends";
    forum->forumPassword = "pw";
    forum->forumFirstOption = 1;
    forum->forumOptionWord1 = 5;
    forum->forumOptionWord2 = 6;
    forum->controlledMicrophones = true;
    ASSERT_TRUE(calls->FillActiveForum(std::move(forum)));
    EXPECT_TRUE(calls->ActiveIsForum());
    EXPECT_FALSE(calls->ActiveIsCall());
    EXPECT_FALSE(calls->ActiveIsWebTourForum());
    EXPECT_TRUE(calls->ActiveHasControlledMicrophones());
    EXPECT_EQ(calls->ActiveForumName(), "General/Friends");
    EXPECT_EQ(calls->ActiveForumPassword(), "pw");
    EXPECT_EQ(calls->ActiveForumFirstOption(), 1);
    EXPECT_EQ(calls->ActiveForumOptionWord1(), 5);
    EXPECT_EQ(calls->ActiveForumOptionWord2(), 6);
    EXPECT_FALSE(calls->IsIdle());
    // A second forum or a call record cannot take a filled slot.
    EXPECT_FALSE(calls->FillActiveForum(std::make_unique<CallRecord>()));
    // Joined: connected, and the chat says so.
    rig.h.Raise([](SonaroEventSink& e) { e.JoinedGroup("General/Friends"); });
    rig.Pump();
    EXPECT_TRUE(calls->Active()->connected);
    EXPECT_EQ(rig.chat.lines, (Lines{"joined forum General/Friends"}));
}

TEST_F(CallManagerTest, ARefusedJoinDropsOnlyThatForum) {
    rig.EnterForum("General/Friends", false);
    rig.h.Raise([](SonaroEventSink& e) {
        e.serverMessage(1, 1, "The forum does not exist - General/Other");
    });
    rig.Pump();
    EXPECT_TRUE(calls->ActiveIsForum());
    rig.h.Raise([](SonaroEventSink& e) {
        e.serverMessage(1, 1, "The forum does not exist - General/Friends");
    });
    rig.Pump();
    EXPECT_TRUE(calls->IsIdle());
    // A forum never joined writes no left line.
    EXPECT_EQ(
        std::count(rig.chat.lines.begin(), rig.chat.lines.end(), "left forum General/Friends"), 0);
}

}  // namespace
}  // namespace qv
