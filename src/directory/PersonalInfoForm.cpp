#include "directory/PersonalInfoForm.h"

#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/FieldChecks.h"
#include "platform/Screen.h"
#include "platform/Trace.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"

namespace qv {

namespace {

std::string ReadText(const RegistryKey& key, const char* name) {
    std::string value;
    key.GetString(name, value);
    return value;
}

bool ReadFlag(const RegistryKey& key, const char* name) {
    std::uint32_t value = 1;
    key.GetDword(name, value);
    return value != 0;
}

std::string Trimmed(std::string text) {
    TrimInPlace(text);
    return text;
}

}  // namespace

PersonalInfoForm::PersonalInfoForm(DirectoryClient& client, RegistryKey& loginKey, Screen& screen)
    : client_(client), loginKey_(loginKey), screen_(screen) {}

PersonalInfoForm::~PersonalInfoForm() {
    client_.Cancel(this);
}

void PersonalInfoForm::Load() {
    // "Nickname" and "NickName" are one value: names do not depend on letter case.
    stored_.nickName = ReadText(loginKey_, "Nickname");
    stored_.firstName = ReadText(loginKey_, login_key::kFirstName);
    stored_.lastName = ReadText(loginKey_, login_key::kLastName);
    stored_.email = ReadText(loginKey_, login_key::kEmail);
    stored_.company = ReadText(loginKey_, login_key::kCompany);
    stored_.comment = ReadText(loginKey_, login_key::kComment);
    stored_.password = login_key::DecodePassword(ReadText(loginKey_, login_key::kPassword));
    stored_.emailPublic = ReadFlag(loginKey_, login_key::kEmailPublic);
    stored_.allowSpam = ReadFlag(loginKey_, login_key::kAllowSpam);
    page = stored_;
    confirmPassword = stored_.password;
    if (onValuesChanged) {
        onValuesChanged();
    }
}

void PersonalInfoForm::SetPartnerRules(const Customization::Values& customization,
                                       bool loginExtensionActive) {
    rules_ = customization;
    extensionActive_ = loginExtensionActive;
}

bool PersonalInfoForm::IsEditable(Field field) const {
    if (!extensionActive_) {
        return true;
    }
    switch (field) {
        case Field::NickName:
            return rules_.enableModifyNickName != 0;
        case Field::FirstName:
            return rules_.enableModifyFirstName != 0;
        case Field::LastName:
            return rules_.enableModifyLastName != 0;
        case Field::Email:
            return rules_.enableModifyEmail != 0;
        case Field::Company:
            return rules_.enableModifyCompany != 0;
        case Field::Comment:
            return rules_.enableModifyComment != 0;
        case Field::HideEmail:
            return rules_.enableModifyHideEmail != 0;
        case Field::AllowSpam:
            return rules_.enableModifyAllowSpam != 0;
    }
    return false;
}

void PersonalInfoForm::Notify(const std::string& text, bool warning) {
    screen_.MessageBox(text, kCaption,
                       mb::kOk | (warning ? mb::kIconExclamation : mb::kIconInformation));
}

void PersonalInfoForm::Status(const std::string& text) {
    if (onStatus) {
        onStatus(text);
    }
}

bool PersonalInfoForm::Apply() {
    Trace("PersonalInfoForm", "Apply");
    // What the page cannot change stays as stored.
    struct Locked {
        Field field;
        std::string Values::*text;
    };
    for (const Locked& l :
         {Locked{Field::NickName, &Values::nickName}, Locked{Field::FirstName, &Values::firstName},
          Locked{Field::LastName, &Values::lastName}, Locked{Field::Email, &Values::email},
          Locked{Field::Company, &Values::company}, Locked{Field::Comment, &Values::comment}}) {
        if (!IsEditable(l.field)) {
            page.*(l.text) = stored_.*(l.text);
        }
    }
    if (!IsEditable(Field::HideEmail)) {
        page.emailPublic = stored_.emailPublic;
    }
    if (!IsEditable(Field::AllowSpam)) {
        page.allowSpam = stored_.allowSpam;
    }

    if (page.password != confirmPassword) {
        Notify("Passwords do not match.", true);
        return false;
    }
    if (Trimmed(page.nickName).empty() || Trimmed(page.firstName).empty() ||
        Trimmed(page.lastName).empty() || Trimmed(page.email).empty()) {
        Notify("All fields marked '*' must be completed.", true);
        return false;
    }

    struct Check {
        Field field;
        std::string Values::*text;
        bool (*valid)(std::string&);
        const char* notice;
    };
    const Check checks[] = {
        {Field::NickName, &Values::nickName,
         [](std::string& t) { return CheckNickName(t) == kNameValid; },
         "Your nickname contains only one letter, one or more invalid characters or is too short "
         "and will not be changed."},
        {Field::FirstName, &Values::firstName,
         [](std::string& t) { return CheckName(t) == kNameValid; },
         "Your first name contains invalid characters or is too short and will not be changed."},
        {Field::LastName, &Values::lastName,
         [](std::string& t) { return CheckName(t) == kNameValid; },
         "Your last name contains invalid characters or is too short and will not be changed."},
        {Field::Email, &Values::email, [](std::string& t) { return CheckEmail(t); },
         "The new email address you have entered is not valid and will not be changed."},
    };
    for (const Check& check : checks) {
        if (!IsEditable(check.field)) {
            continue;
        }
        std::string text = page.*(check.text);
        if (check.valid(text)) {
            page.*(check.text) = std::move(text);
        } else {
            page.*(check.text) = stored_.*(check.text);
            Notify(check.notice, true);
        }
    }
    // The service takes an empty text as "leave it unchanged", so a cleared company or comment
    // would stay on the server while the copy here lost it: keep the stored one and say so.
    struct Keep {
        Field field;
        std::string Values::*text;
        const char* notice;
    };
    for (const Keep& keep :
         {Keep{Field::Company, &Values::company,
               "Your company cannot be removed from your account and will not be changed."},
          Keep{Field::Comment, &Values::comment,
               "Your comment cannot be removed from your account and will not be changed."}}) {
        if (IsEditable(keep.field) && (page.*(keep.text)).empty() &&
            !(stored_.*(keep.text)).empty()) {
            page.*(keep.text) = stored_.*(keep.text);
            Notify(keep.notice, true);
        }
    }
    if (onValuesChanged) {
        onValuesChanged();
    }

    UserProfile profile;
    profile.NickName = page.nickName;
    profile.Email1 = page.email;
    profile.FirstName = page.firstName;
    profile.LastName = page.lastName;
    profile.Company = page.company;
    profile.Comment = page.comment;
    profile.showEmail = page.emailPublic ? 1 : 0;
    profile.SubscribeToMails = page.allowSpam ? 1 : 0;

    Status("Accessing Database...Please wait.");
    ++waiting_;
    const Values sent = page;
    ModifyProfileEx(
        client_, profile, sent.password,
        [this, sent](const std::string& error, int status, RequestContext) {
            OnReply(sent, error, status);
        },
        this);
    return true;
}

void PersonalInfoForm::OnReply(const Values& sent, const std::string& error, int status) {
    if (waiting_ > 0) {
        --waiting_;
    }
    Status("");
    if (status != kStatusSuccess) {
        Notify("Account modify failed. " + error, true);
        return;
    }
    Values saved = sent;
    // An empty password was sent as "leave it": the stored one is still the account's.
    if (saved.password.empty()) {
        saved.password = stored_.password;
    }
    loginKey_.SetDword(login_key::kAllowSpam, saved.allowSpam ? 1 : 0);
    loginKey_.SetString(login_key::kNickName, saved.nickName);
    loginKey_.SetString(login_key::kFirstName, saved.firstName);
    loginKey_.SetString(login_key::kLastName, saved.lastName);
    loginKey_.SetString(login_key::kEmail, saved.email);
    loginKey_.SetString(login_key::kCompany, saved.company);
    loginKey_.SetString(login_key::kComment, saved.comment);
    loginKey_.SetDword(login_key::kEmailPublic, saved.emailPublic ? 1 : 0);
    loginKey_.SetString(login_key::kPassword, login_key::EncodePassword(saved.password));
    stored_ = saved;
    Notify(
        "Your account has been successfully updated.  You will need to disconnect and reconnect "
        "for the changes to take effect.",
        false);
}

}  // namespace qv
