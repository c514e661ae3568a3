#include "login/CSelectVoiceServerDialog.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace qv {

CSelectVoiceServerDialog::CSelectVoiceServerDialog(const QStringList& entries, int current,
                                                   QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
    setObjectName("SelectVoiceServerDialog");
    setWindowTitle("Select Voice Server");
    list_->addItems(entries);
    if (current >= 0 && current < list_->count()) {
        list_->setCurrentRow(current);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(320, 240);
}

int CSelectVoiceServerDialog::Chosen() const {
    return list_->currentRow();
}

}  // namespace qv
