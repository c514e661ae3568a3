// LoginEx2 with its voice ticket, the profiles and the partner parameters against the running
// service.

#include <gtest/gtest.h>

#include "ServiceFixture.h"
#include "TicketKeys.h"
#include "VoiceTicket.h"
#include "directory/ReplyGrammar.h"
#include "pages/LoginPages.h"

namespace qv::dirsvc::test {
namespace {

using LoginPagesTest = ServiceFixture;

const std::string kInvalidLogin = "Fail\xFFInvalid userid or password";

TEST_F(LoginPagesTest, LoginReturnsEveryFieldTheClientNeeds) {
    const NewUser ann = Register("Ann Lee");
    const std::string body = Login(ann.number, ann.password);
    ASSERT_TRUE(reply::IsSuccess(body)) << body;
    const std::string id = reply::Field(body, "ConnectId");
    EXPECT_EQ(id.size(), 32u);
    const std::string ticket = reply::Field(body, "VoiceTicket");
    EXPECT_FALSE(ticket.empty());
    EXPECT_EQ(body,
              "Success\xFF"
              "ConnectId=" +
                  id +
                  "\xFF"
                  "ContactListVer=0\xFF"
                  "BlockListVer=0\xFF"
                  "PartnerListVer=0\xFF"
                  "PartnerParamsVer=1\xFF"
                  "NickName=Ann Lee\xFF"
                  "UserId=" +
                  std::to_string(ann.number) +
                  "\xFF"
                  "VoiceTicket=" +
                  ticket + "\xFF");
    // The partner-parameters version is the Version GetPartnerParams sends.
    const std::string params = Body("\\Quorvane\\GetPartnerParams.asp?PartnerId=1");
    EXPECT_EQ(*reply::ItemField(params, "Version"), reply::Field(body, "PartnerParamsVer"));
    // A partner without parameters reports 0.
    EXPECT_EQ(reply::Field(Login(ann.number, ann.password, 42), "PartnerParamsVer"), "0");
}

TEST_F(LoginPagesTest, AReLoginKeepsTheEarlierIdValid) {
    const NewUser ann = Register("Ann");
    const std::string first = Connect(ann);
    const std::string second = Connect(ann);
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    for (const std::string& id : {first, second}) {
        EXPECT_TRUE(reply::IsSuccess(Body("/Quorvane/GetProfileEx.asp?ConnectionID=" + id +
                                          "&LoginId=" + std::to_string(ann.number))));
    }
}

TEST_F(LoginPagesTest, WrongCredentialsGetTheInvalidLoginText) {
    const NewUser ann = Register("Ann");
    const std::string number = std::to_string(ann.number);
    const std::string cases[] = {
        "LoginId=" + number + "&Password=wrong&PartnerId=1",
        "LoginId=" + number + "&Password=&PartnerId=1",
        "LoginId=999999999&Password=x&PartnerId=1",
        "LoginId=" + number + "%20OR%201=1&Password=x",
        "LoginId='%20OR%20''='&Password='%20OR%20''='",
        "LoginId=-5&Password=x",
        "LoginId=99999999999999999999&Password=x",
    };
    for (const std::string& query : cases) {
        EXPECT_EQ(Body("/Quorvane/LoginEx2.asp?" + query), kInvalidLogin) << query;
    }
    EXPECT_EQ(Body("/Quorvane/LoginEx2.asp?LoginId=1"), "Fail\xFFMissing parameter Password");
    EXPECT_EQ(Body("/Quorvane/LoginEx2.asp?LoginId=" + number + "&Password=" + ann.password +
                   "&PartnerId=x"),
              "Fail\xFFInvalid PartnerId");
}

TEST_F(LoginPagesTest, ALoginStormIsSlowedDownForThatNumberOnly) {
    const NewUser ann = Register("Ann");
    const NewUser bob = Register("Bob", "bob@example.com");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Login(ann.number, "guess" + std::to_string(i)), kInvalidLogin);
    }
    // Now even the right password waits, and is told so with a text that does not make the
    // client forget its stored password.
    for (int i = 0; i < 50; ++i) {
        const std::string body = Login(ann.number, i == 49 ? ann.password : "guess");
        ASSERT_EQ(body,
                  "Fail\xFFToo many failed logins for this Quorvane Number. Try again in 1 "
                  "second.");
    }
    EXPECT_TRUE(reply::IsSuccess(Login(bob.number, bob.password)));
    clock_.Advance(1);
    EXPECT_EQ(Login(ann.number, "guess"), kInvalidLogin);
    EXPECT_NE(Login(ann.number, ann.password).find("Try again in 2 seconds."), std::string::npos);
    clock_.Advance(2);
    EXPECT_TRUE(reply::IsSuccess(Login(ann.number, ann.password)));
    // Success starts the count again.
    EXPECT_EQ(Login(ann.number, "guess"), kInvalidLogin);
}

TEST_F(LoginPagesTest, AStrangerGuessingCannotLockTheOwnerOut) {
    const NewUser ann = Register("Ann");
    for (int i = 0; i < 20; ++i) {
        BodyFrom("127.0.0.2", LoginTarget(ann.number, "guess" + std::to_string(i)));
    }
    EXPECT_NE(
        BodyFrom("127.0.0.2", LoginTarget(ann.number, ann.password)).find("Too many failed logins"),
        std::string::npos);
    EXPECT_TRUE(reply::IsSuccess(Login(ann.number, ann.password)));
}

TEST_F(LoginPagesTest, UnknownNumbersAreSlowedDownToo) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Login(1234567, "x"), kInvalidLogin);
    }
    EXPECT_NE(Login(1234567, "x").find("Too many failed logins"), std::string::npos);
}

TEST_F(LoginPagesTest, TheVoiceTicketIsSignedForTheUserAndShortLived) {
    const NewUser ann = Register("Ann Lee");
    const std::string first = reply::Field(Login(ann.number, ann.password), "VoiceTicket");
    const std::string second = reply::Field(Login(ann.number, ann.password), "VoiceTicket");
    EXPECT_NE(first, second);
    ticket::PublicKey key{};
    std::string error;
    ASSERT_TRUE(ticket::LoadPublicKey(folder_.File("keys/ticket.key.pub"), key, error)) << error;
    ticket::VoiceTicket read;
    ASSERT_EQ(ticket::Verify(first, key, clock_.Now(), 900, "quorvane", read),
              ticket::Fault::kNone);
    EXPECT_EQ(read.userId, std::to_string(ann.number));
    EXPECT_EQ(read.nickname, "Ann Lee");
    EXPECT_EQ(read.expires, clock_.Now() + 300);
    ticket::VoiceTicket other;
    ASSERT_EQ(ticket::Verify(second, key, clock_.Now(), 900, "quorvane", other),
              ticket::Fault::kNone);
    EXPECT_NE(read.nonce, other.nonce);
    // A failed login gets none.
    EXPECT_EQ(reply::Field(Login(ann.number, "wrong"), "VoiceTicket"), "");
}

TEST_F(LoginPagesTest, CheckConnectionIsGone) {
    const NewUser ann = Register("Ann");
    const std::string id = Connect(ann);
    const RawResponse check =
        Get("/Quorvane/CheckConnection.asp?UserID=" + std::to_string(ann.number) +
            "&ConnectionID=" + id);
    EXPECT_EQ(check.status, 404);
    EXPECT_EQ(check.body, "Fail\xFFUnknown page");
}

using ProfilePagesTest = ServiceFixture;

TEST_F(ProfilePagesTest, GetUserProfileSendsAllEighteenFields) {
    const NewUser ann = Register("Ann");
    const std::string body =
        Body("\\Quorvane\\GetUserProfile.asp?LoginId=" + std::to_string(ann.number));
    EXPECT_EQ(body,
              "Success\xFF"
              "NickName=Ann\xFF"
              "FirstName=Ann\xFF"
              "LastName=Lee\xFF"
              "Email1=ann@example.com\xFF"
              "Company=\xFF"
              "Comment=\xFF"
              "Address1=\xFF"
              "Address2=\xFF"
              "City=\xFF"
              "State=\xFF"
              "Zip=\xFF"
              "Country=\xFF"
              "TeleHome=\xFF"
              "TeleOffice=\xFF"
              "Fax=\xFF"
              "Cell=\xFF"
              "Pager=\xFF"
              "HomePage=\xFF");
    EXPECT_EQ(Body("/Quorvane/GetUserProfile.asp?LoginId=1"), "Fail\xFFUser not found");
    EXPECT_EQ(Body("/Quorvane/GetUserProfile.asp?LoginId=1x"), "Fail\xFFInvalid LoginId");
}

TEST_F(ProfilePagesTest, GetProfileExIsForOnesOwnProfile) {
    const NewUser ann = Register("Ann");
    const NewUser bob = Register("Bob", "bob@example.com");
    const std::string id = Connect(ann);
    const std::string own = Body("/Quorvane/GetProfileEx.asp?ConnectionID=" + id +
                                 "&LoginId=" + std::to_string(ann.number));
    EXPECT_TRUE(reply::IsSuccess(own));
    EXPECT_EQ(reply::Field(own, "HideEmail"), "0");
    EXPECT_EQ(reply::Field(own, "SubscribeToMails"), "1");
    // The login's nickname and this one must be the same bytes for the client.
    EXPECT_EQ(reply::Field(own, "NickName"),
              reply::Field(Login(ann.number, ann.password), "NickName"));
    EXPECT_EQ(Body("/Quorvane/GetProfileEx.asp?ConnectionID=" + id +
                   "&LoginId=" + std::to_string(bob.number)),
              "Fail\xFF"
              "Access denied");
    // A request held before login carries an empty id.
    EXPECT_FALSE(reply::IsSuccess(
        Body("/Quorvane/GetProfileEx.asp?ConnectionID=&LoginId=" + std::to_string(ann.number))));
}

TEST_F(ProfilePagesTest, EveryPathFormReachesThePage) {
    const NewUser ann = Register("Ann");
    const std::string query = "?LoginId=" + std::to_string(ann.number);
    const std::string expected = Body("\\Quorvane\\GetUserProfile.asp" + query);
    ASSERT_TRUE(reply::IsSuccess(expected));
    for (const std::string path :
         {"/Quorvane/GetUserProfile.asp", "/quorvane/getuserprofile.asp",
          "%5CQuorvane%5CGetUserProfile.asp", "%5cQUORVANE%5cGETUSERPROFILE.ASP",
          "/Quorvane\\GetUserProfile.asp"}) {
        EXPECT_EQ(Body(path + query), expected) << path;
    }
    // Query keys too are matched without regard to case.
    EXPECT_EQ(Body("/Quorvane/GetUserProfile.asp?LOGINID=" + std::to_string(ann.number)), expected);
    EXPECT_EQ(Get("/").status, 200);
    EXPECT_EQ(Get("\\it.html").status, 200);
    const RawResponse unknown = Get("/Quorvane/NoSuchPage.asp");
    EXPECT_EQ(unknown.status, 404);
    EXPECT_EQ(unknown.body, "Fail\xFFUnknown page");
}

TEST_F(ProfilePagesTest, PartnerParamsSendTheCompleteSetVersionFirst) {
    const std::string body = Body("\\Quorvane\\GetPartnerParams.asp?PartnerId=1");
    ASSERT_TRUE(reply::IsSuccess(body));
    EXPECT_EQ(body.rfind("Success\xFFVersion=1\xFF", 0), 0u);
    EXPECT_EQ(reply::Field(body, "Version"), "1");
    EXPECT_EQ(*reply::ItemField(body, "IMLabel"), "Instant Message");
    EXPECT_EQ(*reply::ItemField(body, "LoginDLLDownloadURL"), "");
    EXPECT_EQ(*reply::ItemField(body, "LoginDLLVersion"), "0");
    EXPECT_EQ(*reply::ItemField(body, "EnableModifyNickName"), "1");
    EXPECT_EQ(body.back(), '\xFF');
    EXPECT_EQ(Body("/Quorvane/GetPartnerParams.asp?PartnerId=7"), "Fail\xFFUnknown partner");
    EXPECT_EQ(Body("/Quorvane/GetPartnerParams.asp?PartnerId=70000"), "Fail\xFFInvalid PartnerId");
}

}  // namespace
}  // namespace qv::dirsvc::test
