#include "directory/PersonalInfoForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"
#include "platform/Registry.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"
#include "support/ClientRig.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

const char* const kUpdated =
    "Your account has been successfully updated.  You will need to disconnect and reconnect for "
    "the changes to take effect.";

class PersonalInfoFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(loginKey.OpenProduct(login_key::kSubkey));
        loginKey.SetString("Nickname", "Bob");
        loginKey.SetString(login_key::kFirstName, "Robert");
        loginKey.SetString(login_key::kLastName, "Smith");
        loginKey.SetString(login_key::kEmail, "bob@x.org");
        loginKey.SetString(login_key::kCompany, "Acme");
        loginKey.SetString(login_key::kComment, "hello");
        loginKey.SetString(login_key::kPassword, login_key::EncodePassword("secret"));
        loginKey.SetDword(login_key::kEmailPublic, 0);
        loginKey.SetDword(login_key::kAllowSpam, 1);
        server.Answer("LoginEx2", "Success" + S + "ConnectId=c9" + S + "ContactListVer=1" + S +
                                      "BlockListVer=1" + S + "PartnerListVer=1" + S +
                                      "PartnerParamsVer=1" + S + "NickName=Bob" + S);
        ASSERT_TRUE(rig.Start(server.Host()));
        form->onStatus = [this](const std::string& s) { statuses.push_back(s); };
        form->Load();
    }

    std::string Stored(const char* name) {
        std::string value;
        loginKey.GetString(name, value);
        return value;
    }
    std::uint32_t StoredFlag(const char* name) {
        std::uint32_t value = 99;
        loginKey.GetDword(name, value);
        return value;
    }
    // The query of the last profile change sent.
    std::string SentQuery() {
        std::string query = "(not sent)";
        for (const auto& r : server.PageRequests()) {
            if (r.page == "ModifyProfileEx") {
                query = r.target.substr(r.target.find('?') + 1);
            }
        }
        return query;
    }
    void ApplyAndWait() {
        ASSERT_TRUE(form->Apply());
        ASSERT_TRUE(rig.DriveUntil([&] { return !form->Waiting(); }));
    }

    test::TempFolder folder;
    Registry registry{folder.Path() + "registry/"};
    RegistryKey loginKey{registry};
    test::TestHttpServer server;
    test::ClientRig rig;
    test::RecordingScreen screen;
    std::vector<std::string> statuses;
    std::unique_ptr<PersonalInfoForm> form =
        std::make_unique<PersonalInfoForm>(rig.client, loginKey, screen);
};

TEST_F(PersonalInfoFormTest, LoadsTheStoredCopy) {
    const PersonalInfoForm::Values& v = form->page;
    EXPECT_EQ(v.nickName, "Bob");
    EXPECT_EQ(v.firstName, "Robert");
    EXPECT_EQ(v.email, "bob@x.org");
    EXPECT_EQ(v.company, "Acme");
    EXPECT_EQ(v.password, "secret");
    EXPECT_EQ(form->confirmPassword, "secret");
    EXPECT_FALSE(v.emailPublic);
    EXPECT_TRUE(v.allowSpam);
}

TEST_F(PersonalInfoFormTest, NothingIsSentWhenPasswordsDifferOrARequiredFieldIsEmpty) {
    form->page.password = "new1";
    form->confirmPassword = "new2";
    EXPECT_FALSE(form->Apply());
    form->confirmPassword = "new1";
    form->page.lastName = "  ";
    EXPECT_FALSE(form->Apply());
    ASSERT_EQ(screen.boxes.size(), 2u);
    EXPECT_EQ(screen.boxes[0].text, "Passwords do not match.");
    EXPECT_EQ(screen.boxes[1].text, "All fields marked '*' must be completed.");
    EXPECT_EQ(screen.boxes[1].caption, PersonalInfoForm::kCaption);
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(rig.client.Sizes().ready, 0u);
}

TEST_F(PersonalInfoFormTest, AChangeIsSentAndSavedWhenTheServiceTakesIt) {
    ASSERT_TRUE(LoginEx2(rig.client, "5", "secret", nullptr, nullptr));
    form->page.nickName = " Bobby ";
    form->page.company = "Velmora";
    form->page.password = "n3w";
    form->confirmPassword = "n3w";
    form->page.emailPublic = true;
    form->page.allowSpam = false;
    ApplyAndWait();
    EXPECT_EQ(statuses, (std::vector<std::string>{"Accessing Database...Please wait.", ""}));
    EXPECT_EQ(SentQuery(),
              "ConnectionId=c9&NickName=Bobby&Email1=bob%40x%2Eorg&HideEmail=0"
              "&SubscribeToMails=0&FirstName=Robert&LastName=Smith&Password=n3w"
              "&Company=Velmora&Comment=hello");
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kUpdated);
    EXPECT_EQ(screen.boxes[0].style, mb::kOk | mb::kIconInformation);
    EXPECT_EQ(Stored(login_key::kNickName), "Bobby");
    EXPECT_EQ(Stored(login_key::kCompany), "Velmora");
    EXPECT_EQ(login_key::DecodePassword(Stored(login_key::kPassword)), "n3w");
    EXPECT_EQ(StoredFlag(login_key::kEmailPublic), 1u);
    EXPECT_EQ(StoredFlag(login_key::kAllowSpam), 0u);
    EXPECT_EQ(form->Stored().nickName, "Bobby");
}

TEST_F(PersonalInfoFormTest, ClearingCompanyOrCommentKeepsWhatTheServiceKeeps) {
    ASSERT_TRUE(LoginEx2(rig.client, "5", "secret", nullptr, nullptr));
    struct Row {
        std::string PersonalInfoForm::Values::*text;
        const char* key;
        const char* stored;
        const char* notice;
    };
    const Row rows[] = {
        {&PersonalInfoForm::Values::company, login_key::kCompany, "Acme",
         "Your company cannot be removed from your account and will not be changed."},
        {&PersonalInfoForm::Values::comment, login_key::kComment, "hello",
         "Your comment cannot be removed from your account and will not be changed."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        screen.boxes.clear();
        form->Load();
        form->page.*(row.text) = "";
        ApplyAndWait();
        // What the service keeps (an empty text means "unchanged" to it) is what we keep.
        EXPECT_NE(
            SentQuery().find(std::string(row.key == login_key::kCompany ? "Company=" : "Comment=") +
                             row.stored),
            std::string::npos);
        EXPECT_EQ(Stored(row.key), row.stored);
        EXPECT_EQ(form->page.*(row.text), row.stored);
        ASSERT_EQ(screen.boxes.size(), 2u);
        EXPECT_EQ(screen.boxes[0].text, row.notice);
        EXPECT_EQ(screen.boxes[0].style, mb::kOk | mb::kIconExclamation);
        EXPECT_EQ(screen.boxes[1].text, kUpdated);
    }
    // Empty before and empty now: nothing to tell, both sides stay empty.
    loginKey.SetString(login_key::kCompany, "");
    screen.boxes.clear();
    form->Load();
    ApplyAndWait();
    EXPECT_NE(SentQuery().find("Company=%5F%5FEMPTY%5F%5F"), std::string::npos);
    EXPECT_EQ(Stored(login_key::kCompany), "");
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kUpdated);
}

TEST_F(PersonalInfoFormTest, AFieldThatFailsItsCheckKeepsItsStoredValue) {
    ASSERT_TRUE(LoginEx2(rig.client, "5", "secret", nullptr, nullptr));
    form->page.nickName = "B.b";
    form->page.firstName = "R";
    form->page.lastName = "Sm|th";
    form->page.email = "nope";
    form->page.comment = "changed";
    ApplyAndWait();
    ASSERT_EQ(screen.boxes.size(), 5u);
    EXPECT_EQ(screen.boxes[0].text,
              "Your nickname contains only one letter, one or more invalid characters or is too "
              "short and will not be changed.");
    EXPECT_EQ(screen.boxes[1].text,
              "Your first name contains invalid characters or is too short and will not be "
              "changed.");
    EXPECT_EQ(screen.boxes[2].text,
              "Your last name contains invalid characters or is too short and will not be "
              "changed.");
    EXPECT_EQ(screen.boxes[3].text,
              "The new email address you have entered is not valid and will not be changed.");
    EXPECT_EQ(screen.boxes[4].text, kUpdated);
    EXPECT_EQ(form->page.nickName, "Bob");
    EXPECT_EQ(form->page.email, "bob@x.org");
    EXPECT_EQ(Stored(login_key::kComment), "changed");
    EXPECT_EQ(Stored(login_key::kNickName), "Bob");
}

TEST_F(PersonalInfoFormTest, AFailureIsShownAndNothingIsSaved) {
    server.Answer("ModifyProfileEx", "Fail" + S + "Nickname taken");
    ASSERT_TRUE(LoginEx2(rig.client, "5", "secret", nullptr, nullptr));
    form->page.nickName = "Other";
    ApplyAndWait();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, "Account modify failed. Nickname taken");
    EXPECT_EQ(Stored(login_key::kNickName), "Bob");
}

TEST_F(PersonalInfoFormTest, AnEmptyPasswordLeavesTheStoredOne) {
    ASSERT_TRUE(LoginEx2(rig.client, "5", "secret", nullptr, nullptr));
    form->page.password.clear();
    form->confirmPassword.clear();
    ApplyAndWait();
    EXPECT_NE(SentQuery().find("&Password=%5F%5FEMPTY%5F%5F&"), std::string::npos);
    EXPECT_EQ(login_key::DecodePassword(Stored(login_key::kPassword)), "secret");
}

TEST_F(PersonalInfoFormTest, WithALoginExtensionOnlyAllowedFieldsChange) {
    Customization::Values rules;
    rules.enableModifyComment = 1;
    form->SetPartnerRules(rules, true);
    EXPECT_FALSE(form->IsEditable(PersonalInfoForm::Field::NickName));
    EXPECT_TRUE(form->IsEditable(PersonalInfoForm::Field::Comment));
    ASSERT_TRUE(LoginEx2(rig.client, "5", "secret", nullptr, nullptr));
    form->page.nickName = "x.y";  // locked: neither checked nor sent
    form->page.comment = "new";
    form->page.emailPublic = true;
    ApplyAndWait();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kUpdated);
    EXPECT_NE(SentQuery().find("NickName=Bob&"), std::string::npos);
    EXPECT_NE(SentQuery().find("HideEmail=1&"), std::string::npos);
    EXPECT_EQ(Stored(login_key::kComment), "new");

    form->SetPartnerRules(rules, false);  // no extension: everything may change
    EXPECT_TRUE(form->IsEditable(PersonalInfoForm::Field::NickName));
}

TEST_F(PersonalInfoFormTest, AChangeStillOnItsWayIsDroppedWithThePage) {
    ASSERT_TRUE(LoginEx2(rig.client, "5", "secret", nullptr, nullptr));
    form->page.comment = "late";
    ASSERT_TRUE(form->Apply());
    form.reset();
    ASSERT_TRUE(rig.DriveUntil([&] {
        DirectoryClient::QueueSizes s = rig.client.Sizes();
        return s.held + s.ready + s.inFlight + s.completed == 0;
    }));
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_EQ(Stored(login_key::kComment), "hello");
}

}  // namespace
}  // namespace qv
