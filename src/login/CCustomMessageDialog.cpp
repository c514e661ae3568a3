#include "login/CCustomMessageDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace qv {

CCustomMessageDialog::CCustomMessageDialog(const QString& caption, const QString& message,
                                           QWidget* parent)
    : QDialog(parent),
      edit_(new QLineEdit(message, this)),
      dontShow_(new QCheckBox("Do not show me this dialog again", this)) {
    setObjectName("CustomMessageDialog");
    setWindowTitle(caption);
    // Stored as 100 bytes with the terminating zero.
    edit_->setMaxLength(99);
    edit_->setMinimumWidth(320);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("User Message:", this));
    layout->addWidget(edit_);
    layout->addWidget(dontShow_);
    layout->addWidget(buttons);
}

QString CCustomMessageDialog::Message() const {
    return edit_->text();
}

bool CCustomMessageDialog::DoNotShowAgain() const {
    return dontShow_->isChecked();
}

}  // namespace qv
