// The forum list in the real program window: made once at start-up, shown as ShowForumList
// says, opened by View > Forums, its place and shown state kept in the user's settings.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <filesystem>
#include <memory>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "app/CommandIds.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "settings/IniFile.h"
#include "support/FrameShell.h"
#include "support/TempFolder.h"
#include "ui/CForumListWindow.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"

namespace qv {
namespace {

class ForumListStartupTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_forum_list_startup_test";
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
    void Stop() {
        if (app) {
            app->ExitInstance();
            app.reset();
        }
    }
    void TearDown() override {
        Stop();
        std::filesystem::current_path(cwd);
    }
    CForumListWindow* List() const { return shell.frame->View()->ForumList(); }

    test::TempFolder root;
    SteadyTickClock clock;
    test::FrameShell shell;
    std::unique_ptr<CQuorvaneApp> app;
    std::string cwd = std::filesystem::current_path().string();
};

TEST_F(ForumListStartupTest, MadeHiddenAtStartAndShownByTheViewMenu) {
    Start();
    CForumListWindow* list = List();
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isVisible());
    QAction* forums = shell.frame->ActionFor(cmd::kViewForums);
    ASSERT_NE(forums, nullptr);
    EXPECT_EQ(forums->text().toStdString(), "&Forums");
    EXPECT_TRUE(shell.frame->OnCommand(cmd::kViewForums));
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(List(), list);  // the same window, not a new one
}

TEST_F(ForumListStartupTest, TheUsersSettingsKeepShownStateAndPlace) {
    Start();
    CForumListWindow* list = List();
    ASSERT_NE(list, nullptr);
    // Nobody is logged in yet: the user's file is not there. A user's file holds the list open.
    IniFile& user = *app->UserSettings();
    user.SetPath(root.File("Options.ini"));
    user.WriteInt("WindowRect", "ShowForumList", 1);
    user.WriteInt("WindowRect", "ForumListLeft", 50);
    user.WriteInt("WindowRect", "ForumListTop", 60);
    user.WriteInt("WindowRect", "ForumListWidth", 390);
    user.WriteInt("WindowRect", "ForumListHeight", 410);
    list->UserChanged();
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->geometry().size(), QSize(390, 410));
    // Hidden by the program it comes back; closed by the user it does not.
    list->hide();
    EXPECT_EQ(user.GetInt("WindowRect", "ShowForumList", 0), 1);
    list->show();
    list->resize(400, 420);
    list->reject();
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(user.GetInt("WindowRect", "ShowForumList", 1), 0);
    EXPECT_EQ(user.GetInt("WindowRect", "ForumListWidth", 0), 400);
    list->UserChanged();
    EXPECT_FALSE(list->isVisible());
}

}  // namespace
}  // namespace qv
