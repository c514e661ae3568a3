#include "stores/CAddContactDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "directory/FieldChecks.h"
#include "platform/Screen.h"
#include "stores/ContactStore.h"
#include "stores/ContactTreeOrder.h"
#include "stores/GroupName.h"
#include "stores/ProfileLookup.h"
#include "stores/QuorvaneIdField.h"

namespace qv {

namespace {

constexpr const char* kCaption = "Add Contact";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QString& text) {
    return text.toStdString();
}

}  // namespace

CAddContactDialog::CAddContactDialog(ContactStore& contacts, DirectoryClient* directory,
                                     Screen& screen, const std::string& group, QWidget* parent)
    : QDialog(parent),
      contacts_(contacts),
      screen_(screen),
      lookup_(std::make_unique<ProfileLookup>(
          directory,
          [this](const std::string& id, const UserProfile* profile) { OnLookedUp(id, profile); })),
      loginId_(new QLineEdit(this)),
      nickName_(new QLineEdit(this)),
      group_(new QComboBox(this)),
      status_(new QLabel(this)) {
    setObjectName("AddContactDialog");
    setWindowTitle(kCaption);
    loginId_->setObjectName("loginId");
    loginId_->setMaxLength(10);
    loginId_->setMinimumWidth(200);
    nickName_->setObjectName("nickName");
    nickName_->setMaxLength(static_cast<int>(ContactStore::kMaxText));
    group_->setObjectName("group");
    group_->setEditable(true);
    group_->setInsertPolicy(QComboBox::NoInsert);
    group_->lineEdit()->setMaxLength(static_cast<int>(ContactStore::kMaxText));
    for (const auto& [name, entry] : contacts_.Groups()) {
        group_->addItem(Q(name));
    }
    const std::string chosen = group.empty() ? ContactStore::kDefaultGroup : group;
    const int at = group_->findText(Q(chosen));
    if (at >= 0) {
        group_->setCurrentIndex(at);
    } else {
        group_->setEditText(Q(chosen));
    }
    status_->setObjectName("status");
    status_->setWordWrap(true);

    auto* lookUp = new QPushButton("&Look Up", this);
    lookUp->setObjectName("lookUp");
    lookUp->setAutoDefault(false);
    connect(lookUp, &QPushButton::clicked, this, &CAddContactDialog::LookUp);
    connect(loginId_, &QLineEdit::editingFinished, this, &CAddContactDialog::LookUp);
    connect(nickName_, &QLineEdit::textEdited, this, [this] { nickFromDirectory_ = false; });

    auto* idRow = new QHBoxLayout;
    idRow->addWidget(loginId_, 1);
    idRow->addWidget(lookUp);
    auto* fields = new QFormLayout;
    auto* idLabel = new QLabel("Quorvane &ID:", this);
    idLabel->setBuddy(loginId_);
    fields->addRow(idLabel, idRow);
    fields->addRow("&Nickname:", nickName_);
    fields->addRow("&Group:", group_);

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
    layout->addWidget(status_);
    layout->addWidget(buttons);
}

CAddContactDialog::~CAddContactDialog() = default;

void CAddContactDialog::SetLoginId(const std::string& id) {
    loginId_->setText(Q(id));
    LookUp();
}

void CAddContactDialog::LookUp() {
    std::string id = S(loginId_->text());
    if (!CheckQuorvaneId(id)) {
        return;
    }
    if (lookup_->Found(id) != nullptr) {
        return;
    }
    status_->setText("Looking up " + Q(id) + " in the directory...");
    lookup_->Start(id);
}

void CAddContactDialog::OnLookedUp(const std::string& loginId, const UserProfile* profile) {
    if (S(loginId_->text().trimmed()) != loginId) {
        return;
    }
    if (profile == nullptr) {
        status_->setText("The directory does not know " + Q(loginId) + ".");
        return;
    }
    status_->setText(Q(profile->NickName) + " (" + Q(loginId) + ") found in the directory.");
    if (nickName_->text().trimmed().isEmpty() || nickFromDirectory_) {
        nickName_->setText(Q(profile->NickName));
        nickFromDirectory_ = true;
    }
}

bool CAddContactDialog::Apply() {
    std::string id = S(loginId_->text());
    if (!CheckQuorvaneId(id)) {
        screen_.MessageBox(kInvalidQuorvaneIdMessage, kCaption, mb::kOk | mb::kIconExclamation);
        loginId_->setFocus();
        return false;
    }
    std::string nick = S(nickName_->text());
    TrimInPlace(nick);
    if (nick.empty()) {
        screen_.MessageBox("Please enter a nickname for the contact.", kCaption,
                           mb::kOk | mb::kIconExclamation);
        nickName_->setFocus();
        return false;
    }
    std::string group = S(group_->currentText());
    TrimInPlace(group);
    if (!group.empty() && !IsAllowedGroupName(group)) {
        screen_.MessageBox(kGroupNameRuleMessage, kCaption, mb::kOk | mb::kIconExclamation);
        group_->setFocus();
        return false;
    }
    // A group that differs only in case is that group: the list shows them as one.
    for (const auto& [name, entry] : contacts_.Groups()) {
        if (CompareNoCase(name, group) == 0) {
            group = name;
            break;
        }
    }
    UserProfile profile;
    if (const UserProfile* known = lookup_->Found(id)) {
        profile = *known;
    }
    profile.LoginId = id;
    profile.NickName = nick;
    profile.group = group;
    profile.presenceFlags = 0;
    profile.waitingAlertTime = 0;
    profile.onServer = 0;
    profile.treeItem = nullptr;
    // A contact already in the list is refused with its own message box: nothing more to do.
    contacts_.AddContact(profile);
    return true;
}

}  // namespace qv
