// The notification-area icon's tip and menu for every kind of waiting alert.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandIds.h"
#include "messaging/SystemNotices.h"
#include "ui/TrayMenuModel.h"

namespace qv {
namespace {

std::vector<std::string> Texts(const TrayMenu& menu) {
    std::vector<std::string> texts;
    for (const TrayMenuItem& item : menu.items) {
        texts.push_back(item.type == TrayMenuItem::Type::Separator ? "-" : item.text);
    }
    return texts;
}

PendingAlert Alert(std::int32_t kind, std::string tip = {}) {
    PendingAlert a;
    a.kind = kind;
    a.tip = std::move(tip);
    a.senderNickname = "bob";
    return a;
}

struct MenuCase {
    std::int32_t kind;
    int resource;
    const char* first;
};

TEST(TrayMenuTest, TheMenuOfEachAlertKind) {
    const std::vector<MenuCase> cases = {
        {notice_kind::kIncomingCall, 288, "&Answer Incoming Call"},
        {notice_kind::kIncomingMessage, 290, "&Receive Partner Note"},
        {notice_kind::kSystem, 291, "&Receive System Message"},
        {notice_kind::kForumInvitation, 289, "&Receive Forum Invitation"},
        {notice_kind::kWebsiteInvitation, 350, "&Receive Web Page Invitation"},
        {notice_kind::kWebTourInvitation, 369, "&Receive Web Tour Invitation"},
        {notice_kind::kVoiceMail, 410, "&Receive Voice Mail"},
    };
    for (const MenuCase& c : cases) {
        const TrayMenu menu =
            BuildTrayMenu(Alert(c.kind), "Partner Note", false, 0, "&Status: Away");
        EXPECT_EQ(menu.resource, c.resource) << c.kind;
        const std::vector<std::string> want = {
            c.first,         "-", "&Show Quorvane", "-", "&Connect", "&Disconnect",
            "&Status: Away", "-", "E&xit Quorvane"};
        EXPECT_EQ(Texts(menu), want) << c.kind;
        EXPECT_EQ(menu.items[0].id, kTrayHandleAlert) << c.kind;
    }
}

TEST(TrayMenuTest, NothingPendingGivesThePlainMenu) {
    for (const std::optional<PendingAlert>& none :
         {std::optional<PendingAlert>(), std::optional<PendingAlert>(Alert(12345))}) {
        const TrayMenu menu = BuildTrayMenu(none, "Instant Message", true, 4, "&Status: Normal");
        EXPECT_EQ(menu.resource, 151);
        const std::vector<std::string> want = {
            "&Hide Quorvane",  "-", "&Connect",      "&Disconnect",
            "&Status: Normal", "-", "E&xit Quorvane"};
        EXPECT_EQ(Texts(menu), want);
        EXPECT_EQ(menu.items[0].id, cmd::kTrayShow);
        EXPECT_EQ(menu.items.back().id, cmd::kTrayExit);
    }
}

TEST(TrayMenuTest, ConnectAndDisconnectFollowTheConnection) {
    struct Case {
        int state;
        bool connect;
        bool disconnect;
    };
    for (const Case& c : {Case{0, true, false}, Case{2, false, true}, Case{3, false, true},
                          Case{4, false, true}, Case{-1, false, false}}) {
        const TrayMenu menu = BuildTrayMenu(std::nullopt, "Instant Message", false, c.state, "S");
        EXPECT_EQ(menu.items[2].id, cmd::kTrayConnect);
        EXPECT_EQ(menu.items[2].enabled, c.connect) << c.state;
        EXPECT_EQ(menu.items[3].id, cmd::kTrayDisconnect);
        EXPECT_EQ(menu.items[3].enabled, c.disconnect) << c.state;
    }
}

TEST(TrayMenuTest, TheTipIsTheOldestAlertsOrQuorvane) {
    EXPECT_EQ(TrayTip(std::nullopt), "Quorvane");
    EXPECT_EQ(TrayTip(Alert(notice_kind::kIncomingMessage, "Instant Message from bob (1002)")),
              "Instant Message from bob (1002)");
    EXPECT_EQ(TrayTip(Alert(notice_kind::kSystem, "")), "Quorvane");
}

}  // namespace
}  // namespace qv
