#pragma once

// The windows the session opens: the welcome, login, new-account, custom message, voice server
// and update windows. The windows layer implements it; tests script the answers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct VoiceServerEntry {
    std::string key;  // "Internal1", "External2", ...
    std::string host;
    std::string shown;  // "Internal: host", or the entry's alias when it has one
};

struct CustomMessageAnswer {
    std::string message;
    bool doNotShowAgain = false;
};

class SessionUi {
  public:
    virtual ~SessionUi() = default;

    // "Welcome to Quorvane!" with "&Create New Account Now" and Cancel: true for the first.
    virtual bool WelcomeDialog(const std::string& text) = 0;
    // The new-account dialog; true when an account was created.
    virtual bool NewAccountDialog() = 0;
    // The Login dialog; true when it logged in (the profile is stored in the login key then).
    virtual bool LoginDialog() = 0;
    // "User Message" titled with the key name; nullopt on Cancel.
    virtual std::optional<CustomMessageAnswer> CustomMessageDialog(const std::string& caption,
                                                                   const std::string& message) = 0;
    // The voice server list with the current one selected; the chosen index, nullopt on Cancel.
    virtual std::optional<std::size_t> SelectVoiceServer(const std::vector<VoiceServerEntry>& list,
                                                         std::size_t current) = 0;
    // The update window with the update flags and the patch file name.
    virtual void ShowUpdateWindow(std::uint32_t flags, const std::string& patchFile) = 0;
    virtual bool UpdateWindowOpen() const = 0;
    // The new-user welcome window, hidden while the frame is minimized.
    virtual void ShowNewUserWelcome(bool hidden) = 0;
    virtual void ShowTipOfTheDay() = 0;

    virtual bool MainWindowVisible() const = 0;
    virtual bool MainWindowMinimized() const = 0;
    virtual void SetStatusMenuText(const std::string& text) = 0;
    virtual void SetWaitCursor(bool on) = 0;
    // Refreshes the main frame and brings it to the foreground.
    virtual void RefreshMainWindow() = 0;
};

}  // namespace qv
