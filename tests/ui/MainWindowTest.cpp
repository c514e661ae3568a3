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

#include <QPushButton>
#include <QTreeWidget>
#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "app/CommandIds.h"
#include "app/TimerScheduler.h"
#include "calls/CallManager.h"
#include "login/Session.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "settings/IniFile.h"
#include "stores/CBlockListWindow.h"
#include "stores/CContactListWindow.h"
#include "stores/ContactListCommands.h"
#include "stores/ContactStore.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CActiveCallPane.h"
#include "ui/CIncomingCallPane.h"
#include "ui/CMainFrame.h"
#include "ui/CPickupPane.h"
#include "ui/CQuorvaneView.h"

namespace qv {
namespace {

// The real frame and view, with a screen that records instead of showing.
class FrameShell final : public AppShell {
  public:
    Screen& GetScreen() override { return screen; }
    bool HasFontFamily(const std::string&) override { return false; }
    void SetFonts(const LogFont&, const LogFont&, const LogFont&) override {}
    bool CreateMainWindow() override {
        frame = std::make_unique<CMainFrame>(*app, screen);
        frame->Place();
        return true;
    }
    void ShowMainWindow(bool) override { frame->show(); }
    void ActivateMainWindow() override { frame->raise(); }
    void DestroyMainWindow() override { frame.reset(); }

    CQuorvaneApp* app = nullptr;
    test::RecordingScreen screen;
    std::unique_ptr<CMainFrame> frame;
};

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
    shell.frame->move(work.left() + 10, work.top() + 20);
    QApplication::processEvents();
    EXPECT_EQ(machine.GetInt("WindowRect", "Left", -1), shell.frame->geometry().left());
    EXPECT_EQ(machine.GetInt("WindowRect", "Top", -1), shell.frame->geometry().top());
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
    EXPECT_TRUE(shell.frame->OnCommand(cmd::kExit));
    EXPECT_FALSE(shell.frame->isVisible());
}

}  // namespace
}  // namespace qv
