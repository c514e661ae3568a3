#include "pages/AccountMail.h"

#include "store/Account.h"

namespace qv::dirsvc {

namespace {

std::string Greeting(const Profile& profile) {
    const std::string& name = profile.firstName.empty() ? profile.nickName : profile.firstName;
    return "Hello " + name + ",\n\n";
}

}  // namespace

MailMessage AccountMail::Welcome(std::int64_t number, const std::string& password,
                                 const Profile& profile) {
    MailMessage mail;
    mail.to = profile.email1;
    mail.subject = "Your new Quorvane account";
    mail.body = Greeting(profile) +
                "Welcome to Quorvane! Your account has been created.\n\n"
                "Your Quorvane Number is " +
                std::to_string(number) + ".\nYour password is " + password + "\nYour nickname is " +
                profile.nickName +
                ".\n\n"
                "Log in to Quorvane with your Quorvane Number and this password. Once you are "
                "logged in, you can change your password from the \"Tools\\Options\\Personal "
                "Info\" menu.\n\n"
                "The Quorvane team\n";
    return mail;
}

MailMessage AccountMail::NewPassword(std::int64_t number, const std::string& password,
                                     const Profile& profile, std::int64_t validDays) {
    MailMessage mail;
    mail.to = profile.email1;
    mail.subject = "Your new Quorvane password";
    mail.body = Greeting(profile) +
                "A new password was requested for your Quorvane account.\n\n"
                "Your Quorvane Number is " +
                std::to_string(number) + ".\nYour new password is " + password +
                "\n\n"
                "Log in with this password within " +
                std::to_string(validDays) +
                " days to make it your password. Until then your old password keeps working, so "
                "if you did not ask for a new password you can ignore this message.\n\n"
                "The Quorvane team\n";
    return mail;
}

}  // namespace qv::dirsvc
