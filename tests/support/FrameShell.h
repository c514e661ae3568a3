#pragma once

// The application shell of window tests: the real main frame on a recording screen, no fonts.

#include <memory>
#include <string>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "support/RecordingScreen.h"
#include "ui/CMainFrame.h"

namespace qv::test {

class FrameShell : public AppShell {
  public:
    Screen& GetScreen() override { return screen; }
    bool HasFontFamily(const std::string&) override { return false; }
    void SetFonts(const LogFont&, const LogFont&, const LogFont&) override {}
    bool CreateMainWindow() override {
        frame = std::make_unique<CMainFrame>(*app, screen);
        frame->Place();
        return true;
    }
    void ShowMainWindow(bool) override { frame->show(); }
    void ActivateMainWindow() override { frame->raise(); }
    void DestroyMainWindow() override { frame.reset(); }

    CQuorvaneApp* app = nullptr;
    RecordingScreen screen;
    std::unique_ptr<CMainFrame> frame;
};

}  // namespace qv::test
