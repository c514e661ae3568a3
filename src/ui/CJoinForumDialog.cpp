#include "ui/CJoinForumDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

CJoinForumDialog::CJoinForumDialog(Join join, const std::string& name, QWidget* parent)
    : QDialog(parent),
      join_(std::move(join)),
      name_(new QLineEdit(this)),
      password_(new QLineEdit(this)) {
    setObjectName("JoinForumDialog");
    setWindowTitle(kCaption);
    name_->setObjectName("forumName");
    name_->setMaxLength(kMaxName);
    name_->setMinimumWidth(300);
    name_->setText(QString::fromStdString(name));
    password_->setObjectName("forumPassword");
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(255);
    auto* fields = new QFormLayout;
    fields->addRow("Forum name:", name_);
    fields->addRow("Forum Password:", password_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName("ok");
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (Apply()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    FocusField();
}

void CJoinForumDialog::FocusField() {
    QLineEdit* field = name_->text().isEmpty() ? name_ : password_;
    field->setFocus();
    field->selectAll();
}

bool CJoinForumDialog::Apply() {
    return join_ && join_(name_->text().toStdString(), password_->text().toStdString());
}

}  // namespace qv
