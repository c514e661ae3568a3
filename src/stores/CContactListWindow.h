#pragma once

// The contact list in the main view: a caption line, a tree of groups (when EnableGroups is on)
// and contacts with their presence, and the buttons of the commands on the selection. The
// store tells it about every change through ContactListUi, one item at a time.

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "stores/ContactDisplay.h"
#include "stores/ContactListUi.h"
#include "stores/ContactTreeOrder.h"
#include "ui/CommandMap.h"

class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qv {

class BlockStore;
class CAddContactDialog;
class CAddGroupDialog;
class ContactIconSet;
class ContactStore;
class DirectoryClient;
class IniFile;
class Screen;

class CContactListWindow : public QWidget, public ContactListUi {
    Q_OBJECT
  public:
    static constexpr const char* kSection = "ContactList";
    static constexpr const char* kSynchronizingCaption = "Synchronizing...";
    static constexpr const char* kContactsCaption = "Contacts";

    struct Parts {
        ContactStore& contacts;
        BlockStore* blocks = nullptr;
        DirectoryClient* directory = nullptr;
        // Options.ini of the user: section ContactList.
        IniFile& userSettings;
        Screen& screen;
        // The user's own presence mode (what waiting alerts show depends on it).
        std::function<std::uint16_t()> ownMode;
    };

    CContactListWindow(Parts parts, QWidget* parent = nullptr);
    ~CContactListWindow() override;

    // ContactListUi
    void ListRebuilt() override;
    void GroupAdded(const ContactGroup& group) override;
    void GroupRemoved(const ContactGroup& group) override;
    void ContactAdded(const UserProfile& contact) override;
    void ContactRemoved(const UserProfile& contact) override;
    void ContactUpdated(const UserProfile& contact) override;
    void SynchronizingChanged(bool on) override;
    void InitialPresenceDone() override;

    // The settings of section ContactList; each change is written and the tree refilled.
    bool GroupsEnabled() const { return groupsEnabled_; }
    bool OnlineOnly() const { return onlineOnly_; }
    void SetGroupsEnabled(bool on);
    void SetOnlineOnly(bool on);
    // Reads the settings again and refills (a refill of the store does so by itself when the
    // settings file is another user's).
    void ReloadSettings();

    // A waiting alert from the contact shows its kind instead of the presence (alert kind 0:
    // none waits any more). The alerts store calls it.
    void ShowWaitingAlert(const std::string& loginId, int alertKind, std::uint16_t messageFlags);
    // The user's own presence mode changed: what waiting alerts show may change with it.
    void OwnModeChanged();

    // The Call command places a call to the selected contact; without a handler it is disabled.
    void SetCallHandler(std::function<void(const std::string& loginId)> call);
    // Opens the waiting alert from a contact (double-click); false when none was opened.
    void SetOpenAlertHandler(std::function<bool(const std::string& loginId)> open);
    // "Send Instant Message" on the selected contact (null: the command is disabled).
    void SetMessageHandler(
        std::function<void(const std::string& loginId, const std::string& nickname)> message);

    // "Invite to Forum" on the selected contact: enabled while canInvite says the user is in a
    // forum; invite sends the invitation (null handlers: the command is disabled).
    void SetForumInviteHandler(
        std::function<bool()> canInvite,
        std::function<void(const std::string& loginId, const std::string& nickname)> invite);

    // The context menu of the selection as it opens: every entry with its enabled state.
    std::unique_ptr<QMenu> MakeContextMenu();

    const CommandMap& Commands() const { return commands_; }
    bool OnCommand(int id);
    QTreeWidget* Tree() const { return tree_; }
    QString Caption() const;
    QPushButton* Button(int id) const;
    // The icon a contact shows now, or none when it has no item.
    std::optional<ContactIcon> IconOf(const std::string& loginId) const;
    QTreeWidgetItem* ItemOf(const std::string& loginId) const;
    QTreeWidgetItem* GroupItem(const std::string& name) const;
    // The dialogs the commands opened, while they are open.
    CAddContactDialog* AddContactDialog() const;
    CAddGroupDialog* AddGroupDialog() const;

  private:
    struct Alert {
        int kind = 0;
        std::uint16_t flags = 0;
    };

    void BuildCommands();
    QPushButton* AddButton(int id, const char* text, const char* tip);
    void RefreshButtons();
    void ShowContextMenu(const QPoint& at);

    QTreeWidgetItem* MakeContactItem(const UserProfile& contact);
    QTreeWidgetItem* MakeGroupItem(const ContactGroup& group);
    void Decorate(QTreeWidgetItem* item, const UserProfile& contact);
    void DecorateGroup(QTreeWidgetItem* item, const ContactGroup& group);
    void DecorateGroupOf(const UserProfile& contact);
    ContactIcon IconFor(const UserProfile& contact) const;
    // Puts an item (not in the tree) at its place among the children of parent (null: top).
    void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* item);
    // Moves an item that is in the tree to its place among its siblings, when it is not there.
    void Reposition(QTreeWidgetItem* item);
    void SortChildren(QTreeWidgetItem* parent);
    void ResortAll();
    void ResortDirty();
    void ApplyHidden(QTreeWidgetItem* item, const UserProfile& contact);
    void ApplyHiddenToAll();
    ContactTreeKey KeyOfItem(const QTreeWidgetItem* item) const;

    void RestoreExpansion();
    void SaveExpansion();

    const UserProfile* ContactOf(const QTreeWidgetItem* item) const;
    const ContactGroup* GroupOf(const QTreeWidgetItem* item) const;
    const UserProfile* SelectedContact() const;
    const ContactGroup* SelectedGroup() const;

    void OnAddContact();
    void OnAddGroup();
    void OnRemove();
    void OnBlock();
    void OnCall();

    Parts parts_;
    std::unique_ptr<ContactIconSet> icons_;
    QLabel* caption_;
    QTreeWidget* tree_;
    std::map<int, QPushButton*> buttons_;
    CommandMap commands_;
    std::function<void(const std::string&)> call_;
    std::function<void(const std::string&, const std::string&)> message_;
    std::function<bool()> canInviteToForum_;
    std::function<void(const std::string&, const std::string&)> inviteToForum_;
    std::function<bool(const std::string&)> openAlert_;
    QPointer<CAddContactDialog> addContact_;
    QPointer<CAddGroupDialog> addGroup_;

    std::string settingsPath_;
    bool groupsEnabled_ = false;
    bool onlineOnly_ = false;
    bool synchronizing_ = false;
    // Set while the window itself expands groups, so that only the user's clicks are saved.
    bool restoring_ = false;
    // By Quorvane ID and by group name.
    std::unordered_map<std::string, QTreeWidgetItem*> contactItems_;
    std::unordered_map<std::string, QTreeWidgetItem*> groupItems_;
    std::unordered_map<std::string, Alert> alerts_;
    // Presence changes beyond this many before the event loop runs again are sorted together.
    static constexpr int kMovesPerBurst = 64;
    int updatesSinceIdle_ = 0;
    QTimer resortTimer_;
    std::unordered_set<QTreeWidgetItem*> dirtyParents_;
};

}  // namespace qv
