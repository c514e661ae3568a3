#include "directory/NewAccountForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"
#include "support/ClientRig.h"
#include "support/RecordingScreen.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

const char* const kCreated =
    "Your Quorvane account was successfully created.\r\n\r\nYou should receive an Email in a few "
    "minutes that contains your new Quorvane Number along with an automatically generated "
    "password.\r\n\r\nOnce you have logged into Quorvane with your new account, you may change "
    "your password from the \"Tools\\Options\\Personal Info\" menu.";

class RecordingView final : public NewAccountForm::View {
  public:
    void SetStatusText(const std::string& text) override { statuses.push_back(text); }
    void SetOkEnabled(bool enabled) override { okStates.push_back(enabled); }
    void ShowFields(const NewAccountForm::Fields& fields) override { shown.push_back(fields); }
    void Close(int result) override { closed.push_back(result); }

    std::vector<std::string> statuses;
    std::vector<bool> okStates;
    std::vector<NewAccountForm::Fields> shown;
    std::vector<int> closed;
};

NewAccountForm::Fields Good() {
    NewAccountForm::Fields f;
    f.nickName = " Al ";
    f.email = "al@example.org ";
    f.firstName = "Al";
    f.lastName = "Smith";
    f.company = "A&B";
    f.comment = "hi";
    f.hideEmail = true;
    f.mailingsAccepted = true;
    return f;
}

class NewAccountFormTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(rig.Start(server.Host())); }

    test::TestHttpServer server;
    test::ClientRig rig;
    test::RecordingScreen screen;
    RecordingView view;
    std::unique_ptr<NewAccountForm> form =
        std::make_unique<NewAccountForm>(rig.client, screen, view, "http://status.example/");
};

TEST_F(NewAccountFormTest, FieldsAreCheckedInOrderAndNothingIsSentOnAFailure) {
    struct Case {
        void (*spoil)(NewAccountForm::Fields&);
        std::string text;
    };
    const std::vector<Case> cases = {
        {[](auto& f) { f.nickName.clear(); }, "Please enter all required fields!"},
        {[](auto& f) { f.email.clear(); }, "Please enter all required fields!"},
        {[](auto& f) { f.firstName.clear(); }, "Please enter all required fields!"},
        {[](auto& f) { f.lastName.clear(); }, "Please enter all required fields!"},
        {[](auto& f) { f.nickName = "12"; },
         "Your nickname contains only one letter, invalid characters, is too short, or is "
         "comprised of numbers only."},
        {[](auto& f) { f.firstName = "J."; },
         "Your first name contains invalid characters, is too short, or is comprised of numbers "
         "only."},
        {[](auto& f) { f.lastName = "X"; },
         "Your last name contains invalid characters, is too short, or is comprised of numbers "
         "only."},
        {[](auto& f) { f.email = "al@example"; },
         "The email address you have entered is not valid."},
        // The nickname is checked first.
        {[](auto& f) {
             f.nickName = "a.b";
             f.email = "bad";
         },
         "Your nickname contains only one letter, invalid characters, is too short, or is "
         "comprised of numbers only."},
    };
    for (const Case& c : cases) {
        screen.boxes.clear();
        NewAccountForm::Fields f = Good();
        c.spoil(f);
        EXPECT_FALSE(form->Submit(f));
        ASSERT_EQ(screen.boxes.size(), 1u);
        EXPECT_EQ(screen.boxes[0].text, c.text);
        EXPECT_EQ(screen.boxes[0].caption, "Error");
        EXPECT_EQ(screen.boxes[0].style, mb::kOk | mb::kIconExclamation);
    }
    EXPECT_TRUE(view.statuses.empty());
    EXPECT_EQ(server.Count("RegisterEx"), 0u);
}

TEST_F(NewAccountFormTest, PassingFieldsComeBackTrimmed) {
    NewAccountForm::Fields f = Good();
    f.email = " bad ";
    EXPECT_FALSE(form->Submit(f));
    EXPECT_EQ(f.nickName, "Al");       // passed: trimmed and shown
    EXPECT_EQ(f.email, " bad ");       // failed: left as typed
    ASSERT_EQ(view.shown.size(), 3u);  // after the nickname, first and last name
    EXPECT_EQ(view.shown.back().nickName, "Al");
}

TEST_F(NewAccountFormTest, ACreatedAccountIsAnnouncedAndTheDialogCloses) {
    server.Answer("RegisterEx", "Success" + S + "LoginId=1001" + S + "Password=pw" + S);
    NewAccountForm::Fields f = Good();
    ASSERT_TRUE(form->Submit(f));
    EXPECT_EQ(view.statuses, std::vector<std::string>{"Accessing Database...Please Wait."});
    EXPECT_EQ(view.okStates, std::vector<bool>{false});
    EXPECT_TRUE(form->Waiting());
    ASSERT_TRUE(rig.DriveUntil([&] { return !view.closed.empty(); }));
    EXPECT_EQ(view.closed, std::vector<int>{1});
    EXPECT_EQ(view.statuses.back(), "");
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kCreated);
    EXPECT_EQ(screen.boxes[0].caption, "Account Created");
    EXPECT_EQ(screen.boxes[0].style, mb::kOk | mb::kIconInformation);
    EXPECT_EQ(server.PageRequests()[0].target,
              "/Quorvane/RegisterEx.asp?NickName=Al&Password=&FirstName=Al&LastName=Smith"
              "&Email1=al%40example%2Eorg&Company=A%26B&Comment=hi&HideEmail=1&PartnerId=1"
              "&SendMailsOK=1");
}

TEST_F(NewAccountFormTest, AFailureShowsTheServiceTextAndEnablesOkAgain) {
    server.Answer("RegisterEx", "Fail" + S + "NickName already exists");
    NewAccountForm::Fields f = Good();
    ASSERT_TRUE(form->Submit(f));
    ASSERT_TRUE(rig.DriveUntil([&] { return !screen.boxes.empty(); }));
    EXPECT_EQ(screen.boxes[0].text, "NickName already exists");
    EXPECT_EQ(screen.boxes[0].caption, "Account creation failed...");
    EXPECT_EQ(screen.boxes[0].style, mb::kOk);
    EXPECT_EQ(view.okStates, (std::vector<bool>{false, true}));
    EXPECT_TRUE(view.closed.empty());
    EXPECT_FALSE(form->Waiting());
}

TEST_F(NewAccountFormTest, NamedStatusesHaveTheirOwnTexts) {
    EXPECT_EQ(form->FailureText("x", -3),
              "Velmora is not accepting any more accounts at this time.  Try again in a few days,"
              "   or go to http://status.example/ for more information.");
    EXPECT_EQ(form->FailureText("x", -4),
              "The alias you have selected is already taken by another Quorvane user.  Please "
              "select a different one.");
    EXPECT_EQ(form->FailureText("Server says no", -1), "Server says no");
}

TEST_F(NewAccountFormTest, AReplyForAClosedDialogChangesNothing) {
    server.Answer("RegisterEx", "Success" + S);
    NewAccountForm::Fields f = Good();
    ASSERT_TRUE(form->Submit(f));
    form.reset();  // the dialog is gone
    ASSERT_TRUE(rig.DriveUntil([&] { return server.Count("RegisterEx") == 1; }));
    ASSERT_TRUE(rig.DriveUntil([&] {
        DirectoryClient::QueueSizes s = rig.client.Sizes();
        return s.ready + s.inFlight + s.completed == 0;
    }));
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_TRUE(view.closed.empty());
}

TEST(NewAccountFormNotOpenTest, ARegistrationThatCannotBeSentIsReportedAtOnce) {
    test::ClientRig rig;
    test::RecordingScreen screen;
    RecordingView view;
    NewAccountForm form(rig.client, screen, view);
    NewAccountForm::Fields f = Good();
    form.Submit(f);
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kNotConnectedMessage);
    EXPECT_EQ(screen.boxes[0].caption, "Account creation failed...");
    EXPECT_EQ(view.okStates, (std::vector<bool>{false, true}));
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"Accessing Database...Please Wait.", ""}));
    EXPECT_FALSE(form.Waiting());
}

}  // namespace
}  // namespace qv
