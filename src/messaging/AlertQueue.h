#pragma once

// The seam between the alerts and the tray: the tray and the status line read the pending alerts
// through AlertQueue; the alerts blink the tray through TraySurface.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv {

struct PendingAlert {
    std::int32_t kind = 0;  // notice_kind (174 message, 186 system, 189, 347, 366, 383, 147 call)
    std::string tip;        // the tray tip text for it
    std::string senderNickname;
};

// Implemented by the MessageCenter; the tray and the status line read it from the UI thread.
class AlertQueue {
  public:
    virtual ~AlertQueue() = default;
    virtual std::optional<PendingAlert> OldestPending() const = 0;  // oldest alert in state 0
    virtual void OpenOldest() = 0;  // the tray menu's first item / a double click: show it
    virtual void AddObserver(std::function<void()> changed) = 0;  // pending set changed
};

// Implemented by the tray; the MessageCenter's scheduler job blinks it while alerts wait.
class TraySurface {
  public:
    virtual ~TraySurface() = default;
    // Blink phase: the alert's icon or the normal one.
    virtual void ShowAlertIcon(std::int32_t icon, bool on) = 0;
    virtual void SetTip(const std::string& tip) = 0;
};

}  // namespace qv
