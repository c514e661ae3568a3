#include "login/CWelcomeDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

CWelcomeDialog::CWelcomeDialog(const QString& text, QWidget* parent)
    : QDialog(parent), create_(new QPushButton("&Create New Account Now", this)), text_(text) {
    setObjectName("WelcomeDialog");
    setWindowTitle("Welcome to Quorvane!");
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    label->setMinimumWidth(360);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(create_, QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    create_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(buttons);
}

QString CWelcomeDialog::Text() const {
    return text_;
}

}  // namespace qv
