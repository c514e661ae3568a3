#include "ui/CForumReasonDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

CForumReasonDialog::CForumReasonDialog(Kind kind, const std::string& nickname, QWidget* parent)
    : QDialog(parent), kind_(kind), reason_(new QLineEdit(this)) {
    const bool kick = kind == Kind::kKick;
    setObjectName(kick ? "KickReasonDialog" : "BanReasonDialog");
    setWindowTitle(kick ? kKickCaption : kBanCaption);
    auto* who = new QLabel(QString(kick ? "Kick %1 from this forum." : "Ban %1 from this forum.")
                               .arg(QString::fromStdString(nickname)),
                           this);
    who->setObjectName("target");
    auto* label = new QLabel("&Reason:", this);
    label->setBuddy(reason_);
    reason_->setObjectName("reason");
    reason_->setMaxLength(kMaxReason);
    reason_->setMinimumWidth(300);
    action_ = new QPushButton(kick ? "&Kick User" : "&Ban User", this);
    action_->setObjectName("action");
    action_->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancel");
    connect(action_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(action_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(who);
    layout->addWidget(label);
    layout->addWidget(reason_);
    layout->addLayout(buttons);
}

std::string CForumReasonDialog::Reason() const {
    std::string text = reason_->text().toStdString();
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace qv
