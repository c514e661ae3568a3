// The client against the real directory service, started on a free loopback port.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"
#include "support/ClientRig.h"
#include "support/DirectoryServiceProcess.h"
#include "support/TempFolder.h"

extern char** environ;

namespace qv {
namespace {

using test::MailValue;

struct Login {
    std::string text;
    std::string nickName;
    int status = 0;
};

class DirectoryServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(service.Host().empty()) << "the service did not start";
        ASSERT_TRUE(rig.Start(service.Host()));
    }

    // Registers a fresh account; returns its number and mailed password.
    std::pair<std::string, std::string> Register(UserProfile profile) {
        std::vector<std::string> got;
        EXPECT_TRUE(RegisterEx(
            client, profile, "", false,
            [&](const std::string& id, const std::string& pw, const std::string& error, int status,
                RequestContext) {
                got = {id, pw, error, std::to_string(status)};
            },
            nullptr));
        EXPECT_TRUE(rig.DriveUntil([&] { return !got.empty(); }));
        if (got.size() != 4 || got[3] != "1") {
            ADD_FAILURE() << "registration failed: " << (got.size() == 4 ? got[2] : "");
            return {};
        }
        std::vector<std::string> mail = service.Mail();
        if (mail.empty()) {
            ADD_FAILURE() << "no mail";
            return {};
        }
        const std::string number = MailValue(mail.back(), "Your Quorvane Number is ");
        const std::string password = MailValue(mail.back(), "Your password is ");
        EXPECT_EQ(number, got[0]);
        return {number, password};
    }

    Login LogIn(const std::string& id, const std::string& password) {
        std::vector<Login> logins;
        EXPECT_TRUE(LoginEx2(
            client, id, password,
            [&](const std::string& text, const std::string& nick, long, long, long, long,
                int status, RequestContext) {
                logins.push_back({text, nick, status});
            },
            nullptr));
        EXPECT_TRUE(rig.DriveUntil([&] { return !logins.empty(); }));
        return logins.empty() ? Login{} : logins[0];
    }

    UserProfile Profile(const std::string& nick) {
        UserProfile p;
        p.NickName = nick;
        p.FirstName = "Ann";
        p.LastName = "Lee";
        p.Email1 = nick + "@example.org";
        p.Company = "Acme";
        p.Comment = "first";
        return p;
    }

    test::TempFolder folder;
    test::DirectoryServiceProcess service{QUORVANE_DIRECTORY_SERVICE, folder};
    test::ClientRig rig;
    DirectoryClient& client = rig.client;
};

TEST_F(DirectoryServiceTest, RegisterThenLogInWithTheMailedPassword) {
    auto [id, password] = Register(Profile("Annie"));
    ASSERT_FALSE(id.empty());
    ASSERT_FALSE(password.empty());
    Login login = LogIn(id, password);
    EXPECT_EQ(login.status, kStatusSuccess) << login.text;
    EXPECT_EQ(login.nickName, "Annie");
    EXPECT_FALSE(client.ConnectionId().empty());
}

TEST_F(DirectoryServiceTest, HeldRequestsAreReleasedWithTheNewId) {
    auto [id, password] = Register(Profile("Heldy"));
    ASSERT_FALSE(id.empty());
    std::vector<UserProfile> profiles;
    ASSERT_TRUE(GetProfileEx(
        client, id,
        [&](const UserProfile* p, const std::string& error, int status, RequestContext) {
            ASSERT_EQ(status, kStatusSuccess) << error;
            profiles.push_back(*p);
        },
        nullptr));
    EXPECT_EQ(client.Sizes().held, 1u);
    Login login = LogIn(id, password);
    ASSERT_EQ(login.status, kStatusSuccess);
    ASSERT_TRUE(rig.DriveUntil([&] { return !profiles.empty(); }));
    EXPECT_EQ(profiles[0].LoginId, id);
    EXPECT_EQ(profiles[0].NickName, "Heldy");
    EXPECT_EQ(profiles[0].Company, "Acme");
    EXPECT_EQ(profiles[0].SubscribeToMails, 0);
}

TEST_F(DirectoryServiceTest, AFailedLoginRefusesWhatFollows) {
    auto [id, password] = Register(Profile("Refusy"));
    ASSERT_FALSE(id.empty());
    std::vector<std::string> held;
    ASSERT_TRUE(ModifyProfileEx(
        client, Profile("Refusy"), "",
        [&](const std::string& error, int status, RequestContext) {
            held.push_back(error + "|" + std::to_string(status));
        },
        nullptr));
    Login login = LogIn(id, password + "wrong");
    EXPECT_EQ(login.status, kStatusInvalidLogin) << login.text;
    ASSERT_TRUE(rig.DriveUntil([&] { return !held.empty(); }));
    EXPECT_EQ(held[0], std::string(reply::kDatabaseConnectionMessage) + "|-1");

    std::vector<std::string> refused;
    EXPECT_FALSE(ModifyProfileEx(
        client, Profile("Refusy"), "",
        [&](const std::string& error, int, RequestContext) { refused.push_back(error); }, nullptr));
    EXPECT_EQ(refused, std::vector<std::string>{kNotConnectedMessage});

    // The next good login opens the way again.
    EXPECT_EQ(LogIn(id, password).status, kStatusSuccess);
    EXPECT_TRUE(ModifyProfileEx(client, Profile("Refusy"), "", nullptr, nullptr));
}

TEST_F(DirectoryServiceTest, AnEmptyCompanyLeavesTheStoredOne) {
    auto [id, password] = Register(Profile("Modi"));
    ASSERT_FALSE(id.empty());
    ASSERT_EQ(LogIn(id, password).status, kStatusSuccess);
    UserProfile changed = Profile("Modi");
    changed.Company = "";
    changed.Comment = "second";
    std::vector<int> statuses;
    ASSERT_TRUE(ModifyProfileEx(
        client, changed, "",
        [&](const std::string& error, int status, RequestContext) {
            EXPECT_EQ(error, "");
            statuses.push_back(status);
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !statuses.empty(); }));
    EXPECT_EQ(statuses[0], kStatusSuccess);

    std::vector<UserProfile> profiles;
    ASSERT_TRUE(GetProfileEx(
        client, id,
        [&](const UserProfile* p, const std::string&, int, RequestContext) {
            ASSERT_NE(p, nullptr);
            profiles.push_back(*p);
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !profiles.empty(); }));
    EXPECT_EQ(profiles[0].Company, "Acme");
    EXPECT_EQ(profiles[0].Comment, "second");
    // The empty password meant "leave it" too.
    client.SetConnectionId({});
    EXPECT_EQ(LogIn(id, password).status, kStatusSuccess);
}

TEST_F(DirectoryServiceTest, PublicProfilesAndForgottenPasswords) {
    auto [id, password] = Register(Profile("Pubby"));
    ASSERT_FALSE(id.empty());
    std::vector<UserProfile> profiles;
    ASSERT_TRUE(GetUserProfile(
        client, id,
        [&](const UserProfile* p, const std::string& error, int status, RequestContext) {
            ASSERT_EQ(status, kStatusSuccess) << error;
            profiles.push_back(*p);
        },
        nullptr));
    std::vector<int> forgot;
    ASSERT_TRUE(ForgotPass(
        client, id,
        [&](const std::string&, int status, RequestContext) { forgot.push_back(status); },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !profiles.empty() && !forgot.empty(); }));
    EXPECT_EQ(profiles[0].LoginId, id);
    EXPECT_EQ(profiles[0].NickName, "Pubby");
    EXPECT_EQ(forgot[0], kStatusSuccess);
    EXPECT_EQ(service.Mail().size(), 2u);

    std::vector<std::string> unknown;
    ASSERT_TRUE(GetUserProfile(
        client, "999999",
        [&](const UserProfile* p, const std::string& error, int status, RequestContext) {
            EXPECT_EQ(p, nullptr);
            EXPECT_EQ(status, kStatusFailure);
            unknown.push_back(error);
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !unknown.empty(); }));
    EXPECT_FALSE(unknown[0].empty());
}

}  // namespace
}  // namespace qv
