#include "login/CUpdateWindow.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace qv {

CUpdateWindow::CUpdateWindow(QWidget* parent) : QDialog(parent), text_(new QLabel(this)) {
    setObjectName("UpdateWindow");
    setWindowTitle("Quorvane Update Utility");
    text_->setWordWrap(true);
    text_->setMinimumWidth(360);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    // Close and the title bar's close both end in reject(), which reports finished().
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
}

void CUpdateWindow::Show(std::uint32_t flags, const QString& patchFile) {
    QStringList parts;
    if (flags & 1) {
        parts << "the voice engine";
    }
    if (flags & 2) {
        parts << "the patcher";
    }
    if (flags & 4) {
        parts << QString("Quorvane itself (patch %1)").arg(patchFile);
    }
    text_->setText("The voice server requires a newer version of " + parts.join(", ") +
                   ".\n\nQuorvane will not connect until it has been updated.");
    show();
    raise();
}

QString CUpdateWindow::Text() const {
    return text_->text();
}

}  // namespace qv
