#include "directory/AccountReplies.h"

#include <gtest/gtest.h>

#include <vector>

#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

std::string Fields(const std::vector<std::string>& fields) {
    std::string out;
    for (const std::string& f : fields) {
        out += f + S;
    }
    return out;
}

const std::vector<std::string> kLoginFields = {"ConnectId=77",       "ContactListVer=3",
                                               "BlockListVer=0",     "PartnerListVer=1",
                                               "PartnerParamsVer=2", "NickName=Bob"};

TEST(AccountRepliesTest, ALoginReplyGivesTheIdAndTheVersions) {
    const std::string reply = "Success" + S + Fields(kLoginFields);
    LoginReply login = ParseLoginReply(reply);
    EXPECT_EQ(login.status, kStatusSuccess);
    EXPECT_EQ(login.text, reply);
    EXPECT_EQ(login.connectId, "77");
    EXPECT_EQ(login.nickName, "Bob");
    EXPECT_EQ(login.contactListVersion, 3);
    EXPECT_EQ(login.blockListVersion, 0);
    EXPECT_EQ(login.partnerListVersion, 1);
    EXPECT_EQ(login.partnerParamsVersion, 2);
    EXPECT_EQ(login.voiceTicket, "");
}

TEST(AccountRepliesTest, ALoginReplyMayCarryAVoiceTicketAfterTheOtherFields) {
    const std::string reply =
        "Success" + S + Fields(kLoginFields) + "UserId=5" + S + "VoiceTicket=abc.def" + S;
    LoginReply login = ParseLoginReply(reply);
    EXPECT_EQ(login.status, kStatusSuccess);
    EXPECT_EQ(login.connectId, "77");
    EXPECT_EQ(login.nickName, "Bob");
    EXPECT_EQ(login.voiceTicket, "abc.def");
}

TEST(AccountRepliesTest, ALoginMissingAnyFieldFails) {
    for (std::size_t missing = 0; missing < kLoginFields.size(); ++missing) {
        std::vector<std::string> fields = kLoginFields;
        fields.erase(fields.begin() + static_cast<long>(missing));
        LoginReply login = ParseLoginReply("Success" + S + Fields(fields));
        EXPECT_EQ(login.status, kStatusFailure) << kLoginFields[missing];
        EXPECT_EQ(login.text, reply::kDatabaseConnectionMessage);
        EXPECT_EQ(login.connectId, "");
        EXPECT_EQ(login.nickName, "");
        EXPECT_EQ(login.contactListVersion, 0);
    }
}

TEST(AccountRepliesTest, LoginFailuresAndTheirStatus) {
    struct Case {
        std::string reply;
        int status;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"Fail" + S + "Invalid userid or password", kStatusInvalidLogin,
         "Invalid userid or password"},
        {"Fail" + S + "invalid USERID or password", kStatusInvalidLogin,
         "invalid USERID or password"},
        {"Fail" + S + "Invalid userid or password" + S, kStatusFailure,
         "Invalid userid or password" + S},
        {"Fail" + S + "Account locked", kStatusFailure, "Account locked"},
        {"success" + S + Fields(kLoginFields), kStatusFailure, reply::kDatabaseConnectionMessage},
        {"", kStatusFailure, reply::kDatabaseConnectionMessage},
        {kRetriesExhaustedReply, kStatusFailure, reply::kDatabaseConnectionMessage},
        {kNotConnectedMessage, kStatusFailure, reply::kDatabaseConnectionMessage},
    };
    for (const Case& c : cases) {
        LoginReply login = ParseLoginReply(c.reply);
        EXPECT_EQ(login.status, c.status) << c.reply;
        EXPECT_EQ(login.text, c.text) << c.reply;
    }
}

TEST(AccountRepliesTest, RegistrationAndStatusReplies) {
    RegisterReply ok = ParseRegisterReply("Success" + S + "LoginId=1001" + S + "Password=x7" + S);
    EXPECT_EQ(ok.status, kStatusSuccess);
    EXPECT_EQ(ok.loginId, "1001");
    EXPECT_EQ(ok.password, "x7");
    EXPECT_EQ(ok.error, "");
    RegisterReply bare = ParseRegisterReply("Success");  // both fields are optional
    EXPECT_EQ(bare.status, kStatusSuccess);
    EXPECT_EQ(bare.loginId, "");
    RegisterReply taken = ParseRegisterReply("Fail" + S + "NickName already exists");
    EXPECT_EQ(taken.status, kStatusFailure);
    EXPECT_EQ(taken.error, "NickName already exists");
    EXPECT_EQ(taken.loginId, "");

    EXPECT_EQ(ParseStatusReply("Success").status, kStatusSuccess);
    EXPECT_EQ(ParseStatusReply("Fail" + S + "User not found").error, "User not found");
    EXPECT_EQ(ParseStatusReply("Failure").error, "re");
    EXPECT_EQ(ParseStatusReply("<html>").error, reply::kDatabaseConnectionMessage);
}

const std::vector<std::string> kProfileFields = {
    "NickName=Bob",     "FirstName=Robert", "LastName=Smith",    "Email1=b@x.org", "Company=",
    "Comment=hi there", "Address1=1 Road",  "Address2=",         "City=Town",      "State=ST",
    "Zip=12345",        "Country=Land",     "TeleHome=1",        "TeleOffice=2",   "Fax=3",
    "Cell=4",           "Pager=5",          "HomePage=http://b/"};

TEST(AccountRepliesTest, AUserProfileNeedsEveryField) {
    const std::string url = "\\Quorvane\\GetUserProfile.asp?LoginId=1001";
    ProfileReply full = ParseUserProfileReply("Success" + S + Fields(kProfileFields), url);
    ASSERT_EQ(full.status, kStatusSuccess);
    const UserProfile& p = full.profile;
    EXPECT_EQ(p.state, 1);
    EXPECT_EQ(p.LoginId, "1001");
    EXPECT_EQ(p.NickName, "Bob");
    EXPECT_EQ(p.FirstName, "Robert");
    EXPECT_EQ(p.LastName, "Smith");
    EXPECT_EQ(p.Email1, "b@x.org");
    EXPECT_EQ(p.Company, "");
    EXPECT_EQ(p.Comment, "hi there");
    EXPECT_EQ(p.Address1, "1 Road");
    EXPECT_EQ(p.City, "Town");
    EXPECT_EQ(p.State, "ST");
    EXPECT_EQ(p.Zip, "12345");
    EXPECT_EQ(p.Country, "Land");
    EXPECT_EQ(p.TeleHome, "1");
    EXPECT_EQ(p.TeleOffice, "2");
    EXPECT_EQ(p.Fax, "3");
    EXPECT_EQ(p.Cell, "4");
    EXPECT_EQ(p.Pager, "5");
    EXPECT_EQ(p.HomePage, "http://b/");

    for (std::size_t missing = 0; missing < kProfileFields.size(); ++missing) {
        std::vector<std::string> fields = kProfileFields;
        fields.erase(fields.begin() + static_cast<long>(missing));
        ProfileReply partial = ParseUserProfileReply("Success" + S + Fields(fields), url);
        EXPECT_EQ(partial.status, kStatusFailure) << kProfileFields[missing];
        EXPECT_EQ(partial.error, reply::kDatabaseConnectionMessage);
    }
    ProfileReply unknown = ParseUserProfileReply("Fail" + S + "User not found", url);
    EXPECT_EQ(unknown.status, kStatusFailure);
    EXPECT_EQ(unknown.error, "User not found");
}

TEST(AccountRepliesTest, TheLoginIdIsEverythingAfterItsKeyInTheUrl) {
    const std::string reply = "Success" + S + Fields(kProfileFields);
    EXPECT_EQ(
        ParseUserProfileReply(reply, "\\Quorvane\\GetUserProfile.asp?LoginId=12&x").profile.LoginId,
        "12&x");
    EXPECT_EQ(ParseProfileExReply(reply, "\\Quorvane\\GetProfileEx.asp?ConnectionID=c&LoginId=9")
                  .profile.LoginId,
              "9");
}

TEST(AccountRepliesTest, OwnProfileFlags) {
    const std::string base = "Success" + S +
                             Fields({"NickName=Bob", "FirstName=R", "LastName=S", "Email1=e@x.y",
                                     "Company=C", "Comment="});
    const std::string url = "\\Quorvane\\GetProfileEx.asp?ConnectionID=c&LoginId=9";
    struct Case {
        std::string extra;
        int showEmail;
        int subscribe;
    };
    const std::vector<Case> cases = {
        {"", 1, 1},  // absent: the defaults
        {"HideEmail=1" + S + "SubscribeToMails=1" + S, 0, 1},
        {"HideEmail=0" + S + "SubscribeToMails=0" + S, 1, 0},
        {"HideEmail=2" + S + "SubscribeToMails=2" + S, 1, 0},
        {"HideEmail=" + S + "SubscribeToMails=" + S, 1, 0},
    };
    for (const Case& c : cases) {
        ProfileReply r = ParseProfileExReply(base + c.extra, url);
        ASSERT_EQ(r.status, kStatusSuccess) << c.extra;
        EXPECT_EQ(r.profile.showEmail, c.showEmail) << c.extra;
        EXPECT_EQ(r.profile.SubscribeToMails, c.subscribe) << c.extra;
        EXPECT_EQ(r.profile.Company, "C");
    }
    ProfileReply missing = ParseProfileExReply("Success" + S + "NickName=Bob" + S, url);
    EXPECT_EQ(missing.status, kStatusFailure);
    EXPECT_EQ(missing.error, reply::kDatabaseConnectionMessage);
}

}  // namespace
}  // namespace qv
