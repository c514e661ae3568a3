#include "stores/CAddGroupDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "directory/FieldChecks.h"
#include "platform/Screen.h"
#include "stores/ContactStore.h"
#include "stores/ContactTreeOrder.h"
#include "stores/GroupName.h"

namespace qv {

namespace {
constexpr const char* kCaption = "Add Group";
}  // namespace

CAddGroupDialog::CAddGroupDialog(ContactStore& contacts, Screen& screen, QWidget* parent)
    : QDialog(parent), contacts_(contacts), screen_(screen), name_(new QLineEdit(this)) {
    setObjectName("AddGroupDialog");
    setWindowTitle(kCaption);
    name_->setObjectName("groupName");
    name_->setMaxLength(static_cast<int>(ContactStore::kMaxText));
    name_->setMinimumWidth(220);
    auto* fields = new QFormLayout;
    fields->addRow("Group &name:", name_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName("ok");
    connect(ok, &QPushButton::clicked, this, [this] {
        if (Apply()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
}

bool CAddGroupDialog::Apply() {
    std::string name = name_->text().toStdString();
    TrimInPlace(name);
    if (!IsAllowedGroupName(name)) {
        screen_.MessageBox(kGroupNameRuleMessage, kCaption, mb::kOk | mb::kIconExclamation);
        return false;
    }
    for (const auto& [existing, group] : contacts_.Groups()) {
        if (CompareNoCase(existing, name) == 0) {
            screen_.MessageBox("The group \"" + existing + "\" is already in your contact list.",
                               kCaption, mb::kOk | mb::kIconExclamation);
            return false;
        }
    }
    return contacts_.AddGroup(name);
}

}  // namespace qv
