#include "stores/CBlockUserDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "directory/FieldChecks.h"
#include "platform/Screen.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"
#include "stores/ProfileLookup.h"
#include "stores/QuorvaneIdField.h"

namespace qv {

namespace {

constexpr const char* kCaption = "Block User";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CBlockUserDialog::CBlockUserDialog(BlockStore& blocks, const ContactStore* contacts,
                                   DirectoryClient* directory, Screen& screen, QWidget* parent)
    : QDialog(parent),
      blocks_(blocks),
      contacts_(contacts),
      screen_(screen),
      lookup_(std::make_unique<ProfileLookup>(
          directory,
          [this](const std::string& id, const UserProfile* profile) { OnLookedUp(id, profile); })),
      loginId_(new QLineEdit(this)),
      nickName_(new QLineEdit(this)),
      status_(new QLabel(this)) {
    setObjectName("BlockUserDialog");
    setWindowTitle(kCaption);
    loginId_->setObjectName("loginId");
    loginId_->setMaxLength(10);
    loginId_->setMinimumWidth(200);
    nickName_->setObjectName("nickName");
    nickName_->setMaxLength(static_cast<int>(BlockStore::kMaxIdOrNick));
    status_->setObjectName("status");
    status_->setWordWrap(true);
    connect(loginId_, &QLineEdit::editingFinished, this, &CBlockUserDialog::LookUp);

    auto* fields = new QFormLayout;
    fields->addRow("Quorvane &ID:", loginId_);
    fields->addRow("&Nickname:", nickName_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* block = buttons->addButton("&Block", QDialogButtonBox::AcceptRole);
    block->setObjectName("ok");
    block->setDefault(true);
    connect(block, &QPushButton::clicked, this, [this] {
        if (Apply()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(status_);
    layout->addWidget(buttons);
}

CBlockUserDialog::~CBlockUserDialog() = default;

void CBlockUserDialog::LookUp() {
    std::string id = loginId_->text().toStdString();
    if (!CheckQuorvaneId(id)) {
        return;
    }
    if (contacts_ != nullptr) {
        if (const UserProfile* contact = contacts_->Find(id)) {
            nickName_->setText(Q(contact->NickName));
            status_->setText(Q(contact->NickName) + " is in your contact list.");
            return;
        }
    }
    status_->setText("Looking up " + Q(id) + " in the directory...");
    lookup_->Start(id);
}

void CBlockUserDialog::OnLookedUp(const std::string& loginId, const UserProfile* profile) {
    if (loginId_->text().trimmed().toStdString() != loginId) {
        return;
    }
    if (profile == nullptr) {
        status_->setText("The directory does not know " + Q(loginId) + ".");
        return;
    }
    nickName_->setText(Q(profile->NickName));
    status_->setText(Q(profile->NickName) + " (" + Q(loginId) + ") found in the directory.");
}

bool CBlockUserDialog::Apply() {
    std::string id = loginId_->text().toStdString();
    if (!CheckQuorvaneId(id)) {
        screen_.MessageBox(kInvalidQuorvaneIdMessage, kCaption, mb::kOk | mb::kIconExclamation);
        return false;
    }
    // What the contact list or the directory call the user wins over what was typed, so that a
    // typed nickname cannot get past the customer-service check.
    std::string nick = nickName_->text().toStdString();
    TrimInPlace(nick);
    if (contacts_ != nullptr && contacts_->Find(id) != nullptr) {
        nick = contacts_->Find(id)->NickName;
    } else if (const UserProfile* known = lookup_->Found(id)) {
        nick = known->NickName;
    }
    // Every refusal is a notice of its own; the dialog has done its part either way.
    blocks_.Block(id, nick, "");
    return true;
}

}  // namespace qv
