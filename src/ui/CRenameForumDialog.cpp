#include "ui/CRenameForumDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

CRenameForumDialog::CRenameForumDialog(const std::string& currentName, QWidget* parent)
    : QDialog(parent), current_(currentName), newName_(new QLineEdit(this)) {
    setObjectName("RenameForumDialog");
    setWindowTitle(kCaption);
    auto* current = new QLineEdit(QString::fromStdString(currentName), this);
    current->setObjectName("currentName");
    current->setReadOnly(true);
    newName_->setObjectName("newName");
    newName_->setMaxLength(kMaxName);
    newName_->setText(QString::fromStdString(currentName));
    newName_->setMinimumWidth(280);
    auto* fields = new QFormLayout;
    fields->addRow("Current Forum Name:", current);
    fields->addRow("New Forum Name:", newName_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName("ok");
    ok_->setEnabled(false);
    connect(newName_, &QLineEdit::textChanged, this, [this] {
        const std::string name = NewName();
        ok_->setEnabled(!name.empty() && name != current_);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
}

std::string CRenameForumDialog::NewName() const {
    std::string text = newName_->text().trimmed().toStdString();
    std::string out;
    for (char c : text) {
        if (c != '\r' && c != '\n' && c != '\t') {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace qv
