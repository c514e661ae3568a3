#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <memory>

#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>
#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "app/CommandIds.h"
#include "app/TimerScheduler.h"
#include "calls/CallManager.h"
#include "login/Session.h"
#include "messaging/AlertQueue.h"
#include "messaging/MessageCenter.h"
#include "messaging/SystemNotices.h"
#include "platform/Mixer.h"
#include "platform/Screen.h"
#include "platform/TickClock.h"
#include "settings/IniFile.h"
#include "settings/LoginKey.h"
#include "settings/Options.h"
#include "settings/RegistryKey.h"
#include "stores/CBlockListWindow.h"
#include "stores/CContactListWindow.h"
#include "stores/CEventLogWindow.h"
#include "stores/ContactListCommands.h"
#include "stores/ContactStore.h"
#include "stores/EventLog.h"
#include "support/FrameShell.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CActiveCallPane.h"
#include "ui/CIncomingCallPane.h"
#include "ui/CMainFrame.h"
#include "ui/CPickupPane.h"
#include "ui/CQuorvaneView.h"
#include "ui/CStatusLine.h"
#include "ui/CTipDialog.h"
#include "ui/CTrayIcon.h"
#include "ui/ConnectionStatusLine.h"
#include "ui/SetupWizard.h"
#include "ui/TrayMenuModel.h"

namespace qv {
namespace {

// The real frame and view, with a screen that records instead of showing.
using test::FrameShell;

class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_main_window_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            static QApplication application(argc, argv);
        }
    }

    void Start() {
        AppEnvironment env;
        env.homeOption = root.Path();
        env.executable = "/usr/bin/quorvane";
        app = std::make_unique<CQuorvaneApp>(env, shell, nullptr, clock);
        shell.app = app.get();
        ASSERT_TRUE(app->InitInstance());
    }
    void TearDown() override {
        if (app) {
            app->ExitInstance();
        }
        std::filesystem::current_path(cwd);
    }
    QMenu* Menu(const QString& title) {
        for (QAction* a : shell.frame->menuBar()->actions()) {
            if (a->text() == title) {
                return a->menu();
            }
        }
        return nullptr;
    }

    test::TempFolder root;
    SteadyTickClock clock;
    FrameShell shell;
    std::unique_ptr<CQuorvaneApp> app;
    std::string cwd = std::filesystem::current_path().string();
};

TEST_F(MainWindowTest, ShowsTitleMenusAndStatus) {
    Start();
    CMainFrame& frame = *shell.frame;
    EXPECT_EQ(frame.windowTitle(), "Quorvane");
    EXPECT_TRUE(frame.isVisible());
    ASSERT_NE(Menu("&File"), nullptr);
    ASSERT_NE(Menu("&Help"), nullptr);
    EXPECT_EQ(frame.View()->StatusText(),
              "Disconnected - Click to connect to the Quorvane voice server");
    // Idle: Connect is offered, Disconnect is not.
    ASSERT_NE(frame.ActionFor(cmd::kConnect), nullptr);
    EXPECT_TRUE(frame.ActionFor(cmd::kConnect)->isEnabled());
    EXPECT_FALSE(frame.ActionFor(cmd::kDisconnect)->isEnabled());
    EXPECT_TRUE(frame.ActionFor(cmd::kExit)->isEnabled());
}

TEST_F(MainWindowTest, HelpMenuFollowsTheCustomization) {
    root.Write("Customize.ini",
               "[Help Menu]\r\nQVFAQAlias=Partner &FAQ\r\nQVFAQURL=http://partner.example/faq\r\n");
    Start();
    QAction* faq = shell.frame->ActionFor(cmd::kHelpFaq);
    ASSERT_NE(faq, nullptr);
    EXPECT_EQ(faq->text(), "Partner &FAQ");
    faq->trigger();
    // Untouched entries keep the product's own texts and pages.
    shell.frame->ActionFor(cmd::kHelpWebPage)->trigger();
    ASSERT_EQ(shell.screen.urls.size(), 2u);
    EXPECT_EQ(shell.screen.urls[0], "http://partner.example/faq");
    EXPECT_EQ(shell.screen.urls[1], "http://www.quorvane.com/");
    EXPECT_EQ(shell.frame->ActionFor(cmd::kHelpWebPage)->text(), "Quorvane &Web Page");
}

TEST_F(MainWindowTest, UnknownCommandIsPassedOn) {
    Start();
    EXPECT_FALSE(shell.frame->OnCommand(12345));
    EXPECT_FALSE(shell.frame->OnCommand(cmd::kDisconnect));  // nothing to disconnect
}

TEST_F(MainWindowTest, ViewTimerTicksTheScheduler) {
    Start();
    int calls = 0;
    app->Scheduler()->Add([&](const std::string&, std::uintptr_t) { ++calls; }, 0, 10,
                          TimerScheduler::kRepeat);
    QElapsedTimer elapsed;
    elapsed.start();
    while (calls < 3 && elapsed.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_GE(calls, 3);
}

TEST_F(MainWindowTest, AWindowOpenedByTheTimersWorkDoesNotRunTheTimerAgain) {
    Start();
    int posted = 0;
    int postedDuringTheWindow = -1;
    bool opened = false;
    app->Scheduler()->Add(
        [&](const std::string&, std::uintptr_t) {
            if (opened) {
                return;
            }
            opened = true;
            app->GetUiQueue().Post([&] { ++posted; });
            // A window's own loop, as a message box runs it, well past several view timer
            // periods.
            QEventLoop loop;
            QTimer::singleShot(20 * CQuorvaneView::kTimerPeriodMs, &loop, &QEventLoop::quit);
            loop.exec();
            postedDuringTheWindow = posted;
        },
        0, 10, TimerScheduler::kRepeat);
    QElapsedTimer elapsed;
    elapsed.start();
    while ((postedDuringTheWindow < 0 || posted == 0) && elapsed.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(postedDuringTheWindow, 0);
    EXPECT_EQ(posted, 1);
}

TEST_F(MainWindowTest, ClosingTheUpdateWindowAllowsConnectingAgain) {
    Start();
    Session* session = shell.frame->View()->GetSession();
    ASSERT_NE(session, nullptr);
    // A server error while the engine is not current asks for an update.
    session->OnConnectionEvent(12, "update needed");
    ASSERT_NE(session->UpdateFlags(), 0u);
    QDialog* update = shell.frame->findChild<QDialog*>("UpdateWindow");
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(update->isVisible());
    update->close();
    EXPECT_FALSE(update->isVisible());
    EXPECT_EQ(session->UpdateFlags(), 0u);
}

TEST_F(MainWindowTest, PlacementIsStoredAndClampedToTheWorkArea) {
    root.Write("Quorvane.ini", "[WindowRect]\r\nLeft=99999\r\nTop=-500\r\n");
    Start();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect g = shell.frame->geometry();
    EXPECT_LE(g.right(), work.right());
    EXPECT_GE(g.top(), work.top());
    IniFile& machine = *app->MachineSettings();
    EXPECT_EQ(machine.GetInt("WindowRect", "Expanded", -1), 0);
    const int placedLeft = machine.GetInt("WindowRect", "Left", -1);
    EXPECT_EQ(placedLeft, shell.frame->pos().x());
    // A drag moves it many times: written once it has been still, not for every step.
    for (int i = 0; i < 20; ++i) {
        shell.frame->move(work.left() + 10 + i, work.top() + 20);
        QApplication::processEvents();
    }
    EXPECT_EQ(machine.GetInt("WindowRect", "Left", -1), placedLeft);
    shell.frame->FlushPlacement();
    EXPECT_EQ(machine.GetInt("WindowRect", "Left", -1), shell.frame->pos().x());
    EXPECT_EQ(machine.GetInt("WindowRect", "Top", -1), shell.frame->pos().y());
}

TEST_F(MainWindowTest, TheViewShowsTheContactListAndTheViewMenuTheBlockList) {
    Start();
    CContactListWindow* list = shell.frame->View()->ContactList();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->Caption(), "Contacts");
    // Above the status line.
    QWidget* status = shell.frame->View()->findChild<QWidget*>("ConnectionStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_LT(list->geometry().bottom(), status->geometry().top());
    // The user's settings file: the contact list's settings and the window places go there.
    app->UserSettings()->SetPath(root.File("Options.ini"));
    QMenu* view = Menu("&View");
    ASSERT_NE(view, nullptr);
    QAction* blockList = shell.frame->ActionFor(cmd::kViewBlockList);
    ASSERT_NE(blockList, nullptr);
    EXPECT_EQ(blockList->text(), "Block List");
    EXPECT_TRUE(view->actions().contains(blockList));
    blockList->trigger();
    CBlockListWindow* window = shell.frame->findChild<CBlockListWindow*>("BlockListWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Block List");
    // Groups on and off from the View menu, kept in the user's settings.
    EXPECT_FALSE(list->GroupsEnabled());
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kViewGroups));
    EXPECT_TRUE(list->GroupsEnabled());
    EXPECT_EQ(app->UserSettings()->GetInt("ContactList", "EnableGroups", 0), 1);
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kViewOnlineOnly));
    EXPECT_EQ(app->UserSettings()->GetInt("ContactList", "ShowOnlineOnly", 0), 1);
    // Nothing selected: nobody to call.
    EXPECT_FALSE(shell.frame->Commands().IsEnabled(cmd::kCallContact));
}

TEST_F(MainWindowTest, TheViewMenuOpensTheEventLogAndHistoryFiltersIt) {
    Start();
    EventLog* log = app->GetEventLog();
    ASSERT_NE(log, nullptr);
    ASSERT_TRUE(log->IsOpen());
    EXPECT_EQ(log->Path(), app->ProgramFolder() + "Quorvane.log");
    log->LogIncomingMessage(100, "1002", "Bob", "Hi");
    log->LogIncomingCall(200, "1003", "Cid");
    QMenu* view = Menu("&View");
    ASSERT_NE(view, nullptr);
    QAction* item = shell.frame->ActionFor(CMainFrame::kEventLogCommand);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Event &Log");
    EXPECT_TRUE(view->actions().contains(item));
    item->trigger();
    auto* window = shell.frame->findChild<CEventLogWindow*>("EventLog");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Event Log  [All Users]");
    EXPECT_EQ(window->Model()->rowCount(), 2);
    // A logged-in user's nickname in the caption; History shows one user's records.
    app->LoginKey()->SetDword(login_key::kQuorvaneId, 1001);
    app->LoginKey()->SetString(login_key::kNickName, "Ann");
    EXPECT_EQ(shell.frame->ShowEventLog("1002"), window);
    EXPECT_EQ(window->windowTitle(), "Event Log  [Ann]");
    EXPECT_EQ(window->Model()->rowCount(), 1);
    window->close();
}

TEST_F(MainWindowTest, TheCallPanesShowTheCallManagersSlots) {
    Start();
    CQuorvaneView& view = *shell.frame->View();
    CActiveCallPane* active = view.ActivePane();
    CIncomingCallPane* incoming = view.IncomingPane();
    ASSERT_NE(active, nullptr);
    ASSERT_NE(incoming, nullptr);
    CallManager* calls = app->GetCallManager();
    ASSERT_NE(calls, nullptr);
    // Between the contact list and the status line, in the order of the slots.
    QWidget* status = view.findChild<QWidget*>("ConnectionStatus");
    EXPECT_LT(view.ContactList()->geometry().bottom(), active->geometry().top());
    EXPECT_LT(active->geometry().bottom(), status->geometry().top());
    EXPECT_TRUE(active->isVisible());
    EXPECT_LT(active->geometry().bottom(), incoming->geometry().top());
    EXPECT_LT(incoming->geometry().bottom(), status->geometry().top());
    EXPECT_EQ(active->StatusText(), "Ready");
    EXPECT_EQ(incoming->Title(), "Ready");
    // The window is placed tall enough for all of it: the panes never grow it.
    const int height = shell.frame->height();
    EXPECT_GE(height, shell.frame->minimumSizeHint().height());

    // A call rings: the manager tells the panes.
    const CallManager::Offer offer = calls->OfferIncoming(7, "1002", "bob");
    ASSERT_TRUE(offer.registered);
    QApplication::processEvents();
    EXPECT_EQ(incoming->Title(), "Incoming Call");
    EXPECT_EQ(incoming->Caller(), "bob");
    EXPECT_TRUE(active->Pickup()->Blinking());
    EXPECT_EQ(shell.frame->height(), height);
    // Its Hang Up declines it (the engine is not connected: only the slot empties).
    incoming->HangUpButton()->click();
    EXPECT_EQ(calls->Second(), nullptr);
    EXPECT_EQ(incoming->Title(), "Ready");
    EXPECT_FALSE(active->Pickup()->Blinking());

    // The contact list's Call command goes to the call manager.
    app->UserSettings()->SetPath(root.File("Options.ini"));
    UserProfile bob;
    bob.LoginId = "1002";
    bob.NickName = "bob";
    bob.group = "General";
    app->GetContactStore()->ReplaceFromServer(root.File("Addressbook.dat"), 1, {"General"}, {bob});
    CContactListWindow* list = view.ContactList();
    list->Tree()->setCurrentItem(list->ItemOf("1002"));
    EXPECT_TRUE(shell.frame->Commands().IsEnabled(cmd::kCallContact));
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
    Start();
    int closed = 0;
    QObject::connect(shell.frame.get(), &CMainFrame::Closed, [&] { ++closed; });
    EXPECT_TRUE(shell.frame->OnCommand(cmd::kExit));
    EXPECT_FALSE(shell.frame->isVisible());
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(shell.screen.boxes.empty());
}

TEST_F(MainWindowTest, ExpandingNearTheRightEdgeShiftsLeftAndCollapsingMovesBack) {
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    Start();
    CMainFrame& frame = *shell.frame;
    IniFile& machine = *app->MachineSettings();
    // Placed at the right edge by default.
    const int collapsedX = frame.pos().x();
    const int collapsedWidth = frame.width();
    EXPECT_EQ(collapsedX + frame.frameGeometry().width(), work.left() + work.width());
    QWidget* second = frame.findChild<QWidget*>("SecondColumn");
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->isVisible());

    ASSERT_TRUE(frame.OnCommand(CMainFrame::kExpandCommand));
    EXPECT_TRUE(frame.Expanded());
    EXPECT_TRUE(second->isVisible());
    EXPECT_GT(frame.width(), collapsedWidth);
    const int shift = collapsedX - frame.pos().x();
    EXPECT_EQ(shift, frame.width() - collapsedWidth);
    EXPECT_EQ(machine.GetInt("WindowRect", "ExpandOffset", -1), shift);
    EXPECT_EQ(machine.GetInt("WindowRect", "Expanded", -1), 1);
    EXPECT_LE(frame.pos().x() + frame.frameGeometry().width(), work.left() + work.width());

    ASSERT_TRUE(frame.OnCommand(CMainFrame::kExpandCommand));
    EXPECT_FALSE(frame.Expanded());
    EXPECT_FALSE(second->isVisible());
    EXPECT_EQ(frame.pos().x(), collapsedX);
    EXPECT_EQ(frame.width(), collapsedWidth);
    EXPECT_EQ(machine.GetInt("WindowRect", "ExpandOffset", -1), 0);
    EXPECT_EQ(machine.GetInt("WindowRect", "Expanded", -1), 0);
    EXPECT_EQ(machine.GetInt("WindowRect", "Left", -1), collapsedX);
    // The side edges stay: the width is fixed, the height has its least value.
    EXPECT_EQ(frame.minimumWidth(), frame.maximumWidth());
    EXPECT_GE(frame.minimumHeight(), frame.menuBar()->sizeHint().height() + 280);
}

TEST_F(MainWindowTest, StartsExpandedWhenLeftExpanded) {
    root.Write("Quorvane.ini", "[WindowRect]\r\nExpanded=1\r\n");
    Start();
    EXPECT_TRUE(shell.frame->Expanded());
    EXPECT_TRUE(shell.frame->findChild<QWidget*>("SecondColumn")->isVisible());
}

TEST_F(MainWindowTest, KeepWindowOnTopIsStored) {
    Start();
    IniFile& machine = *app->MachineSettings();
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kKeepWindowOnTop));
    EXPECT_TRUE(shell.frame->KeepOnTop());
    EXPECT_TRUE(shell.frame->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(shell.frame->isVisible());
    EXPECT_EQ(machine.GetInt("WindowRect", "QuorvaneOnTop", -1), 1);
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kKeepWindowOnTop));
    EXPECT_FALSE(shell.frame->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(machine.GetInt("WindowRect", "QuorvaneOnTop", -1), 0);
}

TEST_F(MainWindowTest, StartsOnTopWhenStored) {
    root.Write("Quorvane.ini", "[WindowRect]\r\nQuorvaneOnTop=1\r\n");
    Start();
    EXPECT_TRUE(shell.frame->KeepOnTop());
    EXPECT_TRUE(shell.frame->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(MainWindowTest, CloseWithMinimizeOnCloseKeepsTheProgramWithoutAQuestion) {
    Start();
    int closed = 0;
    QObject::connect(shell.frame.get(), &CMainFrame::Closed, [&] { ++closed; });
    shell.frame->close();
    QApplication::processEvents();
    EXPECT_EQ(closed, 0);
    EXPECT_TRUE(shell.screen.boxes.empty());
    if (shell.frame->CanHideToTray()) {
        EXPECT_FALSE(shell.frame->isVisible());
    } else {
        // No notification area to come back from: it stays on the task bar.
        EXPECT_TRUE(shell.frame->isMinimized());
    }
}

TEST_F(MainWindowTest, MinimizingHidesToTheTrayOrStaysOnTheTaskBar) {
    Start();
    shell.frame->showMinimized();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
    EXPECT_TRUE(shell.screen.boxes.empty());
    if (shell.frame->CanHideToTray()) {
        EXPECT_FALSE(shell.frame->isVisible());
    } else {
        EXPECT_TRUE(shell.frame->isVisible());
        EXPECT_TRUE(shell.frame->isMinimized());
    }
    // The tray's Show brings it back.
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kTrayShow));
    EXPECT_TRUE(shell.frame->isVisible());
    EXPECT_FALSE(shell.frame->isMinimized());
}

TEST_F(MainWindowTest, CloseWithMinimizeOnCloseOffEndsTheProgram) {
    Start();
    app->UserSettings()->SetPath(root.File("Options.ini"));
    app->GetOptions()->SetMinimizeOnClose(0);
    int closed = 0;
    QObject::connect(shell.frame.get(), &CMainFrame::Closed, [&] { ++closed; });
    shell.frame->close();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(shell.frame->isVisible());
}

TEST_F(MainWindowTest, ExitDuringACallAsksFirst) {
    Start();
    CallManager* calls = app->GetCallManager();
    ASSERT_TRUE(calls->OfferIncoming(7, "1002", "bob").registered);
    int closed = 0;
    QObject::connect(shell.frame.get(), &CMainFrame::Closed, [&] { ++closed; });
    shell.screen.ScriptAnswers({mb::kIdCancel, mb::kIdOk});
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kExit));
    ASSERT_EQ(shell.screen.boxes.size(), 1u);
    EXPECT_EQ(shell.screen.boxes[0].text,
              "Warning: Continuing will terminate all active conversations. Continue?");
    EXPECT_EQ(shell.screen.boxes[0].caption, "Warning...");
    EXPECT_EQ(shell.screen.boxes[0].style, mb::kOkCancel | mb::kIconExclamation);
    EXPECT_EQ(closed, 0);
    EXPECT_NE(calls->Second(), nullptr);
    EXPECT_TRUE(shell.frame->isVisible());
    // OK: the ringing call is declined and the program ends.
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kTrayExit));
    EXPECT_EQ(shell.screen.boxes.size(), 2u);
    EXPECT_EQ(calls->Second(), nullptr);
    EXPECT_EQ(closed, 1);
}

TEST_F(MainWindowTest, CloseDuringACallAsksAndCancelKeepsEverything) {
    Start();
    CallManager* calls = app->GetCallManager();
    ASSERT_TRUE(calls->OfferIncoming(7, "1002", "bob").registered);
    shell.screen.ScriptAnswers({mb::kIdCancel});
    shell.frame->close();
    ASSERT_EQ(shell.screen.boxes.size(), 1u);
    EXPECT_TRUE(shell.frame->isVisible());
    EXPECT_FALSE(shell.frame->isMinimized());
    EXPECT_NE(calls->Second(), nullptr);
}

TEST_F(MainWindowTest, TheWizardItemsSayWhenThereIsNoWizard) {
    Start();
    ASSERT_NE(Menu("&Tools"), nullptr);
    EXPECT_EQ(shell.frame->ActionFor(cmd::kSoundSetupWizard)->text(), "&Sound Setup Wizard");
    EXPECT_EQ(shell.frame->ActionFor(cmd::kMicTestWizard)->text(), "&Mic Test Wizard");
    EXPECT_EQ(shell.frame->ActionFor(cmd::kInternetTestWizard)->text(), "&Internet Test Wizard");
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kSoundSetupWizard));
    ASSERT_EQ(shell.screen.boxes.size(), 1u);
    EXPECT_EQ(shell.screen.boxes[0].text, kNoWizardText);
    // With a wizard in the program folder it is started with its argument.
    const std::string wizard = root.Write("SoundSetup", "#!/bin/sh\n");
    std::filesystem::permissions(wizard, std::filesystem::perms::owner_all);
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kInternetTestWizard));
    ASSERT_EQ(shell.screen.programs.size(), 1u);
    EXPECT_EQ(shell.screen.programs[0], (std::vector<std::string>{wizard, "3"}));
}

TEST_F(MainWindowTest, TheTipOfTheDay) {
    root.Write("tips.txt", "First tip.\nSecond tip.\n");
    Start();
    QAction* tip = shell.frame->ActionFor(CMainFrame::kTipOfTheDayCommand);
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(Menu("&Help")->actions().contains(tip));
    CTipDialog* dialog = shell.frame->ShowTipOfTheDay(false);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Tip of the Day");
    EXPECT_EQ(dialog->TipText(), "First tip.");
    EXPECT_EQ(dialog->NextButton()->text(), "&Next Tip");
    EXPECT_EQ(dialog->CloseButton()->text(), "Close");
    EXPECT_EQ(dialog->ShowAtStartUp()->text(), "&Show Tips on StartUp");
    EXPECT_TRUE(dialog->ShowAtStartUp()->isChecked());
    dialog->NextButton()->click();
    EXPECT_EQ(dialog->TipText(), "Second tip.");
    // Not wanted at start-up: after login it stays away, the menu still opens it.
    dialog->ShowAtStartUp()->setChecked(false);
    dialog->CloseButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(shell.frame->ShowTipOfTheDay(true), nullptr);
    ASSERT_TRUE(shell.frame->OnCommand(CMainFrame::kTipOfTheDayCommand));
}

TEST_F(MainWindowTest, NoTipOfTheDayWhenThePartnerTurnedItOff) {
    root.Write("Customize.ini", "[Features]\r\nDisableTipOfTheDay=1\r\n");
    Start();
    EXPECT_EQ(shell.frame->ActionFor(CMainFrame::kTipOfTheDayCommand), nullptr);
    EXPECT_EQ(shell.frame->ShowTipOfTheDay(true), nullptr);
}

class FakeAlerts final : public AlertQueue {
  public:
    std::optional<PendingAlert> OldestPending() const override { return oldest; }
    void OpenOldest() override { ++opened; }
    void AddObserver(std::function<void()> changed) override {
        observers.push_back(std::move(changed));
    }
    void Changed() {
        for (auto& o : observers) {
            o();
        }
    }
    std::optional<PendingAlert> oldest;
    int opened = 0;
    std::vector<std::function<void()>> observers;
};

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) {
        texts << (a->isSeparator() ? QString("-") : a->text());
    }
    return texts;
}

TEST_F(MainWindowTest, TheTrayFollowsTheOldestAlert) {
    root.Write("Customize.ini", "[Instant Messages]\r\nIMLabel=Note\r\n");
    Start();
    FakeAlerts alerts;
    CTrayIcon* tray = shell.frame->Tray();
    ASSERT_NE(tray, nullptr);
    TraySurface* surface = shell.frame->UseAlerts(&alerts);
    ASSERT_EQ(surface, tray);
    EXPECT_EQ(tray->Tip(), "Quorvane");
    EXPECT_EQ(MenuTexts(tray->Menu()),
              (QStringList{"&Hide Quorvane", "-", "&Connect", "&Disconnect", "&Status: Normal", "-",
                           "E&xit Quorvane"}));
    alerts.oldest =
        PendingAlert{notice_kind::kIncomingMessage, "Instant Message from bob (1002)", "bob"};
    alerts.Changed();
    EXPECT_EQ(tray->Tip(), "Instant Message from bob (1002)");
    QMenu* menu = tray->Menu();
    EXPECT_EQ(MenuTexts(menu).value(0), "&Receive Note");
    EXPECT_EQ(menu->property("resource").toInt(), 290);
    // The Status submenu offers the presence modes.
    QMenu* status = menu->findChild<QMenu*>("TrayStatusMenu");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->actions().size(), 6);
    menu->actions().value(0)->trigger();
    EXPECT_EQ(alerts.opened, 1);
    // Blinking: the alerts switch the icon.
    surface->ShowAlertIcon(175, true);
    EXPECT_TRUE(tray->AlertIconShown());
    surface->ShowAlertIcon(175, false);
    EXPECT_FALSE(tray->AlertIconShown());
    surface->SetTip("System Message");
    EXPECT_EQ(tray->Tip(), "System Message");
    // Hide and show from the menu.
    alerts.oldest.reset();
    alerts.Changed();
    EXPECT_EQ(tray->Tip(), "Quorvane");
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kTrayShow));
    EXPECT_EQ(MenuTexts(tray->Menu()).value(0), "&Show Quorvane");
    ASSERT_TRUE(shell.frame->OnCommand(cmd::kTrayShow));
    EXPECT_TRUE(shell.frame->isVisible());
    EXPECT_FALSE(shell.frame->isMinimized());
    shell.frame->UseAlerts(nullptr);
}

TEST_F(MainWindowTest, TheTrayFollowsTheProgramsOwnAlerts) {
    Start();
    CTrayIcon* tray = shell.frame->Tray();
    EXPECT_EQ(tray->Tip(), "Quorvane");
    // A system notice that is not shown at once waits in the tray.
    app->Notices()->AddSystemNotice("The server will restart.", false, 0);
    QApplication::processEvents();
    const std::optional<PendingAlert> oldest = app->GetAlertQueue()->OldestPending();
    ASSERT_TRUE(oldest.has_value());
    EXPECT_EQ(tray->Tip().toStdString(), TrayTip(oldest));
    EXPECT_EQ(MenuTexts(tray->Menu()).value(0), "&Receive System Message");
}

TEST_F(MainWindowTest, TheTrayAnswersARingingCall) {
    Start();
    FakeAlerts alerts;
    shell.frame->UseAlerts(&alerts);
    CallManager* calls = app->GetCallManager();
    ASSERT_TRUE(calls->OfferIncoming(7, "1002", "bob").registered);
    alerts.oldest =
        PendingAlert{notice_kind::kIncomingCall, "Incoming call from bob (1002)", "bob"};
    QMenu* menu = shell.frame->Tray()->Menu();
    EXPECT_EQ(MenuTexts(menu).value(0), "&Answer Incoming Call");
    menu->actions().value(0)->trigger();
    // Picked up: the call left the ringing slot.
    EXPECT_EQ(calls->Second(), nullptr);
    EXPECT_EQ(alerts.opened, 0);
    shell.frame->UseAlerts(nullptr);
}

TEST_F(MainWindowTest, TheStatusLineShowsItsIconAndText) {
    Start();
    CStatusLine* line = shell.frame->View()->StatusLine();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Icon(), 439);
    EXPECT_EQ(line->Text(), "Disconnected - Click to connect to the Quorvane voice server");
    ASSERT_NE(app->StatusLine(), nullptr);
    EXPECT_EQ(app->StatusLine()->ClickAction(), ConnectionStatusLine::Click::Connect);
}

}  // namespace
}  // namespace qv
