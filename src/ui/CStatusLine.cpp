#include "ui/CStatusLine.h"

#include <QHBoxLayout>
#include <QMouseEvent>

#include "ui/StatusIcons.h"

namespace qv {

CStatusLine::CStatusLine(QWidget* parent)
    : QWidget(parent), picture_(new QLabel(this)), text_(new QLabel(this)) {
    setObjectName("ConnectionStatus");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    picture_->setFixedSize(16, 16);
    layout->addWidget(picture_, 0, Qt::AlignTop);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setObjectName("ConnectionStatusText");
    layout->addWidget(text_, 1);
    // Wrapped text does not count in the layout's minimum: keep room for the longest state
    // (three lines at the default width), or the panes above would be drawn over.
    setMinimumHeight(text_->fontMetrics().lineSpacing() * 3 + 2 * 4 + 4);
    setCursor(Qt::PointingHandCursor);
}

void CStatusLine::ShowStatus(int state, int icon, const std::string& text) {
    state_ = state;
    icon_ = icon;
    picture_->setPixmap(StatusIcon(icon));
    text_->setText(QString::fromUtf8(text.c_str()));
}

void CStatusLine::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        onClick) {
        onClick();
    }
}

}  // namespace qv
