// Start-up asks the directory service for the partner's parameters and applies them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "support/DirectoryServiceProcess.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

class QuietShell final : public AppShell {
  public:
    Screen& GetScreen() override { return screen; }
    bool HasFontFamily(const std::string&) override { return false; }
    void SetFonts(const LogFont&, const LogFont&, const LogFont&) override {}
    bool CreateMainWindow() override { return true; }
    void ShowMainWindow(bool) override {}
    void ActivateMainWindow() override {}
    void DestroyMainWindow() override {}
    void Connect() override { ++connects; }

    test::RecordingScreen screen;
    int connects = 0;
};

TEST(PartnerParamsTest, StartUpAppliesThePartnersParametersAndConnects) {
    test::TempFolder serviceFolder;
    test::DirectoryServiceProcess service(QUORVANE_DIRECTORY_SERVICE, serviceFolder);
    ASSERT_FALSE(service.Host().empty());
    test::TempFolder root;
    root.Write("Server.ini", "[Server]\r\nWebServer=" + service.Host() + "\r\n");
    const std::string cwd = std::filesystem::current_path().string();

    ManualTickClock clock(1000);
    QuietShell shell;
    AppEnvironment env;
    env.homeOption = root.Path();
    CQuorvaneApp app(env, shell, nullptr, clock);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(shell.connects, 1);
    for (int i = 0; i < 500 && app.GetCustomization()->Get().version == 0; ++i) {
        clock.Advance(250);
        app.OnViewTimer();
        ::usleep(5000);
    }
    EXPECT_GT(app.GetCustomization()->Get().version, 0);
    IniFile stored(root.File("Customize.ini"));
    EXPECT_EQ(stored.GetInt("System", "Version", 0), app.GetCustomization()->Get().version);
    EXPECT_EQ(stored.GetString("Instant Messages", "IMLabel", ""), "Instant Message");
    app.ExitInstance();
    std::filesystem::current_path(cwd);
}

TEST(PartnerParamsTest, DisableAutoConnectKeepsTheViewIdle) {
    test::TempFolder root;
    root.Write("Quorvane.ini", "[Internal]\r\nDisableAutoConnect=1\r\n");
    root.Write("Server.ini", "[Server]\r\nWebServer=127.0.0.1:1\r\n");
    const std::string cwd = std::filesystem::current_path().string();
    ManualTickClock clock(1000);
    QuietShell shell;
    AppEnvironment env;
    env.homeOption = root.Path();
    CQuorvaneApp app(env, shell, nullptr, clock);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(shell.connects, 0);
    app.ExitInstance();
    std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace qv
