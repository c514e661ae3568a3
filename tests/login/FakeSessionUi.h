#pragma once

// The session's windows as a script: every call is logged, answers come from the fields below.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "login/SessionUi.h"

namespace qv::test {

class FakeSessionUi final : public SessionUi {
  public:
    bool WelcomeDialog(const std::string& text) override {
        log.push_back("welcome " + text);
        NoteCursor("welcome");
        if (!welcomeAnswers.empty()) {
            const bool answer = welcomeAnswers.front();
            welcomeAnswers.erase(welcomeAnswers.begin());
            return answer;
        }
        return welcomeAnswer;
    }
    bool NewAccountDialog() override {
        log.push_back("new account");
        NoteCursor("new account");
        return onNewAccount ? onNewAccount() : newAccountAnswer;
    }
    bool LoginDialog() override {
        log.push_back("login");
        NoteCursor("login");
        return onLoginDialog ? onLoginDialog() : false;
    }
    std::optional<CustomMessageAnswer> CustomMessageDialog(const std::string& caption,
                                                           const std::string& message) override {
        log.push_back("custom " + caption + " | " + message);
        NoteCursor("custom");
        return customAnswer;
    }
    std::optional<std::size_t> SelectVoiceServer(const std::vector<VoiceServerEntry>& list,
                                                 std::size_t current) override {
        servers = list;
        log.push_back("select " + std::to_string(current));
        return serverAnswer;
    }
    void ShowUpdateWindow(std::uint32_t flags, const std::string& patchFile) override {
        log.push_back("update " + std::to_string(flags) + " " + patchFile);
        updateOpen = true;
    }
    bool UpdateWindowOpen() const override { return updateOpen; }
    void ShowNewUserWelcome(bool hidden) override {
        log.push_back(std::string("new user welcome") + (hidden ? " hidden" : ""));
    }
    void ShowTipOfTheDay() override { log.push_back("tip"); }
    bool MainWindowVisible() const override { return visible; }
    bool MainWindowMinimized() const override { return minimized; }
    void SetStatusMenuText(const std::string& text) override { statusMenu = text; }
    void SetWaitCursor(bool on) override {
        waitCursor.push_back(on);
        cursorOn = on;
    }
    void RefreshMainWindow() override { ++refreshes; }

    void NoteCursor(const std::string& dialog) {
        if (cursorOn) {
            underWaitCursor.push_back(dialog);
        }
    }

    // Entries of the log that start with prefix.
    std::vector<std::string> Logged(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& line : log) {
            if (line.rfind(prefix, 0) == 0) {
                out.push_back(line);
            }
        }
        return out;
    }

    std::vector<std::string> log;
    bool welcomeAnswer = false;
    std::vector<bool> welcomeAnswers;  // used first, in order
    bool newAccountAnswer = false;
    std::function<bool()> onLoginDialog;
    std::function<bool()> onNewAccount;
    std::optional<CustomMessageAnswer> customAnswer;
    std::optional<std::size_t> serverAnswer;
    std::vector<VoiceServerEntry> servers;
    bool updateOpen = false;
    bool visible = true;
    bool minimized = false;
    std::string statusMenu;
    std::vector<bool> waitCursor;
    bool cursorOn = false;
    // The dialogs that were shown under the wait cursor.
    std::vector<std::string> underWaitCursor;
    int refreshes = 0;
};

}  // namespace qv::test
