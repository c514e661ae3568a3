#include "ui/CAdultWarningDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "calls/AdultWarning.h"

namespace qv {

CAdultWarningDialog::CAdultWarningDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("AdultWarningDialog");
    setWindowTitle(adult_text::kTitle);
    setModal(true);
    auto* text = new QLabel(QString::fromLatin1(adult_text::kWarning).replace("\r\n", "\n"), this);
    text->setObjectName("warningText");
    text->setWordWrap(true);
    text->setMinimumWidth(380);
    QFont bold = text->font();
    bold.setBold(true);
    text->setFont(bold);
    auto* accept = new QPushButton(adult_text::kAccept, this);
    accept->setObjectName("accept");
    auto* leave = new QPushButton(adult_text::kLeave, this);
    leave->setObjectName("leave");
    // Leaving is what a stray Enter does.
    leave->setDefault(true);
    connect(accept, &QPushButton::clicked, this, &QDialog::accept);
    connect(leave, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(accept);
    buttons->addWidget(leave);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addLayout(buttons);
}

}  // namespace qv
