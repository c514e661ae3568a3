#pragma once

// What the notification-area icon offers: its tip and its right-button menu, both following the
// oldest alert still waiting. Pure, so each alert kind's menu is a table test; CTrayIcon builds
// the Qt menu from it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "messaging/AlertQueue.h"

namespace qv {

struct TrayMenuItem {
    enum class Type { Command, Separator, StatusMenu };
    Type type = Type::Command;
    int id = 0;
    std::string text;
    bool enabled = true;
};

struct TrayMenu {
    int resource = 0;  // the menu's resource number, one per alert kind
    std::vector<TrayMenuItem> items;
};

// The first item of an alert's menu: it handles the alert as the alert's own window would.
inline constexpr int kTrayHandleAlert = 32786;

std::string TrayTip(const std::optional<PendingAlert>& oldest);

// frameVisible: "&Hide Quorvane" instead of "&Show Quorvane"; managerState: the engine
// manager's state (0 idle) for Connect and Disconnect; statusText: the Status submenu's title.
TrayMenu BuildTrayMenu(const std::optional<PendingAlert>& oldest, const std::string& imLabel,
                       bool frameVisible, int managerState, const std::string& statusText);

}  // namespace qv
