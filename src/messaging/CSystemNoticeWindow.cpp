#include "messaging/CSystemNoticeWindow.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "messaging/SystemNoticeList.h"

namespace qv {

CSystemNoticeWindow::CSystemNoticeWindow(SystemNoticeList& notices, QWidget* parent)
    : QDialog(parent), notices_(notices), list_(new QListWidget(this)) {
    setObjectName("SystemNoticeWindow");
    setWindowTitle("System Message");
    list_->setWordWrap(true);
    list_->setAlternatingRowColors(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Messages from Quorvane:", this));
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(420, 260);
    Refresh();
}

void CSystemNoticeWindow::Refresh() {
    list_->clear();
    // A call that no longer rings has nothing to show.
    for (const auto& n : notices_.OpenNotices()) {
        const QString when = QDateTime::fromSecsSinceEpoch(n.time).toString("yyyy-MM-dd HH:mm:ss");
        list_->addItem(when + "\n" + QString::fromUtf8(SystemNoticeList::TextOf(n).c_str()));
    }
    list_->scrollToBottom();
    notices_.MarkAllShown();
}

int CSystemNoticeWindow::Rows() const {
    return list_->count();
}

QString CSystemNoticeWindow::RowText(int row) const {
    QListWidgetItem* item = list_->item(row);
    return item != nullptr ? item->text() : QString();
}

}  // namespace qv
