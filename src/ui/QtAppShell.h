#pragma once

// The windows layer's side of start-up and exit: fonts, the main frame and its view.

#include <QFont>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/AppShell.h"
#include "engine/CEngineNotice.h"
#include "ui/QtScreen.h"

namespace qv {

class CMainFrame;
class CQuorvaneApp;
class QtProgramKeys;

class QtAppShell final : public AppShell {
  public:
    QtAppShell();
    ~QtAppShell() override;

    // Set before start-up runs: the frame needs the application object.
    void SetApp(CQuorvaneApp* app) { app_ = app; }

    Screen& GetScreen() override { return screen_; }
    EngineUi* GetEngineUi() override { return &engineNotice_; }
    void Connect() override;
    void RunCommand(const CommandRecord& record) override;
    bool HasFontFamily(const std::string& face) override;
    void SetFonts(const LogFont& dialog, const LogFont& list, const LogFont& chat) override;
    bool CreateMainWindow() override;
    void ShowMainWindow(bool minimized) override;
    void ActivateMainWindow() override;
    bool MainWindowInFront() const override;
    void DestroyMainWindow() override;

    CMainFrame* MainFrame() const { return frame_.get(); }
    // The program's own keys and the global push-to-talk key, there while the main window is.
    QtProgramKeys* Keys() const { return keys_.get(); }
    // The Volume Control window, modal over the main window (the menu's command).
    void OpenVolumeControl();
    // The remap dialog for the options page: shows the stored combination, hands on each new one.
    void OpenRemapKeyDialog(std::uint32_t current, std::function<void(std::uint32_t)> onNew);
    const QFont& ListFont() const { return listFont_; }
    const QFont& ChatFont() const { return chatFont_; }

  private:
    CQuorvaneApp* app_ = nullptr;
    QtScreen screen_;
    CEngineNotice engineNotice_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<QtProgramKeys> keys_;
    QFont dialogFont_;
    QFont listFont_;
    QFont chatFont_;
};

}  // namespace qv
