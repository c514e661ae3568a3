#pragma once

// The session's windows, as Qt dialogs over the main frame.

#include <QPointer>
#include <functional>
#include <memory>

#include "login/SessionUi.h"

class QWidget;

namespace qv {

class CCustomMessageDialog;
class CNewUserWelcomeWindow;
class CUpdateWindow;
class DirectoryClient;
class IniFile;
class LoginForm;
class RegistryKey;
class Screen;

class QtSessionUi final : public SessionUi {
  public:
    struct Parts {
        QWidget* frame = nullptr;
        DirectoryClient* directory = nullptr;
        RegistryKey* loginKey = nullptr;
        IniFile* userSettings = nullptr;
        Screen* screen = nullptr;
        // Makes the Login dialog's form (it needs the session, which is made after this).
        std::function<std::unique_ptr<LoginForm>()> makeLoginForm;
        std::string helpUrl;
    };

    explicit QtSessionUi(Parts parts);
    ~QtSessionUi() override;

    bool WelcomeDialog(const std::string& text) override;
    bool NewAccountDialog() override;
    bool LoginDialog() override;
    std::optional<CustomMessageAnswer> CustomMessageDialog(const std::string& caption,
                                                           const std::string& message) override;
    std::optional<std::size_t> SelectVoiceServer(const std::vector<VoiceServerEntry>& list,
                                                 std::size_t current) override;
    void ShowUpdateWindow(std::uint32_t flags, const std::string& patchFile) override;
    bool UpdateWindowOpen() const override;
    void ShowNewUserWelcome(bool hidden) override;
    void ShowTipOfTheDay() override {
        if (onTipOfTheDay) {
            onTipOfTheDay();
        }
    }
    bool MainWindowVisible() const override;
    bool MainWindowMinimized() const override;
    void SetStatusMenuText(const std::string& text) override;
    void SetWaitCursor(bool on) override;
    void RefreshMainWindow() override;

    // The options changed a custom message: an open dialog for that key shows it.
    void UpdateOpenCustomMessage(const std::string& key, const std::string& message);

    // The custom message dialog's OK chose a message (key as its caption) and whether to ask
    // again: an open options page shows them.
    std::function<void(const std::string& key, const std::string& message, bool doNotShow)>
        onCustomMessageChosen;
    // The frame shows the Status menu's text.
    std::function<void(const std::string&)> onStatusMenuText;
    // After login: the frame shows the tip of the day.
    std::function<void()> onTipOfTheDay;
    // The user closed the update window.
    std::function<void()> onUpdateWindowClosed;

  private:
    Parts parts_;
    QPointer<CUpdateWindow> update_;
    QPointer<CNewUserWelcomeWindow> welcome_;
    QPointer<CCustomMessageDialog> customMessage_;
    std::string customMessageKey_;
};

}  // namespace qv
