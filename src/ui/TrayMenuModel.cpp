#include "ui/TrayMenuModel.h"

#include "app/CommandIds.h"
#include "messaging/SystemNotices.h"

namespace qv {

std::string TrayTip(const std::optional<PendingAlert>& oldest) {
    if (!oldest || oldest->tip.empty()) {
        return "Quorvane";
    }
    return oldest->tip;
}

TrayMenu BuildTrayMenu(const std::optional<PendingAlert>& oldest, const std::string& imLabel,
                       bool frameVisible, int managerState, const std::string& statusText) {
    using Type = TrayMenuItem::Type;
    TrayMenu menu;
    menu.resource = 151;
    std::string first;
    if (oldest) {
        switch (oldest->kind) {
            case notice_kind::kIncomingCall:
                menu.resource = 288;
                first = "&Answer Incoming Call";
                break;
            case notice_kind::kIncomingMessage:
                menu.resource = 290;
                first = "&Receive " + imLabel;
                break;
            case notice_kind::kSystem:
                menu.resource = 291;
                first = "&Receive System Message";
                break;
            case notice_kind::kForumInvitation:
                menu.resource = 289;
                first = "&Receive Forum Invitation";
                break;
            case notice_kind::kWebsiteInvitation:
                menu.resource = 350;
                first = "&Receive Web Page Invitation";
                break;
            case notice_kind::kWebTourInvitation:
                menu.resource = 369;
                first = "&Receive Web Tour Invitation";
                break;
            case notice_kind::kVoiceMail:
                menu.resource = 410;
                first = "&Receive Voice Mail";
                break;
            default:
                break;  // a kind without a menu of its own gets the plain one
        }
    }
    if (!first.empty()) {
        menu.items.push_back({Type::Command, kTrayHandleAlert, first, true});
        menu.items.push_back({Type::Separator, 0, {}, true});
    }
    menu.items.push_back(
        {Type::Command, cmd::kTrayShow, frameVisible ? "&Hide Quorvane" : "&Show Quorvane", true});
    menu.items.push_back({Type::Separator, 0, {}, true});
    menu.items.push_back({Type::Command, cmd::kTrayConnect, "&Connect", managerState == 0});
    menu.items.push_back({Type::Command, cmd::kTrayDisconnect, "&Disconnect", managerState > 0});
    menu.items.push_back({Type::StatusMenu, 0, statusText, true});
    menu.items.push_back({Type::Separator, 0, {}, true});
    menu.items.push_back({Type::Command, cmd::kTrayExit, "E&xit Quorvane", true});
    return menu;
}

}  // namespace qv
