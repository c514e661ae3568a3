#include "ui/CRemapKeyDialog.h"

#include <QApplication>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "calls/KeyNames.h"
#include "ui/QtProgramKeys.h"

namespace qv {

namespace {

QString NameOf(std::uint32_t combination) {
    return combination == 0 ? QString("NONE")
                            : QString::fromUtf8(CombinationName(combination).c_str());
}

}  // namespace

CRemapKeyDialog::CRemapKeyDialog(std::uint32_t current,
                                 std::function<void(std::uint32_t)> onNewCombination,
                                 QWidget* parent)
    : QDialog(parent),
      onNew_(std::move(onNewCombination)),
      current_(new QLineEdit(this)),
      combination_(current) {
    setObjectName("RemapKey");
    setWindowTitle(kTitle);
    auto* text = new QLabel(kText, this);
    text->setWordWrap(true);
    current_->setObjectName("currentKey");
    current_->setReadOnly(true);
    current_->setFocusPolicy(Qt::NoFocus);
    current_->setText(NameOf(current));
    auto* form = new QFormLayout;
    form->addRow("Current Key:", current_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    resize(380, sizeHint().height());
    // The hook lives as long as the window.
    qApp->installEventFilter(this);
}

CRemapKeyDialog::~CRemapKeyDialog() {
    qApp->removeEventFilter(this);
}

bool CRemapKeyDialog::Capture(const QKeyEvent& event) {
    if (event.type() != QEvent::KeyPress || event.isAutoRepeat()) {
        return false;
    }
    const Qt::KeyboardModifiers mods = event.modifiers();
    if (event.key() == Qt::Key_Escape || (event.key() == Qt::Key_F4 && (mods & Qt::AltModifier))) {
        return false;
    }
    const auto code = VirtualKeyForKeySym(KeySymOf(event));
    if (!code) {
        // A key the table cannot store; the window shows the old combination still.
        return true;
    }
    std::uint32_t combination = *code;
    if (mods & Qt::ShiftModifier) {
        combination |= key_combo::kShift;
    }
    if (mods & Qt::ControlModifier) {
        combination |= key_combo::kCtrl;
    }
    if (mods & Qt::AltModifier) {
        combination |= key_combo::kAlt;
    }
    combination_ = combination;
    current_->setText(NameOf(combination));
    if (onNew_) {
        onNew_(combination);
    }
    return true;
}

bool CRemapKeyDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !isVisible()) {
        return false;
    }
    return Capture(*static_cast<QKeyEvent*>(event));
}

}  // namespace qv
