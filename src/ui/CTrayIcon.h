#pragma once

// The notification-area icon: its tip and right-button menu follow the oldest waiting alert,
// the alerts blink it through TraySurface, and its menu's commands go back to the main frame.

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <string>

#include "messaging/AlertQueue.h"
#include "ui/TrayMenuModel.h"

namespace qv {

class CTrayIcon final : public QObject, public TraySurface {
    Q_OBJECT
  public:
    struct Parts {
        AlertQueue* alerts = nullptr;  // null: nothing ever waits
        std::string imLabel = "Instant Message";
        std::function<bool()> frameVisible;
        std::function<int()> managerState;
        std::function<std::string()> statusText;
        // Adds the Status submenu's items.
        std::function<void(QMenu*)> fillStatusMenu;
        // Runs a menu command (kTrayHandleAlert for the first item of an alert's menu).
        std::function<void(int)> command;
    };

    CTrayIcon(Parts parts, QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Whether the desktop has a notification area to show the icon in.
    static bool Available();

    void Show();
    // The alerts the tip and menu follow; null: nothing waits.
    void SetAlerts(AlertQueue* alerts);
    // The menu as it would open now, and the Qt menu built from it.
    TrayMenu CurrentMenu() const;
    QMenu* Menu();
    QString Tip() const { return icon_.toolTip(); }
    // The tip for the oldest alert, or "Quorvane".
    void RefreshTip();
    bool AlertIconShown() const { return alertShown_; }
    // A click or double click on the icon.
    void Activate(QSystemTrayIcon::ActivationReason reason);

    void ShowAlertIcon(std::int32_t icon, bool on) override;
    void SetTip(const std::string& tip) override;

  private:
    void BuildMenu();

    Parts parts_;
    QSystemTrayIcon icon_;
    QMenu menu_;
    QIcon normal_;
    bool alertShown_ = false;
    std::int32_t alertIcon_ = -1;
    // Cleared when the icon goes: the alerts keep their observers for the whole run.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qv
