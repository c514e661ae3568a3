#include "stores/CContactListWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QInputDevice>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "directory/ReplyGrammar.h"
#include "messaging/SystemNoticeList.h"
#include "settings/IniFile.h"
#include "stores/BlockStore.h"
#include "stores/CAddContactDialog.h"
#include "stores/CAddGroupDialog.h"
#include "stores/ContactListCommands.h"
#include "stores/ContactStore.h"
#include "stores/GroupName.h"
#include "support/ClientRig.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

using I = ContactIcon;

UserProfile Contact(const std::string& id, const std::string& nick, const std::string& group) {
    UserProfile p;
    p.LoginId = id;
    p.NickName = nick;
    p.group = group;
    return p;
}

// What GetUserProfile answers for a known user: every field, most of them empty.
std::string ProfileReply(const std::string& nick, const std::string& lastName) {
    const std::string S(1, reply::kItemSeparator);
    std::string reply = "Success" + S + "NickName=" + nick + S + "LastName=" + lastName + S;
    for (const char* key :
         {"FirstName", "Email1", "Company", "Comment", "Address1", "Address2", "City", "State",
          "Zip", "Country", "TeleHome", "TeleOffice", "Fax", "Cell", "Pager", "HomePage"}) {
        reply += std::string(key) + "=" + S;
    }
    return reply;
}

class ContactListWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_contact_list_window_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            // Qt's list of input devices is made when the event loop first meets one; made
            // after the application it would be gone before the application's exit deletes
            // the devices.
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }

    void UseGroups(bool on) { settings.WriteInt("ContactList", "EnableGroups", on ? 1 : 0); }
    void OnlineOnly(bool on) { settings.WriteInt("ContactList", "ShowOnlineOnly", on ? 1 : 0); }

    // The list as the server has it: three groups, eight contacts.
    void FillFromServer() {
        store.ReplaceFromServer(
            folder.File("Addressbook.dat"), 7, {"Work", "family", "Chess"},
            {Contact("1001", "dave", "Work"), Contact("1002", "Carol", "Work"),
             Contact("1003", "bob", "family"), Contact("1004", "alice", "family"),
             Contact("1005", "Eve", "Work"), Contact("1006", "frank", "Chess"),
             Contact("1007", "ALBERT", "Work"), Contact("1008", "gina", "Chess")});
    }
    CContactListWindow& Open() {
        window = std::make_unique<CContactListWindow>(CContactListWindow::Parts{
            store, &blocks, nullptr, settings, screen, [this] { return ownMode; }});
        window->resize(220, 400);
        window->show();
        return *window;
    }
    void Presence(const std::string& id, std::uint16_t flags) {
        store.OnWatch(id, static_cast<std::int16_t>(flags), false, false);
    }
    static std::vector<std::string> Texts(QTreeWidget* tree, QTreeWidgetItem* parent = nullptr) {
        std::vector<std::string> out;
        const int n = parent != nullptr ? parent->childCount() : tree->topLevelItemCount();
        for (int i = 0; i < n; ++i) {
            QTreeWidgetItem* item = parent != nullptr ? parent->child(i) : tree->topLevelItem(i);
            out.push_back(item->text(0).toStdString() + (item->isHidden() ? " [hidden]" : ""));
        }
        return out;
    }
    std::vector<std::string> Top() { return Texts(window->Tree()); }
    std::vector<std::string> InGroup(const std::string& name) {
        QTreeWidgetItem* group = window->GroupItem(name);
        EXPECT_NE(group, nullptr) << name;
        return group != nullptr ? Texts(window->Tree(), group) : std::vector<std::string>{};
    }
    void Select(const std::string& id) {
        QTreeWidgetItem* item = window->ItemOf(id);
        ASSERT_NE(item, nullptr) << id;
        window->Tree()->setCurrentItem(item);
    }

    test::TempFolder folder;
    IniFile settings{folder.File("Options.ini")};
    test::RecordingScreen screen;
    SystemNoticeList notices;
    ContactStore store{nullptr, nullptr, screen, notices};
    BlockStore blocks{nullptr, nullptr, screen, notices};
    bool linked = [this] {
        blocks.SetContactStore(&store);
        return true;
    }();
    std::uint16_t ownMode = 0;
    // Made by the tests that talk to a directory; they outlive the window and its dialogs.
    std::unique_ptr<test::TestHttpServer> server;
    std::unique_ptr<test::ClientRig> rig;
    std::unique_ptr<CContactListWindow> window;

    DirectoryClient& Directory() {
        server = std::make_unique<test::TestHttpServer>();
        rig = std::make_unique<test::ClientRig>();
        EXPECT_TRUE(rig->Start(server->Host()));
        rig->client.SetConnectionId("c1");
        return rig->client;
    }
};

TEST_F(ContactListWindowTest, FillOrdersGroupsAndContacts) {
    UseGroups(true);
    FillFromServer();
    Presence("1002", 0x01);
    Presence("1007", 0x21);  // hidden: counts as offline
    Open();
    EXPECT_EQ(Top(), (std::vector<std::string>{"Chess (0/2)", "family (0/2)", "Work (1/4)"}));
    EXPECT_EQ(InGroup("Work"), (std::vector<std::string>{"Carol", "ALBERT", "dave", "Eve"}));
    EXPECT_EQ(InGroup("family"), (std::vector<std::string>{"alice", "bob"}));
    EXPECT_EQ(window->Caption(), "Contacts");
    EXPECT_TRUE(window->Tree()->isEnabled());
}

TEST_F(ContactListWindowTest, WithoutGroupsAllContactsAreSiblings) {
    UseGroups(false);
    FillFromServer();
    Open();
    EXPECT_EQ(window->GroupItem("Work"), nullptr);
    EXPECT_EQ(Top(), (std::vector<std::string>{"ALBERT", "alice", "bob", "Carol", "dave", "Eve",
                                               "frank", "gina"}));
    // Turning groups on refills the tree with them and keeps the setting.
    window->SetGroupsEnabled(true);
    EXPECT_EQ(settings.GetInt("ContactList", "EnableGroups", 0), 1);
    EXPECT_EQ(Top(), (std::vector<std::string>{"Chess (0/2)", "family (0/2)", "Work (0/4)"}));
    window->SetGroupsEnabled(false);
    EXPECT_EQ(settings.GetInt("ContactList", "EnableGroups", 1), 0);
    EXPECT_EQ(Top().size(), 8u);
}

TEST_F(ContactListWindowTest, AnotherUsersListIsShownTheWayThatUserSetIt) {
    UseGroups(false);
    FillFromServer();
    Open();
    EXPECT_EQ(window->GroupItem("Work"), nullptr);
    // The next user's settings say groups, with Chess expanded.
    IniFile next(folder.File("NextUser.ini"));
    next.WriteInt("ContactList", "EnableGroups", 1);
    next.WriteInt("ContactList", "NumExpanded", 1);
    next.WriteString("ContactList", "Expanded00", "Chess");
    settings.SetPath(next.Path());
    FillFromServer();
    ASSERT_NE(window->GroupItem("Work"), nullptr);
    EXPECT_TRUE(window->GroupItem("Chess")->isExpanded());
    EXPECT_TRUE(window->GroupsEnabled());
}

TEST_F(ContactListWindowTest, PresenceChangeMovesOnlyThatItem) {
    UseGroups(false);
    FillFromServer();
    Open();
    QTreeWidgetItem* gina = window->ItemOf("1008");
    QTreeWidgetItem* albert = window->ItemOf("1007");
    Presence("1008", 0x01);
    EXPECT_EQ(Top().front(), "gina");
    // The other items were not made again.
    EXPECT_EQ(window->ItemOf("1008"), gina);
    EXPECT_EQ(window->ItemOf("1007"), albert);
    EXPECT_EQ(window->IconOf("1008"), I::kOnline);
    Presence("1003", 0x03);
    EXPECT_EQ(Top(), (std::vector<std::string>{"bob", "gina", "ALBERT", "alice", "Carol", "dave",
                                               "Eve", "frank"}));
    Presence("1008", 0x00);
    EXPECT_EQ(Top(), (std::vector<std::string>{"bob", "ALBERT", "alice", "Carol", "dave", "Eve",
                                               "frank", "gina"}));
    EXPECT_EQ(window->IconOf("1008"), I::kOffline);
}

TEST_F(ContactListWindowTest, ABurstOfPresenceRepliesIsSortedOnceItIsOver) {
    UseGroups(false);
    std::vector<UserProfile> many;
    for (int i = 0; i < 300; ++i) {
        many.push_back(Contact(std::to_string(5000 + i), "user" + std::to_string(1000 + i), ""));
    }
    store.ReplaceFromServer(folder.File("Addressbook.dat"), 1, {"General"}, many);
    OnlineOnly(false);
    Open();
    Select("5150");
    // Every third contact comes online, the last ones first.
    for (int i = 299; i >= 0; i -= 3) {
        store.OnWatch(std::to_string(5000 + i), 0x01, true, false);
    }
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::vector<std::string> expected;
    for (int i = 2; i < 300; i += 3) {
        expected.push_back("user" + std::to_string(1000 + i));
    }
    for (int i = 0; i < 300; ++i) {
        if (i % 3 != 2) {
            expected.push_back("user" + std::to_string(1000 + i));
        }
    }
    EXPECT_EQ(Top(), expected);
    EXPECT_EQ(window->IconOf("5299"), I::kOnline);
    ASSERT_EQ(window->Tree()->selectedItems().size(), 1);
    EXPECT_EQ(window->Tree()->selectedItems().front(), window->ItemOf("5150"));
    // And a single change after it moves at once again.
    store.OnWatch("5000", 0x01, false, false);
    EXPECT_EQ(Top().front(), "user1000");
}

TEST_F(ContactListWindowTest, SelectionSurvivesAMove) {
    UseGroups(false);
    FillFromServer();
    Open();
    Select("1008");
    Presence("1008", 0x01);
    ASSERT_EQ(window->Tree()->selectedItems().size(), 1);
    EXPECT_EQ(window->Tree()->selectedItems().front(), window->ItemOf("1008"));
}

struct IconCase {
    std::uint16_t flags;
    ContactIcon icon;
};

TEST_F(ContactListWindowTest, EachPresenceVariantHasItsIcon) {
    UseGroups(true);
    FillFromServer();
    Open();
    const std::vector<IconCase> cases = {
        {0x00, I::kOffline},      {0x01, I::kOnline},   {0x03, I::kAway},
        {0x05, I::kDoNotDisturb}, {0x09, I::kOccupied}, {0x11, I::kAvailableForChat},
        {0x0F, I::kDoNotDisturb}, {0x0B, I::kOccupied}, {0x13, I::kAway},
        {0x21, I::kOffline},
    };
    for (const IconCase& c : cases) {
        Presence("1001", c.flags);
        EXPECT_EQ(window->IconOf("1001"), c.icon) << std::hex << c.flags;
    }
    // The drawn icons are all different pictures.
    std::vector<QImage> images;
    for (int i = 0; i < kContactIconCount; ++i) {
        Presence("1001", 0);
        window->ShowWaitingAlert("1001", 0, 0);
        const std::vector<std::pair<std::uint16_t, std::pair<int, std::uint16_t>>> how = {
            {0x00, {0, 0}},   {0x01, {0, 0}},   {0x03, {0, 0}},   {0x05, {0, 0}},
            {0x09, {0, 0}},   {0x11, {0, 0}},   {0x01, {174, 0}}, {0x01, {174, 1}},
            {0x01, {189, 0}}, {0x01, {347, 0}}, {0x01, {383, 0}}, {0x01, {383, 1}},
        };
        Presence("1001", how[i].first);
        window->ShowWaitingAlert("1001", how[i].second.first, how[i].second.second);
        ASSERT_EQ(window->IconOf("1001"), static_cast<ContactIcon>(i));
        images.push_back(window->ItemOf("1001")->icon(0).pixmap(16, 16).toImage());
    }
    for (std::size_t a = 0; a < images.size(); ++a) {
        for (std::size_t b = a + 1; b < images.size(); ++b) {
            EXPECT_NE(images[a], images[b]) << a << " and " << b;
        }
    }
}

TEST_F(ContactListWindowTest, WaitingAlertShowsItsKindUnlessTheModeSaysNo) {
    UseGroups(false);
    FillFromServer();
    Open();
    Presence("1004", 0x01);
    window->ShowWaitingAlert("1004", 174, 0);
    EXPECT_EQ(window->IconOf("1004"), I::kInstantMessage);
    ownMode = 8;  // occupied: only high priority
    window->OwnModeChanged();
    EXPECT_EQ(window->IconOf("1004"), I::kOnline);
    window->ShowWaitingAlert("1004", 383, 1);
    EXPECT_EQ(window->IconOf("1004"), I::kVoiceMailHighPriority);
    ownMode = 4;  // do not disturb: nothing
    window->OwnModeChanged();
    EXPECT_EQ(window->IconOf("1004"), I::kOnline);
    ownMode = 0;
    window->OwnModeChanged();
    EXPECT_EQ(window->IconOf("1004"), I::kVoiceMailHighPriority);
    window->ShowWaitingAlert("1004", 0, 0);
    EXPECT_EQ(window->IconOf("1004"), I::kOnline);
}

TEST_F(ContactListWindowTest, WaitingAlertTimeOrdersWithinOnlineAndOffline) {
    UseGroups(false);
    FillFromServer();
    Open();
    store.SetWaitingAlertTime("1006", 1000);
    store.SetWaitingAlertTime("1005", 2000);
    EXPECT_EQ(Top(), (std::vector<std::string>{"Eve", "frank", "ALBERT", "alice", "bob", "Carol",
                                               "dave", "gina"}));
    Presence("1008", 0x01);
    EXPECT_EQ(Top().front(), "gina");
}

TEST_F(ContactListWindowTest, ShowOnlineOnlyHidesOfflineContacts) {
    UseGroups(true);
    OnlineOnly(true);
    FillFromServer();
    Presence("1005", 0x01);
    Open();
    EXPECT_EQ(InGroup("Work"), (std::vector<std::string>{"Eve", "ALBERT [hidden]", "Carol [hidden]",
                                                         "dave [hidden]"}));
    Presence("1001", 0x05);
    EXPECT_EQ(InGroup("Work"),
              (std::vector<std::string>{"dave", "Eve", "ALBERT [hidden]", "Carol [hidden]"}));
    Presence("1005", 0x21);
    EXPECT_EQ(InGroup("Work"), (std::vector<std::string>{"dave", "ALBERT [hidden]",
                                                         "Carol [hidden]", "Eve [hidden]"}));
    window->SetOnlineOnly(false);
    EXPECT_EQ(settings.GetInt("ContactList", "ShowOnlineOnly", 1), 0);
    EXPECT_EQ(InGroup("Work"), (std::vector<std::string>{"dave", "ALBERT", "Carol", "Eve"}));
}

TEST_F(ContactListWindowTest, ExpansionIsWrittenAndRestored) {
    UseGroups(true);
    FillFromServer();
    Open();
    // Nothing was expanded before: filling writes nothing.
    EXPECT_EQ(settings.GetInt("ContactList", "NumExpanded", -1), -1);
    window->GroupItem("Work")->setExpanded(true);
    window->GroupItem("Chess")->setExpanded(true);
    EXPECT_EQ(settings.GetInt("ContactList", "NumExpanded", -1), 2);
    EXPECT_EQ(settings.GetString("ContactList", "Expanded00"), "Chess");
    EXPECT_EQ(settings.GetString("ContactList", "Expanded01"), "Work");
    window->GroupItem("Work")->setExpanded(false);
    EXPECT_EQ(settings.GetInt("ContactList", "NumExpanded", -1), 1);
    EXPECT_EQ(settings.GetString("ContactList", "Expanded00"), "Chess");
    EXPECT_EQ(settings.GetString("ContactList", "Expanded01", "gone"), "gone");
    window->GroupItem("family")->setExpanded(true);

    // A new window (the next run) expands them again; filling writes nothing of its own.
    window.reset();
    Open();
    EXPECT_TRUE(window->GroupItem("Chess")->isExpanded());
    EXPECT_TRUE(window->GroupItem("family")->isExpanded());
    EXPECT_FALSE(window->GroupItem("Work")->isExpanded());
    EXPECT_EQ(settings.GetInt("ContactList", "NumExpanded", -1), 2);
    // And after a replacement from the server.
    FillFromServer();
    EXPECT_TRUE(window->GroupItem("Chess")->isExpanded());
    EXPECT_FALSE(window->GroupItem("Work")->isExpanded());
    // A presence change re-sorts without collapsing anything.
    Presence("1006", 0x01);
    Presence("1008", 0x01);
    EXPECT_TRUE(window->GroupItem("Chess")->isExpanded());
    EXPECT_EQ(settings.GetInt("ContactList", "NumExpanded", -1), 2);
}

TEST_F(ContactListWindowTest, RemovingAGroupAsksAndRemovesItsItems) {
    UseGroups(true);
    FillFromServer();
    Open();
    window->Tree()->setCurrentItem(window->GroupItem("family"));
    screen.ScriptAnswers({mb::kIdNo});
    EXPECT_TRUE(window->OnCommand(cmd::kRemoveFromList));
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].caption, "Warning!");
    EXPECT_NE(window->GroupItem("family"), nullptr);
    screen.ScriptAnswers({mb::kIdYes});
    window->Tree()->setCurrentItem(window->GroupItem("family"));
    EXPECT_TRUE(window->OnCommand(cmd::kRemoveFromList));
    EXPECT_EQ(window->GroupItem("family"), nullptr);
    EXPECT_EQ(store.Find("1003"), nullptr);
    EXPECT_EQ(Top(), (std::vector<std::string>{"Chess (0/2)", "Work (0/4)"}));
}

TEST_F(ContactListWindowTest, RemovingAContact) {
    UseGroups(true);
    FillFromServer();
    Open();
    Select("1002");
    EXPECT_TRUE(window->OnCommand(cmd::kRemoveFromList));
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_EQ(store.Find("1002"), nullptr);
    EXPECT_EQ(window->ItemOf("1002"), nullptr);
    EXPECT_EQ(InGroup("Work"), (std::vector<std::string>{"ALBERT", "dave", "Eve"}));
    EXPECT_EQ(Top().back(), "Work (0/3)");
    // Nothing selected: nothing to remove.
    window->Tree()->clearSelection();
    EXPECT_FALSE(window->Commands().IsEnabled(cmd::kRemoveFromList));
}

TEST_F(ContactListWindowTest, TheDeleteKeyRemovesTheSelection) {
    UseGroups(false);
    FillFromServer();
    Open();
    Select("1005");
    QAction* key = nullptr;
    for (QAction* action : window->Tree()->actions()) {
        if (action->shortcut() == QKeySequence(QKeySequence::Delete)) {
            key = action;
        }
    }
    ASSERT_NE(key, nullptr);
    key->trigger();
    EXPECT_EQ(store.Find("1005"), nullptr);
    EXPECT_EQ(window->ItemOf("1005"), nullptr);
}

TEST_F(ContactListWindowTest, BlockingAContactMovesItToTheBlockList) {
    UseGroups(false);
    FillFromServer();
    Open();
    Select("1006");
    EXPECT_TRUE(window->OnCommand(cmd::kBlockContact));
    EXPECT_TRUE(blocks.IsBlocked("1006"));
    EXPECT_EQ(store.Find("1006"), nullptr);
    EXPECT_EQ(window->ItemOf("1006"), nullptr);
    EXPECT_EQ(Top().size(), 7u);
}

TEST_F(ContactListWindowTest, CallIsDisabledUntilSomethingPlacesCalls) {
    UseGroups(false);
    FillFromServer();
    Open();
    Select("1004");
    EXPECT_FALSE(window->Commands().IsEnabled(cmd::kCallContact));
    EXPECT_FALSE(window->Button(cmd::kCallContact)->isEnabled());
    std::vector<std::string> called;
    window->SetCallHandler([&](const std::string& id) { called.push_back(id); });
    EXPECT_TRUE(window->Button(cmd::kCallContact)->isEnabled());
    window->Button(cmd::kCallContact)->click();
    EXPECT_EQ(called, (std::vector<std::string>{"1004"}));
}

TEST_F(ContactListWindowTest, DoubleClickCallsAnOnlineContactOnly) {
    UseGroups(false);
    FillFromServer();
    Open();
    std::vector<std::string> called;
    window->SetCallHandler([&](const std::string& id) { called.push_back(id); });
    Presence("1004", 0x01);
    Presence("1003", 0x05);  // online in do-not-disturb mode: still called (it declines)
    Presence("1002", 0x21);  // online but hidden: shown offline
    for (const char* id : {"1004", "1003", "1002", "1001"}) {
        QTreeWidgetItem* item = window->ItemOf(id);
        ASSERT_NE(item, nullptr) << id;
        window->Tree()->setCurrentItem(item);
        Q_EMIT window->Tree()->itemDoubleClicked(item, 0);
    }
    EXPECT_EQ(called, (std::vector<std::string>{"1004", "1003"}));
}

TEST_F(ContactListWindowTest, SendInstantMessageAndWaitingAlertsOpenFromTheList) {
    UseGroups(false);
    FillFromServer();
    Open();
    Select("1004");
    EXPECT_FALSE(window->Commands().IsEnabled(cmd::kSendMessage));
    std::vector<std::string> messaged;
    window->SetMessageHandler([&](const std::string& id, const std::string& nick) {
        messaged.push_back(id + " " + nick);
    });
    EXPECT_TRUE(window->OnCommand(cmd::kSendMessage));
    ASSERT_EQ(messaged.size(), 1u);
    EXPECT_EQ(messaged[0].substr(0, 5), "1004 ");
    // A double-click on a contact with a waiting alert opens the alert instead of calling.
    std::vector<std::string> called;
    std::vector<std::string> opened;
    window->SetCallHandler([&](const std::string& id) { called.push_back(id); });
    window->SetOpenAlertHandler([&](const std::string& id) {
        opened.push_back(id);
        return true;
    });
    Presence("1004", 0x01);
    Presence("1003", 0x01);
    window->ShowWaitingAlert("1004", 174, 0);
    for (const char* id : {"1004", "1003"}) {
        QTreeWidgetItem* item = window->ItemOf(id);
        ASSERT_NE(item, nullptr) << id;
        window->Tree()->setCurrentItem(item);
        Q_EMIT window->Tree()->itemDoubleClicked(item, 0);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"1004"}));
    EXPECT_EQ(called, (std::vector<std::string>{"1003"}));
}

TEST_F(ContactListWindowTest, SynchronizingDisablesTreeAndButtons) {
    DirectoryClient& client = Directory();
    const std::string S(1, reply::kItemSeparator);
    test::Gate gate;
    server->Answer("GetContacts", [&](const test::TestHttpServer::Request&, int) {
        gate.Wait();
        return "Success" + S + "Group=Work" + S + "Contacts=dave" + S + "1001" + S;
    });
    UseGroups(true);
    FillFromServer();
    store.SetDirectoryClient(&client);
    Open();
    store.SynchronizeWithServer(9);
    EXPECT_EQ(window->Caption(), "Synchronizing...");
    EXPECT_FALSE(window->Tree()->isEnabled());
    for (int id : {cmd::kAddContact, cmd::kAddGroup, cmd::kRemoveFromList, cmd::kBlockContact,
                   cmd::kCallContact}) {
        EXPECT_FALSE(window->Button(id)->isEnabled()) << id;
    }
    gate.Open();
    ASSERT_TRUE(rig->DriveUntil([&] { return !store.Synchronizing(); }));
    EXPECT_EQ(window->Caption(), "Contacts");
    EXPECT_TRUE(window->Tree()->isEnabled());
    EXPECT_TRUE(window->Button(cmd::kAddContact)->isEnabled());
    EXPECT_EQ(store.ListVersion(), 9u);
    store.SetDirectoryClient(nullptr);
}

TEST_F(ContactListWindowTest, AddContactDialogFillsFromTheDirectory) {
    DirectoryClient& client = Directory();
    server->Answer("GetUserProfile", ProfileReply("Zoe", "Zed"));
    UseGroups(true);
    FillFromServer();
    window = std::make_unique<CContactListWindow>(CContactListWindow::Parts{
        store, &blocks, &client, settings, screen, [this] { return ownMode; }});
    window->show();
    window->Tree()->setCurrentItem(window->GroupItem("Chess"));
    EXPECT_TRUE(window->OnCommand(cmd::kAddContact));
    CAddContactDialog* dialog = window->AddContactDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QComboBox*>("group")->currentText(), "Chess");
    dialog->SetLoginId("2001");
    ASSERT_TRUE(rig->DriveUntil(
        [&] { return dialog->findChild<QLineEdit*>("nickName")->text() == "Zoe"; }));
    dialog->findChild<QPushButton*>("ok")->click();
    const UserProfile* zoe = store.Find("2001");
    ASSERT_NE(zoe, nullptr);
    EXPECT_EQ(zoe->NickName, "Zoe");
    EXPECT_EQ(zoe->LastName, "Zed");
    EXPECT_EQ(zoe->group, "Chess");
    EXPECT_EQ(InGroup("Chess"), (std::vector<std::string>{"frank", "gina", "Zoe"}));
    EXPECT_FALSE(dialog->isVisible());
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(window->AddContactDialog(), nullptr);  // it deletes itself on closing
}

TEST_F(ContactListWindowTest, AddContactUnknownToTheDirectoryKeepsWhatWasTyped) {
    DirectoryClient& client = Directory();
    const std::string S(1, reply::kItemSeparator);
    server->Answer("GetUserProfile", "Fail" + S + "User not found");
    UseGroups(true);
    FillFromServer();
    Open();
    CAddContactDialog dialog(store, &client, screen, "");
    dialog.findChild<QLineEdit*>("nickName")->setText("Typed Name");
    dialog.SetLoginId("2002");
    QLabel* status = dialog.findChild<QLabel*>("status");
    ASSERT_TRUE(rig->DriveUntil([&] { return status->text().contains("does not know"); }));
    EXPECT_EQ(dialog.findChild<QLineEdit*>("nickName")->text(), "Typed Name");
    EXPECT_TRUE(dialog.Apply());
    const UserProfile* added = store.Find("2002");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->NickName, "Typed Name");
    EXPECT_EQ(added->group, "General");
    EXPECT_EQ(server->Count("GetUserProfile"), 1u);
}

struct AddCase {
    const char* id;
    const char* nick;
    const char* group;
    bool added;
    const char* message;  // the box shown, when one is
    const char* groupAfter;
};

TEST_F(ContactListWindowTest, AddContactChecksItsFields) {
    UseGroups(true);
    FillFromServer();
    Open();
    const std::vector<AddCase> cases = {
        {"3001", "Ann", "", true, nullptr, "General"},
        {"3002", "  Bea ", "Chess", true, nullptr, "Chess"},
        {"3003", "Cy", "CHESS", true, nullptr, "Chess"},  // an existing group in another case
        {"3004", "Di", "New Friends", true, nullptr, "New Friends"},
        {"3005", "Ed", "R&D", false, kGroupNameRuleMessage, nullptr},
        {"3006", "Fi", "Contacts of mine", false, kGroupNameRuleMessage, nullptr},
        {"", "Gus", "", false, "Please enter a Quorvane ID: a number from 1 to 4294967295.",
         nullptr},
        {"12ab", "Hal", "", false, "Please enter a Quorvane ID: a number from 1 to 4294967295.",
         nullptr},
        {"4294967296", "Ivy", "", false,
         "Please enter a Quorvane ID: a number from 1 to 4294967295.", nullptr},
        {"0123", "Jo", "", false, "Please enter a Quorvane ID: a number from 1 to 4294967295.",
         nullptr},
        {"3011", "   ", "", false, "Please enter a nickname for the contact.", nullptr},
        {"1001", "dave again", "", false, "dave is already in your contact list.", nullptr},
    };
    for (const AddCase& c : cases) {
        screen.boxes.clear();
        CAddContactDialog dialog(store, nullptr, screen, "");
        dialog.findChild<QLineEdit*>("loginId")->setText(c.id);
        dialog.findChild<QLineEdit*>("nickName")->setText(c.nick);
        dialog.findChild<QComboBox*>("group")->setEditText(c.group);
        const bool before = store.Find(c.id) != nullptr;
        dialog.Apply();
        const UserProfile* added = store.Find(c.id);
        EXPECT_EQ(!before && added != nullptr, c.added) << c.id;
        if (c.message != nullptr) {
            ASSERT_EQ(screen.boxes.size(), 1u) << c.id;
            EXPECT_NE(screen.boxes[0].text.find(c.message), std::string::npos)
                << c.id << ": " << screen.boxes[0].text;
        } else {
            EXPECT_TRUE(screen.boxes.empty()) << c.id;
        }
        if (c.groupAfter != nullptr && added != nullptr) {
            EXPECT_EQ(added->group, c.groupAfter) << c.id;
            EXPECT_NE(window->ItemOf(c.id), nullptr) << c.id;
        }
    }
    EXPECT_EQ(store.Find("3002")->NickName, "Bea");
    EXPECT_NE(window->GroupItem("General"), nullptr);
    EXPECT_NE(window->GroupItem("New Friends"), nullptr);
}

TEST_F(ContactListWindowTest, AddGroupKeepsToTheNameRule) {
    UseGroups(true);
    FillFromServer();
    Open();
    for (const char* bad : {"a#b", "x\ty", "Group=x", "", "   ", "100%", "My Contacts"}) {
        screen.boxes.clear();
        CAddGroupDialog dialog(store, screen);
        dialog.findChild<QLineEdit*>("groupName")->setText(bad);
        EXPECT_FALSE(dialog.Apply()) << bad;
        ASSERT_EQ(screen.boxes.size(), 1u) << bad;
        EXPECT_EQ(screen.boxes[0].text, kGroupNameRuleMessage) << bad;
    }
    // Blanks around the name are not part of it.
    CAddGroupDialog dialog(store, screen);
    dialog.findChild<QLineEdit*>("groupName")->setText("  Neighbours ");
    EXPECT_TRUE(dialog.Apply());
    EXPECT_NE(store.FindGroup("Neighbours"), nullptr);
    EXPECT_EQ(Top(), (std::vector<std::string>{"Chess (0/2)", "family (0/2)", "Neighbours (0/0)",
                                               "Work (0/4)"}));
    screen.boxes.clear();
    CAddGroupDialog again(store, screen);
    again.findChild<QLineEdit*>("groupName")->setText("neighbours");
    EXPECT_FALSE(again.Apply());
    EXPECT_EQ(screen.boxes.size(), 1u);
}

TEST_F(ContactListWindowTest, StoreChangesArriveOneItemAtATime) {
    UseGroups(true);
    FillFromServer();
    Open();
    QTreeWidgetItem* work = window->GroupItem("Work");
    QTreeWidgetItem* dave = window->ItemOf("1001");
    ASSERT_TRUE(store.AddContact(Contact("4001", "Aaron", "Work")));
    EXPECT_EQ(window->GroupItem("Work"), work);
    EXPECT_EQ(window->ItemOf("1001"), dave);
    EXPECT_EQ(InGroup("Work"),
              (std::vector<std::string>{"Aaron", "ALBERT", "Carol", "dave", "Eve"}));
    ASSERT_TRUE(store.DeleteContact("4001"));
    EXPECT_EQ(window->ItemOf("4001"), nullptr);
    EXPECT_EQ(window->GroupItem("Work"), work);
    ASSERT_TRUE(store.DeleteGroup("Chess"));
    EXPECT_EQ(window->GroupItem("Chess"), nullptr);
    EXPECT_EQ(window->ItemOf("1006"), nullptr);
}

}  // namespace
}  // namespace qv
