// RegisterEx, ModifyProfileEx and ForgotPass against the running service.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "ServiceFixture.h"
#include "directory/ReplyGrammar.h"
#include "store/AccountStore.h"
#include "store/Schema.h"

namespace qv::dirsvc::test {
namespace {

using AccountPagesTest = ServiceFixture;

constexpr const char* kInvalidLogin = "Invalid userid or password";

TEST_F(AccountPagesTest, RegisterCreatesTheAccountAndMailsNumberAndPassword) {
    const std::string body = Body(RegisterTarget("Ann Lee", "ann@example.com"));
    ASSERT_TRUE(reply::IsSuccess(body)) << body;
    ASSERT_EQ(body.back(), '\xFF');
    const std::string number = reply::Field(body, "LoginId");
    const std::string password = reply::Field(body, "Password");
    EXPECT_EQ(number, std::to_string(Schema::kFirstNumber));
    EXPECT_EQ(password.size(), 10u);

    const auto mail = mailer_.Sent();
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].to, "ann@example.com");
    EXPECT_NE(mail[0].body.find("Your Quorvane Number is " + number + "."), std::string::npos);
    EXPECT_NE(mail[0].body.find("Your password is " + password + "\n"), std::string::npos);

    EXPECT_TRUE(reply::IsSuccess(Login(Schema::kFirstNumber, password)));
    EXPECT_EQ(reply::Number(reply::Field(Body(RegisterTarget("Bob", "b@example.com")), "LoginId")),
              Schema::kFirstNumber + 1);
}

TEST_F(AccountPagesTest, RegisterRefusesNicknamesTakenOrInvalid) {
    Register("Ann Lee");
    struct Case {
        std::string nick;
        std::string message;
    };
    const Case cases[] = {
        {"ann lee", "NickName already exists"},
        {"  Ann Lee  ", "NickName already exists"},  // trimmed like the client does
        {"A", "Invalid NickName"},
        {"12", "Invalid NickName"},
        {"John.Doe", "Invalid NickName"},
        {std::string(33, 'x'), "Invalid NickName"},
        {"CS Support", "Invalid NickName"},
        {"Quorvane Team", "Invalid NickName"},
        {"Bob'; DROP TABLE accounts; --", "Invalid NickName"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Body(RegisterTarget(c.nick, "x@example.com")), "Fail\xFF" + c.message) << c.nick;
    }
    EXPECT_EQ(mailer_.Sent().size(), 1u);
}

TEST_F(AccountPagesTest, RegisterChecksTheOtherFields) {
    struct Case {
        std::string email;
        std::string first;
        std::string message;
    };
    const Case cases[] = {
        {"not-an-address", "Ann", "The email address you have entered is not valid."},
        {"a@b.c,victim@d.e", "Ann", "The email address you have entered is not valid."},
        {"a@b.c\r\nBcc: x@y.z", "Ann", "The email address you have entered is not valid."},
        {"a@b.cd", "Ann\nBob", "Invalid FirstName"},
        {"a@b.cd", std::string(64, 'a'), "Invalid FirstName"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Body(RegisterTarget("Ann", c.email, c.first)), "Fail\xFF" + c.message)
            << c.email << " " << c.first;
    }
    EXPECT_TRUE(mailer_.Sent().empty());
}

TEST_F(AccountPagesTest, NoMailNoAccount) {
    mailer_.Refuse(true);
    const std::string body = Body(RegisterTarget("Ann", "ann@example.com"));
    EXPECT_FALSE(reply::IsSuccess(body));
    EXPECT_NE(body.find("could not be sent"), std::string::npos);
    mailer_.Refuse(false);
    // The nickname is free again; the number is never given to anyone else.
    const NewUser ann = Register("Ann");
    EXPECT_EQ(ann.number, Schema::kFirstNumber + 1);
}

TEST_F(AccountPagesTest, TheWelcomeMailFollowsTheCommit) {
    // At the moment of the mail, another connection already sees the account: the number in
    // the mail can no longer be lost or given to the next registrant.
    StoreStatus seen = StoreStatus::kError;
    mailer_.OnSend([&](const MailMessage&) {
        Account account;
        seen = service_->Accounts().Find(Schema::kFirstNumber, account);
    });
    Register("Ann");
    EXPECT_EQ(seen, StoreStatus::kOk);
}

TEST_F(AccountPagesTest, RegistrationsDoNotWaitForEachOther) {
    // The first registration's mail is held until a second, different one has been answered:
    // no lock is held over the hash and the mail.
    std::promise<void> secondDone;
    std::shared_future<void> released = secondDone.get_future().share();
    std::atomic<int> sends{0};
    std::atomic<bool> overlapped{false};
    mailer_.OnSend([&](const MailMessage&) {
        if (sends.fetch_add(1) == 0) {
            overlapped = released.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        }
    });
    std::thread first([&] { Body(RegisterTarget("Ann", "ann@example.com")); });
    while (sends.load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::string second = Body(RegisterTarget("Bob", "bob@example.com"));
    secondDone.set_value();
    first.join();
    EXPECT_TRUE(reply::IsSuccess(second)) << second;
    EXPECT_TRUE(overlapped);
}

class LimitedAccountPagesTest : public ServiceFixture {
  protected:
    void SetUp() override {
        ServiceOptions options = DefaultOptions();
        options.registrations = {2, 3600, 100};
        options.resetMails = {2, 3600, 100};
        StartService(options);
    }
};

TEST_F(LimitedAccountPagesTest, RegistrationsAreLimitedPerAddress) {
    const std::string first = RegisterTarget("Ann", "ann@example.com");
    ASSERT_TRUE(reply::IsSuccess(Body(first)));
    ASSERT_TRUE(reply::IsSuccess(Body(RegisterTarget("Bob", "bob@example.com"))));
    EXPECT_EQ(Body(RegisterTarget("Cy", "cy@example.com")),
              "Fail\xFFToo many new accounts were made from your address. Please try again "
              "later.");
    // A repeat of an answered request is no new registration.
    EXPECT_TRUE(reply::IsSuccess(Body(first)));
    // Another address has its own allowance.
    EXPECT_TRUE(reply::IsSuccess(BodyFrom("127.0.0.2", RegisterTarget("Cy", "cy@example.com"))));
    clock_.Advance(3600);
    EXPECT_TRUE(reply::IsSuccess(Body(RegisterTarget("Dee", "dee@example.com"))));
}

TEST_F(LimitedAccountPagesTest, PasswordMailsAreLimitedPerAddress) {
    std::vector<NewUser> users;
    for (const char* nick : {"Ann", "Bob"}) {
        users.push_back(Register(nick, std::string(nick) + "@example.com"));
    }
    const std::string cy = BodyFrom("127.0.0.3", RegisterTarget("Cy", "cy@example.com"));
    users.push_back(NewUser{reply::Number(reply::Field(cy, "LoginId")), ""});
    const auto forgot = [](const NewUser& user) {
        return "/Quorvane/ForgotPass.asp?LoginId=" + std::to_string(user.number);
    };
    EXPECT_EQ(Body(forgot(users[0])), "Success\xFF");
    EXPECT_EQ(Body(forgot(users[1])), "Success\xFF");
    EXPECT_EQ(Body(forgot(users[2])),
              "Fail\xFFToo many new passwords were asked for from your address. Please try "
              "again later.");
    EXPECT_EQ(BodyFrom("127.0.0.2", forgot(users[2])), "Success\xFF");
}

TEST_F(AccountPagesTest, ParallelPasswordRequestsMailOnce) {
    const NewUser ann = Register("Ann");
    const std::string forgot = "/Quorvane/ForgotPass.asp?LoginId=" + std::to_string(ann.number);
    // The first mail waits until the other requests have been answered.
    std::promise<void> othersDone;
    std::shared_future<void> released = othersDone.get_future().share();
    std::atomic<int> sends{0};
    mailer_.OnSend([&](const MailMessage&) {
        if (sends.fetch_add(1) == 0) {
            released.wait_for(std::chrono::seconds(20));
        }
    });
    std::string firstBody;
    std::thread first([&] { firstBody = Body(forgot); });
    while (sends.load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::vector<std::string> others(2);
    std::vector<std::thread> threads;
    for (std::string& body : others) {
        threads.emplace_back([&] { body = BodyFrom("127.0.0.2", forgot); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    othersDone.set_value();
    first.join();
    EXPECT_EQ(firstBody, "Success\xFF");
    for (const std::string& body : others) {
        EXPECT_EQ(body,
                  "Fail\xFF"
                  "A new password was e-mailed to you a few minutes ago. Please check "
                  "your mail.");
    }
    // The welcome mail and one new password.
    EXPECT_EQ(mailer_.Sent().size(), 2u);
}

TEST_F(AccountPagesTest, ANewPasswordEndsTheOtherLogins) {
    const NewUser ann = Register("Ann");
    const std::string older = Connect(ann);
    const std::string current = Connect(ann);
    const std::string profile =
        "/Quorvane/GetProfileEx.asp?LoginId=" + std::to_string(ann.number) + "&ConnectionID=";
    ASSERT_TRUE(reply::IsSuccess(Body(profile + older)));
    ASSERT_EQ(Body("/Quorvane/ModifyProfileEx.asp?ConnectionId=" + current +
                   "&Password=Secret99&NickName=__EMPTY__"),
              "Success\xFF");
    EXPECT_TRUE(reply::IsSuccess(Body(profile + current)));
    EXPECT_FALSE(reply::IsSuccess(Body(profile + older)));
    // A profile change without a new password ends nothing.
    const std::string another = Connect(NewUser{ann.number, "Secret99"});
    ASSERT_EQ(Body("/Quorvane/ModifyProfileEx.asp?ConnectionId=" + current + "&Company=Acme"),
              "Success\xFF");
    EXPECT_TRUE(reply::IsSuccess(Body(profile + another)));
}

TEST_F(AccountPagesTest, AUsedMailedPasswordEndsTheOtherLogins) {
    const NewUser ann = Register("Ann");
    const std::string older = Connect(ann);
    ASSERT_EQ(Body("/Quorvane/ForgotPass.asp?LoginId=" + std::to_string(ann.number)),
              "Success\xFF");
    const std::string text = mailer_.Sent().back().body;
    const std::string marker = "Your new password is ";
    ASSERT_NE(text.find(marker), std::string::npos) << text;
    const std::string mailed = text.substr(text.find(marker) + marker.size(), 10);
    const std::string profile =
        "/Quorvane/GetProfileEx.asp?LoginId=" + std::to_string(ann.number) + "&ConnectionID=";
    // Asking for a password ends nothing; using it does.
    ASSERT_TRUE(reply::IsSuccess(Body(profile + older)));
    const std::string login = Login(ann.number, mailed);
    ASSERT_TRUE(reply::IsSuccess(login)) << login;
    const std::string current = reply::Field(login, "ConnectId");
    EXPECT_TRUE(reply::IsSuccess(Body(profile + current)));
    EXPECT_FALSE(reply::IsSuccess(Body(profile + older)));
}

TEST_F(AccountPagesTest, MailAndDataFoldersArePrivate) {
    Register("Ann");
    const struct {
        std::string path;
        unsigned mode;
    } cases[] = {
        {folder_.File("mail"), 0700},
        {folder_.File("files"), 0700},
        {folder_.File("directory.db"), 0600},
        {folder_.File("directory.db-wal"), 0600},
    };
    for (const auto& c : cases) {
        struct stat info {};
        ASSERT_EQ(::stat(c.path.c_str(), &info), 0) << c.path;
        EXPECT_EQ(info.st_mode & 0777, c.mode) << c.path;
    }
}

TEST_F(AccountPagesTest, ARepeatedRegistrationGetsTheFirstReply) {
    const std::string target = RegisterTarget("Ann", "ann@example.com");
    const std::string first = Body(target);
    ASSERT_TRUE(reply::IsSuccess(first));
    EXPECT_EQ(Body(target), first);
    EXPECT_EQ(mailer_.Sent().size(), 1u);
    // Once the retry window is over it is an ordinary second attempt.
    clock_.Advance(121);
    EXPECT_EQ(Body(target), "Fail\xFFNickName already exists");
}

TEST_F(AccountPagesTest, ModifyProfileChangesFieldsAndLeavesMarkedOnesAlone) {
    const NewUser ann = Register("Ann");
    const std::string id = Connect(ann);
    ASSERT_FALSE(id.empty());
    const std::string kEmpty = "%5F%5FEMPTY%5F%5F";
    const std::string modify =
        "\\Quorvane\\ModifyProfileEx.asp?ConnectionId=" + id + "&NickName=Annie&Email1=" + kEmpty +
        "&HideEmail=1&SubscribeToMails=0&FirstName=" + kEmpty +
        "&LastName=Smith&Password=n3w%20pass&Company=" + kEmpty + "&Comment=Hi%20there";
    EXPECT_EQ(Body(modify), "Success\xFF");

    const std::string profile = Body("\\Quorvane\\GetProfileEx.asp?ConnectionID=" + id +
                                     "&LoginId=" + std::to_string(ann.number));
    EXPECT_EQ(profile,
              "Success\xFF"
              "NickName=Annie\xFF"
              "FirstName=Ann\xFF"
              "LastName=Smith\xFF"
              "Email1=ann@example.com\xFF"
              "Company=\xFF"
              "Comment=Hi there\xFF"
              "HideEmail=1\xFF"
              "SubscribeToMails=0\xFF");
    // The new password and nickname are what the next login sees.
    EXPECT_EQ(Login(ann.number, ann.password), std::string("Fail\xFF") + kInvalidLogin);
    const std::string login = Login(ann.number, "n3w pass");
    ASSERT_TRUE(reply::IsSuccess(login)) << login;
    EXPECT_EQ(reply::Field(login, "NickName"), "Annie");
    // A hidden address is not public.
    EXPECT_EQ(
        reply::Field(Body("/Quorvane/GetUserProfile.asp?LoginId=" + std::to_string(ann.number)),
                     "Email1"),
        "");
}

TEST_F(AccountPagesTest, ModifyProfileRefusals) {
    const NewUser ann = Register("Ann");
    Register("Bob", "bob@example.com");
    const std::string id = Connect(ann);
    const std::string base = "/Quorvane/ModifyProfileEx.asp?ConnectionId=";
    struct Case {
        std::string target;
        std::string message;
    };
    const Case cases[] = {
        {base + id + "&NickName=BOB", "NickName already exists"},
        {base + id + "&NickName=x", "Invalid NickName"},
        {base + id + "&Email1=nope", "The email address you have entered is not valid."},
        {base + id + "&HideEmail=2", "Invalid HideEmail"},
        {base + id + "&Comment=a%0Ab", "Invalid Comment"},
        {base + id + "&Password=a%00b", "Invalid Password"},
        {base + "0123456789abcdef0123456789abcdef&NickName=Zed",
         "Your connection to the directory has expired. Please log in again."},
        {base + "&NickName=Zed",
         "Your connection to the directory has expired. Please log in again."},
        {"/Quorvane/ModifyProfileEx.asp?NickName=Zed", "Missing parameter ConnectionId"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Body(c.target), "Fail\xFF" + c.message) << c.target;
    }
    // Nothing changed; the own nickname in another case is fine.
    EXPECT_EQ(Body(base + id + "&NickName=ANN"), "Success\xFF");
}

TEST_F(AccountPagesTest, ForgotPassMailsANewPasswordThatWorksBesideTheOld) {
    const NewUser ann = Register("Ann");
    const std::string forgot = "\\Quorvane\\ForgotPass.asp?LoginId=" + std::to_string(ann.number);
    EXPECT_EQ(Body(forgot), "Success\xFF");
    const auto mail = mailer_.Sent();
    ASSERT_EQ(mail.size(), 2u);
    const std::string& text = mail[1].body;
    const std::string marker = "Your new password is ";
    const size_t at = text.find(marker);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string mailed = text.substr(at + marker.size(), 10);
    EXPECT_NE(text.find(std::to_string(ann.number)), std::string::npos);

    // Asking again at once sends nothing more.
    EXPECT_FALSE(reply::IsSuccess(Body(forgot)));
    EXPECT_EQ(mailer_.Sent().size(), 2u);

    // A stranger's request locks nobody out: the old password still works...
    EXPECT_TRUE(reply::IsSuccess(Login(ann.number, ann.password)));
    // ...and the mailed one becomes the password once used.
    EXPECT_TRUE(reply::IsSuccess(Login(ann.number, mailed)));
    EXPECT_FALSE(reply::IsSuccess(Login(ann.number, ann.password)));
    EXPECT_TRUE(reply::IsSuccess(Login(ann.number, mailed)));
}

TEST_F(AccountPagesTest, AMailedPasswordExpires) {
    const NewUser ann = Register("Ann");
    ASSERT_EQ(Body("/Quorvane/ForgotPass.asp?LoginId=" + std::to_string(ann.number)),
              "Success\xFF");
    const std::string text = mailer_.Sent().back().body;
    const std::string mailed = text.substr(text.find("is ", text.find("new password")) + 3, 10);
    clock_.Advance(3 * 24 * 3600 + 1);
    EXPECT_FALSE(reply::IsSuccess(Login(ann.number, mailed)));
    EXPECT_TRUE(reply::IsSuccess(Login(ann.number, ann.password)));
}

TEST_F(AccountPagesTest, ForgotPassRefusals) {
    EXPECT_EQ(Body("/Quorvane/ForgotPass.asp?LoginId=1000000"), "Fail\xFFUser not found");
    EXPECT_EQ(Body("/Quorvane/ForgotPass.asp?LoginId=abc"), "Fail\xFFInvalid LoginId");
    EXPECT_EQ(Body("/Quorvane/ForgotPass.asp"), "Fail\xFFMissing parameter LoginId");
    const NewUser ann = Register("Ann");
    mailer_.Refuse(true);
    const std::string body = Body("/Quorvane/ForgotPass.asp?LoginId=" + std::to_string(ann.number));
    EXPECT_NE(body.find("could not be sent"), std::string::npos) << body;
    mailer_.Refuse(false);
    // Nothing was stored for the mail that did not go out, so a new request is not "too soon".
    EXPECT_EQ(Body("/Quorvane/ForgotPass.asp?LoginId=" + std::to_string(ann.number)),
              "Success\xFF");
}

}  // namespace
}  // namespace qv::dirsvc::test
