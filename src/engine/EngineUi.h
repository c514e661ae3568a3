#pragma once

// What the engine manager shows on its own: a modeless, topmost notice while it waits for the
// engine. The windows layer implements it; tests record it.

#include <string>

namespace qv {

class EngineUi {
  public:
    virtual ~EngineUi() = default;
    // Shows the notice and paints it before returning: the caller keeps the user-interface
    // thread busy until CloseNotice.
    virtual void ShowNotice(const std::string& caption, const std::string& text) = 0;
    virtual void CloseNotice() = 0;
};

}  // namespace qv
