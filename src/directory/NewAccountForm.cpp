#include "directory/NewAccountForm.h"

#include <new>

#include "directory/AccountRequests.h"
#include "directory/DirectoryStatus.h"
#include "directory/FieldChecks.h"
#include "platform/Screen.h"
#include "platform/Trace.h"

namespace qv {

namespace {

constexpr const char* kErrorCaption = "Error";

constexpr const char* kAccountCreated =
    "Your Quorvane account was successfully created.\r\n"
    "\r\n"
    "You should receive an Email in a few minutes that contains your new Quorvane Number along "
    "with an automatically generated password.\r\n"
    "\r\n"
    "Once you have logged into Quorvane with your new account, you may change your password from "
    "the \"Tools\\Options\\Personal Info\" menu.";

}  // namespace

NewAccountForm::NewAccountForm(DirectoryClient& client, Screen& screen, View& view,
                               std::string serviceStatusUrl)
    : client_(client),
      screen_(screen),
      view_(view),
      serviceStatusUrl_(std::move(serviceStatusUrl)) {}

NewAccountForm::~NewAccountForm() {
    Detach();
}

void NewAccountForm::Detach() {
    if (pending_) {
        pending_->form = nullptr;
        pending_.reset();
    }
}

void NewAccountForm::Warn(const std::string& text) {
    screen_.MessageBox(text, kErrorCaption, mb::kOk | mb::kIconExclamation);
}

bool NewAccountForm::Submit(Fields& fields) {
    Trace("NewAccountForm", "Submit");
    if (pending_) {
        return false;
    }
    if (fields.nickName.empty() || fields.email.empty() || fields.firstName.empty() ||
        fields.lastName.empty()) {
        Warn("Please enter all required fields!");
        return false;
    }
    struct Check {
        std::string* field;
        bool (*valid)(std::string&);
        const char* failure;
    };
    const Check checks[] = {
        {&fields.nickName, [](std::string& t) { return CheckNickName(t) == kNameValid; },
         "Your nickname contains only one letter, invalid characters, is too short, or is "
         "comprised of numbers only."},
        {&fields.firstName, [](std::string& t) { return CheckName(t) == kNameValid; },
         "Your first name contains invalid characters, is too short, or is comprised of numbers "
         "only."},
        {&fields.lastName, [](std::string& t) { return CheckName(t) == kNameValid; },
         "Your last name contains invalid characters, is too short, or is comprised of numbers "
         "only."},
        {&fields.email, [](std::string& t) { return CheckEmail(t); },
         "The email address you have entered is not valid."},
    };
    for (const Check& check : checks) {
        std::string text = *check.field;
        if (!check.valid(text)) {
            Warn(check.failure);
            return false;
        }
        *check.field = std::move(text);
        view_.ShowFields(fields);
    }

    UserProfile profile;
    profile.NickName = fields.nickName;
    profile.FirstName = fields.firstName;
    profile.LastName = fields.lastName;
    profile.Email1 = fields.email;
    profile.Company = fields.company;
    profile.Comment = fields.comment;
    profile.showEmail = fields.hideEmail ? 0 : 1;

    try {
        pending_ = std::make_shared<Guard>();
    } catch (const std::bad_alloc&) {
        screen_.MessageBox("Anable create new account! No system resources abailiable!",
                           kErrorCaption, mb::kOk | mb::kIconExclamation);
        return false;
    }
    pending_->form = this;
    view_.SetStatusText("Accessing Database...Please Wait.");
    view_.SetOkEnabled(false);
    std::shared_ptr<Guard> guard = pending_;
    RegisterEx(
        client_, profile, "", fields.mailingsAccepted,
        [guard](const std::string&, const std::string&, const std::string& error, int status,
                RequestContext) {
            if (guard->form != nullptr) {
                guard->form->OnReply(error, status);
            }
        },
        guard.get());
    return true;
}

std::string NewAccountForm::FailureText(const std::string& error, int status) const {
    switch (status) {
        case -3:
            return "Velmora is not accepting any more accounts at this time.  Try again in a few "
                   "days,   or go to " +
                   serviceStatusUrl_ + " for more information.";
        case -4:
            return "The alias you have selected is already taken by another Quorvane user.  "
                   "Please select a different one.";
        default:
            return error;
    }
}

void NewAccountForm::OnReply(const std::string& error, int status) {
    pending_.reset();
    view_.SetStatusText("");
    if (status == kStatusSuccess) {
        screen_.MessageBox(kAccountCreated, "Account Created", mb::kOk | mb::kIconInformation);
        view_.Close(1);
        return;
    }
    view_.SetOkEnabled(true);
    screen_.MessageBox(FailureText(error, status), "Account creation failed...", mb::kOk);
}

}  // namespace qv
