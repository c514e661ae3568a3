// The Login dialog's logic and the session's standard login against the real directory service.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SessionRig.h"
#include "directory/AccountRequests.h"
#include "directory/UserProfile.h"
#include "login/LoginForm.h"
#include "settings/LoginKey.h"
#include "support/ClientRig.h"
#include "support/DirectoryServiceProcess.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

class LoginFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(service.Host().empty()) << "the service did not start";
        ASSERT_TRUE(client.Start(service.Host()));
        form.onStatus = [this](const std::string& text) { statuses.push_back(text); };
        form.onLoggedIn = [this] { ++loggedIn; };
    }

    // Registers an account; its number and the mailed password.
    void Register(const std::string& nick) {
        UserProfile p;
        p.NickName = nick;
        p.FirstName = "Ann";
        p.LastName = "Lee";
        p.Email1 = nick + "@example.org";
        p.Company = "Acme";
        p.Comment = "first";
        int status = 0;
        ASSERT_TRUE(RegisterEx(
            client.client, p, "", false,
            [&](const std::string&, const std::string&, const std::string& error, int s,
                RequestContext) {
                status = s;
                EXPECT_EQ(s, 1) << error;
            },
            nullptr));
        ASSERT_TRUE(client.DriveUntil([&] { return status != 0; }));
        const Lines mail = service.Mail();
        ASSERT_FALSE(mail.empty());
        number = test::MailValue(mail.back(), "Your Quorvane Number is ");
        password = test::MailValue(mail.back(), "Your password is ");
        ASSERT_FALSE(number.empty());
        ASSERT_FALSE(password.empty());
        id = static_cast<std::uint32_t>(std::stoul(number));
    }

    test::TempFolder serviceFolder;
    test::DirectoryServiceProcess service{QUORVANE_DIRECTORY_SERVICE, serviceFolder};
    test::ClientRig client;
    test::SessionRig r{&client.client, &client.scheduler, &client.clock};
    LoginForm form{&client.client, r.loginKey, *r.session, r.subsystems, r.notices, r.h.screen};
    Lines statuses;
    int loggedIn = 0;
    std::string number;
    std::string password;
    std::uint32_t id = 0;
};

TEST_F(LoginFormTest, LoginStoresTheProfileAndSetsTheUserUp) {
    Register("Annie");
    ASSERT_TRUE(form.Login(number, password));
    EXPECT_TRUE(form.Busy());
    EXPECT_EQ(statuses, Lines{"Accessing Database...Please Wait."});
    ASSERT_TRUE(client.DriveUntil([&] { return loggedIn > 0 || !r.notices.Notices().empty(); }));
    EXPECT_EQ(r.NoticeTexts(), Lines{});
    EXPECT_EQ(loggedIn, 1);
    EXPECT_FALSE(form.Busy());

    EXPECT_EQ(r.LoginString(login_key::kNickName), "Annie");
    EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), id);
    EXPECT_EQ(r.LoginString(login_key::kPassword), login_key::EncodePassword(password));
    EXPECT_EQ(r.LoginString(login_key::kFirstName), "Ann");
    EXPECT_EQ(r.LoginString(login_key::kLastName), "Lee");
    EXPECT_EQ(r.LoginString(login_key::kEmail), "Annie@example.org");
    EXPECT_EQ(r.LoginString(login_key::kCompany), "Acme");
    EXPECT_EQ(r.LoginString(login_key::kComment), "first");
    EXPECT_EQ(r.LoginDword(login_key::kAllowSpam), 0u);  // registered without mailings
    EXPECT_TRUE(r.HasLoginValue(login_key::kEmailPublic));

    EXPECT_EQ(r.session->UserSetUp(), id);
    EXPECT_EQ(r.h.user.Path(), r.h.folder.Path() + number + "/Options.ini");
    EXPECT_EQ(r.subsystems.Count("partner params"), 1);
    EXPECT_GE(r.subsystems.Count("reload contacts"), 1);
}

TEST_F(LoginFormTest, TheLoginDialogHandsOnTheListVersionsAfterTheUsersSetUp) {
    Register("Versy");
    ASSERT_TRUE(form.Login(number, password));
    ASSERT_TRUE(client.DriveUntil([&] { return loggedIn > 0 || !r.notices.Notices().empty(); }));
    ASSERT_EQ(loggedIn, 1);
    const Lines& log = r.subsystems.log;
    const auto at = [&](const std::string& line) {
        return std::find(log.begin(), log.end(), line) - log.begin();
    };
    const auto end = static_cast<long>(log.size());
    const long blockList = at("block list " + r.h.folder.Path() + number + "/Blocked.dat");
    const long contacts = at("contacts v0");
    const long blocks = at("blocks v0");
    ASSERT_LT(blockList, end);
    ASSERT_LT(contacts, end) << "the contact-list version never reached the stores";
    ASSERT_LT(blocks, end) << "the block-list version never reached the stores";
    EXPECT_LT(at("partners v0"), end);
    // Only once the stores are pointed at this user.
    EXPECT_LT(blockList, contacts);
    EXPECT_LT(blockList, blocks);
    long lastReload = -1;
    for (long i = 0; i < end; ++i) {
        if (log[static_cast<std::size_t>(i)] == "reload contacts") {
            lastReload = i;
        }
    }
    EXPECT_LT(lastReload, contacts);
    EXPECT_EQ(r.subsystems.Count("contacts v0"), 1);
}

TEST_F(LoginFormTest, TheLoginDialogFlowConnectsTheEngine) {
    Register("Dialy");
    r.loginKey.SetDword(login_key::kGlobalFlags, login_key::kUserSetUp);
    r.ui.onLoginDialog = [&] {
        bool ok = false;
        form.onLoggedIn = [&] { ok = true; };
        if (!form.Login(number, password)) {
            return false;
        }
        return client.DriveUntil([&] { return ok || !form.Busy(); }) && ok;
    };
    r.session->Connect(true);
    EXPECT_EQ(r.ui.Logged("login").size(), 1u);
    EXPECT_EQ(r.EngineCalls("Connect("), Lines{"Connect(\"voice.example\", 12011)"});
    EXPECT_EQ(r.Connects(), 1);
    EXPECT_EQ(r.session->UserSetUp(), id);
    // The voice server will check the ticket of the dialog's login.
    EXPECT_FALSE(client.client.VoiceTicket().empty());
    EXPECT_EQ(r.h.manager->VoiceTicket(), client.client.VoiceTicket());
}

TEST_F(LoginFormTest, EveryConnectHandsAFreshTicketToTheEngineManager) {
    Register("Stored");
    r.StoreAccount(id, "Stored", password);
    r.h.manager->SetVoiceTicket("an earlier login's");
    std::string previous = "an earlier login's";
    // The first connect and a reconnect (the poll connects the same way) each log in afresh.
    for (int connect = 1; connect <= 2; ++connect) {
        r.session->Connect(false);
        EXPECT_EQ(r.Connects(), connect);
        // The engine starts before LoginEx2 answers, and not with a ticket already used.
        EXPECT_EQ(r.h.manager->VoiceTicket(), "");
        ASSERT_TRUE(client.DriveUntil([&] { return !r.h.manager->VoiceTicket().empty(); }));
        EXPECT_EQ(r.h.manager->VoiceTicket(), client.client.VoiceTicket());
        EXPECT_NE(r.h.manager->VoiceTicket(), previous);
        previous = r.h.manager->VoiceTicket();
    }
    r.session->LogoffCommand();
    EXPECT_EQ(r.h.manager->VoiceTicket(), "");
}

TEST_F(LoginFormTest, LogoffCancelsTheLoginOnItsWay) {
    Register("Leaver");
    r.StoreAccount(id, "Leaver", password);
    r.session->Connect(false);
    r.session->LogoffCommand();
    ASSERT_TRUE(client.DriveUntil([&] {
        const DirectoryClient::QueueSizes q = client.client.Sizes();
        return q.held + q.ready + q.inFlight + q.completed == 0;
    }));
    // Its reply reached nobody: the engine manager has no voice ticket of the old account,
    // and nothing of that account was handed on.
    EXPECT_EQ(r.h.manager->VoiceTicket(), "");
    for (const std::string& line : r.subsystems.log) {
        EXPECT_NE(line.rfind("contacts v", 0), 0u) << line;
    }
    EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), 0u);
    EXPECT_EQ(r.h.manager->State(), CSonaroManager::kIdle);
}

TEST_F(LoginFormTest, AWrongPasswordIsReportedAndKeepsTheLogin) {
    Register("Wrongy");
    r.StoreAccount(7, "before", "old");
    ASSERT_TRUE(form.Login(number, password + "x"));
    ASSERT_TRUE(client.DriveUntil([&] { return !form.Busy(); }));
    EXPECT_EQ(loggedIn, 0);
    ASSERT_EQ(r.NoticeTexts().size(), 1u);
    EXPECT_EQ(r.NoticeTexts()[0], "Invalid userid or password");
    EXPECT_EQ(r.shownNow, std::vector<bool>{true});
    EXPECT_EQ(statuses, (Lines{"Accessing Database...Please Wait.", ""}));
    EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), 7u);
    EXPECT_EQ(r.LoginString(login_key::kNickName), "before");
    EXPECT_EQ(r.LoginString(login_key::kPassword), login_key::EncodePassword("old"));
    EXPECT_FALSE(r.session->UserSetUp().has_value());

    // The right one afterwards still logs in.
    ASSERT_TRUE(form.Login(number, password));
    ASSERT_TRUE(client.DriveUntil([&] { return !form.Busy(); }));
    EXPECT_EQ(loggedIn, 1);
    EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), id);
}

TEST_F(LoginFormTest, AnEmptyNumberSendsNothing) {
    EXPECT_FALSE(form.Login("", "pw"));
    EXPECT_FALSE(form.Busy());
    EXPECT_TRUE(statuses.empty());
}

TEST_F(LoginFormTest, ForgotPasswordMailsANewOneAfterTheQuestion) {
    Register("Forgetty");
    const std::size_t mails = service.Mail().size();
    r.h.screen.ScriptAnswers({mb::kIdNo});
    EXPECT_FALSE(form.ForgotPassword(number));
    ASSERT_EQ(r.h.screen.boxes.size(), 1u);
    EXPECT_EQ(r.h.screen.boxes[0].text,
              "Quorvane will automatically send an email to the address that was entered\r\nwhen "
              "the account was created. Proceed?");
    EXPECT_EQ(r.h.screen.boxes[0].caption, "Password Reminder");

    r.h.screen.ScriptAnswers({mb::kIdYes});
    ASSERT_TRUE(form.ForgotPassword(number));
    ASSERT_TRUE(client.DriveUntil([&] { return !form.Busy(); }));
    EXPECT_EQ(r.NoticeTexts().size(), 1u);
    EXPECT_EQ(service.Mail().size(), mails + 1);
}

TEST_F(LoginFormTest, StandardLoginWithAStoredWrongPasswordEmptiesIt) {
    Register("Storey");
    r.StoreAccount(id, "Storey", password + "x");
    r.session->Connect(false);
    EXPECT_EQ(r.session->UserSetUp(), id);
    EXPECT_EQ(r.Connects(), 1);
    ASSERT_TRUE(client.DriveUntil([&] { return r.LoginString(login_key::kPassword).empty(); }));
    EXPECT_EQ(r.LoginString(login_key::kNickName), "Storey");
    EXPECT_EQ(r.LoginDword(login_key::kQuorvaneId), id);
    EXPECT_EQ(r.subsystems.Count("close forum list"), 1);
    EXPECT_EQ(r.EngineCalls("Disconnect(").size(), 1u);

    // The next Connect has no password to send.
    r.session->Connect(false);
    EXPECT_EQ(r.Connects(), 1);
}

TEST_F(LoginFormTest, StandardLoginWithTheStoredPasswordHandsOnTheListVersions) {
    Register("Goody");
    r.StoreAccount(id, "Goody", password);
    r.session->Connect(false);
    ASSERT_TRUE(client.DriveUntil([&] {
        return r.subsystems.Count("partners v0") > 0 || r.subsystems.Count("close forum list") > 0;
    }));
    EXPECT_EQ(r.LoginString(login_key::kPassword), login_key::EncodePassword(password));
    EXPECT_EQ(r.LoginString(login_key::kNickName), "Goody");
    EXPECT_EQ(r.subsystems.Count("close forum list"), 0);
}

TEST_F(LoginFormTest, AnotherStoredNicknameEndsTheSession) {
    Register("Realname");
    r.StoreAccount(id, "Oldname", password);
    r.session->Connect(false);
    ASSERT_TRUE(client.DriveUntil([&] { return r.LoginString(login_key::kNickName).empty(); }));
    EXPECT_EQ(r.LoginString(login_key::kPassword), "");
    EXPECT_EQ(r.subsystems.Count("close forum list"), 1);
}

}  // namespace
}  // namespace qv
