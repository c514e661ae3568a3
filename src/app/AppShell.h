#pragma once

// What the windows layer does for the application object during start-up and exit. The Qt
// program implements it; tests use a recording one.

#include <string>

namespace qv {

class EngineUi;
struct CommandRecord;
class Screen;
struct LogFont;

class AppShell {
  public:
    virtual ~AppShell() = default;

    virtual Screen& GetScreen() = 0;
    // The engine manager's waiting notice; null when there is none to show.
    virtual EngineUi* GetEngineUi() { return nullptr; }
    // Whether the screen has a font family of that name.
    virtual bool HasFontFamily(const std::string& face) = 0;
    // The fonts all windows use: the dialog font, the list font and the chat font.
    virtual void SetFonts(const LogFont& dialog, const LogFont& list, const LogFont& chat) = 0;
    // Creates the main frame and its view; false when that fails.
    virtual bool CreateMainWindow() = 0;
    virtual void ShowMainWindow(bool minimized) = 0;
    // Shows the main window normally and brings it to the front.
    virtual void ActivateMainWindow() = 0;
    // Whether the main window is the foreground window.
    virtual bool MainWindowInFront() const { return false; }
    virtual void DestroyMainWindow() = 0;
    // The view connects (start-up's auto-connect, a command file that waits for the session).
    virtual void Connect() {}
    // The view runs a command file's record now (the user is logged in).
    virtual void RunCommand(const CommandRecord& /*record*/) {}
};

}  // namespace qv
