#include "login/LoginForm.h"

#include <cstdlib>
#include <ctime>

#include "app/StringTable.h"
#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/UserProfile.h"
#include "login/Session.h"
#include "login/SessionSubsystems.h"
#include "messaging/SystemNotices.h"
#include "platform/Screen.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"

namespace qv {

namespace {

constexpr const char* kForgotQuestion =
    "Quorvane will automatically send an email to the address that was entered\r\nwhen the "
    "account was created. Proceed?";

std::uint32_t Now() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

}  // namespace

LoginForm::LoginForm(DirectoryClient* directory, RegistryKey& loginKey, Session& session,
                     SessionSubsystems& subsystems, SystemNotices& notices, Screen& screen)
    : directory_(directory),
      loginKey_(loginKey),
      session_(session),
      subsystems_(subsystems),
      notices_(notices),
      screen_(screen) {}

LoginForm::~LoginForm() {
    // No reply may reach a closed dialog.
    if (directory_ != nullptr) {
        directory_->Cancel(this);
    }
}

void LoginForm::SetBusy(bool busy) {
    busy_ = busy;
    if (onBusy) {
        onBusy(busy);
    }
}

void LoginForm::Fail(const std::string& error) {
    SetBusy(false);
    if (onStatus) {
        onStatus("");
    }
    notices_.AddSystemNotice(error, true, Now());
}

bool LoginForm::Login(const std::string& number, const std::string& password) {
    if (busy_ || number.empty()) {
        return false;
    }
    if (directory_ == nullptr) {
        Fail(std::string(LoadString(str::kNotConnectedToDatabase)));
        return false;
    }
    number_ = number;
    password_ = password;
    SetBusy(true);
    if (onStatus) {
        onStatus(kAccessing);
    }
    LoginEx2(
        *directory_, number, password,
        [this](const std::string& text, const std::string&, long contacts, long blocks,
               long partners, long, int status, RequestContext) {
            if (status != 1) {
                Fail(text);
                return;
            }
            // Kept until the user is set up: the stores still point at the previous user.
            contactListVersion_ = contacts;
            blockListVersion_ = blocks;
            partnerListVersion_ = partners;
            subsystems_.RequestPartnerParameters();
            GetProfileEx(
                *directory_, number_,
                [this](const UserProfile* profile, const std::string& error, int profileStatus,
                       RequestContext) {
                    if (profileStatus != 1 || profile == nullptr) {
                        Fail(error);
                        return;
                    }
                    StoreProfile(*profile);
                    SetBusy(false);
                    if (onLoggedIn) {
                        onLoggedIn();
                    }
                },
                this);
        },
        this);
    return true;
}

void LoginForm::StoreProfile(const UserProfile& profile) {
    std::uint32_t id = static_cast<std::uint32_t>(std::strtoul(number_.c_str(), nullptr, 10));
    loginKey_.SetString(login_key::kNickName, profile.NickName);
    loginKey_.SetDword(login_key::kQuorvaneId, id);
    loginKey_.SetString(login_key::kPassword, login_key::EncodePassword(password_));
    loginKey_.SetString(login_key::kFirstName, profile.FirstName);
    loginKey_.SetString(login_key::kLastName, profile.LastName);
    loginKey_.SetString(login_key::kEmail, profile.Email1);
    loginKey_.SetString(login_key::kCompany, profile.Company);
    loginKey_.SetString(login_key::kComment, profile.Comment);
    loginKey_.SetDword(login_key::kEmailPublic, profile.showEmail != 0 ? 1 : 0);
    loginKey_.SetDword(login_key::kAllowSpam, profile.SubscribeToMails != 0 ? 1 : 0);
    subsystems_.RefreshUserWindows();
    // Points the stores at this user (a user already set up keeps them)...
    session_.SetUpUser(id);
    // ...so the versions of this login reach the right lists.
    subsystems_.ContactListVersion(contactListVersion_);
    subsystems_.BlockListVersion(blockListVersion_);
    subsystems_.PartnerListVersion(partnerListVersion_);
}

bool LoginForm::ForgotPassword(const std::string& number) {
    if (busy_ || number.empty()) {
        return false;
    }
    if (screen_.MessageBox(kForgotQuestion, "Password Reminder", mb::kYesNo | mb::kIconQuestion) !=
        mb::kIdYes) {
        return false;
    }
    if (directory_ == nullptr) {
        Fail(std::string(LoadString(str::kNotConnectedToDatabase)));
        return false;
    }
    number_ = number;
    SetBusy(true);
    if (onStatus) {
        onStatus(kAccessing);
    }
    ForgotPass(
        *directory_, number,
        [this](const std::string& error, int status, RequestContext) {
            if (status != 1) {
                Fail(error);
                return;
            }
            SetBusy(false);
            if (onStatus) {
                onStatus("");
            }
            notices_.AddSystemNotice(
                "A new password has been sent to the e-mail address of Quorvane Number " + number_ +
                    ".",
                true, Now());
        },
        this);
    return true;
}

}  // namespace qv
