#include "ui/CCreateForumDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "calls/ForumNames.h"

namespace qv {

CCreateForumDialog::CCreateForumDialog(Create create, const std::string& category, QWidget* parent)
    : QDialog(parent),
      create_(std::move(create)),
      category_(category),
      name_(new QLineEdit(this)),
      password_(new QLineEdit(this)),
      hidden_(new QCheckBox("Hidden", this)),
      moderated_(new QCheckBox("Moderated", this)),
      microphones_(new QCheckBox("Control Microphones", this)),
      banBlockList_(new QCheckBox("Ban Users In My Block List", this)) {
    setObjectName("CreateForumDialog");
    setWindowTitle(QString::fromStdString(CreateDialogTitle(category)));
    name_->setObjectName("forumName");
    name_->setMaxLength(kMaxName);
    name_->setMinimumWidth(300);
    password_->setObjectName("forumPassword");
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(255);
    hidden_->setObjectName("hidden");
    moderated_->setObjectName("moderated");
    microphones_->setObjectName("controlMicrophones");
    banBlockList_->setObjectName("banBlockList");
    auto* fields = new QFormLayout;
    fields->addRow("Forum name:", name_);
    fields->addRow("Forum password:", password_);
    auto* options = new QGroupBox("Options", this);
    auto* grid = new QGridLayout(options);
    grid->addWidget(hidden_, 0, 0);
    grid->addWidget(moderated_, 0, 1);
    grid->addWidget(microphones_, 1, 0);
    grid->addWidget(banBlockList_, 1, 1);
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
    layout->addWidget(options);
    layout->addWidget(buttons);
    name_->setFocus();
}

NewForum CCreateForumDialog::Fields() const {
    NewForum f;
    // A name with a slash is the full path; otherwise the forum goes into the shown category.
    const std::string typed = name_->text().toStdString();
    f.path = typed.find('/') != std::string::npos ? typed : category_ + typed;
    f.password = password_->text().toStdString();
    f.hidden = hidden_->isChecked();
    f.moderated = moderated_->isChecked();
    f.controlMicrophones = microphones_->isChecked();
    f.banBlockList = banBlockList_->isChecked();
    return f;
}

bool CCreateForumDialog::Apply() {
    return create_ && create_(Fields());
}

}  // namespace qv
