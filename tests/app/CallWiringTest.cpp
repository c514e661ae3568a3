// The call manager inside the program: made at its place in start-up, reached by the session's
// calls through the program's subsystems, and told of the block list, the contact list and the
// main window.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "EngineTestSupport.h"
#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "calls/CallManager.h"
#include "directory/UserProfile.h"
#include "engine/CSonaroManager.h"
#include "messaging/SystemNoticeList.h"
#include "settings/LoginKey.h"
#include "settings/Options.h"
#include "settings/RegistryKey.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/ProgramSubsystems.h"

namespace qv {
namespace {

class ShellInFront final : public AppShell {
  public:
    Screen& GetScreen() override { return screen; }
    bool HasFontFamily(const std::string&) override { return false; }
    void SetFonts(const LogFont&, const LogFont&, const LogFont&) override {}
    bool CreateMainWindow() override { return true; }
    void ShowMainWindow(bool) override {}
    void ActivateMainWindow() override { events.push_back("activate"); }
    void DestroyMainWindow() override {}
    bool MainWindowInFront() const override { return inFront; }

    test::RecordingScreen screen;
    std::vector<std::string> events;
    bool inFront = false;
};

class CallWiringTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AppEnvironment env;
        env.homeOption = root.Path();
        env.executable = "/opt/quorvane/bin/quorvane";
        env.xdgDataHome = xdg.Path() + "data/";
        env.xdgConfigHome = xdg.Path() + "config/";
        env.shippedEngine = test::kSimPath;
        env.engineFactory = [](Registry& registry) -> std::unique_ptr<SonaroFactory> {
            auto factory = std::make_unique<test::ScriptedSimFactory>(registry);
            factory->mode = sim::Mode::Automatic;
            return factory;
        };
        app = std::make_unique<CQuorvaneApp>(env, shell, nullptr, clock);
        ASSERT_TRUE(app->InitInstance());
        subsystems = std::make_unique<ProgramSubsystems>(*app);
        app->LoginKey()->SetDword(login_key::kQuorvaneId, 42);
        subsystems->OpenBlockList(app->ProgramFolder() + "42/Blocked.dat");
        subsystems->ReloadContactList();
        ASSERT_TRUE(app->SonaroManager()->Connect("127.0.0.1", 12011, "nick", "42"));
        Pump();
        ASSERT_EQ(app->SonaroManager()->State(), CSonaroManager::kLoggedIn);
        calls = app->GetCallManager();
        ASSERT_NE(calls, nullptr);
    }
    void TearDown() override {
        subsystems.reset();
        if (app) {
            app->ExitInstance();
        }
    }
    sim::SonaroSimulation& Sim() {
        return *app->SonaroManager()->Instance()->Extension<sim::SonaroSimulation>(
            sim::kSonaroSimulationExtension);
    }
    void Pump() {
        for (int i = 0; i < 10; ++i) {
            if (SonaroInstance* instance = app->SonaroManager()->Instance()) {
                instance->Extension<sim::SonaroSimulation>(sim::kSonaroSimulationExtension)
                    ->WaitIdle();
            }
            if (app->SonaroManager()->DrainEvents() == 0) {
                return;
            }
        }
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (const auto& n : app->Notices()->Notices()) {
            out.push_back(n.kind == notice_kind::kIncomingCall ? "call " + n.senderId : n.text);
        }
        return out;
    }

    test::TempFolder root;
    test::TempFolder xdg;
    ManualTickClock clock{100};
    ShellInFront shell;
    std::unique_ptr<CQuorvaneApp> app;
    std::unique_ptr<ProgramSubsystems> subsystems;
    CallManager* calls = nullptr;
};

TEST_F(CallWiringTest, TheCallManagerComesAfterTheEngineManagerAndBeforeTheContactStore) {
    const std::vector<std::string>& life = app->Lifecycle();
    const auto at = [&](const char* name) {
        return std::find(life.begin(), life.end(), name) - life.begin();
    };
    EXPECT_LT(at("+SonaroManager"), at("+CallManager"));
    EXPECT_LT(at("+CallManager"), at("+ContactStore"));
}

TEST_F(CallWiringTest, TheSessionsCallsReachTheCallManager) {
    Sim().ScriptCallee("7", sim::SimCallee{"Bob", sim::CalleeAnswer::Ringing, 0, ""});
    EXPECT_FALSE(subsystems->CallOrForumInProgress());
    UserProfile bob;
    bob.LoginId = "7";
    bob.NickName = "Bob";
    subsystems->CallUser(bob);
    Pump();
    ASSERT_TRUE(calls->ActiveIsCall());
    EXPECT_EQ(calls->Active()->nickname, "Bob");
    EXPECT_TRUE(subsystems->CallOrForumInProgress());
    subsystems->HangUp();
    Pump();
    EXPECT_TRUE(calls->IsIdle());
    EXPECT_FALSE(subsystems->CallOrForumInProgress());
    // A ringing call is declined when the presence turns away from calls.
    Sim().RingIn("8", "Cid");
    Pump();
    ASSERT_TRUE(calls->IsRinging());
    subsystems->DeclineRingingCall(1, "Please, do not disturb!");
    EXPECT_TRUE(calls->IsIdle());
}

TEST_F(CallWiringTest, TheBlockListRefusesCalls) {
    ASSERT_EQ(app->GetBlockStore()->Block("13", "Carl", ""), BlockStore::BlockResult::Blocked);
    UserProfile carl;
    carl.LoginId = "13";
    carl.NickName = "Carl";
    subsystems->CallUser(carl);
    EXPECT_TRUE(calls->IsIdle());
    const std::vector<std::string> texts = Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(),
              "User \"13\" is currently blocked. To remove this user from your block list, "
              "select \"Block List\" from the View menu.");
}

TEST_F(CallWiringTest, ACallerJoinsTheContactListAndTheWindowComesForward) {
    app->GetOptions()->SetAutoAddToContactList(1);
    app->GetOptions()->SetAutoActivateAppOnCall(1);
    Sim().RingIn("8", "Cid");
    Pump();
    ASSERT_TRUE(calls->IsRinging());
    ASSERT_NE(app->GetContactStore()->Find("8"), nullptr);
    EXPECT_EQ(app->GetContactStore()->Find("8")->NickName, "Cid");
    EXPECT_EQ(shell.events, (std::vector<std::string>{"activate"}));
    EXPECT_EQ(shell.screen.flashes, (std::vector<bool>{true}));
    EXPECT_EQ(Texts().back(), "call 8");
    calls->PickUp();
    EXPECT_EQ(app->Notices()->OpenNotices().size(), 0u);
}

TEST_F(CallWiringTest, NoFlashWhileTheMainWindowIsInFront) {
    shell.inFront = true;
    app->GetOptions()->SetAutoAddToContactList(0);
    Sim().RingIn("8", "Cid");
    Pump();
    ASSERT_TRUE(calls->IsRinging());
    EXPECT_TRUE(shell.screen.flashes.empty());
    EXPECT_EQ(app->GetContactStore()->Find("8"),
              nullptr);  // nor added without AutoAddToContactList
}

}  // namespace
}  // namespace qv
