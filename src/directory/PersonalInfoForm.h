#pragma once

// The personal-information page of the options: the stored profile copy of the login key, the
// checks applied to what the user typed, and the profile change sent to the directory service.
// The options dialog shows its values and calls Apply.

#include <functional>
#include <string>

#include "settings/Customization.h"

namespace qv {

class DirectoryClient;
class RegistryKey;
class Screen;

class PersonalInfoForm {
  public:
    struct Values {
        std::string nickName;
        std::string firstName;
        std::string lastName;
        std::string email;
        std::string company;
        std::string comment;
        std::string password;  // as typed, not in its stored form
        bool emailPublic = true;
        bool allowSpam = true;
    };
    enum class Field {
        NickName,
        FirstName,
        LastName,
        Email,
        Company,
        Comment,
        HideEmail,
        AllowSpam
    };

    static constexpr const char* kCaption = "Quorvane";

    // loginKey is the open "Login" key.
    PersonalInfoForm(DirectoryClient& client, RegistryKey& loginKey, Screen& screen);
    // Drops a change still on its way.
    ~PersonalInfoForm();
    PersonalInfoForm(const PersonalInfoForm&) = delete;
    PersonalInfoForm& operator=(const PersonalInfoForm&) = delete;

    // Reads the stored copy; the page and the password confirmation start from it.
    void Load();
    // Which fields the page lets the user change: all, unless a login extension is active, which
    // leaves only those the partner's switches allow.
    void SetPartnerRules(const Customization::Values& customization, bool loginExtensionActive);
    bool IsEditable(Field field) const;

    // Checks the page and sends the change. False when nothing was sent because the passwords
    // differ or a required field is empty: the rest of the options' Apply stops then. A name or
    // address that fails its check goes back to its stored value, with a notice, and the rest is
    // sent.
    bool Apply();
    bool Waiting() const { return waiting_ > 0; }

    const Values& Stored() const { return stored_; }

    // What the page shows and edits.
    Values page;
    std::string confirmPassword;
    // The page's status line ("" clears it).
    std::function<void(const std::string& text)> onStatus;
    // The page values changed (trimmed, reset, saved): show them again.
    std::function<void()> onValuesChanged;

  private:
    void OnReply(const Values& sent, const std::string& error, int status);
    void Notify(const std::string& text, bool warning);
    void Status(const std::string& text);

    DirectoryClient& client_;
    RegistryKey& loginKey_;
    Screen& screen_;
    Values stored_;
    Customization::Values rules_;
    bool extensionActive_ = false;
    int waiting_ = 0;
};

}  // namespace qv
