#pragma once

// The engine manager's waiting notice as a window: modeless, on top, without buttons.

#include <memory>

#include "engine/EngineUi.h"

class QMessageBox;

namespace qv {

class CEngineNotice final : public EngineUi {
  public:
    CEngineNotice();
    ~CEngineNotice() override;

    void ShowNotice(const std::string& caption, const std::string& text) override;
    void CloseNotice() override;
    bool IsShown() const { return box_ != nullptr; }

  private:
    std::unique_ptr<QMessageBox> box_;
};

}  // namespace qv
