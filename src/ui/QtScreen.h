#pragma once

// The Screen of the running program: Qt message boxes, window alerts, the desktop's opener.

#include "platform/Screen.h"

class QWidget;

namespace qv {

class QtScreen final : public Screen {
  public:
    // The window boxes are centred on and flashing applies to; may change over the run.
    void SetMainWindow(QWidget* window) { mainWindow_ = window; }

    int MessageBox(const std::string& text, const std::string& caption,
                   std::uint32_t style) override;
    void FlashMainWindow(bool on) override;
    bool OpenUrl(const std::string& url) override;
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;

  private:
    QWidget* mainWindow_ = nullptr;
};

}  // namespace qv
