// Forums entered from outside the forum list, inside the program: an accepted forum invitation
// and a command file's F and G lines join through the same path (the adult check, then the call
// manager's join of an existing forum), and the user invites a contact to the forum it is in.
// The program's objects run over the engine simulation in automatic mode.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "app/CommandFile.h"
#include "app/ProgramForumAccess.h"
#include "calls/AdultWarning.h"
#include "calls/CallManager.h"
#include "engine/CSonaroManager.h"
#include "messaging/ForumInvitation.h"
#include "messaging/SystemNoticeList.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/ProgramSubsystems.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

class Shell final : public AppShell {
  public:
    Screen& GetScreen() override { return screen; }
    bool HasFontFamily(const std::string&) override { return false; }
    void SetFonts(const LogFont&, const LogFont&, const LogFont&) override {}
    bool CreateMainWindow() override { return true; }
    void ShowMainWindow(bool) override {}
    void ActivateMainWindow() override {}
    void DestroyMainWindow() override {}
    test::RecordingScreen screen;
};

// The forum list window's warning as a script: the answer, and the paths it was asked about.
class ScriptedAdultCheck final : public AdultCheck {
  public:
    bool AllowJoin(const std::string& path) override {
        asked.push_back(path);
        return allow;
    }
    bool allow = true;
    Lines asked;
};

class ForumEntryTest : public ::testing::Test {
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
        ASSERT_TRUE(app->SonaroManager()->Connect("127.0.0.1", 12011, "Ann", "42"));
        Pump();
        ASSERT_EQ(app->SonaroManager()->State(), CSonaroManager::kLoggedIn);
        calls = app->GetCallManager();
        forums = app->GetForumAccess();
        ASSERT_NE(calls, nullptr);
        ASSERT_NE(forums, nullptr);
        Sim().ClearCalls();
    }
    void TearDown() override {
        if (forums != nullptr) {
            forums->SetAdultCheck(nullptr);
        }
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
    // The engine calls that join, leave and send, since the last look.
    Lines Taken() {
        Pump();
        Lines out;
        for (const std::string& call : Sim().Calls()) {
            if (call.starts_with("JoinGroup(") || call.starts_with("SendUserMessage(")) {
                out.push_back(call);
            }
        }
        Sim().ClearCalls();
        return out;
    }
    // An invitation from Bob arrives; the id of its alert.
    std::uint64_t Invited(const std::string& text) {
        Sim().Raise().UserMessage("Bob", "7", 11, 0, text);
        Pump();
        const auto alerts = app->Notices()->Notices();
        EXPECT_FALSE(alerts.empty());
        return alerts.empty() ? 0 : alerts.back().id;
    }

    test::TempFolder root;
    test::TempFolder xdg;
    ManualTickClock clock{100};
    Shell shell;
    std::unique_ptr<CQuorvaneApp> app;
    std::unique_ptr<ProgramSubsystems> subsystems;
    CallManager* calls = nullptr;
    ProgramForumAccess* forums = nullptr;
};

TEST_F(ForumEntryTest, AnAcceptedInvitationJoinsTheForumWithItsPassword) {
    // A forum the simulated server has (it refuses to join others).
    const std::uint64_t alert = Invited("Quorvane/General\tsecret\tMT");
    ASSERT_EQ(app->Notices()->Find(alert)->kind, notice_kind::kForumInvitation);
    ASSERT_TRUE(app->Notices()->CanAcceptForumInvitations());
    EXPECT_TRUE(app->Notices()->AcceptForumInvitation(alert));
    EXPECT_EQ(Taken(), (Lines{"JoinGroup(\"Quorvane/General\", \"secret\", 2)"}));
    ASSERT_TRUE(calls->ActiveIsForum());
    EXPECT_EQ(calls->ActiveForumName(), "Quorvane/General");
    EXPECT_EQ(calls->ActiveForumPassword(), "secret");
    EXPECT_TRUE(calls->ActiveHasControlledMicrophones());
    EXPECT_EQ(calls->Active()->forumOptionWord1, 1);  // moderated
    // The engine's JoinedGroup connects it.
    EXPECT_TRUE(calls->Active()->connected);
}

TEST_F(ForumEntryTest, TheAdultCheckIsAskedFirstAndARefusalJoinsNothing) {
    ScriptedAdultCheck check;
    forums->SetAdultCheck(&check);
    check.allow = false;
    const std::uint64_t alert = Invited("Adult Talk/Late\t\t");
    EXPECT_FALSE(app->Notices()->AcceptForumInvitation(alert));
    EXPECT_EQ(check.asked, (Lines{"Adult Talk/Late"}));
    EXPECT_EQ(Taken(), Lines{});
    EXPECT_TRUE(calls->IsIdle());
    // Accepted: the join goes ahead.
    check.allow = true;
    EXPECT_TRUE(app->Notices()->AcceptForumInvitation(alert));
    EXPECT_EQ(Taken(), (Lines{"JoinGroup(\"Adult Talk/Late\", \"\", 2)"}));
}

TEST_F(ForumEntryTest, CommandFileLinesFAndGJoinThroughTheSamePath) {
    ScriptedAdultCheck check;
    forums->SetAdultCheck(&check);
    struct Case {
        std::string file;
        Lines joins;
    };
    // Each join but the first leaves the forum before it (JoinGroup with an empty path).
    const std::string leave = "JoinGroup(\"\", \"\", 0)";
    const std::vector<Case> cases = {
        {"FQuorvane/General\r\n", {"JoinGroup(\"Quorvane/General\", \"\", 2)"}},
        // F takes no password even when the file has a second line.
        {"FQuorvane/Help\r\nignored\r\n", {leave, "JoinGroup(\"Quorvane/Help\", \"\", 2)"}},
        {"GLobby\r\nopen sesame\r\n", {leave, "JoinGroup(\"Lobby\", \"open sesame\", 2)"}},
        // G without its password line joins with an empty one.
        {"GQuorvane/General", {leave, "JoinGroup(\"Quorvane/General\", \"\", 2)"}},
    };
    for (const Case& c : cases) {
        subsystems->JoinForum(ParseCommandFile(c.file));
        EXPECT_EQ(Taken(), c.joins) << c.file;
    }
    EXPECT_EQ(check.asked,
              (Lines{"Quorvane/General", "Quorvane/Help", "Lobby", "Quorvane/General"}));
    // A refused check stops the command file too.
    check.allow = false;
    subsystems->JoinForum(ParseCommandFile("GAdult/Room\r\npw\r\n"));
    EXPECT_EQ(Taken(), (Lines{}));
    EXPECT_EQ(calls->ActiveForumName(), "Quorvane/General");
}

TEST_F(ForumEntryTest, ACommandFileTakesTheListedForumsFlags) {
    forums->SetFlagsLookup([](const std::string& path) -> std::optional<std::uint32_t> {
        if (path == "Quorvane/Help") {
            return 1 | 4;  // moderated, controlled microphones
        }
        return std::nullopt;
    });
    subsystems->JoinForum(ParseCommandFile("FQuorvane/Help\r\n"));
    Pump();
    ASSERT_TRUE(calls->ActiveIsForum());
    EXPECT_TRUE(calls->ActiveHasControlledMicrophones());
    EXPECT_EQ(calls->Active()->forumOptionWord1, 1);
    subsystems->JoinForum(ParseCommandFile("FLobby\r\n"));
    Pump();
    EXPECT_FALSE(calls->ActiveHasControlledMicrophones());
    EXPECT_EQ(calls->Active()->forumOptionWord1, 0);
}

TEST_F(ForumEntryTest, OtherLettersAndEmptyForumsJoinNothing) {
    for (const char* file : {"L12345\r\n", "Shttp://example.com/\r\n", "F\r\n", "G\r\n\r\n"}) {
        EXPECT_FALSE(forums->JoinForumOfCommand(ParseCommandFile(file))) << file;
    }
    EXPECT_EQ(Taken(), (Lines{}));
    EXPECT_TRUE(calls->IsIdle());
}

TEST_F(ForumEntryTest, InvitingSendsMessage11OnlyWhileInAForum) {
    MessageCenter& center = *app->Notices();
    EXPECT_FALSE(center.CanInviteToForum());
    EXPECT_FALSE(center.InviteToForum("7", "Bob"));
    EXPECT_TRUE(
        calls->CreateOrJoinForum("General/Ours", "pw", true, true, false, false, false, false));
    // Not before the engine reports the forum joined.
    EXPECT_FALSE(center.CanInviteToForum());
    Pump();
    Sim().ClearCalls();
    ASSERT_TRUE(center.CanInviteToForum());
    EXPECT_TRUE(center.InviteToForum("7", "Bob"));
    EXPECT_EQ(Taken(), (Lines{"SendUserMessage(\"7\", 11, 0, \"General/Ours\\tpw\\tHM\")"}));
    // Once the forum is left there is nothing to invite to.
    calls->EndActive(false);
    Pump();
    EXPECT_FALSE(center.CanInviteToForum());
}

TEST_F(ForumEntryTest, TheForumAccessGoesAtExit) {
    subsystems.reset();
    app->ExitInstance();
    EXPECT_EQ(app->GetForumAccess(), nullptr);
    forums = nullptr;
    app.reset();
}

}  // namespace
}  // namespace qv
