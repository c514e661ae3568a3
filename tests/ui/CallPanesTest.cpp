// The three call panes on Qt's offscreen platform, driven as the call manager drives them, with
// an injected clock and the scheduler ticked by hand.

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDevice>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "app/TimerScheduler.h"
#include "calls/CallRecord.h"
#include "platform/TickClock.h"
#include "ui/CActiveCallPane.h"
#include "ui/CIncomingCallPane.h"
#include "ui/CPickupPane.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

std::unique_ptr<CallRecord> Call(const std::string& id, const std::string& nick, bool connected,
                                 std::uint32_t start) {
    auto r = std::make_unique<CallRecord>();
    r->userId = id;
    r->nickname = nick;
    r->connected = connected;
    r->startTime = start;
    return r;
}

std::unique_ptr<CallRecord> Forum(const std::string& name) {
    auto r = std::make_unique<CallRecord>();
    r->forumName = name;
    return r;
}

class CallPanesTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_call_panes_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }

  protected:
    CallPanesTest() {
        parts.scheduler = &scheduler;
        parts.clock = &clock;
        parts.playSound = [this](const std::string& s) { log.push_back("sound " + s); };
        parts.ownMode = [this] { return mode; };
        parts.hangUp = [this] { log.push_back("HangUp"); };
        parts.holdOrSwitch = [this] { log.push_back("HoldOrSwitch"); };
        parts.pickUp = [this] { log.push_back("PickUp"); };
        parts.endSecond = [this](std::int16_t reason, const std::string& text) {
            log.push_back("EndSecond " + std::to_string(reason) + " [" + text + "]");
        };
        parts.setTalk = [this](bool muted) { log.push_back(muted ? "mute" : "talk"); };
        parts.pushToTalk = [this] { return pushToTalk; };
        active = std::make_unique<CActiveCallPane>(parts);
        incoming = std::make_unique<CIncomingCallPane>(parts);
        active->SetIncomingPane(incoming.get());
        incoming->SetPanes(active.get(), active->Pickup());
        active->resize(180, 200);
        incoming->resize(180, 90);
        active->show();
        incoming->show();
    }
    ~CallPanesTest() override {
        incoming.reset();
        active.reset();
    }

    // Moves the clock by ms in steps of 50, ticking the scheduler as the view's timer does.
    void Run(std::uint32_t ms) {
        for (std::uint32_t t = 0; t < ms; t += 50) {
            clock.Advance(50);
            scheduler.Tick();
        }
    }
    Lines Take() {
        Lines out;
        out.swap(log);
        return out;
    }
    Lines Rows() const {
        Lines out;
        QTreeWidget* list = active->Participants();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            out.push_back(list->topLevelItem(i)->text(1).toStdString() + " " +
                          list->topLevelItem(i)->toolTip(0).toStdString());
        }
        return out;
    }
    QPushButton* Pickup() const { return active->Pickup()->Button(); }

    ManualTickClock clock{5000};
    TimerScheduler scheduler{clock};
    std::uint16_t mode = 0;
    bool pushToTalk = false;
    Lines log;
    CallPaneParts parts;
    std::unique_ptr<CActiveCallPane> active;
    std::unique_ptr<CIncomingCallPane> incoming;
};

TEST_F(CallPanesTest, ControlsAndTheirTooltips) {
    EXPECT_EQ(active->findChild<QLabel*>("light")->toolTip(), "Status Indicator Light");
    EXPECT_EQ(active->findChild<QLabel*>("status")->toolTip(), "Active Call Status");
    QTreeWidget* list = active->Participants();
    EXPECT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(0), "S");
    EXPECT_EQ(list->headerItem()->toolTip(0),
              "Participant's Status ( Talking, On Hold, Muted, etc. )");
    EXPECT_EQ(list->headerItem()->text(1), "Participant");
    EXPECT_EQ(list->headerItem()->toolTip(1), "Participant's Nickname");
    // The pane's first update gives the Talk/Mute button the tooltip of its voice-activated mode.
    EXPECT_EQ(active->TalkButton()->toolTip(), "Mute your voice");
    EXPECT_EQ(active->TextChatButton()->text(), "Text Chat");
    EXPECT_EQ(active->TextChatButton()->toolTip(), "Open text chat window");
    EXPECT_EQ(incoming->findChild<QLabel*>("light")->toolTip(), "Status Indicator Light");
    EXPECT_EQ(incoming->findChild<QLabel*>("title")->toolTip(), "Call Waiting Status");
    EXPECT_EQ(incoming->InfoButton()->text(), "Info");
    EXPECT_EQ(incoming->InfoButton()->toolTip(), "Click here for more info about this caller");
    EXPECT_EQ(incoming->HangUpButton()->text(), "Hang Up");
    EXPECT_EQ(incoming->HangUpButton()->toolTip(), "Hang up call");
    EXPECT_EQ(incoming->PickUpButton()->text(), "Pick Up");
    EXPECT_EQ(incoming->PickUpButton()->toolTip(), "Answer incoming call");
}

// Every row of the button table, as the panes show it after the call manager told them.
TEST_F(CallPanesTest, EveryStateOfTheButtonTable) {
    struct Row {
        const char* active;  // "", "call", "forum"
        const char* second;  // "", "ringing", "held"
        bool pickupEnabled;
        const char* pickupCaption;
        const char* pickupTooltip;
        bool hangUpEnabled;
        const char* hangUpCaption;
        const char* hangUpTooltip;
        const char* status;
        bool pickupBlinks;
    } rows[] = {
        {"forum", "", false, "Pickup", "", true, "Leave", "Leave this forum", "Joining Forum",
         false},
        {"forum", "ringing", true, "Pickup", "Pick up incoming call and leave current forum", true,
         "Leave", "Leave this forum", "Joining Forum", false},
        {"forum", "held", true, "Pickup", "Pick up call on hold and leave current forum", true,
         "Leave", "Leave this forum", "Joining Forum", false},
        {"call", "", true, "Hold", "Place this call on hold", true, "Hang Up",
         "Hang up active call", "Placing Call", false},
        {"call", "ringing", true, "Pickup", "Pick up incoming call and place current call on hold",
         true, "Hang Up", "Hang up active call", "Placing Call", false},
        {"call", "held", true, "Switch", "Pick up call on hold and place current call on hold",
         true, "Hang Up", "Hang up active call", "Placing Call", false},
        {"", "", false, "Pickup", "Pick up incoming call", false, "Hang Up",
         "Hang up incoming call", "Ready", false},
        {"", "ringing", true, "Pickup", "Pick up incoming call", true, "Hang Up",
         "Hang up incoming call", "Ready", true},
        {"", "held", true, "Pickup", "Pick up call on hold", true, "Hang Up",
         "Hang up incoming call", "Ready", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.active) + " / " + row.second);
        std::unique_ptr<CallRecord> a;
        if (std::string(row.active) == "call") {
            a = Call("1002", "bob", false, clock.Now());
        } else if (std::string(row.active) == "forum") {
            a = Forum("Lobby/Chess");
        }
        std::unique_ptr<CallRecord> s;
        if (std::string(row.second) == "ringing") {
            s = Call("1003", "carol", false, clock.Now());
        } else if (std::string(row.second) == "held") {
            s = Call("1004", "dave", true, clock.Now());
        }
        // The call manager's order: the active slot first, then the second.
        active->ShowActive(a.get());
        incoming->ShowSecond(s.get());
        EXPECT_EQ(Pickup()->isEnabled(), row.pickupEnabled);
        EXPECT_EQ(Pickup()->text().toStdString(), row.pickupCaption);
        EXPECT_EQ(Pickup()->toolTip().toStdString(), row.pickupTooltip);
        EXPECT_EQ(active->HangUpButton()->isEnabled(), row.hangUpEnabled);
        EXPECT_EQ(active->HangUpButton()->text().toStdString(), row.hangUpCaption);
        EXPECT_EQ(active->HangUpButton()->toolTip().toStdString(), row.hangUpTooltip);
        EXPECT_EQ(active->StatusText().toStdString(), row.status);
        EXPECT_EQ(active->Pickup()->Blinking(), row.pickupBlinks);
        const bool shown = a != nullptr;
        EXPECT_EQ(active->TalkButton()->isEnabled(), shown);
        EXPECT_EQ(active->TextChatButton()->isEnabled(), shown);
        EXPECT_EQ(active->Light(), shown ? StatusLight::kInCall : StatusLight::kIdle);
        const char* title = s == nullptr ? "Ready" : s->connected ? "On Hold" : "Incoming Call";
        EXPECT_EQ(incoming->Title().toStdString(), title);
        EXPECT_EQ(incoming->Caller().toStdString(), s ? s->nickname : "");
        for (QPushButton* b :
             {incoming->InfoButton(), incoming->HangUpButton(), incoming->PickUpButton()}) {
            EXPECT_EQ(b->isEnabled(), s != nullptr) << b->text().toStdString();
        }
        EXPECT_EQ(incoming->Light(), s ? StatusLight::kWaiting : StatusLight::kIdle);
        // Both emptied again before the next row, as ending the slots does.
        incoming->ShowSecond(nullptr);
        active->ShowActive(nullptr);
    }
}

TEST_F(CallPanesTest, TalkStopClosesTheMicrophoneOnlyInPushToTalkWithACall) {
    // No call shown: nothing.
    pushToTalk = true;
    active->TalkStop();
    EXPECT_EQ(Take(), Lines{});
    auto a = Call("1002", "bob", true, clock.Now());
    active->ShowActive(a.get());
    Take();
    // Voice-activated: the microphone stays as the user left it. The pane hears of a new mode
    // when its Talk/Mute button is updated.
    pushToTalk = false;
    active->UpdateTalkButton();
    Take();
    active->TalkStop();
    EXPECT_EQ(Take(), Lines{});
    pushToTalk = true;
    active->UpdateTalkButton();
    Take();
    active->TalkStop();
    EXPECT_EQ(Take(), Lines{"mute"});
}

TEST_F(CallPanesTest, ButtonsRunTheCallManagersOperations) {
    auto a = Call("1002", "bob", true, clock.Now());
    auto s = Call("1003", "carol", false, clock.Now());
    active->ShowActive(a.get());
    incoming->ShowSecond(s.get());
    Take();
    Pickup()->click();
    active->HangUpButton()->click();
    active->TalkButton()->click();
    active->TalkButton()->click();
    incoming->HangUpButton()->click();
    incoming->PickUpButton()->click();
    // Info and Text Chat open windows of their own later: nothing yet.
    incoming->InfoButton()->click();
    active->TextChatButton()->click();
    EXPECT_EQ(Take(),
              (Lines{"HoldOrSwitch", "HangUp", "mute", "talk", "EndSecond 0 []", "PickUp"}));
}

TEST_F(CallPanesTest, PickUpStopsThePickupBlinking) {
    auto s = Call("1003", "carol", false, clock.Now());
    incoming->ShowSecond(s.get());
    EXPECT_TRUE(active->Pickup()->Blinking());
    EXPECT_TRUE(active->Pickup()->Lit());
    Run(1050);
    EXPECT_FALSE(active->Pickup()->Lit());
    Run(1050);
    EXPECT_TRUE(active->Pickup()->Lit());
    incoming->PickUpButton()->click();
    EXPECT_FALSE(active->Pickup()->Blinking());
    EXPECT_FALSE(active->Pickup()->Lit());
}

TEST_F(CallPanesTest, TheLightOfARingingCallBlinks) {
    auto s = Call("1003", "carol", false, clock.Now());
    incoming->ShowSecond(s.get());
    std::vector<StatusLight> seen;
    for (int i = 0; i < 10; ++i) {
        incoming->OnRingTick();
        seen.push_back(incoming->Light());
    }
    using L = StatusLight;
    EXPECT_EQ(seen,
              (std::vector<L>{L::kWaiting, L::kWaitingB, L::kWaiting, L::kWaitingB, L::kWaiting,
                              L::kWaitingB, L::kWaiting, L::kWaitingB, L::kWaiting, L::kWaiting}));
    incoming->ShowSecond(nullptr);
    EXPECT_EQ(incoming->Light(), L::kIdle);
    EXPECT_EQ(incoming->RingCounter(), 0u);
}

TEST_F(CallPanesTest, RightClickMenuHangsUpTheSecondSlot) {
    auto s = Call("1003", "carol", false, clock.Now());
    incoming->ShowSecond(s.get());
    std::unique_ptr<QMenu> menu(incoming->MakeContextMenu());
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "&Hang Up");
    EXPECT_EQ(menu->actions()[1]->text(), "Send &Instant Message");
    EXPECT_FALSE(menu->actions()[1]->isEnabled());  // no way to send messages in this rig
    Take();
    menu->actions()[0]->trigger();
    EXPECT_EQ(Take(), Lines{"EndSecond 0 []"});
}

TEST_F(CallPanesTest, RingingSoundsWhileIdleAndTheTimeout) {
    auto s = Call("1003", "carol", false, clock.Now());
    incoming->ShowSecond(s.get());
    Take();
    Run(60000);
    Lines sounds = Take();
    // Every 64 ticks of 100 ms from the first tick; the last at 60.8 s is after the timeout.
    ASSERT_FALSE(sounds.empty());
    for (const std::string& line : sounds) {
        EXPECT_EQ(line, "sound IncomingCall");
    }
    EXPECT_EQ(sounds.size(), 10u);
    // At exactly 60 s the call still rings; a little later it is declined as not answered.
    Run(1000);
    const Lines after = Take();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), "EndSecond 3 []");
}

TEST_F(CallPanesTest, CallWaitingHoldReminderAndSilence) {
    auto a = Call("1002", "bob", true, clock.Now());
    active->ShowActive(a.get());
    auto s = Call("1003", "carol", false, clock.Now());
    incoming->ShowSecond(s.get());
    Take();
    Run(1000);
    EXPECT_EQ(Take(), Lines{"sound CallWaiting"});
    // A held call reminds 512 ticks after it was put on hold, and only then blinks its light.
    s->connected = true;
    incoming->ShowSecond(s.get());
    Run(51000);
    EXPECT_EQ(Take(), Lines{});
    EXPECT_EQ(incoming->Light(), StatusLight::kWaiting);
    Run(1000);
    EXPECT_EQ(Take(), Lines{"sound HoldReminder"});
    // Do Not Disturb and Occupied ring silently.
    for (std::uint16_t m : {std::uint16_t{4}, std::uint16_t{8}}) {
        mode = m;
        auto ringing = Call("1005", "eve", false, clock.Now());
        incoming->ShowSecond(ringing.get());
        Run(2000);
        EXPECT_EQ(Take(), Lines{}) << m;
        incoming->ShowSecond(nullptr);
    }
}

TEST_F(CallPanesTest, ParticipantListFollowsTheEnginesList) {
    auto a = Call("1002", "bob", true, clock.Now());
    active->ShowActive(a.get());
    active->OnUserList("alice\t1001\t\nbob\t1002\tI\n");
    EXPECT_EQ(Rows(), (Lines{"alice In the call", "bob Ringing"}));
    ASSERT_EQ(a->participants.size(), 2u);
    EXPECT_EQ(a->participants[1].flags, 0x20001u);
    active->OnUserTalking("1001", true);
    EXPECT_EQ(Rows(), (Lines{"alice Talking", "bob Ringing"}));
    // A row that stays keeps its talking flag; bob answered; carol joined; then bob holds.
    active->OnUserList("alice\t1001\t\nbob\t1002\t\ncarol\t1003\tX\n");
    EXPECT_EQ(Rows(), (Lines{"alice Talking", "bob In the call", "carol Muted"}));
    active->OnUserList("alice\t1001\t\nbob\t1002\tH\n");
    EXPECT_EQ(Rows(), (Lines{"alice Talking", "bob On Hold"}));
    // Shown again (after a switch): filled from the record's rows.
    active->ShowActive(nullptr);
    EXPECT_EQ(Rows(), Lines{});
    active->ShowActive(a.get());
    EXPECT_EQ(Rows(), (Lines{"alice Talking", "bob On Hold"}));
    // A lost connection clears the list and the Talk/Mute button.
    active->OnConnectionState(0);
    EXPECT_EQ(Rows(), Lines{});
    EXPECT_FALSE(active->TalkButton()->isEnabled());
}

TEST_F(CallPanesTest, StatusTextFollowsTheJoins) {
    auto a = Call("1002", "bob", false, clock.Now());
    active->ShowActive(a.get());
    EXPECT_EQ(active->StatusText(), "Placing Call");
    active->OnJoinedConference(7, false, true);
    EXPECT_EQ(active->StatusText(), "Placing Call");
    active->OnJoinedConference(7, true, false);
    EXPECT_EQ(active->StatusText(), "Active Call");
    auto f = Forum("Lobby/Chess");
    active->ShowActive(f.get());
    EXPECT_EQ(active->StatusText(), "Joining Forum");
    active->OnJoinedGroup("Lobby/Chess");
    EXPECT_EQ(active->StatusText(), "In Lobby/Chess Forum");
}

TEST_F(CallPanesTest, TimeInCall) {
    auto a = Call("1002", "bob", false, clock.Now());
    active->ShowActive(a.get());
    Run(3000);
    EXPECT_EQ(active->TimeText(), "Time In Call:");
    a->connected = true;
    a->startTime = clock.Now();
    active->OnUserList("alice\t1001\t\nbob\t1002\t\n");
    Run(61000);
    EXPECT_TRUE(active->TimeText() == "Time In Call: 01:00" ||
                active->TimeText() == "Time In Call: 01:01")
        << active->TimeText().toStdString();
    clock.Set(a->startTime + 3599 * 1000);
    active->OnSecondTick();
    EXPECT_EQ(active->TimeText(), "Time In Call: 59:59");
    clock.Set(a->startTime + 3600 * 1000);
    active->OnSecondTick();
    EXPECT_EQ(active->TimeText(), "Time In Call: 01:00:00");
}

TEST_F(CallPanesTest, AloneForOverASecondHangsUpWithTheSound) {
    auto a = Call("1002", "bob", true, clock.Now());
    active->ShowActive(a.get());
    active->OnUserList("alice\t1001\t\nbob\t1002\t\n");
    Run(5000);
    EXPECT_EQ(Take(), Lines{});
    // bob left: alice alone.
    active->OnUserList("alice\t1001\t\n");
    Run(1000);
    EXPECT_EQ(Take(), Lines{});
    Run(1100);
    EXPECT_EQ(Take(), (Lines{"HangUp", "sound RemovedFromCall"}));
    // A forum with one member stays.
    auto f = Forum("Lobby");
    f->connected = true;
    active->ShowActive(f.get());
    active->OnUserList("alice\t1001\t\n");
    Run(5000);
    EXPECT_EQ(Take(), Lines{});
}

// The engine's events reach the pane through the manager's subscriptions.
TEST(CallPanesEngineTest, EventsFromTheEngineManager) {
    CallPanesTest::SetUpTestSuite();
    test::EngineHarness h;
    h.LogIn();  // the user is "nick" (42)
    ManualTickClock clock(1000);
    TimerScheduler scheduler(clock);
    CallPaneParts parts;
    parts.manager = h.manager.get();
    parts.scheduler = &scheduler;
    parts.clock = &clock;
    auto pane = std::make_unique<CActiveCallPane>(parts);
    auto call = Call("7", "seven", true, clock.Now());
    pane->ShowActive(call.get());
    h.RaiseAndDrain([](SonaroEventSink& e) { e.JoinedConference(3, 1, 0); });
    EXPECT_EQ(pane->StatusText(), "Active Call");
    pane->OnUserList("nick\t42\t\nseven\t7\t\n");
    ASSERT_EQ(pane->Participants()->topLevelItemCount(), 2);
    h.RaiseAndDrain([](SonaroEventSink& e) { e.userTalking("7", "", 1); });
    EXPECT_EQ(pane->Participants()->topLevelItem(1)->toolTip(0), "Talking");
    // The microphone opens: the user's own row talks, unless a forum took the privilege.
    h.RaiseAndDrain([](SonaroEventSink& e) { e.mikeActive(1); });
    EXPECT_EQ(pane->Participants()->topLevelItem(0)->toolTip(0), "Talking");
    h.RaiseAndDrain([](SonaroEventSink& e) { e.mikeActive(0); });
    EXPECT_EQ(pane->Participants()->topLevelItem(0)->toolTip(0), "In the call");
    h.RaiseAndDrain([](SonaroEventSink& e) { e.canTalkEvent(0); });
    h.RaiseAndDrain([](SonaroEventSink& e) { e.mikeActive(1); });
    EXPECT_EQ(pane->Participants()->topLevelItem(0)->toolTip(0), "In the call");
    pane.reset();
    // Unsubscribed: later events reach nobody.
    h.RaiseAndDrain([](SonaroEventSink& e) { e.mikeActive(1); });
}

}  // namespace
}  // namespace qv
