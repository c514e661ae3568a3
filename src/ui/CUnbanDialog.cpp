#include "ui/CUnbanDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

CUnbanDialog::CUnbanDialog(QWidget* parent) : QDialog(parent), id_(new QLineEdit(this)) {
    setObjectName("UnbanDialog");
    setWindowTitle(kCaption);
    auto* label = new QLabel("Enter User's Quorvane ID:", this);
    label->setBuddy(id_);
    id_->setObjectName("userId");
    id_->setMaxLength(kMaxId);
    id_->setMinimumWidth(220);
    unban_ = new QPushButton("&Unban User", this);
    unban_->setObjectName("unban");
    unban_->setDefault(true);
    unban_->setEnabled(false);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancel");
    connect(id_, &QLineEdit::textChanged, this, [this] { unban_->setEnabled(!UserId().empty()); });
    connect(unban_, &QPushButton::clicked, this, [this] {
        if (!UserId().empty()) {
            accept();
        }
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(unban_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(id_);
    layout->addLayout(buttons);
}

std::string CUnbanDialog::UserId() const {
    // An ID list entry is one line: a line break inside it would address a second user.
    std::string text = id_->text().trimmed().toStdString();
    std::string out;
    for (char c : text) {
        if (c != '\r' && c != '\n' && c != '\t') {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace qv
