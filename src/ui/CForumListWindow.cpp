#include "ui/CForumListWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "calls/ForumNames.h"
#include "calls/ForumTree.h"
#include "engine/CSonaroManager.h"
#include "messaging/SystemNotices.h"
#include "settings/IniFile.h"
#include "settings/Options.h"
#include "ui/CAdultWarningDialog.h"
#include "ui/CCreateForumDialog.h"
#include "ui/CJoinForumDialog.h"
#include "ui/ForumListImages.h"
#include "ui/ScreenFit.h"

namespace qv {

namespace {

constexpr int kMissing = -32768;
constexpr int kPathRole = Qt::UserRole;
constexpr int kFlagsRole = Qt::UserRole + 1;
constexpr int kAdultRole = Qt::UserRole + 2;
constexpr int kCountRole = Qt::UserRole + 3;
constexpr int kImageColumnWidth = 24;
static_assert(std::size(kForumListColumns) == CForumListWindow::kColumnCount);

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Rows sort by the clicked column; top-level adult categories stay after all others whichever
// way the column is sorted.
class ForumItem : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem& other) const override {
        const bool adult = data(0, kAdultRole).toBool();
        const bool otherAdult = other.data(0, kAdultRole).toBool();
        const QTreeWidget* tree = treeWidget();
        const bool descending =
            tree != nullptr && tree->header()->sortIndicatorOrder() == Qt::DescendingOrder;
        if (adult != otherAdult) {
            // Qt reverses the result for a descending sort.
            return descending ? adult : otherAdult;
        }
        const int column = tree != nullptr ? tree->sortColumn() : CForumListWindow::kNameColumn;
        const auto flags = data(0, kFlagsRole).toUInt();
        const auto otherFlags = other.data(0, kFlagsRole).toUInt();
        auto byName = [&] {
            const int name = CForumListWindow::kNameColumn;
            return text(name).compare(other.text(name), Qt::CaseInsensitive) < 0;
        };
        auto byKey = [&](long long a, long long b) { return a != b ? a < b : byName(); };
        switch (column) {
            case CForumListWindow::kPasswordColumn:
                return byKey(flags & ForumNode::kPassword, otherFlags & ForumNode::kPassword);
            case CForumListWindow::kModeratedColumn:
                return byKey(
                    flags & (ForumNode::kModerated | ForumNode::kControlledMicrophones),
                    otherFlags & (ForumNode::kModerated | ForumNode::kControlledMicrophones));
            case CForumListWindow::kCategoryColumn:
                // Categories first.
                return byKey(-(long long)(flags & ForumNode::kCategory),
                             -(long long)(otherFlags & ForumNode::kCategory));
            case CForumListWindow::kRoomsColumn:
                return byKey(data(CForumListWindow::kRoomsColumn, kCountRole).toLongLong(),
                             other.data(CForumListWindow::kRoomsColumn, kCountRole).toLongLong());
            case CForumListWindow::kUsersColumn:
                return byKey(data(CForumListWindow::kUsersColumn, kCountRole).toLongLong(),
                             other.data(CForumListWindow::kUsersColumn, kCountRole).toLongLong());
            default:
                return byName();
        }
    }
};

}  // namespace

CForumListWindow::CForumListWindow(Parts parts, QWidget* parent)
    : QDialog(parent),
      parts_(std::move(parts)),
      toolBar_(new QToolBar(this)),
      pathBox_(new QComboBox(this)),
      list_(new QTreeWidget(this)) {
    setObjectName("ForumListWindow");
    setWindowTitle(kTitle);
    setWindowFlag(Qt::Window);
    setSizeGripEnabled(true);

    toolBar_->setObjectName("toolBar");
    toolBar_->setIconSize(QSize(ForumListImages::kSize, ForumListImages::kSize));
    auto tool = [this](const char* name, const QIcon& icon, const char* tip, auto handler) {
        QAction* action = toolBar_->addAction(icon, tip);
        action->setObjectName(name);
        action->setToolTip(tip);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    tool("levelUp", ForumListImages::LevelUp(), "One level up", [this] { OneLevelUp(); });
    tool("refresh", ForumListImages::Refresh(), "Refresh forums", [this] { RefreshForums(); });
    tool("create", ForumListImages::Create(), "Create forum", [this] { CreateForum(); });
    tool("openJoin", ForumListImages::OpenJoin(), "Open/join", [this] { OpenJoin(); });

    pathBox_->setObjectName("pathBox");
    pathBox_->setToolTip("Forum path");
    pathBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    pathBox_->setMinimumContentsLength(12);
    connect(pathBox_, &QComboBox::activated, this,
            [this](int index) { ShowLevel(pathBox_->itemData(index).toString().toStdString()); });

    list_->setObjectName("forums");
    list_->setColumnCount(kColumnCount);
    QTreeWidgetItem* header = list_->headerItem();
    for (int c = 0; c < kColumnCount; ++c) {
        header->setText(c, kForumListColumns[c].header);
        header->setToolTip(c, kForumListColumns[c].longHeader);
    }
    if (parts_.moderationEnabled) {
        header->setToolTip(kModeratedColumn, kModeratedMicrophoneHeader);
    }
    for (int c : {kRoomsColumn, kUsersColumn}) {
        header->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    list_->setRootIsDecorated(false);
    list_->setIndentation(0);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setIconSize(QSize(ForumListImages::kSize, ForumListImages::kSize));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->header()->setSectionsMovable(false);
    list_->header()->setStretchLastSection(false);
    list_->header()->setMinimumSectionSize(0);
    for (int c = 0; c < kColumnCount; ++c) {
        list_->header()->setSectionResizeMode(c, QHeaderView::Fixed);
    }
    list_->setSortingEnabled(true);
    list_->sortByColumn(kNameColumn, Qt::AscendingOrder);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { Activated(item); });

    auto button = [this](const char* name, const char* text, const char* tip, auto handler) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    QPushButton* refresh =
        button("refreshButton", "&Refresh", "Refresh forums", [this] { RefreshForums(); });
    QPushButton* create =
        button("createButton", "&Create", "Create forum", [this] { CreateForum(); });
    QPushButton* join = button("joinButton", "&Join", "Join forum", [this] { JoinSelected(); });

    auto* pathRow = new QHBoxLayout;
    auto* pathLabel = new QLabel("&Path:", this);
    pathLabel->setBuddy(pathBox_);
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(pathBox_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh);
    buttons->addWidget(create);
    buttons->addStretch(1);
    buttons->addWidget(join);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(toolBar_);
    layout->addLayout(pathRow);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    resize(340, 420);
    RestorePlacement();
    if (CSonaroManager* m = parts_.manager) {
        m->Subscribe<engine_event::groupListUpdate>(&CForumListWindow::GroupListThunk, this);
        m->Subscribe<engine_event::ConnectionState>(&CForumListWindow::ConnectionStateThunk, this);
        connectionState_ = m->State();
    }
    // What the engine listed before this window existed.
    if (parts_.tree != nullptr) {
        auto lock = parts_.tree->Hold();
        Fill(parts_.tree->Root(lock));
    }
}

CForumListWindow::~CForumListWindow() {
    destroying_ = true;
    if (CSonaroManager* m = parts_.manager) {
        m->Unsubscribe<engine_event::groupListUpdate>(&CForumListWindow::GroupListThunk, this);
        m->Unsubscribe<engine_event::ConnectionState>(&CForumListWindow::ConnectionStateThunk,
                                                      this);
    }
    SavePlacement();
}

// ---- the group list ------------------------------------------------------------------------

void CForumListWindow::GroupListThunk(const std::string& text, void* self) {
    static_cast<CForumListWindow*>(self)->OnGroupList(text);
}

void CForumListWindow::OnGroupList(const std::string& text) {
    if (parts_.tree == nullptr) {
        return;
    }
    parts_.tree->SetPending(text);
    // Parsed from the event loop, as a posted message would be; dropped with the window.
    QMetaObject::invokeMethod(
        this, [this] { ParsePending(); }, Qt::QueuedConnection);
}

void CForumListWindow::ParsePending() {
    if (parts_.tree == nullptr) {
        return;
    }
    auto lock = parts_.tree->Hold();
    if (parts_.tree->HasPending(lock)) {
        parts_.tree->Rebuild(lock);
    }
    Fill(parts_.tree->LevelAfterRefresh(lock, shownPath_));
}

void CForumListWindow::ConnectionStateThunk(std::int32_t state, void* self) {
    static_cast<CForumListWindow*>(self)->OnConnectionState(state);
}

void CForumListWindow::OnConnectionState(std::int32_t state) {
    // Disconnecting closes the list; a session that was never up has nothing to close.
    const bool wasUp = connectionState_ != 0;
    connectionState_ = state;
    if (state == 0 && wasUp) {
        hide();
    }
    if (state == CSonaroManager::kLoggedIn && parts_.userSettings != nullptr &&
        parts_.userSettings->Path() != settingsPath_) {
        UserChanged();
    }
}

void CForumListWindow::UserChanged() {
    if (parts_.userSettings == nullptr) {
        return;
    }
    // Moves and sizes while the new place is applied are not the user's.
    placed_ = false;
    RestorePlacement();
    if (parts_.userSettings->GetInt(kSection, "ShowForumList", 0) != 0) {
        show();
    } else {
        hide();
    }
    placed_ = true;
}

// ---- levels --------------------------------------------------------------------------------

void CForumListWindow::ShowLevel(const std::string& path) {
    if (parts_.tree == nullptr) {
        return;
    }
    auto lock = parts_.tree->Hold();
    Fill(parts_.tree->LevelAfterRefresh(lock, path));
}

void CForumListWindow::Fill(const ForumNode& level) {
    // Called with the tree lock held.
    shownPath_ = PathOf(level);
    const bool top = level.IsRoot();
    const std::string selected =
        list_->currentItem() != nullptr
            ? list_->currentItem()->data(0, kPathRole).toString().toStdString()
            : std::string();
    list_->setUpdatesEnabled(false);
    list_->setSortingEnabled(false);
    list_->clear();
    QList<QTreeWidgetItem*> items;
    QTreeWidgetItem* reselect = nullptr;
    // Rows keep the height of a row with images, also on a level where no row has one.
    const int rowHeight = std::max(ForumListImages::kSize + 2, list_->fontMetrics().height() + 4);
    for (const ForumNode* node : ShownChildren(level)) {
        auto* item = new ForumItem;
        item->setSizeHint(0, QSize(0, rowHeight));
        const std::string path = PathOf(*node);
        item->setData(0, kPathRole, Q(path));
        item->setData(0, kFlagsRole, node->flags);
        item->setData(0, kAdultRole, top && IsAdultCategory(*node));
        if ((node->flags & ForumNode::kPassword) != 0) {
            item->setIcon(kPasswordColumn, QIcon(ForumListImages::Lock()));
            item->setToolTip(kPasswordColumn, "Password required");
        }
        if ((node->flags & ForumNode::kControlledMicrophones) != 0) {
            item->setIcon(kModeratedColumn, QIcon(ForumListImages::Microphone()));
            item->setToolTip(kModeratedColumn, "Microphone Controlled");
        } else if ((node->flags & ForumNode::kModerated) != 0) {
            item->setIcon(kModeratedColumn, QIcon(ForumListImages::Moderated()));
            item->setToolTip(kModeratedColumn, "Moderated");
        }
        if (node->IsCategory()) {
            item->setIcon(kCategoryColumn, QIcon(ForumListImages::Folder()));
            item->setToolTip(kCategoryColumn, "Category");
            const auto rooms = static_cast<long long>(ForumsBelow(*node));
            item->setText(kRoomsColumn, QString::number(rooms));
            item->setData(kRoomsColumn, kCountRole, rooms);
        } else if (top) {
            item->setIcon(kCategoryColumn, QIcon(ForumListImages::TopLevelForum()));
            item->setToolTip(kCategoryColumn, "Forum");
        }
        // The name without a category's slash reads as a folder's name.
        std::string shown = node->name;
        if (node->IsCategory() && !shown.empty() && shown.back() == '/') {
            shown.pop_back();
        }
        item->setText(kNameColumn, Q(shown));
        item->setToolTip(kNameColumn, Q(path));
        if (!node->IsCategory()) {
            item->setText(kUsersColumn, QString::number(node->userCount));
            item->setData(kUsersColumn, kCountRole, static_cast<long long>(node->userCount));
        }
        item->setTextAlignment(kRoomsColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(kUsersColumn, Qt::AlignRight | Qt::AlignVCenter);
        if (!selected.empty() && path == selected) {
            reselect = item;
        }
        items.append(item);
    }
    list_->addTopLevelItems(items);
    list_->setSortingEnabled(true);
    if (reselect != nullptr) {
        list_->setCurrentItem(reselect);
    }
    list_->setUpdatesEnabled(true);
    SizeColumns();
    FillPathBox();
}

void CForumListWindow::FillPathBox() {
    pathBox_->blockSignals(true);
    pathBox_->clear();
    pathBox_->addItem("/", QString());
    // Each category on the way down: "General/", "General/Friends/".
    for (std::size_t i = 0; i < shownPath_.size(); ++i) {
        if (shownPath_[i] == '/') {
            const std::string level = shownPath_.substr(0, i + 1);
            pathBox_->addItem(Q(level), Q(level));
        }
    }
    pathBox_->setCurrentIndex(pathBox_->count() - 1);
    pathBox_->blockSignals(false);
}

void CForumListWindow::SizeColumns() {
    QHeaderView* header = list_->header();
    const int images = kImageColumnWidth * 3;
    const int rest = std::max(0, list_->viewport()->width() - images);
    for (int c : {kPasswordColumn, kModeratedColumn, kCategoryColumn}) {
        header->resizeSection(c, kImageColumnWidth);
    }
    const bool topInfo = parts_.options != nullptr && parts_.options->EnableTopLevelForumsInfo();
    const bool top = shownPath_.empty() && !topInfo;
    int used = 0;
    for (int c : {kNameColumn, kRoomsColumn}) {
        const ForumListColumn& column = kForumListColumns[c];
        const int width = rest * (top ? column.topLevelPercent : column.percent) / 100;
        header->resizeSection(c, width);
        used += width;
    }
    // The last column takes what rounding left.
    header->resizeSection(kUsersColumn, std::max(0, rest - used));
}

void CForumListWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    SizeColumns();
    SavePlacement();
}

// ---- commands ------------------------------------------------------------------------------

void CForumListWindow::OneLevelUp() {
    if (shownPath_.empty()) {
        return;
    }
    std::string up = shownPath_;
    up.pop_back();
    ShowLevel(CategoryPart(up));
    RefreshForums();
}

void CForumListWindow::RefreshForums() {
    if (parts_.manager != nullptr) {
        parts_.manager->ClearModeFlags();
    }
}

void CForumListWindow::OpenJoin() {
    QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr) {
        JoinSelected();
        return;
    }
    Activated(item);
}

void CForumListWindow::Activated(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    const std::string path = item->data(0, kPathRole).toString().toStdString();
    if ((item->data(0, kFlagsRole).toUInt() & ForumNode::kCategory) != 0) {
        if (!AllowJoin(path)) {
            return;
        }
        ShowLevel(path);
        return;
    }
    JoinSelected();
}

void CForumListWindow::JoinSelected() {
    if (joinDialog_) {
        OpenJoinDialog({});
        return;
    }
    QTreeWidgetItem* item = list_->currentItem();
    std::string path;
    std::uint32_t flags = 0;
    if (item != nullptr) {
        path = item->data(0, kPathRole).toString().toStdString();
        flags = item->data(0, kFlagsRole).toUInt();
    }
    if ((flags & ForumNode::kCategory) != 0) {
        // A category is opened, not joined.
        Activated(item);
        return;
    }
    if (item != nullptr && !path.empty() && (flags & ForumNode::kPassword) == 0) {
        // The category was entered through the warning; a row can also be reached again after
        // the window was made anew, so the warning is asked here too.
        if (!AllowJoin(path)) {
            return;
        }
        if (parts_.joinExisting &&
            parts_.joinExisting(path, {}, (flags & ForumNode::kModerated) != 0,
                                (flags & ForumNode::kControlledMicrophones) != 0)) {
            HideAfterJoin();
        }
        return;
    }
    OpenJoinDialog((flags & ForumNode::kPassword) != 0 ? path : std::string());
}

CJoinForumDialog* CForumListWindow::JoinDialog() const {
    return joinDialog_;
}

CCreateForumDialog* CForumListWindow::CreateDialog() const {
    return createDialog_;
}

CJoinForumDialog* CForumListWindow::OpenJoinDialog(const std::string& name) {
    if (joinDialog_) {
        joinDialog_->show();
        joinDialog_->raise();
        joinDialog_->activateWindow();
        joinDialog_->FocusField();
        return joinDialog_;
    }
    joinDialog_ = new CJoinForumDialog(
        [this](const std::string& n, const std::string& p) { return JoinFromDialog(n, p); }, name,
        this);
    joinDialog_->setAttribute(Qt::WA_DeleteOnClose);
    joinDialog_->show();
    joinDialog_->raise();
    joinDialog_->activateWindow();
    joinDialog_->FocusField();
    return joinDialog_;
}

bool CForumListWindow::JoinFromDialog(const std::string& typedName, const std::string& password) {
    std::string name = typedName.substr(0, kJoinDialogNameMax - 1);
    if (!AllowJoin(name)) {
        return false;
    }
    if (!CheckForumName(name, kJoinDialogNameMax, true)) {
        Message(forum_text::kInvalidName);
        return false;
    }
    bool moderated = false;
    bool microphones = false;
    if (parts_.tree != nullptr) {
        auto lock = parts_.tree->Hold();
        if (const ForumNode* node = parts_.tree->Find(lock, name);
            node != nullptr && !node->IsCategory()) {
            moderated = (node->flags & ForumNode::kModerated) != 0;
            microphones = (node->flags & ForumNode::kControlledMicrophones) != 0;
        }
    }
    if (parts_.joinExisting) {
        parts_.joinExisting(name, password, moderated, microphones);
    }
    HideAfterJoin();
    return true;
}

void CForumListWindow::CreateForum() {
    if (createDialog_) {
        createDialog_->raise();
        createDialog_->activateWindow();
        return;
    }
    createDialog_ = new CCreateForumDialog(
        [this](const NewForum& forum) { return CreateFromDialog(forum); }, shownPath_, this);
    createDialog_->setAttribute(Qt::WA_DeleteOnClose);
    createDialog_->show();
    createDialog_->raise();
    createDialog_->activateWindow();
}

bool CForumListWindow::CreateFromDialog(const NewForum& forum) {
    if (!AllowJoin(forum.path)) {
        return false;
    }
    CreateRequest request;
    request.path = forum.path;
    request.passwordGiven = !forum.password.empty();
    request.hidden = forum.hidden;
    request.moderated = forum.moderated;
    request.controlledMicrophones = forum.controlMicrophones;
    CreateCheck check;
    if (parts_.tree != nullptr) {
        auto lock = parts_.tree->Hold();
        check = CheckCreate(*parts_.tree, lock, request);
    } else {
        check.message = forum_text::kInternalError;
    }
    if (check.message) {
        Message(*check.message);
        return false;
    }
    NewForum trimmed = forum;
    trimmed.path = request.path;
    const bool made = parts_.createOrJoin && parts_.createOrJoin(trimmed);
    if (!made) {
        // A forum that was not made must not stay listed with its one user.
        if (check.added && parts_.tree != nullptr) {
            auto lock = parts_.tree->Hold();
            parts_.tree->RemoveForum(lock, request.path);
            Fill(parts_.tree->LevelAfterRefresh(lock, shownPath_));
        }
        Message(forum_text::kInvalidName);
        return false;
    }
    HideAfterJoin();
    ShowLevel(CategoryPart(request.path));
    RefreshForums();
    return true;
}

void CForumListWindow::HideAfterJoin() {
    if (parts_.options != nullptr && parts_.options->CloseForumList() != 0) {
        hide();
    }
}

bool CForumListWindow::AllowJoin(const std::string& path) {
    if (!adult_.MustAsk(path)) {
        return true;
    }
    bool accepted = false;
    if (parts_.askAdult) {
        accepted = parts_.askAdult();
    } else {
        CAdultWarningDialog dialog(isVisible() ? this : parentWidget());
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (accepted) {
        adult_.Accept();
    }
    return accepted;
}

void CForumListWindow::Message(const std::string& text) {
    if (parts_.notices != nullptr) {
        parts_.notices->AddSystemNotice(text, true, parts_.wallClock ? parts_.wallClock() : 0);
    }
}

// ---- placement -----------------------------------------------------------------------------

void CForumListWindow::RestorePlacement() {
    if (parts_.userSettings == nullptr) {
        return;
    }
    IniFile& s = *parts_.userSettings;
    settingsPath_ = s.Path();
    const int left = s.GetInt(kSection, "ForumListLeft", kMissing);
    const int top = s.GetInt(kSection, "ForumListTop", kMissing);
    const int width = s.GetInt(kSection, "ForumListWidth", 0);
    const int height = s.GetInt(kSection, "ForumListHeight", 0);
    QRect place = geometry();
    if (width > 0 && height > 0) {
        place.setSize(QSize(width, height).expandedTo(minimumSizeHint()));
    }
    if (left != kMissing && top != kMissing) {
        place.moveTopLeft(QPoint(left, top));
        // A place saved on a screen that is gone: back onto the screen it is now on.
        setGeometry(FitOnScreen(place));
    } else {
        resize(place.size());
    }
}

void CForumListWindow::SavePlacement() {
    if (parts_.userSettings == nullptr || !placed_ || isMinimized()) {
        return;
    }
    const QRect place = geometry();
    IniFile& s = *parts_.userSettings;
    s.WriteInt(kSection, "ForumListLeft", place.left());
    s.WriteInt(kSection, "ForumListTop", place.top());
    s.WriteInt(kSection, "ForumListWidth", place.width());
    s.WriteInt(kSection, "ForumListHeight", place.height());
}

void CForumListWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    placed_ = true;
    SizeColumns();
    if (parts_.userSettings != nullptr) {
        parts_.userSettings->WriteInt(kSection, "ShowForumList", 1);
    }
}

void CForumListWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!destroying_) {
        SavePlacement();
    }
}

void CForumListWindow::reject() {
    // Only the user's close counts: the program's own hiding (after a join, on disconnect)
    // leaves the list to come back at the next start.
    if (parts_.userSettings != nullptr) {
        parts_.userSettings->WriteInt(kSection, "ShowForumList", 0);
    }
    QDialog::reject();
}

}  // namespace qv
