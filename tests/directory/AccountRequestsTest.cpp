#include "directory/AccountRequests.h"

#include <gtest/gtest.h>

#include <vector>

#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"
#include "support/ClientRig.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

const std::string kLoginReply = "Success" + S + "ConnectId=c42" + S + "ContactListVer=3" + S +
                                "BlockListVer=0" + S + "PartnerListVer=1" + S +
                                "PartnerParamsVer=2" + S + "NickName=Bob" + S;

class AccountRequestsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(rig.Start(server.Host())); }
    void TearDown() override { gate.Open(); }

    // The one page request sent for page.
    std::string SentTarget(const std::string& page) {
        for (const auto& r : server.PageRequests()) {
            if (r.page == page) {
                return r.target;
            }
        }
        return "(not sent)";
    }

    // Outlives the server, whose handlers may still be waiting on it.
    test::Gate gate;
    test::TestHttpServer server;
    test::ClientRig rig;
    DirectoryClient& client = rig.client;
};

TEST_F(AccountRequestsTest, LoginSendsTheEncodedPasswordAndThePartner) {
    server.Answer("LoginEx2", kLoginReply);
    client.SetPartnerNumber(513);
    struct Result {
        std::string text, nick;
        long c = -1, b = -1, p = -1, pp = -1;
        int status = 0;
        RequestContext context = nullptr;
    };
    std::vector<Result> results;
    int waiter = 0;
    ASSERT_TRUE(LoginEx2(
        client, "1001", "p@ss w",
        [&](const std::string& text, const std::string& nick, long c, long b, long p, long pp,
            int status, RequestContext context) {
            results.push_back({text, nick, c, b, p, pp, status, context});
        },
        &waiter));
    ASSERT_TRUE(rig.DriveUntil([&] { return !results.empty(); }));
    EXPECT_EQ(SentTarget("LoginEx2"),
              "/Quorvane/LoginEx2.asp?LoginId=1001&Password=p%40ss%20w&PartnerId=513");
    const Result& r = results[0];
    EXPECT_EQ(r.status, kStatusSuccess);
    EXPECT_EQ(r.text, kLoginReply);
    EXPECT_EQ(r.nick, "Bob");
    EXPECT_EQ(r.c, 3);
    EXPECT_EQ(r.b, 0);
    EXPECT_EQ(r.p, 1);
    EXPECT_EQ(r.pp, 2);
    EXPECT_EQ(r.context, &waiter);
    EXPECT_EQ(client.ConnectionId(), "c42");
    EXPECT_FALSE(client.LoginRefused());
}

TEST_F(AccountRequestsTest, TheDefaultPartnerIsOne) {
    ASSERT_TRUE(LoginEx2(client, "1", "x", nullptr, nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return server.Count("LoginEx2") == 1; }));
    EXPECT_EQ(SentTarget("LoginEx2"), "/Quorvane/LoginEx2.asp?LoginId=1&Password=x&PartnerId=1");
}

TEST_F(AccountRequestsTest, ALoginNobodyWaitsForStillGivesTheClientItsId) {
    server.Answer("LoginEx2", [&](const auto&, int) {
        gate.Wait();
        return kLoginReply;
    });
    int gone = 0;
    bool called = false;
    ASSERT_TRUE(ModifyProfileEx(client, UserProfile{}, "", nullptr, nullptr));  // held
    ASSERT_TRUE(LoginEx2(
        client, "1", "x",
        [&](const std::string&, const std::string&, long, long, long, long, int, RequestContext) {
            called = true;
        },
        &gone));
    ASSERT_TRUE(rig.DriveUntil([&] { return client.Sizes().inFlight == 1; }));
    client.Cancel(&gone);
    gate.Open();
    ASSERT_TRUE(rig.DriveUntil([&] { return server.Count("ModifyProfileEx") == 1; }));
    EXPECT_FALSE(called);
    EXPECT_EQ(client.ConnectionId(), "c42");
    EXPECT_TRUE(SentTarget("ModifyProfileEx")
                    .starts_with("/Quorvane/ModifyProfileEx.asp?ConnectionId=c42&"));
}

TEST_F(AccountRequestsTest, ALoginCancelledBeforeItRanIsNotSent) {
    int gone = 0;
    ASSERT_TRUE(LoginEx2(client, "1", "x", nullptr, &gone));
    client.Cancel(&gone);
    ASSERT_TRUE(ForgotPass(client, "1", nullptr, nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return server.Count("ForgotPass") == 1; }));
    EXPECT_EQ(server.Count("LoginEx2"), 0u);
}

TEST_F(AccountRequestsTest, RegistrationEncodesEveryText) {
    server.Answer("RegisterEx", "Success" + S + "LoginId=1001" + S + "Password=gen1" + S);
    UserProfile profile;
    profile.NickName = "Al B";
    profile.FirstName = "Al";
    profile.LastName = "O'Neil";
    profile.Email1 = "al@x.org";
    profile.Company = "A&B";
    profile.Comment = "hi_there";
    profile.showEmail = 0;
    std::vector<std::string> got;
    ASSERT_TRUE(RegisterEx(
        client, profile, "", true,
        [&](const std::string& id, const std::string& pw, const std::string& error, int status,
            RequestContext) {
            got = {id, pw, error, std::to_string(status)};
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got, (std::vector<std::string>{"1001", "gen1", "", "1"}));
    EXPECT_EQ(SentTarget("RegisterEx"),
              "/Quorvane/RegisterEx.asp?NickName=Al%20B&Password=&FirstName=Al&LastName=O%27Neil"
              "&Email1=al%40x%2Eorg&Company=A%26B&Comment=hi%5Fthere&HideEmail=1&PartnerId=1"
              "&SendMailsOK=1");
}

TEST_F(AccountRequestsTest, AnEmptyFieldIsSentAsTheLeaveUnchangedMarker) {
    server.Answer("LoginEx2", kLoginReply);
    ASSERT_TRUE(LoginEx2(client, "1", "x", nullptr, nullptr));
    UserProfile profile;
    profile.NickName = "Bob";
    profile.Email1 = "b@x.org";
    profile.FirstName = "Rob";
    profile.LastName = "Smith";
    profile.Comment = "c";
    profile.SubscribeToMails = 0;
    std::vector<int> statuses;
    ASSERT_TRUE(ModifyProfileEx(
        client, profile, "new pw",
        [&](const std::string& e, int s, RequestContext) {
            EXPECT_EQ(e, "");
            statuses.push_back(s);
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !statuses.empty(); }));
    EXPECT_EQ(statuses[0], kStatusSuccess);
    EXPECT_EQ(SentTarget("ModifyProfileEx"),
              "/Quorvane/ModifyProfileEx.asp?ConnectionId=c42&NickName=Bob&Email1=b%40x%2Eorg"
              "&HideEmail=0&SubscribeToMails=0&FirstName=Rob&LastName=Smith&Password=new%20pw"
              "&Company=%5F%5FEMPTY%5F%5F&Comment=c");
}

TEST_F(AccountRequestsTest, ProfilesArriveFilled) {
    server.Answer("GetUserProfile", "Success" + S + "NickName=Ann" + S + "FirstName=A" + S +
                                        "LastName=B" + S + "Email1=a@b.c" + S + "Company=" + S +
                                        "Comment=" + S + "Address1=" + S + "Address2=" + S +
                                        "City=" + S + "State=" + S + "Zip=" + S + "Country=" + S +
                                        "TeleHome=" + S + "TeleOffice=" + S + "Fax=" + S +
                                        "Cell=" + S + "Pager=" + S + "HomePage=" + S);
    std::vector<std::string> got;
    ASSERT_TRUE(GetUserProfile(
        client, "77",
        [&](const UserProfile* p, const std::string& e, int s, RequestContext) {
            ASSERT_NE(p, nullptr);
            got = {p->LoginId, p->NickName, p->Email1, e, std::to_string(s)};
        },
        nullptr));
    ASSERT_TRUE(rig.DriveUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got, (std::vector<std::string>{"77", "Ann", "a@b.c", "", "1"}));
    EXPECT_EQ(SentTarget("GetUserProfile"), "/Quorvane/GetUserProfile.asp?LoginId=77");
}

TEST(AccountRequestsNotOpenTest, EveryOperationReportsAtOnce) {
    test::ClientRig rig;  // never started
    DirectoryClient& client = rig.client;
    std::vector<std::string> seen;
    const auto status = [&](const std::string& e, int s, RequestContext) {
        seen.push_back(e + "|" + std::to_string(s));
    };
    const auto profile = [&](const UserProfile* p, const std::string& e, int s, RequestContext) {
        seen.push_back(std::string(p ? "profile" : "null") + "|" + e + "|" + std::to_string(s));
    };
    const std::string n = kNotConnectedMessage;

    EXPECT_FALSE(LoginEx2(
        client, "1", "x",
        [&](const std::string& t, const std::string& nick, long c, long b, long p, long pp, int s,
            RequestContext) {
            seen.push_back(t + "|" + nick + "|" + std::to_string(c + b + p + pp) + "|" +
                           std::to_string(s));
        },
        nullptr));
    EXPECT_TRUE(client.LoginRefused());
    EXPECT_FALSE(RegisterEx(
        client, UserProfile{}, "", false,
        [&](const std::string& id, const std::string& pw, const std::string& e, int s,
            RequestContext) { seen.push_back(id + pw + "|" + e + "|" + std::to_string(s)); },
        nullptr));
    EXPECT_FALSE(ModifyProfileEx(client, UserProfile{}, "", status, nullptr));
    EXPECT_FALSE(GetUserProfile(client, "1", profile, nullptr));
    EXPECT_FALSE(GetProfileEx(client, "1", profile, nullptr));
    EXPECT_FALSE(ForgotPass(client, "1", status, nullptr));
    EXPECT_EQ(seen,
              (std::vector<std::string>{n + "||0|-1", "|" + n + "|-1", n + "|-1",
                                        "null|" + n + "|-1", "null|" + n + "|-1", n + "|-1"}));
}

}  // namespace
}  // namespace qv
