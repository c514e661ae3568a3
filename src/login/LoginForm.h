#pragma once

// What the Login dialog does: logs in with a Quorvane Number and password, reads the profile,
// stores it as the login and sets the user up; mails a forgotten password. The dialog shows the
// status text and closes when Finished says so.

#include <functional>
#include <string>

namespace qv {

class DirectoryClient;
class RegistryKey;
class Screen;
class Session;
class SessionSubsystems;
class SystemNotices;
struct UserProfile;

class LoginForm {
  public:
    static constexpr const char* kAccessing = "Accessing Database...Please Wait.";

    LoginForm(DirectoryClient* directory, RegistryKey& loginKey, Session& session,
              SessionSubsystems& subsystems, SystemNotices& notices, Screen& screen);
    ~LoginForm();
    LoginForm(const LoginForm&) = delete;
    LoginForm& operator=(const LoginForm&) = delete;

    // The Login button. False when nothing was sent (empty number).
    bool Login(const std::string& number, const std::string& password);
    // The Forgot Password button, after its question.
    bool ForgotPassword(const std::string& number);

    bool Busy() const { return busy_; }

    // Status line text; the dialog shows it.
    std::function<void(const std::string& text)> onStatus;
    // Busy on or off (the dialog disables its buttons while busy).
    std::function<void(bool busy)> onBusy;
    // Logged in: the dialog closes with OK.
    std::function<void()> onLoggedIn;

  private:
    void SetBusy(bool busy);
    void Fail(const std::string& error);
    void StoreProfile(const UserProfile& profile);

    DirectoryClient* directory_;
    RegistryKey& loginKey_;
    Session& session_;
    SessionSubsystems& subsystems_;
    SystemNotices& notices_;
    Screen& screen_;
    bool busy_ = false;
    std::string number_;
    std::string password_;
    long contactListVersion_ = 0;
    long blockListVersion_ = 0;
    long partnerListVersion_ = 0;
};

}  // namespace qv
