// The contact list's "Invite to Forum": enabled only while the user is in a forum and a contact
// is selected, and sending message 11 for that forum to the contact through the MessageCenter.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QInputDevice>
#include <QMenu>
#include <QTreeWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messaging/ForumInvitation.h"
#include "messaging/MessageCenter.h"
#include "settings/IniFile.h"
#include "stores/BlockStore.h"
#include "stores/CContactListWindow.h"
#include "stores/ContactListCommands.h"
#include "stores/ContactStore.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

class Links final : public MessageLinks {
  public:
    int ConnectionState() const override { return 4; }
    std::int16_t PresenceMode() const override { return 0; }
    std::string OwnNickname() const override { return "Ann"; }
    std::string OwnId() const override { return "1001"; }
    bool SendUserMessage(const std::string& id, const std::string& nickname, std::int16_t number,
                         std::int16_t parameter, const std::string& text) override {
        sent.push_back(id + "/" + nickname + "/" + std::to_string(number) + "/" +
                       std::to_string(parameter) + "/" + text);
        return true;
    }
    void PlaySoundEvent(const std::string&) override {}
    std::optional<std::uint32_t> ContactPresence(const std::string&) const override {
        return std::nullopt;
    }
    std::string CustomMessage(const std::string&) const override { return {}; }
    void SendStoredMessage(const std::string&, const std::string&, std::int32_t,
                           std::function<void(int, const std::string&)>) override {}
    std::uint32_t Now() const override { return 1700000000; }
    std::uint32_t Ticks() const override { return 0; }
    std::vector<std::string> sent;
};

class Forums final : public ForumAccess {
  public:
    std::optional<ForumInvitation> CurrentForum() const override { return current; }
    bool JoinInvitedForum(const ForumInvitation&) override { return false; }
    std::optional<ForumInvitation> current;
};

UserProfile Contact(const std::string& id, const std::string& nick) {
    UserProfile p;
    p.LoginId = id;
    p.NickName = nick;
    return p;
}

class ContactForumInviteTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_contact_forum_invite_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }
    void SetUp() override {
        center.SetLinks(&links);
        center.SetForumAccess(&forums);
        store.ReplaceFromServer(folder.File("Addressbook.dat"), 3, {},
                                {Contact("1002", "Bob"), Contact("1003", "Cid")});
        window = std::make_unique<CContactListWindow>(CContactListWindow::Parts{
            store, &blocks, nullptr, settings, screen, [] { return std::uint16_t{0}; }});
        // As the main view wires it.
        window->SetForumInviteHandler([this] { return center.CanInviteToForum(); },
                                      [this](const std::string& id, const std::string& nick) {
                                          center.InviteToForum(id, nick);
                                      });
        window->show();
    }
    void Select(const std::string& id) {
        QTreeWidgetItem* item = window->ItemOf(id);
        ASSERT_NE(item, nullptr) << id;
        window->Tree()->setCurrentItem(item);
    }
    // The menu's entry for the command: its text and whether it is enabled.
    std::optional<std::pair<std::string, bool>> MenuEntry(int id) {
        std::unique_ptr<QMenu> menu = window->MakeContextMenu();
        for (QAction* action : menu->actions()) {
            if (action->data().toInt() == id) {
                return std::make_pair(action->text().toStdString(), action->isEnabled());
            }
        }
        return std::nullopt;
    }

    test::TempFolder folder;
    IniFile settings{folder.File("Options.ini")};
    test::RecordingScreen screen;
    Links links;
    Forums forums;
    MessageCenter center;
    ContactStore store{nullptr, nullptr, screen, center};
    BlockStore blocks{nullptr, nullptr, screen, center};
    std::unique_ptr<CContactListWindow> window;
};

TEST_F(ContactForumInviteTest, EnabledOnlyInAForumWithAContactSelected) {
    struct Case {
        const char* what;
        bool inForum;
        const char* selected;  // null: nothing selected
        bool enabled;
    };
    const Case cases[] = {
        {"no forum, no contact", false, nullptr, false},
        {"no forum, a contact", false, "1002", false},
        {"a forum, no contact", true, nullptr, false},
        {"a forum and a contact", true, "1003", true},
    };
    for (const Case& c : cases) {
        forums.current.reset();
        if (c.inForum) {
            forums.current = ForumInvitation{"General/Test", "", false, false, false};
        }
        window->Tree()->clearSelection();
        window->Tree()->setCurrentItem(nullptr);
        if (c.selected != nullptr) {
            Select(c.selected);
        }
        EXPECT_EQ(window->Commands().IsEnabled(cmd::kInviteToForum), c.enabled) << c.what;
        const auto entry = MenuEntry(cmd::kInviteToForum);
        ASSERT_TRUE(entry.has_value()) << c.what;
        EXPECT_EQ(entry->first, "Invite to &Forum");
        EXPECT_EQ(entry->second, c.enabled) << c.what;
    }
    // Nothing was sent by looking.
    EXPECT_TRUE(links.sent.empty());
}

TEST_F(ContactForumInviteTest, TheMenuItemSendsMessage11ForTheForum) {
    forums.current = ForumInvitation{"General/Test", "pw", true, true, true};
    Select("1002");
    std::unique_ptr<QMenu> menu = window->MakeContextMenu();
    QAction* invite = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == cmd::kInviteToForum) {
            invite = action;
        }
    }
    ASSERT_NE(invite, nullptr);
    invite->trigger();
    EXPECT_EQ(links.sent, (std::vector<std::string>{"1002/Bob/11/0/General/Test\tpw\tHMT"}));
    // Out of the forum the command does nothing, even when dispatched.
    forums.current.reset();
    EXPECT_FALSE(window->OnCommand(cmd::kInviteToForum));
    EXPECT_EQ(links.sent.size(), 1u);
}

TEST_F(ContactForumInviteTest, WithoutHandlersTheItemIsDisabled) {
    forums.current = ForumInvitation{"General/Test", "", false, false, false};
    Select("1002");
    window->SetForumInviteHandler(nullptr, nullptr);
    EXPECT_FALSE(window->Commands().IsEnabled(cmd::kInviteToForum));
    EXPECT_FALSE(window->OnCommand(cmd::kInviteToForum));
    EXPECT_TRUE(links.sent.empty());
}

}  // namespace
}  // namespace qv
