#pragma once

// The options dialog as the program opens it: the sheet over the program's settings, what its
// Apply hands to the engine and the windows, and the personal information form, which stays
// while a profile change is on its way.

#include <QPointer>
#include <memory>
#include <string>

namespace qv {

class CMainFrame;
class COptionsDialog;
class CQuorvaneApp;
class OptionsSheet;
class PersonalInfoForm;
class Screen;
struct LogFont;
struct OptionsEffects;

class ProgramOptions {
  public:
    // The Tools menu's Options command.
    static constexpr int kCommand = 32964;

    ProgramOptions(CQuorvaneApp& app, CMainFrame& frame, Screen& screen);
    ~ProgramOptions();

    // Opens the dialog, or brings the open one to the front; null when the program lacks the
    // settings it edits.
    COptionsDialog* Open();
    COptionsDialog* Dialog() const;
    // The custom message dialog chose a message: an open dialog shows it.
    void CustomMessageChosen(const std::string& key, const std::string& message, bool noPrompt);
    // The push-to-talk key toggled the setting: an open dialog shows it.
    void PushToTalkChanged();

    // The list and chat fonts reach every window that shows lists, chat and messages.
    static void ApplyFonts(const LogFont& list, const LogFont& chat);

  private:
    OptionsEffects Effects();

    CQuorvaneApp& app_;
    CMainFrame& frame_;
    Screen& screen_;
    std::unique_ptr<PersonalInfoForm> form_;
    std::unique_ptr<OptionsSheet> sheet_;
    QPointer<COptionsDialog> dialog_;
};

}  // namespace qv
