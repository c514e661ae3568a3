// The session over the simulated engine: connecting, reconnecting, server messages, logoff,
// presence and the version check.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SessionRig.h"
#include "app/CommandIds.h"
#include "app/StringTable.h"
#include "settings/LoginKey.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;
using test::SessionRig;

constexpr const char* kEngineConnect = "Connect(\"voice.example\", 12011)";

class SessionTest : public ::testing::Test {
  protected:
    // A stored account, connected through the session; the engine's calls forgotten.
    void ConnectStored() {
        r.StoreAccount(42, "nick", "pw");
        r.session->Connect(false);
        ASSERT_EQ(r.EngineCalls("Connect("), Lines{kEngineConnect});
        ASSERT_EQ(r.Connects(), 1);
        r.h.ClearCalls();
        r.h.events.states.clear();
    }
    void Raise(std::int16_t state, const std::string& msg = {}) {
        r.h.RaiseAndDrain([&](SonaroEventSink& e) { e.connectionEvent(state, msg); });
    }
    void UseLan(bool lan) {
        r.h.machine.WriteInt("Options", "UsingLan", lan ? 1 : 0);
        r.h.machine.WriteInt("Options", "UsingModem", lan ? 0 : 1);
        r.h.options.Load();
    }
    // The clock times (relative to from) at which the engine was told to connect, running ms.
    std::vector<std::uint32_t> ConnectTimes(std::uint32_t from, std::uint32_t ms) {
        std::vector<std::uint32_t> times;
        int seen = r.Connects();
        for (std::uint32_t t = 0; t < ms; t += 50) {
            r.Run(50);
            for (const int now = r.Connects(); seen < now; ++seen) {
                times.push_back(r.h.clock.Now() - from);
                EXPECT_EQ(r.EngineCalls("Connect("), Lines{kEngineConnect});
            }
        }
        return times;
    }

    SessionRig r;
};

TEST_F(SessionTest, ASecondConnectWhileOneIsRunningDoesNothing) {
    r.ui.welcomeAnswer = false;  // Cancel: on to the Login dialog
    r.ui.onLoginDialog = [&] {
        r.session->Connect(false);
        r.session->Connect(true);
        r.StoreAccount(42, "nick", "pw");
        return true;
    };
    r.session->Connect(true);
    EXPECT_EQ(r.ui.Logged("login").size(), 1u);
    EXPECT_EQ(r.ui.Logged("welcome ").size(), 1u);
    EXPECT_EQ(r.EngineCalls("Connect("), Lines{kEngineConnect});
    // Lifted while the welcome and Login dialogs are up.
    EXPECT_EQ(r.ui.waitCursor, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_TRUE(r.ui.underWaitCursor.empty());

    // Once it is over, Connect works again.
    r.session->Connect(false);
    EXPECT_EQ(r.Connects(), 2);
}

constexpr const char* kWelcome =
    "welcome In order to use Quorvane, you must first create an account. If you already have an "
    "existing Quorvane account, choose \"Cancel\" and enter your existing Quorvane Number and "
    "password in the Login screen.";
constexpr const char* kNoAccount =
    "welcome You did not create new Quorvane account! In order to use Quorvane, you must first "
    "create an account! Choose \"Cancel\" if you do not want to create new account this time.";

TEST(SessionFirstRunTest, TheWelcomeDialogsLeadToAnAccountOrStop) {
    struct Row {
        const char* name;
        bool setUpBefore;
        std::vector<bool> welcome;
        bool loginOk;
        bool newAccountOk;
        Lines log;
        int connects;
    };
    const std::vector<Row> rows = {
        {"create, then cancel the new account",
         false,
         {true},
         false,
         false,
         {kWelcome, "new account"},
         0},
        {"create an account, then log in",
         false,
         {true},
         true,
         true,
         {kWelcome, "new account", "login"},
         1},
        // An account exists now: cancelling the Login dialog just stops.
        {"create an account, cancel the login",
         false,
         {true},
         false,
         true,
         {kWelcome, "new account", "login"},
         0},
        {"cancel both welcomes",
         false,
         {false, false},
         false,
         false,
         {kWelcome, "login", kNoAccount},
         0},
        {"cancel, then create from the second welcome",
         false,
         {false, true},
         false,
         true,
         {kWelcome, "login", kNoAccount, "new account"},
         1},
        {"cancel, log in", false, {false}, true, false, {kWelcome, "login"}, 1},
        {"set up before: no welcome", true, {}, false, true, {"login"}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SessionRig r;
        if (row.setUpBefore) {
            r.loginKey.SetDword(login_key::kGlobalFlags, login_key::kUserSetUp);
        }
        r.ui.welcomeAnswers = row.welcome;
        r.ui.onLoginDialog = [&] {
            if (row.loginOk) {
                r.StoreAccount(42, "nick", "pw");
            }
            return row.loginOk;
        };
        r.ui.onNewAccount = [&] {
            if (row.newAccountOk) {
                r.StoreAccount(43, "newbie", "pw");
            }
            return row.newAccountOk;
        };
        r.session->Connect(false);
        // The account made in the first welcome goes on to the Login dialog, as a new user.
        EXPECT_EQ(r.ui.log, row.log);
        EXPECT_EQ(r.Connects(), row.connects);
        // The user types into every one of them: no wait cursor over any.
        EXPECT_EQ(r.ui.underWaitCursor, Lines{});
        EXPECT_FALSE(r.ui.cursorOn);
    }
}

TEST_F(SessionTest, ALoginWithoutAStoredPasswordCannotConnect) {
    r.loginKey.SetDword(login_key::kGlobalFlags, login_key::kUserSetUp);
    r.ui.onLoginDialog = [&] {
        r.StoreAccount(42, "nick", "pw");
        r.loginKey.SetString(login_key::kPassword, "");
        return true;
    };
    r.session->Connect(true);
    ASSERT_EQ(r.h.screen.boxes.size(), 1u);
    EXPECT_EQ(r.h.screen.boxes[0].text,
              "Unable to connect. Choose \"Login as new user\" from the File menu.");
    EXPECT_EQ(r.Connects(), 0);
}

TEST_F(SessionTest, SelectVoiceServerListsTheServersAndReconnects) {
    r.serverSettings.WriteString("VoiceServers", "Internal1", "voice.example");
    r.serverSettings.WriteString("VoiceServers", "Internal1Alias", "Home server");
    r.serverSettings.WriteString("VoiceServers", "Internal2", "voice2.example");
    r.serverSettings.WriteString("VoiceServers", "External1", "far.example");
    r.serverSettings.WriteString("VoiceServers", "External3", "skipped.example");
    ConnectStored();
    r.ui.serverAnswer = 2;
    r.session->SelectVoiceServerCommand();
    ASSERT_EQ(r.ui.servers.size(), 3u);
    EXPECT_EQ(r.ui.servers[0].shown, "Home server");
    EXPECT_EQ(r.ui.servers[1].shown, "Internal: voice2.example");
    EXPECT_EQ(r.ui.servers[2].shown, "External: far.example");
    EXPECT_EQ(r.ui.Logged("select "), Lines{"select 0"});
    EXPECT_EQ(r.session->VoiceServer(), "far.example");
    EXPECT_EQ(r.serverSettings.GetString("Server", "VoiceServer", ""), "far.example");
    EXPECT_EQ(r.EngineCalls("Connect("), Lines{"Connect(\"far.example\", 12011)"});

    // Cancel changes nothing.
    r.ui.serverAnswer.reset();
    r.session->SelectVoiceServerCommand();
    EXPECT_EQ(r.session->VoiceServer(), "far.example");
    EXPECT_EQ(r.Connects(), 1);
}

TEST_F(SessionTest, AnotherSystemUserMakesTheStoredLoginNewUser) {
    r.StoreAccount(42, "nick", "pw");
    r.loginKey.SetString(login_key::kLoginName, "someone-else");
    r.session->Connect(false);
    EXPECT_EQ(r.LoginString(login_key::kLoginName), "tester");
    EXPECT_EQ(r.LoginString(login_key::kPassword), "");
    EXPECT_EQ(r.LoginString(login_key::kNickName), "");
    EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), 0u);
    EXPECT_EQ(r.ui.Logged("login").size(), 1u);
    EXPECT_EQ(r.Connects(), 0);
}

TEST_F(SessionTest, LostConnectionOnALanReconnectsOnceAfterSixSeconds) {
    UseLan(true);
    ConnectStored();
    r.h.options.SetShowDisconnectMsg(1);
    const std::uint32_t lost = r.h.clock.Now();
    Raise(5, "lost");
    EXPECT_EQ(r.NoticeTexts(), Lines{std::string(LoadString(str::kLostConnection))});
    EXPECT_NE(r.session->ReconnectStartEntry(), 0u);

    const auto times = ConnectTimes(lost, 60000);
    ASSERT_EQ(times.size(), 1u);
    EXPECT_GE(times[0], 6000u);
    EXPECT_LE(times[0], 6200u);
    EXPECT_EQ(r.session->ReconnectStartEntry(), 0u);
    EXPECT_EQ(r.session->ReconnectPollEntry(), 0u);
    EXPECT_TRUE(r.dialUp.polls.empty());
}

TEST_F(SessionTest, LostConnectionWithoutAutoReconnectStaysDisconnected) {
    UseLan(true);
    ConnectStored();
    r.h.options.SetAutoReconnect(0);
    Raise(5, "lost");
    EXPECT_EQ(r.session->ReconnectStartEntry(), 0u);
    EXPECT_TRUE(ConnectTimes(r.h.clock.Now(), 60000).empty());
    // Not shown: the message is off.
    EXPECT_TRUE(r.NoticeTexts().empty());
}

TEST_F(SessionTest, AutoReconnectTurnedOffBeforeTheStartCancelsThePoll) {
    UseLan(true);
    ConnectStored();
    Raise(5, "lost");
    r.h.options.SetAutoReconnect(0);
    EXPECT_TRUE(ConnectTimes(r.h.clock.Now(), 60000).empty());
    EXPECT_EQ(r.session->ReconnectStartEntry(), 0u);
    EXPECT_EQ(r.session->ReconnectPollEntry(), 0u);
}

TEST_F(SessionTest, ModemWithoutALinkPollsTenTimesFastThenEveryThirtySeconds) {
    UseLan(false);
    ConnectStored();
    const std::uint32_t lost = r.h.clock.Now();
    Raise(5, "lost");
    std::vector<std::uint32_t> connects;
    for (int i = 0; i < 3000 && r.dialUp.polls.size() < 12; ++i) {
        r.Run(50);
    }
    ASSERT_EQ(r.dialUp.polls.size(), 12u);
    EXPECT_EQ(r.Connects(), 0);
    const auto& p = r.dialUp.polls;
    EXPECT_GE(p[0] - lost, 6000u);
    EXPECT_LE(p[0] - lost, 6200u);
    for (std::size_t i = 1; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(p[i] - p[i - 1], 1000u);
        EXPECT_LE(p[i] - p[i - 1], 1100u);
    }
    for (std::size_t i = 10; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(p[i] - p[i - 1], 30000u);
        EXPECT_LE(p[i] - p[i - 1], 30100u);
    }
    EXPECT_EQ(r.session->PollTriesLeft(), 0);

    // The link comes up: the next poll connects, and polling stops.
    r.dialUp.links = {{"ppp0", DialUpConnection::kConnected}};
    const auto times = ConnectTimes(p.back(), 90000);
    ASSERT_EQ(times.size(), 1u);
    EXPECT_GE(times[0], 30000u);
    EXPECT_LE(times[0], 30100u);
    EXPECT_EQ(r.dialUp.polls.size(), 13u);
    EXPECT_EQ(r.session->ReconnectPollEntry(), 0u);
}

TEST_F(SessionTest, ALinkThatIsNotConnectedKeepsPolling) {
    UseLan(false);
    ConnectStored();
    r.dialUp.links = {{"ppp0", 0}};
    Raise(5, "lost");
    r.Run(10000);
    EXPECT_GE(r.dialUp.polls.size(), 3u);
    EXPECT_EQ(r.Connects(), 0);
}

TEST_F(SessionTest, LoggingInEndsThePollAndResetsItsTries) {
    UseLan(false);
    ConnectStored();
    Raise(5, "lost");
    r.Run(9000);
    ASSERT_GE(r.dialUp.polls.size(), 2u);
    EXPECT_LT(r.session->PollTriesLeft(), Session::kPollTries);
    r.session->OnConnectionState(4);
    EXPECT_EQ(r.session->ReconnectPollEntry(), 0u);
    EXPECT_EQ(r.session->ReconnectStartEntry(), 0u);
    EXPECT_EQ(r.session->PollTriesLeft(), Session::kPollTries);
    const std::size_t polls = r.dialUp.polls.size();
    r.Run(60000);
    EXPECT_EQ(r.dialUp.polls.size(), polls);
}

TEST_F(SessionTest, ModemWithoutDialUpSupportReportsItAndStopsPolling) {
    UseLan(false);
    ConnectStored();
    r.dialUp.available = false;
    Raise(5, "lost");
    r.Run(60000);
    EXPECT_EQ(r.NoticeTexts(),
              Lines{"Error attempting to reconnect to the Quorvane server. \t\t\t\t\t\t   Please "
                    "ensure that Dialup Networking is installed on your machine."});
    EXPECT_EQ(r.Connects(), 0);
    EXPECT_EQ(r.session->ReconnectPollEntry(), 0u);
}

TEST_F(SessionTest, ConnectedOnALanWithADialUpLinkUpSwitchesToModem) {
    UseLan(true);
    r.dialUp.links = {{"ppp0", DialUpConnection::kConnected}};
    r.session->OnConnectionState(3);
    EXPECT_EQ(r.h.machine.GetInt("Options", "UsingModem", -1), 1);
    EXPECT_EQ(r.h.machine.GetInt("Options", "UsingLan", -1), 0);
}

struct ServerMessageRow {
    std::int16_t msgNum;
    std::string text;
    std::string notice;  // empty: none
    bool disconnects;
    bool clearsLogin;
    bool hangsUp;
};

TEST(SessionServerMessageTest, EveryMessageNumberDoesItsAction) {
    const std::string forumJoin =
        "Error joining forum \"General/Friends\". Possible reasons:\n\nYou must enter the entire "
        "path of the forum (i.e. If attempting to join a forum named \"Friends\" which is within "
        "the \"General\" category you would type: General/Friends.\n\n- IF the forum requires a "
        "password you may have entered it incorrectly.\n\n- The forum you attempted to enter "
        "contained invalid characters or inappropriate language in its title.\r\n\r\n-You were "
        "banned from the forum.\r\n\r\n-The forum you are attempting to join no longer exists "
        "or has too many users in it.";
    const std::vector<ServerMessageRow> rows = {
        {1, "Forum refused - General/Friends", forumJoin, false, false, false},
        {1, "Forum refused", "", false, false, false},
        {2, "User is offline - bob", "", false, false, false},
        {3, "Alias taken - nick - again",
         "Error setting Alias: nick - again is already logged into Quorvane. \t\t\t\t\t\t\t If "
         "you have recently disconnected from the Quorvane server, \t\t\t\t\t\t\t please allow "
         "at least 30 seconds before attempting to reconnect.",
         true, false, false},
        {3, "Alias taken", "", false, false, false},
        {4, "Account in use - 42",
         "The account 42 is already logged in elsewhere. If you have recently logged in on "
         "another computer please log off from that computer before logging into this one.\r\rIf "
         "you were recently disconnected from the Quorvane server, it may take up to a minute "
         "before you are able to login again.",
         true, false, false},
        {4, "Account in use", "", false, false, false},
        {5, "Offline - 77", "User is offline.", false, false, false},
        {5, "Offline", "", false, false, false},
        {8, "Your account has been closed.", "Your account has been closed.", false, true, false},
        {9, "Hang up - now", "", false, false, true},
        {42, "The server restarts in 5 minutes.", "The server restarts in 5 minutes.", false, false,
         false},
    };
    for (const ServerMessageRow& row : rows) {
        SCOPED_TRACE(std::to_string(row.msgNum) + " " + row.text);
        SessionRig r;
        r.StoreAccount(42, "nick", "pw");
        r.session->Connect(false);
        r.h.ClearCalls();
        r.h.RaiseAndDrain([&](SonaroEventSink& e) { e.serverMessage(1, row.msgNum, row.text); });
        EXPECT_EQ(r.NoticeTexts(), row.notice.empty() ? Lines{} : Lines{row.notice});
        EXPECT_EQ(r.shownNow, row.notice.empty() ? std::vector<bool>{} : std::vector<bool>{false});
        EXPECT_EQ(r.EngineCalls("Disconnect(").size(), row.disconnects ? 1u : 0u);
        EXPECT_EQ(r.LoginString(login_key::kPassword).empty(), row.clearsLogin);
        EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), row.clearsLogin ? 0u : 42u);
        EXPECT_EQ(r.subsystems.Count("hang up"), row.hangsUp ? 1 : 0);
    }
}

TEST_F(SessionTest, ServerMessageOfTypeThreeIsShownAtOnce) {
    r.session->OnServerMessage(3, 5, "Offline - 77");
    r.session->OnServerMessage(2, 42, "queued");
    r.session->OnServerMessage(3, 42, "at once");
    EXPECT_EQ(r.NoticeTexts(), (Lines{"User is offline.", "queued", "at once"}));
    EXPECT_EQ(r.shownNow, (std::vector<bool>{true, false, true}));
}

TEST_F(SessionTest, LogoffClearsTheLoginAndSwitchesToNoUser) {
    ConnectStored();
    for (const char* name : {login_key::kFirstName, login_key::kLastName, login_key::kEmail,
                             login_key::kCompany, login_key::kComment}) {
        r.loginKey.SetString(name, "x");
    }
    r.loginKey.SetDword(login_key::kEmailPublic, 0);
    r.loginKey.SetDword(login_key::kAllowSpam, 0);
    ASSERT_EQ(r.h.user.Path(), r.h.folder.Path() + "42/Options.ini");

    // A call in progress: the question comes first, and No keeps everything.
    r.subsystems.inCall = true;
    r.h.screen.ScriptAnswers({mb::kIdNo});
    r.session->LogoffCommand();
    ASSERT_EQ(r.h.screen.boxes.size(), 1u);
    EXPECT_EQ(r.h.screen.boxes[0].text,
              "Disconnecting will terminate any open calls.  Still Disconnect?");
    EXPECT_EQ(r.h.screen.boxes[0].caption, "Disconnect Warning");
    EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), 42u);
    EXPECT_TRUE(r.EngineCalls("Disconnect(").empty());

    r.h.screen.ScriptAnswers({mb::kIdYes});
    r.session->LogoffCommand();
    EXPECT_EQ(r.EngineCalls("Disconnect(").size(), 1u);
    for (const char* name :
         {login_key::kNickName, login_key::kPassword, login_key::kFirstName, login_key::kLastName,
          login_key::kEmail, login_key::kCompany, login_key::kComment}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(r.HasLoginValue(name));
        EXPECT_EQ(r.LoginString(name), "");
    }
    EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), 0u);
    EXPECT_TRUE(r.HasLoginValue(login_key::kQuorvaneId));
    EXPECT_EQ(r.LoginDword(login_key::kEmailPublic), 1u);
    EXPECT_EQ(r.LoginDword(login_key::kAllowSpam), 1u);
    EXPECT_EQ(r.h.user.Path(), "");
    EXPECT_EQ(r.session->UserSetUp(), 0u);
    EXPECT_EQ(r.subsystems.Count("clear contacts"), 1);
}

TEST_F(SessionTest, DisconnectAsksOnlyDuringACall) {
    ConnectStored();
    r.session->DisconnectCommand();
    EXPECT_TRUE(r.h.screen.boxes.empty());
    EXPECT_EQ(r.EngineCalls("Disconnect(").size(), 1u);
    EXPECT_EQ(r.subsystems.Count("close forum list"), 1);
    EXPECT_EQ(r.subsystems.Count("stop voice mail"), 1);
}

TEST_F(SessionTest, PerUserSetUpPreparesTheUserFolder) {
    r.session->SetUpUser(42);
    const std::string folder = r.h.folder.Path() + "42/";
    EXPECT_EQ(r.h.user.Path(), folder + "Options.ini");
    EXPECT_EQ(r.LoginDword(login_key::kGlobalFlags) & login_key::kUserSetUp, 1u);
    EXPECT_EQ(r.subsystems.Count("event log " + folder + "Quorvane.log"), 1);
    EXPECT_EQ(r.subsystems.Count("vm " + folder + "QVEvents.log"), 1);
    EXPECT_EQ(r.subsystems.Count("block list " + folder + "Blocked.dat"), 1);
    EXPECT_EQ(r.subsystems.Count("outgoing " + folder + "Outgoing"), 1);
    EXPECT_TRUE(std::filesystem::is_directory(folder + "Voice Mail"));
    EXPECT_TRUE(std::filesystem::is_directory(folder + "Outgoing"));
    EXPECT_EQ(r.ui.statusMenu, "&Status: Normal");

    // The same id again: nothing happens.
    const std::size_t logged = r.subsystems.log.size();
    r.session->SetUpUser(42);
    EXPECT_EQ(r.subsystems.log.size(), logged);
}

TEST_F(SessionTest, AwayOpensTheCustomMessageDialogAndOkStoresTheMessage) {
    ConnectStored();
    r.h.RaiseAndDrain([](SonaroEventSink& e) { e.Registered("nick"); });
    r.h.ClearCalls();
    r.h.options.SetAwayMessage("Out for lunch");
    r.ui.customAnswer = CustomMessageAnswer{"Gone fishing", true};
    r.session->StatusCommand(cmd::kStatusAway);
    EXPECT_EQ(r.ui.Logged("custom "), Lines{"custom Away Message | Out for lunch"});
    EXPECT_EQ(r.h.options.AwayMessage(), "Gone fishing");
    EXPECT_EQ(r.h.user.GetInt("Custom Messages", "Away Message Dialog", -1), 1);
    EXPECT_EQ(r.session->PresenceMode(), Session::kAway);
    EXPECT_EQ(r.EngineCalls("SetStatus("), Lines{"SetStatus(2)"});
    EXPECT_EQ(r.ui.statusMenu, "&Status: Away");

    // "Do not show me this dialog again": the next Away sets the mode at once.
    r.session->StatusCommand(cmd::kStatusNormal);
    r.session->StatusCommand(cmd::kStatusAway);
    EXPECT_EQ(r.ui.Logged("custom ").size(), 1u);
    EXPECT_EQ(r.session->PresenceMode(), Session::kAway);
}

TEST_F(SessionTest, CancelOfTheCustomMessageDialogChangesNothing) {
    r.h.options.SetDndMessage("Busy");
    r.ui.customAnswer.reset();
    r.session->StatusCommand(cmd::kStatusDoNotDisturb);
    EXPECT_EQ(r.ui.Logged("custom "), Lines{"custom DND Message | Busy"});
    EXPECT_EQ(r.session->PresenceMode(), Session::kNormal);
    EXPECT_EQ(r.h.options.DndMessage(), "Busy");
    EXPECT_EQ(r.h.user.GetInt("Custom Messages", "DND Message Dialog", -1), -1);
    EXPECT_EQ(r.subsystems.Count("decline 1 Busy"), 0);
}

TEST_F(SessionTest, DoNotDisturbAndOccupiedDeclineARingingCall) {
    r.h.user.WriteInt("Custom Messages", "DND Message Dialog", 1);
    r.h.user.WriteInt("Custom Messages", "Occupied Message Dialog", 1);
    r.h.options.SetDndMessage("In a meeting");
    r.h.options.SetOccupiedMessage("On the phone");
    r.session->StatusCommand(cmd::kStatusDoNotDisturb);
    r.session->StatusCommand(cmd::kStatusOccupied);
    EXPECT_TRUE(r.ui.Logged("custom ").empty());
    EXPECT_EQ(r.subsystems.Count("decline 1 In a meeting"), 1);
    EXPECT_EQ(r.subsystems.Count("decline 4 On the phone"), 1);
    EXPECT_EQ(r.session->PresenceMode(), Session::kOccupied);
}

TEST_F(SessionTest, StatusCommandsSetTheModeAndTheMenuText) {
    struct Row {
        int command;
        std::int16_t mode;
        const char* text;
    };
    const Row rows[] = {
        {cmd::kStatusNormal, 0, "&Status: Normal"},
        {cmd::kStatusAway, 2, "&Status: Away"},
        {cmd::kStatusDoNotDisturb, 4, "&Status: Do Not Disturb"},
        {cmd::kStatusOccupied, 8, "&Status: Occupied"},
        {cmd::kStatusAvailableForChat, 16, "&Status: Available For Chat"},
        {cmd::kStatusInvisible, 32, "&Status: Invisible"},
    };
    ConnectStored();
    r.h.RaiseAndDrain([](SonaroEventSink& e) { e.Registered("nick"); });
    ASSERT_EQ(r.session->EngineState(), 4);
    for (const char* key :
         {"Away Message Dialog", "DND Message Dialog", "Occupied Message Dialog"}) {
        r.h.user.WriteInt("Custom Messages", key, 1);
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        r.h.ClearCalls();
        r.subsystems.log.clear();
        r.session->StatusCommand(row.command);
        EXPECT_EQ(r.session->PresenceMode(), row.mode);
        EXPECT_EQ(r.ui.statusMenu, row.text);
        EXPECT_EQ(Session::StatusMenuText(row.mode), row.text);
        EXPECT_EQ(Session::StatusCommandOf(row.mode), row.command);
        EXPECT_EQ(r.EngineCalls("SetStatus("),
                  Lines{"SetStatus(" + std::to_string(row.mode) + ")"});
        EXPECT_EQ(r.subsystems.Count("own presence " + std::to_string(row.mode | 1)), 1);
    }
    EXPECT_TRUE(r.ui.Logged("custom ").empty());
    EXPECT_FALSE(Session::ModeOfCommand(cmd::kStatusNormal - 1).has_value());
}

struct VersionRow {
    const char* name;
    std::int32_t required;
    std::int32_t current;
    std::uint32_t flags;
    std::string patch;
    bool oldServer;
};

TEST(SessionVersionTest, ConnectedChecksTheVersions) {
    const std::vector<VersionRow> rows = {
        {"same build", 5 << 16, 1, 0, "", false},
        {"newer program required", 6 << 16, 1, Session::kUpdateProgram, "0005.rtp", false},
        {"newer patcher required", (5 << 16) | 1, 1, Session::kUpdatePatcher, "", false},
        {"engine not current", 5 << 16, 0, Session::kUpdateEngine, "", false},
        {"old voice server", 4 << 16, 1, 0, "", true},
    };
    for (const VersionRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::SessionRig r;
        r.requiredVersions = row.required;
        r.isCurrentVersion = row.current;
        r.StoreAccount(42, "nick", "pw");
        r.session->Connect(false);
        r.h.ClearCalls();
        r.h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, "ok"); });
        EXPECT_EQ(r.session->UpdateFlags(), row.flags);
        EXPECT_EQ(r.session->PatchFile(), row.patch);
        const bool update = row.flags != 0;
        EXPECT_EQ(
            r.ui.Logged("update "),
            update ? Lines{"update " + std::to_string(row.flags) + " " + row.patch} : Lines{});
        EXPECT_EQ(r.EngineCalls("Disconnect(").size(), update || row.oldServer ? 1u : 0u);
        // The whole session ends, not just the engine's connection.
        EXPECT_EQ(r.subsystems.Count("close forum list"), update || row.oldServer ? 1 : 0);
        EXPECT_EQ(r.subsystems.Count("stop voice mail"), update || row.oldServer ? 1 : 0);
        EXPECT_EQ(r.NoticeTexts(),
                  row.oldServer ? Lines{std::string(LoadString(str::kOldVoiceServer))} : Lines{});

        // Pending update flags block connecting.
        r.session->Connect(false);
        EXPECT_EQ(r.Connects(), update ? 1 : 2);
    }
}

TEST_F(SessionTest, DisabledPatcherSkipsTheVersionCheck) {
    r.requiredVersions = 9 << 16;
    ConnectStored();
    r.h.machine.WriteInt("Internal", "DisablePatcher", 1);
    Raise(0, "ok");
    EXPECT_EQ(r.session->UpdateFlags(), 0u);
    EXPECT_TRUE(r.ui.Logged("update ").empty());
}

TEST_F(SessionTest, ServerErrorsWithAnOldEngineAskForTheUpdate) {
    r.isCurrentVersion = 0;
    ConnectStored();
    Raise(12, "bad version");
    EXPECT_EQ(r.session->UpdateFlags(), Session::kUpdateEngine | Session::kUpdateProgram);
    EXPECT_EQ(r.ui.Logged("update "), Lines{"update 5 0005.rtp"});
    EXPECT_TRUE(r.NoticeTexts().empty());
}

TEST_F(SessionTest, OtherConnectionEventsAreReportedAsProblems) {
    ConnectStored();
    Raise(11, "refused");
    Raise(9, "odd");
    EXPECT_EQ(r.NoticeTexts(),
              (Lines{"There was a problem connecting to the voice server.  The server returned "
                     "the following error: refused",
                     "There was a problem connecting to the voice server.  The server returned "
                     "the following error: odd"}));
}

TEST_F(SessionTest, EngineRetriesConnectTenTimesThenReport) {
    ConnectStored();
    for (int i = 0; i < Session::kEngineRetries; ++i) {
        Raise(7, "busy");
        r.uiQueue.Drain();
    }
    EXPECT_EQ(r.Connects(), Session::kEngineRetries);
    EXPECT_TRUE(r.NoticeTexts().empty());
    Raise(7, "busy");
    EXPECT_EQ(r.uiQueue.Pending(), 0u);
    EXPECT_EQ(r.NoticeTexts().size(), 1u);
    Raise(5, "lost");  // any other state resets the retries
    EXPECT_EQ(r.session->EngineRetriesLeft(), Session::kEngineRetries);
}

// The engine has gone through connectionEvent(0) and Registered.
void LogInEngine(SessionRig& r) {
    r.h.RaiseAndDrain([](SonaroEventSink& e) {
        e.connectionEvent(0, "ok");
        e.Registered("nick");
    });
}

TEST(SessionLostConnectionTest, AlertsWhileMinimizedWhenACallOrForumWasInProgress) {
    struct Row {
        const char* name;
        std::function<void(SonaroEventSink&)> before;
        bool alert;
    };
    const std::vector<Row> rows = {
        {"in a forum", [](SonaroEventSink& e) { e.JoinedGroup("General/Friends"); }, true},
        {"in a conference", [](SonaroEventSink& e) { e.JoinedConference(77, 1, 0); }, true},
        {"left the forum",
         [](SonaroEventSink& e) {
             e.JoinedGroup("General/Friends");
             e.JoinedGroup("");
         },
         false},
        {"idle", [](SonaroEventSink&) {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SessionRig r;
        r.ui.visible = false;
        r.ui.minimized = true;
        r.StoreAccount(42, "nick", "pw");
        r.session->Connect(false);
        r.h.options.SetShowDisconnectMsg(1);  // the user's settings are loaded by now
        LogInEngine(r);
        r.h.RaiseAndDrain(row.before);
        r.h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(5, "lost"); });
        EXPECT_EQ(r.h.manager->State(), CSonaroManager::kIdle);
        EXPECT_EQ(r.NoticeTexts(),
                  row.alert ? Lines{std::string(LoadString(str::kLostConnection))} : Lines{});

        // The next session starts without that memory.
        r.session->Connect(false);
        EXPECT_FALSE(r.h.manager->EndedInGroupOrConference());
    }
}

TEST(SessionEndReconnectTest, DisconnectAndLogoffEndTheReconnectMachinery) {
    struct Row {
        const char* name;
        bool lan;
        bool logoff;
        std::uint32_t after;  // ms after the loss
    };
    const std::vector<Row> rows = {
        {"disconnect before the start, LAN", true, false, 1000},
        {"logoff before the start, LAN", true, true, 1000},
        {"disconnect before the start, modem", false, false, 1000},
        {"logoff before the start, modem", false, true, 1000},
        {"disconnect while the modem polls", false, false, 9000},
        {"logoff while the modem polls slowly", false, true, 30000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SessionRig r;
        r.h.machine.WriteInt("Options", "UsingLan", row.lan ? 1 : 0);
        r.h.machine.WriteInt("Options", "UsingModem", row.lan ? 0 : 1);
        r.h.options.Load();
        r.StoreAccount(42, "nick", "pw");
        r.session->Connect(false);
        LogInEngine(r);
        const int connects = r.Connects();
        r.h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(5, "lost"); });
        r.Run(row.after);
        if (row.logoff) {
            r.session->LogoffCommand();
        } else {
            r.session->DisconnectCommand();
        }
        EXPECT_EQ(r.session->ReconnectStartEntry(), 0u);
        EXPECT_EQ(r.session->ReconnectPollEntry(), 0u);
        EXPECT_EQ(r.session->PollTriesLeft(), Session::kPollTries);
        const std::size_t polls = r.dialUp.polls.size();
        r.Run(120000);
        EXPECT_EQ(r.Connects(), connects);
        EXPECT_EQ(r.dialUp.polls.size(), polls);
        // Nobody asked to log in again.
        EXPECT_EQ(r.ui.Logged("login"), Lines{});
    }
}

TEST_F(SessionTest, DisconnectDropsAnEngineRetryThatIsOnItsWay) {
    ConnectStored();
    Raise(7, "busy");
    ASSERT_EQ(r.uiQueue.Pending(), 1u);
    r.session->DisconnectCommand();
    r.uiQueue.Drain();
    EXPECT_EQ(r.Connects(), 0);
    EXPECT_EQ(r.session->EngineRetriesLeft(), Session::kEngineRetries);

    // Retries of a later session work as before.
    r.session->Connect(false);
    Raise(7, "busy");
    r.uiQueue.Drain();
    EXPECT_EQ(r.Connects(), 2);
}

TEST_F(SessionTest, ClosingTheUpdateWindowAllowsConnectingAgain) {
    r.requiredVersions = 6 << 16;
    ConnectStored();
    Raise(0, "ok");
    ASSERT_EQ(r.session->UpdateFlags(), Session::kUpdateProgram);
    ASSERT_EQ(r.ui.Logged("update "), Lines{"update 4 0005.rtp"});
    ASSERT_EQ(r.h.manager->State(), CSonaroManager::kIdle);

    // While the flags are set, Connect shows why it does nothing.
    r.session->Connect(false);
    EXPECT_EQ(r.Connects(), 0);
    EXPECT_EQ(r.ui.Logged("update "), (Lines{"update 4 0005.rtp", "update 4 0005.rtp"}));

    r.ui.updateOpen = false;
    r.session->UpdateWindowClosed();
    EXPECT_EQ(r.session->UpdateFlags(), 0u);
    EXPECT_EQ(r.session->PatchFile(), "");
    r.session->Connect(false);
    EXPECT_EQ(r.Connects(), 1);
}

}  // namespace
}  // namespace qv
