#pragma once

// What the new-account dialog does with its OK button: checks the fields, sends the
// registration and reports the answer, unless the dialog is gone by then.

#include <memory>
#include <string>

namespace qv {

class DirectoryClient;
class Screen;

class NewAccountForm {
  public:
    struct Fields {
        std::string nickName;
        std::string email;
        std::string firstName;
        std::string lastName;
        std::string company;
        std::string comment;
        bool hideEmail = false;
        bool mailingsAccepted = false;
    };

    // The dialog's side.
    class View {
      public:
        virtual ~View() = default;
        virtual void SetStatusText(const std::string& text) = 0;
        virtual void SetOkEnabled(bool enabled) = 0;
        // The fields as the form left them (checked texts come back trimmed).
        virtual void ShowFields(const Fields& fields) = 0;
        virtual void Close(int result) = 0;
    };

    static constexpr const char* kDefaultServiceStatusUrl = "http://www.quorvane.com/status.html";

    NewAccountForm(DirectoryClient& client, Screen& screen, View& view,
                   std::string serviceStatusUrl = kDefaultServiceStatusUrl);
    // A reply that arrives later finds the form gone and changes nothing.
    ~NewAccountForm();
    NewAccountForm(const NewAccountForm&) = delete;
    NewAccountForm& operator=(const NewAccountForm&) = delete;

    // The OK button. True when the registration went out (or failed at once and was reported).
    bool Submit(Fields& fields);
    // The dialog closed: a reply still on its way is dropped.
    void Detach();
    bool Waiting() const { return pending_ != nullptr; }

    // The message for a failed registration.
    std::string FailureText(const std::string& error, int status) const;

  private:
    struct Guard {
        NewAccountForm* form = nullptr;
    };
    void OnReply(const std::string& error, int status);
    void Warn(const std::string& text);

    DirectoryClient& client_;
    Screen& screen_;
    View& view_;
    std::string serviceStatusUrl_;
    std::shared_ptr<Guard> pending_;
};

}  // namespace qv
