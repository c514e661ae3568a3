#include "stores/CContactListWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <unordered_set>
#include <vector>

#include "settings/IniFile.h"
#include "stores/BlockStore.h"
#include "stores/CAddContactDialog.h"
#include "stores/CAddGroupDialog.h"
#include "stores/ContactIconSet.h"
#include "stores/ContactListCommands.h"
#include "stores/ContactStore.h"
#include "stores/ContactTreeOrder.h"

namespace qv {

namespace {

constexpr int kKindRole = Qt::UserRole;
// The contact's ID or the group's name: the store is asked for the object each time, so an item
// never reaches an object the store has let go of.
constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kIconRole = Qt::UserRole + 2;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string NameOf(const QTreeWidgetItem* item) {
    return item->data(0, kNameRole).toByteArray().toStdString();
}

std::string ExpandedKey(long index) {
    char key[32];
    std::snprintf(key, sizeof key, "Expanded%02ld", index);
    return key;
}

const char* StateText(ContactIcon icon) {
    switch (icon) {
        case ContactIcon::kOffline:
            return "Offline";
        case ContactIcon::kOnline:
            return "Online";
        case ContactIcon::kAway:
            return "Away";
        case ContactIcon::kDoNotDisturb:
            return "Do Not Disturb";
        case ContactIcon::kOccupied:
            return "Occupied";
        case ContactIcon::kAvailableForChat:
            return "Available For Chat";
        case ContactIcon::kInstantMessage:
            return "Instant message waiting";
        case ContactIcon::kInstantMessageHighPriority:
            return "High priority instant message waiting";
        case ContactIcon::kForumInvitation:
            return "Forum invitation waiting";
        case ContactIcon::kWebInvitation:
            return "Web invitation waiting";
        case ContactIcon::kVoiceMail:
            return "Voice mail waiting";
        case ContactIcon::kVoiceMailHighPriority:
            return "High priority voice mail waiting";
    }
    return "";
}

ContactTreeKey KeyOf(const UserProfile& contact) {
    return ContactTreeKey{ContactTreeKey::kContact, contact.NickName, contact.presenceFlags,
                          static_cast<std::uint32_t>(contact.waitingAlertTime)};
}

ContactTreeKey KeyOf(const ContactGroup& group) {
    return ContactTreeKey{ContactTreeKey::kGroup, group.name, 0, 0};
}

// Takes an item out of the tree; the caller owns it then.
std::unique_ptr<QTreeWidgetItem> Take(QTreeWidget* tree, QTreeWidgetItem* item) {
    if (QTreeWidgetItem* parent = item->parent()) {
        return std::unique_ptr<QTreeWidgetItem>(parent->takeChild(parent->indexOfChild(item)));
    }
    return std::unique_ptr<QTreeWidgetItem>(
        tree->takeTopLevelItem(tree->indexOfTopLevelItem(item)));
}

}  // namespace

CContactListWindow::CContactListWindow(Parts parts, QWidget* parent)
    : QWidget(parent),
      parts_(std::move(parts)),
      icons_(std::make_unique<ContactIconSet>()),
      caption_(new QLabel(kContactsCaption, this)),
      tree_(new QTreeWidget(this)) {
    setObjectName("ContactList");
    caption_->setObjectName("caption");
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);

    tree_->setObjectName("contactTree");
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setRootIsDecorated(false);
    tree_->setUniformRowHeights(true);
    tree_->setIconSize(QSize(ContactIconSet::kSize, ContactIconSet::kSize));
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->setIndentation(14);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &CContactListWindow::RefreshButtons);
    connect(tree_, &QTreeWidget::itemExpanded, this, [this] { SaveExpansion(); });
    connect(tree_, &QTreeWidget::itemCollapsed, this, [this] { SaveExpansion(); });
    connect(tree_, &QTreeWidget::customContextMenuRequested, this,
            &CContactListWindow::ShowContextMenu);
    // A double-click opens the contact's waiting alert, else calls a contact who can answer; an
    // offline one is only selected.
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        const UserProfile* contact = ContactOf(item);
        if (contact != nullptr && alerts_.count(contact->LoginId) != 0 && openAlert_ &&
            openAlert_(contact->LoginId)) {
            return;
        }
        if (contact != nullptr && IsShownOnline(contact->presenceFlags)) {
            OnCommand(cmd::kCallContact);
        }
    });

    auto* remove = new QAction(this);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    tree_->addAction(remove);
    connect(remove, &QAction::triggered, this, [this] { OnCommand(cmd::kRemoveFromList); });

    resortTimer_.setSingleShot(true);
    resortTimer_.setInterval(0);
    connect(&resortTimer_, &QTimer::timeout, this, &CContactListWindow::ResortDirty);

    BuildCommands();
    auto* row1 = new QHBoxLayout;
    row1->setSpacing(2);
    row1->addWidget(AddButton(cmd::kAddContact, "&Add", "Add a contact to your list"));
    row1->addWidget(AddButton(cmd::kAddGroup, "&Group", "Add a group to your list"));
    row1->addWidget(AddButton(cmd::kRemoveFromList, "&Remove",
                              "Remove the selected contact or group from your list"));
    auto* row2 = new QHBoxLayout;
    row2->setSpacing(2);
    row2->addWidget(AddButton(cmd::kBlockContact, "&Block", "Block the selected contact"));
    row2->addWidget(AddButton(cmd::kCallContact, "&Call", "Place a call to the selected contact"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addWidget(caption_);
    layout->addWidget(tree_, 1);
    layout->addLayout(row1);
    layout->addLayout(row2);

    parts_.contacts.SetUi(this);
    ReloadSettings();
    SynchronizingChanged(parts_.contacts.Synchronizing());
}

CContactListWindow::~CContactListWindow() {
    parts_.contacts.SetUi(nullptr);
}

void CContactListWindow::BuildCommands() {
    auto idle = [this] { return !synchronizing_; };
    commands_
        .On(
            cmd::kAddContact, [this] { OnAddContact(); }, idle)
        .On(
            cmd::kAddGroup, [this] { OnAddGroup(); },
            [this] { return !synchronizing_ && groupsEnabled_; })
        .On(
            cmd::kRemoveFromList, [this] { OnRemove(); },
            [this] {
                return !synchronizing_ &&
                       (SelectedContact() != nullptr || SelectedGroup() != nullptr);
            })
        .On(
            cmd::kBlockContact, [this] { OnBlock(); },
            [this] {
                return !synchronizing_ && parts_.blocks != nullptr && SelectedContact() != nullptr;
            })
        .On(
            cmd::kCallContact, [this] { OnCall(); },
            [this] { return !synchronizing_ && call_ && SelectedContact() != nullptr; })
        .On(
            cmd::kSendMessage,
            [this] {
                if (const UserProfile* contact = SelectedContact(); contact && message_) {
                    message_(contact->LoginId, contact->NickName);
                }
            },
            [this] { return message_ && SelectedContact() != nullptr; })
        .On(
            cmd::kInviteToForum,
            [this] {
                if (const UserProfile* contact = SelectedContact(); contact && inviteToForum_) {
                    inviteToForum_(contact->LoginId, contact->NickName);
                }
            },
            [this] {
                return !synchronizing_ && inviteToForum_ && canInviteToForum_ &&
                       SelectedContact() != nullptr && canInviteToForum_();
            });
}

QPushButton* CContactListWindow::AddButton(int id, const char* text, const char* tip) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString("command%1").arg(id));
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setMinimumWidth(20);
    connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
    buttons_[id] = button;
    return button;
}

QPushButton* CContactListWindow::Button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

void CContactListWindow::RefreshButtons() {
    for (auto& [id, button] : buttons_) {
        button->setEnabled(commands_.IsEnabled(id));
    }
}

bool CContactListWindow::OnCommand(int id) {
    const bool done = commands_.Dispatch(id);
    RefreshButtons();
    return done;
}

std::unique_ptr<QMenu> CContactListWindow::MakeContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const std::pair<int, const char*> entries[] = {
        {cmd::kAddContact, "&Add Contact..."},
        {cmd::kAddGroup, "Add &Group..."},
        {cmd::kRemoveFromList, "&Remove"},
        {cmd::kBlockContact, "&Block"},
        {cmd::kCallContact, "&Call"},
        {cmd::kSendMessage, "Send &Instant Message"},
        {cmd::kInviteToForum, "Invite to &Forum"},
    };
    for (const auto& [id, text] : entries) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        action->setEnabled(commands_.IsEnabled(id));
        connect(action, &QAction::triggered, this, [this, id = id] { OnCommand(id); });
    }
    return menu;
}

void CContactListWindow::ShowContextMenu(const QPoint& at) {
    if (QTreeWidgetItem* item = tree_->itemAt(at)) {
        tree_->setCurrentItem(item);
    }
    MakeContextMenu()->exec(tree_->viewport()->mapToGlobal(at));
}

void CContactListWindow::SetOpenAlertHandler(std::function<bool(const std::string&)> open) {
    openAlert_ = std::move(open);
}

void CContactListWindow::SetMessageHandler(
    std::function<void(const std::string&, const std::string&)> message) {
    message_ = std::move(message);
    RefreshButtons();
}

void CContactListWindow::SetForumInviteHandler(
    std::function<bool()> canInvite,
    std::function<void(const std::string&, const std::string&)> invite) {
    canInviteToForum_ = std::move(canInvite);
    inviteToForum_ = std::move(invite);
    RefreshButtons();
}

void CContactListWindow::SetCallHandler(std::function<void(const std::string&)> call) {
    call_ = std::move(call);
    RefreshButtons();
}

QString CContactListWindow::Caption() const {
    return caption_->text();
}

// ---- Items

ContactIcon CContactListWindow::IconFor(const UserProfile& contact) const {
    if (auto it = alerts_.find(contact.LoginId); it != alerts_.end()) {
        const std::uint16_t mode = parts_.ownMode ? parts_.ownMode() : 0;
        if (auto icon = AlertIcon(it->second.kind, it->second.flags, mode)) {
            return *icon;
        }
    }
    return PresenceIcon(contact.presenceFlags);
}

void CContactListWindow::Decorate(QTreeWidgetItem* item, const UserProfile& contact) {
    const ContactIcon icon = IconFor(contact);
    item->setText(0, Q(contact.NickName));
    item->setIcon(0, icons_->Icon(icon));
    item->setToolTip(0, Q(contact.NickName) + " (" + Q(contact.LoginId) + ")\n" + StateText(icon));
    item->setData(0, kIconRole, static_cast<int>(icon));
}

void CContactListWindow::DecorateGroup(QTreeWidgetItem* item, const ContactGroup& group) {
    int total = 0;
    int online = 0;
    for (const UserProfile* member : group.members) {
        // A contact on its way out is still a member while the window hears of it.
        if (member == nullptr || contactItems_.count(member->LoginId) == 0) {
            continue;
        }
        ++total;
        online += IsShownOnline(member->presenceFlags) ? 1 : 0;
    }
    item->setText(0, QString("%1 (%2/%3)").arg(Q(group.name)).arg(online).arg(total));
}

void CContactListWindow::DecorateGroupOf(const UserProfile& contact) {
    if (!groupsEnabled_) {
        return;
    }
    if (const ContactGroup* group = parts_.contacts.FindGroup(contact.group)) {
        if (auto it = groupItems_.find(group->name); it != groupItems_.end()) {
            DecorateGroup(it->second, *group);
        }
    }
}

QTreeWidgetItem* CContactListWindow::MakeContactItem(const UserProfile& contact) {
    auto item = std::make_unique<QTreeWidgetItem>();
    item->setData(0, kKindRole, static_cast<int>(ContactTreeKey::kContact));
    item->setData(0, kNameRole, QByteArray::fromStdString(contact.LoginId));
    Decorate(item.get(), contact);
    contactItems_[contact.LoginId] = item.get();
    return item.release();  // the caller hands it to the tree
}

QTreeWidgetItem* CContactListWindow::MakeGroupItem(const ContactGroup& group) {
    auto item = std::make_unique<QTreeWidgetItem>();
    item->setData(0, kKindRole, static_cast<int>(ContactTreeKey::kGroup));
    item->setData(0, kNameRole, QByteArray::fromStdString(group.name));
    item->setIcon(0, icons_->GroupIcon());
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    // The list font of the tree, bold: a refill after a font change picks the new one up.
    QFont font = tree_->font();
    font.setBold(true);
    item->setFont(0, font);
    groupItems_[group.name] = item.get();
    return item.release();
}

const UserProfile* CContactListWindow::ContactOf(const QTreeWidgetItem* item) const {
    if (item == nullptr || item->data(0, kKindRole).toInt() != ContactTreeKey::kContact) {
        return nullptr;
    }
    const std::string id = NameOf(item);
    auto it = contactItems_.find(id);
    if (it == contactItems_.end() || it->second != item) {
        return nullptr;
    }
    return parts_.contacts.Find(id);
}

const ContactGroup* CContactListWindow::GroupOf(const QTreeWidgetItem* item) const {
    if (item == nullptr || item->data(0, kKindRole).toInt() != ContactTreeKey::kGroup) {
        return nullptr;
    }
    const std::string name = NameOf(item);
    auto it = groupItems_.find(name);
    if (it == groupItems_.end() || it->second != item) {
        return nullptr;
    }
    return parts_.contacts.FindGroup(name);
}

const UserProfile* CContactListWindow::SelectedContact() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    return selected.isEmpty() ? nullptr : ContactOf(selected.front());
}

const ContactGroup* CContactListWindow::SelectedGroup() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    return selected.isEmpty() ? nullptr : GroupOf(selected.front());
}

QTreeWidgetItem* CContactListWindow::ItemOf(const std::string& loginId) const {
    auto it = contactItems_.find(loginId);
    return it == contactItems_.end() ? nullptr : it->second;
}

QTreeWidgetItem* CContactListWindow::GroupItem(const std::string& name) const {
    auto it = groupItems_.find(name);
    return it == groupItems_.end() ? nullptr : it->second;
}

std::optional<ContactIcon> CContactListWindow::IconOf(const std::string& loginId) const {
    const QTreeWidgetItem* item = ItemOf(loginId);
    if (item == nullptr) {
        return std::nullopt;
    }
    return static_cast<ContactIcon>(item->data(0, kIconRole).toInt());
}

// ---- Order

ContactTreeKey CContactListWindow::KeyOfItem(const QTreeWidgetItem* item) const {
    if (const UserProfile* contact = ContactOf(item)) {
        return KeyOf(*contact);
    }
    if (const ContactGroup* group = GroupOf(item)) {
        return KeyOf(*group);
    }
    // Gone from the store; the refill that follows puts everything right.
    return ContactTreeKey{
        static_cast<ContactTreeKey::Kind>(item->data(0, kKindRole).toInt()), {}, 0, 0};
}

void CContactListWindow::InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* item) {
    const ContactTreeKey key = KeyOfItem(item);
    const int count = parent != nullptr ? parent->childCount() : tree_->topLevelItemCount();
    // The first sibling that goes after the item: equal keys keep their order of arrival.
    int low = 0;
    int high = count;
    while (low < high) {
        const int mid = (low + high) / 2;
        QTreeWidgetItem* sibling =
            parent != nullptr ? parent->child(mid) : tree_->topLevelItem(mid);
        if (ContactTreeLess(key, KeyOfItem(sibling))) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    if (parent != nullptr) {
        parent->insertChild(low, item);
    } else {
        tree_->insertTopLevelItem(low, item);
    }
}

void CContactListWindow::Reposition(QTreeWidgetItem* item) {
    const UserProfile* contact = ContactOf(item);
    if (contact == nullptr) {
        return;
    }
    QTreeWidgetItem* parent = item->parent();
    const int count = parent != nullptr ? parent->childCount() : tree_->topLevelItemCount();
    const int index =
        parent != nullptr ? parent->indexOfChild(item) : tree_->indexOfTopLevelItem(item);
    auto at = [&](int i) { return parent != nullptr ? parent->child(i) : tree_->topLevelItem(i); };
    const ContactTreeKey key = KeyOf(*contact);
    auto before = [&](const QTreeWidgetItem* other, bool otherFirst) {
        const ContactTreeKey k = KeyOfItem(other);
        return otherFirst ? !ContactTreeLess(key, k) : !ContactTreeLess(k, key);
    };
    const bool inPlace = (index == 0 || before(at(index - 1), true)) &&
                         (index + 1 >= count || before(at(index + 1), false));
    if (inPlace) {
        return;
    }
    const bool selected = item->isSelected();
    const bool current = tree_->currentItem() == item;
    std::unique_ptr<QTreeWidgetItem> taken = Take(tree_, item);
    InsertSorted(parent, taken.release());
    ApplyHidden(item, *contact);
    // Taking the item out moved the selection to a neighbour: it comes back with the item.
    if (selected) {
        tree_->setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect);
    } else if (current) {
        tree_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    }
}

void CContactListWindow::SortChildren(QTreeWidgetItem* parent) {
    QTreeWidgetItem* root = parent != nullptr ? parent : tree_->invisibleRootItem();
    const bool wasRestoring = restoring_;
    restoring_ = true;  // the expansion put back below is not the user's
    QTreeWidgetItem* current = tree_->currentItem();
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    // Taking items out of the tree forgets what the view knew of them.
    std::vector<QTreeWidgetItem*> expanded;
    for (int i = 0; i < root->childCount(); ++i) {
        if (root->child(i)->isExpanded()) {
            expanded.push_back(root->child(i));
        }
    }
    const QList<QTreeWidgetItem*> taken = root->takeChildren();
    std::vector<std::pair<ContactTreeKey, QTreeWidgetItem*>> keyed;
    keyed.reserve(static_cast<std::size_t>(taken.size()));
    for (QTreeWidgetItem* item : taken) {
        keyed.emplace_back(KeyOfItem(item), item);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return ContactTreeLess(a.first, b.first);
    });
    QList<QTreeWidgetItem*> sorted;
    sorted.reserve(static_cast<qsizetype>(keyed.size()));
    for (const auto& entry : keyed) {
        sorted.append(entry.second);
    }
    root->addChildren(sorted);
    for (QTreeWidgetItem* item : expanded) {
        item->setExpanded(true);
    }
    for (QTreeWidgetItem* item : sorted) {
        if (const UserProfile* contact = ContactOf(item)) {
            ApplyHidden(item, *contact);
        }
    }
    if (current != nullptr && current->treeWidget() == tree_) {
        tree_->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    }
    if (!selected.isEmpty()) {
        tree_->clearSelection();
        for (QTreeWidgetItem* item : selected) {
            if (item->treeWidget() == tree_) {
                item->setSelected(true);
            }
        }
    }
    restoring_ = wasRestoring;
}

void CContactListWindow::ResortAll() {
    SortChildren(nullptr);
    for (auto& [name, group] : groupItems_) {
        SortChildren(group);
    }
}

void CContactListWindow::ResortDirty() {
    updatesSinceIdle_ = 0;
    const std::unordered_set<QTreeWidgetItem*> dirty = std::move(dirtyParents_);
    dirtyParents_.clear();
    for (QTreeWidgetItem* parent : dirty) {
        SortChildren(parent == tree_->invisibleRootItem() ? nullptr : parent);
        if (const ContactGroup* group = GroupOf(parent)) {
            DecorateGroup(parent, *group);
        }
    }
}

void CContactListWindow::ApplyHiddenToAll() {
    for (const auto& contact : parts_.contacts.Contacts()) {
        if (auto it = contactItems_.find(contact->LoginId); it != contactItems_.end()) {
            ApplyHidden(it->second, *contact);
        }
    }
}

void CContactListWindow::ApplyHidden(QTreeWidgetItem* item, const UserProfile& contact) {
    const bool hide = IsHiddenContact(contact.presenceFlags, onlineOnly_);
    if (item->isHidden() != hide) {
        item->setHidden(hide);
    }
}

// ---- The store's calls

void CContactListWindow::ListRebuilt() {
    // Another user's settings file: that user's way of showing the list.
    if (parts_.userSettings.Path() != settingsPath_) {
        settingsPath_ = parts_.userSettings.Path();
        groupsEnabled_ = parts_.userSettings.GetInt(kSection, "EnableGroups", 0) != 0;
        onlineOnly_ = parts_.userSettings.GetInt(kSection, "ShowOnlineOnly", 0) != 0;
    }
    restoring_ = true;
    tree_->setUpdatesEnabled(false);
    dirtyParents_.clear();
    tree_->clear();
    contactItems_.clear();
    groupItems_.clear();
    // Alerts of contacts that are gone are forgotten with them.
    for (auto it = alerts_.begin(); it != alerts_.end();) {
        it = parts_.contacts.Find(it->first) == nullptr ? alerts_.erase(it) : std::next(it);
    }
    const ContactStore& store = parts_.contacts;
    using Keyed = std::vector<std::pair<ContactTreeKey, QTreeWidgetItem*>>;
    auto sortedItems = [](Keyed& keyed) {
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
            return ContactTreeLess(a.first, b.first);
        });
        QList<QTreeWidgetItem*> items;
        items.reserve(static_cast<qsizetype>(keyed.size()));
        for (const auto& entry : keyed) {
            items.append(entry.second);
        }
        return items;
    };
    Keyed top;
    if (groupsEnabled_) {
        for (const auto& [name, group] : store.Groups()) {
            QTreeWidgetItem* groupItem = MakeGroupItem(group);
            Keyed members;
            members.reserve(group.members.size());
            for (const UserProfile* member : group.members) {
                if (member != nullptr && contactItems_.count(member->LoginId) == 0) {
                    members.emplace_back(KeyOf(*member), MakeContactItem(*member));
                }
            }
            groupItem->addChildren(sortedItems(members));
            DecorateGroup(groupItem, group);
            top.emplace_back(KeyOf(group), groupItem);
        }
    } else {
        top.reserve(store.Contacts().size());
        for (const auto& contact : store.Contacts()) {
            top.emplace_back(KeyOf(*contact), MakeContactItem(*contact));
        }
    }
    tree_->addTopLevelItems(sortedItems(top));
    tree_->setRootIsDecorated(groupsEnabled_);
    if (onlineOnly_) {
        ApplyHiddenToAll();
    }
    RestoreExpansion();
    tree_->setUpdatesEnabled(true);
    restoring_ = false;
    RefreshButtons();
}

void CContactListWindow::GroupAdded(const ContactGroup& group) {
    if (!groupsEnabled_ || groupItems_.count(group.name) != 0) {
        return;
    }
    QTreeWidgetItem* item = MakeGroupItem(group);
    InsertSorted(nullptr, item);
    for (const UserProfile* member : group.members) {
        if (member != nullptr && contactItems_.count(member->LoginId) == 0) {
            QTreeWidgetItem* child = MakeContactItem(*member);
            InsertSorted(item, child);
            ApplyHidden(child, *member);
        }
    }
    DecorateGroup(item, group);
}

void CContactListWindow::GroupRemoved(const ContactGroup& group) {
    auto it = groupItems_.find(group.name);
    if (it == groupItems_.end()) {
        return;
    }
    QTreeWidgetItem* item = it->second;
    groupItems_.erase(it);
    dirtyParents_.erase(item);
    // Members normally left before; any that did not go with their group.
    for (int i = 0; i < item->childCount(); ++i) {
        if (item->child(i)->data(0, kKindRole).toInt() == ContactTreeKey::kContact) {
            contactItems_.erase(NameOf(item->child(i)));
        }
    }
    const bool wasRestoring = restoring_;
    restoring_ = true;  // removing an expanded group is not the user collapsing it
    Take(tree_, item).reset();
    restoring_ = wasRestoring;
    RefreshButtons();
}

void CContactListWindow::ContactAdded(const UserProfile& contact) {
    if (contactItems_.count(contact.LoginId) != 0) {
        ContactUpdated(contact);
        return;
    }
    QTreeWidgetItem* parent = nullptr;
    if (groupsEnabled_) {
        const ContactGroup* group = parts_.contacts.FindGroup(contact.group);
        if (group != nullptr) {
            auto it = groupItems_.find(group->name);
            if (it == groupItems_.end()) {
                GroupAdded(*group);  // makes the contact's item too
                return;
            }
            parent = it->second;
        }
    }
    QTreeWidgetItem* item = MakeContactItem(contact);
    InsertSorted(parent, item);
    ApplyHidden(item, contact);
    DecorateGroupOf(contact);
}

void CContactListWindow::ContactRemoved(const UserProfile& contact) {
    alerts_.erase(contact.LoginId);
    auto it = contactItems_.find(contact.LoginId);
    if (it == contactItems_.end()) {
        return;
    }
    QTreeWidgetItem* item = it->second;
    contactItems_.erase(it);
    Take(tree_, item).reset();
    DecorateGroupOf(contact);
    RefreshButtons();
}

void CContactListWindow::ContactUpdated(const UserProfile& contact) {
    auto it = contactItems_.find(contact.LoginId);
    if (it == contactItems_.end()) {
        return;
    }
    QTreeWidgetItem* item = it->second;
    Decorate(item, contact);
    ApplyHidden(item, contact);
    if (!resortTimer_.isActive()) {
        resortTimer_.start();
    }
    // A burst (the presence replies after a login, everyone offline at a disconnect) sorts each
    // list once when it is over instead of moving items one by one through a long list.
    if (++updatesSinceIdle_ <= kMovesPerBurst) {
        Reposition(item);
        DecorateGroupOf(contact);
    } else {
        dirtyParents_.insert(item->parent() != nullptr ? item->parent()
                                                       : tree_->invisibleRootItem());
    }
}

void CContactListWindow::SynchronizingChanged(bool on) {
    synchronizing_ = on;
    caption_->setText(on ? kSynchronizingCaption : kContactsCaption);
    tree_->setEnabled(!on);
    RefreshButtons();
}

void CContactListWindow::InitialPresenceDone() {
    ResortAll();
}

// ---- Settings

void CContactListWindow::SetGroupsEnabled(bool on) {
    parts_.userSettings.WriteInt(kSection, "EnableGroups", on ? 1 : 0);
    if (groupsEnabled_ != on) {
        groupsEnabled_ = on;
        ListRebuilt();
    }
}

void CContactListWindow::SetOnlineOnly(bool on) {
    parts_.userSettings.WriteInt(kSection, "ShowOnlineOnly", on ? 1 : 0);
    onlineOnly_ = on;
    ApplyHiddenToAll();
    RefreshButtons();
}

void CContactListWindow::ReloadSettings() {
    settingsPath_ = parts_.userSettings.Path();
    groupsEnabled_ = parts_.userSettings.GetInt(kSection, "EnableGroups", 0) != 0;
    onlineOnly_ = parts_.userSettings.GetInt(kSection, "ShowOnlineOnly", 0) != 0;
    ListRebuilt();
}

void CContactListWindow::RestoreExpansion() {
    const bool wasRestoring = restoring_;
    restoring_ = true;
    const std::int32_t count = parts_.userSettings.GetInt(kSection, "NumExpanded", 0);
    for (std::int32_t i = 0; i < count && i < 10000; ++i) {
        const std::string name = parts_.userSettings.GetString(kSection, ExpandedKey(i));
        if (QTreeWidgetItem* item = GroupItem(name)) {
            item->setExpanded(true);
        }
    }
    restoring_ = wasRestoring;
}

void CContactListWindow::SaveExpansion() {
    if (restoring_ || !groupsEnabled_) {
        return;
    }
    IniFile& settings = parts_.userSettings;
    const std::int32_t before = settings.GetInt(kSection, "NumExpanded", 0);
    long count = 0;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tree_->topLevelItem(i);
        if (const ContactGroup* group = GroupOf(item); group != nullptr && item->isExpanded()) {
            settings.WriteString(kSection, ExpandedKey(count++), group->name);
        }
    }
    settings.WriteInt(kSection, "NumExpanded", static_cast<std::int32_t>(count));
    // Names left from a longer list would only mislead a reader of the file.
    for (long i = count; i < before && i < 10000; ++i) {
        settings.DeleteKey(kSection, ExpandedKey(i));
    }
}

// ---- Alerts

void CContactListWindow::ShowWaitingAlert(const std::string& loginId, int alertKind,
                                          std::uint16_t messageFlags) {
    if (alertKind == 0) {
        alerts_.erase(loginId);
    } else {
        alerts_[loginId] = Alert{alertKind, messageFlags};
    }
    if (const UserProfile* contact = parts_.contacts.Find(loginId)) {
        if (auto it = contactItems_.find(loginId); it != contactItems_.end()) {
            Decorate(it->second, *contact);
        }
    }
}

void CContactListWindow::OwnModeChanged() {
    for (const auto& [id, alert] : alerts_) {
        if (const UserProfile* contact = parts_.contacts.Find(id)) {
            if (auto it = contactItems_.find(id); it != contactItems_.end()) {
                Decorate(it->second, *contact);
            }
        }
    }
}

// ---- Commands

CAddContactDialog* CContactListWindow::AddContactDialog() const {
    return addContact_;
}

CAddGroupDialog* CContactListWindow::AddGroupDialog() const {
    return addGroup_;
}

void CContactListWindow::OnAddContact() {
    std::string group;
    if (const ContactGroup* g = SelectedGroup()) {
        group = g->name;
    } else if (const UserProfile* c = SelectedContact()) {
        group = c->group;
    }
    if (addContact_) {
        addContact_->raise();
        addContact_->activateWindow();
        return;
    }
    addContact_ =
        new CAddContactDialog(parts_.contacts, parts_.directory, parts_.screen, group, this);
    addContact_->setAttribute(Qt::WA_DeleteOnClose);
    addContact_->setWindowFlag(Qt::Window);
    addContact_->show();
}

void CContactListWindow::OnAddGroup() {
    if (addGroup_) {
        addGroup_->raise();
        addGroup_->activateWindow();
        return;
    }
    addGroup_ = new CAddGroupDialog(parts_.contacts, parts_.screen, this);
    addGroup_->setAttribute(Qt::WA_DeleteOnClose);
    addGroup_->setWindowFlag(Qt::Window);
    addGroup_->show();
}

void CContactListWindow::OnRemove() {
    if (const UserProfile* contact = SelectedContact()) {
        const std::string id = contact->LoginId;
        parts_.contacts.DeleteContact(id);
    } else if (const ContactGroup* group = SelectedGroup()) {
        const std::string name = group->name;
        parts_.contacts.RemoveGroupAsking(name);
    }
}

void CContactListWindow::OnBlock() {
    const UserProfile* contact = SelectedContact();
    if (contact == nullptr || parts_.blocks == nullptr) {
        return;
    }
    // Copies: blocking removes the contact from the list.
    const std::string id = contact->LoginId;
    const std::string nick = contact->NickName;
    parts_.blocks->Block(id, nick, "");
}

void CContactListWindow::OnCall() {
    if (const UserProfile* contact = SelectedContact(); contact != nullptr && call_) {
        call_(contact->LoginId);
    }
}

}  // namespace qv
