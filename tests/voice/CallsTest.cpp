// Calls between real programs' parts: for each user an engine manager over the networked engine,
// the call manager and the three call panes on Qt's offscreen platform, against the real voice
// server and directory service. The buttons are clicked as a user clicks them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDevice>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "VoiceRig.h"
#include "app/TimerScheduler.h"
#include "calls/CallManager.h"
#include "calls/CallRecord.h"
#include "engine/CSonaroManager.h"
#include "platform/TickClock.h"
#include "settings/Options.h"
#include "stores/CEventLogWindow.h"
#include "stores/EventLog.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CActiveCallPane.h"
#include "ui/CIncomingCallPane.h"
#include "ui/CPickupPane.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

// One user's program: the call manager and the panes the main view gives it.
class CallProgram {
  public:
    CallProgram(test::VoiceRig& rig, test::Account account)
        : account_(std::move(account)),
          user_(rig.NewUser()),
          calls(*user_->h.manager, user_->h.options, user_->h.notices, user_->h.screen, clock) {
        CSonaroManager& m = *user_->h.manager;
        parts_.manager = &m;
        parts_.scheduler = &scheduler;
        parts_.clock = &clock;
        parts_.playSound = [this](const std::string& name) { paneSounds.push_back(name); };
        parts_.ownMode = [&m] { return static_cast<std::uint16_t>(m.PresenceMode()); };
        parts_.hangUp = [this] { calls.HangUp(); };
        parts_.holdOrSwitch = [this] { calls.HoldOrSwitch(); };
        parts_.pickUp = [this] { calls.PickUp(); };
        parts_.endSecond = [this](std::int16_t reason, const std::string& text) {
            calls.EndSecond(reason, text);
        };
        active = std::make_unique<CActiveCallPane>(parts_);
        incoming = std::make_unique<CIncomingCallPane>(parts_);
        active->SetIncomingPane(incoming.get());
        incoming->SetPanes(active.get(), active->Pickup());
        calls.SetActivePane(active.get());
        calls.SetIncomingPane(incoming.get());
        ticket_ = rig.LogInToDirectory(account_);
    }
    ~CallProgram() {
        calls.SetActivePane(nullptr);
        calls.SetIncomingPane(nullptr);
    }

    bool LogIn(test::VoiceRig& rig) { return rig.LogIn(*user_, account_, ticket_); }
    // What the main view's timer does: the engine's events, then the scheduler.
    void Step() {
        user_->h.manager->DrainEvents();
        scheduler.Tick();
    }
    CSonaroManager& Manager() { return *user_->h.manager; }
    const test::Account& Account() const { return account_; }
    const Lines& Notices() const { return user_->h.notices.texts; }
    Options& Settings() { return user_->h.options; }

    // The participant rows: "nickname status".
    Lines Rows() const {
        Lines out;
        QTreeWidget* list = active->Participants();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            out.push_back(list->topLevelItem(i)->text(1).toStdString() + " " +
                          list->topLevelItem(i)->toolTip(0).toStdString());
        }
        return out;
    }
    bool HasRow(const std::string& row) const {
        for (const std::string& r : Rows()) {
            if (r == row) {
                return true;
            }
        }
        return false;
    }
    bool PaneSound(const std::string& name) const {
        for (const std::string& s : paneSounds) {
            if (s == name) {
                return true;
            }
        }
        return false;
    }
    std::string Status() const { return active->StatusText().toStdString(); }
    QPushButton* Pickup() const { return active->Pickup()->Button(); }

  private:
    test::Account account_;
    std::unique_ptr<test::VoiceUser> user_;
    std::string ticket_;
    CallPaneParts parts_;

  public:
    SteadyTickClock clock;
    TimerScheduler scheduler{clock};
    CallManager calls;
    std::unique_ptr<CActiveCallPane> active;
    std::unique_ptr<CIncomingCallPane> incoming;
    Lines paneSounds;
};

class CallsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_calls_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }

    // Runs every program's main-view timer until done() or the deadline.
    bool Drive(const std::vector<CallProgram*>& programs, const std::function<bool()>& done,
               int timeoutMs = 10000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (CallProgram* p : programs) {
                p->Step();
            }
            QApplication::processEvents();
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

TEST_F(CallsTest, CallWaitingSwitchHangUpAndDoNotDisturb) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    ASSERT_NE(rig.engine, nullptr);
    CallProgram a(rig, rig.Register("Ann"));
    CallProgram b(rig, rig.Register("Bob"));
    CallProgram c(rig, rig.Register("Cat"));
    ASSERT_TRUE(a.LogIn(rig));
    ASSERT_TRUE(b.LogIn(rig));
    ASSERT_TRUE(c.LogIn(rig));
    const std::vector<CallProgram*> all = {&a, &b, &c};
    const std::string& annId = a.Account().id;
    const std::string& bobId = b.Account().id;

    // Ann calls Bob: his incoming pane rings, Ann sees him ringing in her list.
    ASSERT_TRUE(a.calls.PlaceCall(bobId, "Bob"));
    ASSERT_TRUE(Drive(all, [&] {
        return b.incoming->Kind() == SecondSlotKind::kRinging && b.PaneSound("IncomingCall") &&
               a.HasRow("Bob Ringing");
    })) << "Bob's pane did not ring";
    EXPECT_EQ(b.incoming->Title(), "Incoming Call");
    EXPECT_EQ(b.incoming->Caller(), "Ann");
    EXPECT_TRUE(b.Pickup()->isEnabled());
    EXPECT_EQ(b.Pickup()->text(), "Pickup");
    EXPECT_TRUE(b.active->Pickup()->Blinking());

    // Bob picks up: both in the call, each in the other's list.
    b.incoming->PickUpButton()->click();
    ASSERT_TRUE(Drive(all,
                      [&] {
                          return a.Status() == "Active Call" && b.Status() == "Active Call" &&
                                 a.HasRow("Bob In the call") && b.HasRow("Ann In the call");
                      }))
        << "A: " << a.Status() << " B: " << b.Status();
    EXPECT_EQ(a.Rows().size(), 2u);
    EXPECT_EQ(b.Rows().size(), 2u);
    EXPECT_EQ(b.incoming->Kind(), SecondSlotKind::kEmpty);
    EXPECT_FALSE(b.active->Pickup()->Blinking());
    EXPECT_EQ(b.Pickup()->text(), "Hold");

    // Cat calls Bob: call waiting.
    ASSERT_TRUE(c.calls.PlaceCall(bobId, "Bob"));
    ASSERT_TRUE(Drive(all, [&] {
        return b.incoming->Kind() == SecondSlotKind::kRinging && b.PaneSound("CallWaiting");
    })) << "no call waiting at Bob";
    EXPECT_EQ(b.incoming->Caller(), "Cat");
    EXPECT_EQ(b.Pickup()->text(), "Pickup");
    EXPECT_EQ(b.Pickup()->toolTip(), "Pick up incoming call and place current call on hold");

    // Bob switches to Cat: Ann's call waits on hold, Ann sees him marked on hold.
    b.Pickup()->click();
    ASSERT_TRUE(Drive(all, [&] {
        return a.HasRow("Bob On Hold") && b.HasRow("Cat In the call") &&
               c.HasRow("Bob In the call") && b.Status() == "Active Call";
    })) << "the switch to Cat did not happen";
    EXPECT_EQ(b.incoming->Title(), "On Hold");
    EXPECT_EQ(b.incoming->Caller(), "Ann");
    EXPECT_EQ(b.Pickup()->text(), "Switch");
    ASSERT_NE(b.calls.Active(), nullptr);
    EXPECT_EQ(b.calls.Active()->userId, c.Account().id);

    // And back to Ann: Cat's call is held now.
    b.Pickup()->click();
    ASSERT_TRUE(Drive(all, [&] {
        return a.HasRow("Bob In the call") && c.HasRow("Bob On Hold") &&
               b.HasRow("Ann In the call");
    })) << "the switch back to Ann did not happen";
    EXPECT_EQ(b.incoming->Caller(), "Cat");
    ASSERT_NE(b.calls.Active(), nullptr);
    EXPECT_EQ(b.calls.Active()->userId, annId);

    // Bob hangs up on Ann: her call ends a little over a second later.
    b.active->HangUpButton()->click();
    const auto hungUp = std::chrono::steady_clock::now();
    ASSERT_TRUE(Drive(
        all, [&] { return a.calls.Active() == nullptr; }, 5000))
        << "Ann's call did not end";
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - hungUp)
                           .count();
    EXPECT_GT(after, 1000);
    EXPECT_TRUE(a.PaneSound("RemovedFromCall"));
    EXPECT_EQ(a.Status(), "Ready");
    // Cat still waits on hold at Bob; Bob ends that too, and Cat is left alone.
    ASSERT_NE(b.calls.Second(), nullptr);
    b.incoming->HangUpButton()->click();
    ASSERT_TRUE(Drive(
        all, [&] { return c.calls.Active() == nullptr; }, 5000))
        << "Cat's call did not end";
    EXPECT_TRUE(c.PaneSound("RemovedFromCall"));
    EXPECT_TRUE(b.calls.IsIdle());

    // Bob in Do Not Disturb: declined at once, Ann is told why when he drops out.
    struct Case {
        std::string dndText;
        std::string shown;
    } cases[] = {
        {"", "Bob (" + bobId +
                 ") is currently in Do Not Disturb mode. Recipient will receive messages when "
                 "they disable Do Not Disturb mode."},
        {"Please, do not disturb!", "Bob (" + bobId + "): Please, do not disturb!."},
    };
    ASSERT_TRUE(b.Manager().SetStatus(4));
    for (const Case& k : cases) {
        SCOPED_TRACE(k.shown);
        b.paneSounds.clear();
        a.paneSounds.clear();
        const std::size_t notices = a.Notices().size();
        b.Settings().SetDndMessage(k.dndText);
        ASSERT_TRUE(a.calls.PlaceCall(bobId, "Bob"));
        ASSERT_TRUE(Drive(all, [&] { return a.Notices().size() > notices; }))
            << "no reason shown to Ann";
        EXPECT_EQ(a.Notices().back(), k.shown);
        EXPECT_EQ(b.incoming->Kind(), SecondSlotKind::kEmpty);
        ASSERT_TRUE(Drive(
            all, [&] { return a.calls.Active() == nullptr; }, 5000));
        EXPECT_TRUE(a.PaneSound("RemovedFromCall"));
        EXPECT_FALSE(b.PaneSound("IncomingCall"));
        // Shown once only.
        Drive(
            all, [] { return false; }, 300);
        EXPECT_EQ(a.Notices().size(), notices + 1);
    }
}

TEST_F(CallsTest, ACallAndAMessageAppearInTheEventLogWindow) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready()) << "a server did not start";
    CallProgram a(rig, rig.Register("Ann"));
    CallProgram b(rig, rig.Register("Bob"));
    ASSERT_TRUE(a.LogIn(rig));
    ASSERT_TRUE(b.LogIn(rig));
    const std::vector<CallProgram*> all = {&a, &b};
    test::TempFolder folder;
    EventLog annLog;
    EventLog bobLog;
    ASSERT_TRUE(annLog.Open(folder.File("ann/Quorvane.log")));
    ASSERT_TRUE(bobLog.Open(folder.File("bob/Quorvane.log")));
    a.calls.SetEventLog(&annLog);
    b.calls.SetEventLog(&bobLog);
    b.Manager().SetEventLog(&bobLog);

    ASSERT_TRUE(a.calls.PlaceCall(b.Account().id, "Bob"));
    ASSERT_TRUE(Drive(all, [&] { return b.incoming->Kind() == SecondSlotKind::kRinging; }));
    a.calls.HangUp();
    ASSERT_TRUE(a.Manager().SendUserMessage(b.Account().id, "", 8, 0, "Call me back\r\nlater"));
    ASSERT_TRUE(Drive(all, [&] { return bobLog.Query({}).size() == 2; }))
        << "Bob's log holds " << bobLog.Query({}).size();

    test::RecordingScreen screen;
    CEventLogWindow window(bobLog, nullptr, screen, "Bob");
    window.show();
    EventLogModel* rows = window.Model();
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(rows->index(0, EventLogModel::kEvent).data().toString(), "INCOMING CALL");
    EXPECT_EQ(rows->index(0, EventLogModel::kParty).data().toString(), "Ann");
    EXPECT_EQ(rows->index(1, EventLogModel::kEvent).data().toString(), "FROM");
    EXPECT_EQ(rows->index(1, EventLogModel::kText).data().toString(), "Call me back");
    window.Table()->setCurrentIndex(rows->index(1, 0));
    EXPECT_EQ(window.DetailParty()->text().toStdString(), "Ann  (" + a.Account().id + ")");
    const std::vector<EventRecord> annRecords = annLog.Query({});
    ASSERT_EQ(annRecords.size(), 1u);
    EXPECT_EQ(annRecords[0].type, event_type::kOutgoingCall);
    EXPECT_EQ(annRecords[0].id, b.Account().id);

    // With LogEvents off nothing more is written.
    b.Settings().SetLogEvents(0);
    ASSERT_TRUE(a.Manager().SendUserMessage(b.Account().id, "", 8, 0, "not logged"));
    ASSERT_TRUE(a.Manager().SendUserMessage(b.Account().id, "", 8, 0, "not logged either"));
    Drive(
        all, [] { return false; }, 500);
    EXPECT_EQ(bobLog.Query({}).size(), 2u);
    window.close();
}

}  // namespace
}  // namespace qv
