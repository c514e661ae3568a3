#include "stores/CBlockListWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <vector>

#include "settings/IniFile.h"
#include "stores/BlockStore.h"
#include "stores/CBlockUserDialog.h"
#include "ui/ScreenFit.h"

namespace qv {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kMissing = -32768;

}  // namespace

CBlockListWindow::CBlockListWindow(BlockStore& blocks, const ContactStore* contacts,
                                   DirectoryClient* directory, IniFile& userSettings,
                                   Screen& screen, QWidget* parent)
    : QDialog(parent),
      blocks_(blocks),
      contacts_(contacts),
      directory_(directory),
      settings_(userSettings),
      screen_(screen),
      list_(new QTreeWidget(this)) {
    setObjectName("BlockListWindow");
    setWindowTitle("Block List");
    setWindowFlag(Qt::Window);
    setSizeGripEnabled(true);

    list_->setObjectName("blockList");
    list_->setColumnCount(2);
    list_->setHeaderLabels({"Nickname", "Quorvane ID"});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CBlockListWindow::RefreshButtons);

    auto* block = new QPushButton("&Block...", this);
    block->setObjectName("block");
    block->setToolTip("Block a user by Quorvane ID");
    unblock_ = new QPushButton("&Unblock", this);
    unblock_->setObjectName("unblock");
    unblock_->setToolTip("Unblock the selected users");
    unblockAll_ = new QPushButton("Unblock &All", this);
    unblockAll_->setObjectName("unblockAll");
    auto* close = new QPushButton("&Close", this);
    close->setObjectName("close");
    for (QPushButton* b : {block, unblock_, unblockAll_, close}) {
        b->setAutoDefault(false);
    }
    connect(block, &QPushButton::clicked, this, &CBlockListWindow::BlockById);
    connect(unblock_, &QPushButton::clicked, this, &CBlockListWindow::UnblockSelected);
    connect(unblockAll_, &QPushButton::clicked, this, &CBlockListWindow::UnblockAll);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);

    auto* unblockKey = new QAction(this);
    unblockKey->setShortcut(QKeySequence::Delete);
    unblockKey->setShortcutContext(Qt::WidgetShortcut);
    list_->addAction(unblockKey);
    connect(unblockKey, &QAction::triggered, this, &CBlockListWindow::UnblockSelected);

    onTopBox_ = new QCheckBox("Keep on &top", this);
    onTopBox_->setObjectName("onTop");
    connect(onTopBox_, &QCheckBox::toggled, this, &CBlockListWindow::SetOnTop);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(block);
    buttons->addWidget(unblock_);
    buttons->addWidget(unblockAll_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel("You receive no calls or messages from these users:", this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addLayout(row, 1);
    layout->addWidget(onTopBox_);

    resize(380, 280);
    blocks_.SetUi(this);
    BlockListChanged();
    RestorePlacement();
}

CBlockListWindow::~CBlockListWindow() {
    blocks_.SetUi(nullptr);
}

void CBlockListWindow::BlockListChanged() {
    list_->setUpdatesEnabled(false);
    list_->clear();
    QList<QTreeWidgetItem*> items;
    for (const BlockedUser& user : blocks_.Records()) {
        auto item =
            std::make_unique<QTreeWidgetItem>(QStringList{Q(user.NickName), Q(user.LoginId)});
        item->setData(0, Qt::UserRole, Q(user.LoginId));
        item->setToolTip(0, Q(user.NickName) + " (" + Q(user.LoginId) + ")");
        items.append(item.release());  // the list owns it
    }
    list_->addTopLevelItems(items);
    list_->setUpdatesEnabled(true);
    RefreshButtons();
}

void CBlockListWindow::RefreshButtons() {
    unblock_->setEnabled(!list_->selectedItems().isEmpty());
    unblockAll_->setEnabled(!blocks_.Records().empty());
}

void CBlockListWindow::UnblockSelected() {
    std::vector<std::string> ids;
    for (const QTreeWidgetItem* item : list_->selectedItems()) {
        ids.push_back(item->data(0, Qt::UserRole).toString().toStdString());
    }
    for (const std::string& id : ids) {
        blocks_.Unblock(id);
    }
}

void CBlockListWindow::UnblockAll() {
    blocks_.UnblockAll();
}

CBlockUserDialog* CBlockListWindow::BlockDialog() const {
    return blockDialog_;
}

void CBlockListWindow::BlockById() {
    if (blockDialog_) {
        blockDialog_->raise();
        blockDialog_->activateWindow();
        return;
    }
    blockDialog_ = new CBlockUserDialog(blocks_, contacts_, directory_, screen_, this);
    blockDialog_->setAttribute(Qt::WA_DeleteOnClose);
    blockDialog_->show();
}

void CBlockListWindow::SetOnTop(bool on) {
    if (onTopBox_->isChecked() != on) {
        onTopBox_->setChecked(on);  // comes back here through toggled
        return;
    }
    settings_.WriteInt(kSection, "BlockListOnTop", on ? 1 : 0);
    if (onTop_ == on) {
        return;
    }
    onTop_ = on;
    const bool visible = isVisible();
    const QRect place = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) {
        // Changing the flag hides the window; it comes back where it was.
        setGeometry(place);
        show();
    }
}

void CBlockListWindow::RestorePlacement() {
    const int left = settings_.GetInt(kSection, "BlockListDialogLeft", kMissing);
    const int top = settings_.GetInt(kSection, "BlockListDialogTop", kMissing);
    const int width = settings_.GetInt(kSection, "BlockListDialogWidth", 0);
    const int height = settings_.GetInt(kSection, "BlockListDialogHeight", 0);
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
    const bool onTop = settings_.GetInt(kSection, "BlockListOnTop", 0) != 0;
    onTopBox_->blockSignals(true);
    onTopBox_->setChecked(onTop);
    onTopBox_->blockSignals(false);
    onTop_ = onTop;
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
}

void CBlockListWindow::SavePlacement() {
    if (!placed_ || !isVisible() || isMinimized()) {
        return;
    }
    const QRect place = geometry();
    settings_.WriteInt(kSection, "BlockListDialogLeft", place.left());
    settings_.WriteInt(kSection, "BlockListDialogTop", place.top());
    settings_.WriteInt(kSection, "BlockListDialogWidth", place.width());
    settings_.WriteInt(kSection, "BlockListDialogHeight", place.height());
}

void CBlockListWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    placed_ = true;
}

void CBlockListWindow::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    SavePlacement();
}

void CBlockListWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    SavePlacement();
}

}  // namespace qv
