#include "ui/CQuorvaneView.h"

#include <QVBoxLayout>

#include "app/CQuorvaneApp.h"
#include "app/TimerScheduler.h"

namespace qv {

CQuorvaneView::CQuorvaneView(CQuorvaneApp& app, QWidget* parent)
    : QWidget(parent), app_(app), status_(new QLabel(this)) {
    setObjectName("QuorvaneView");
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);

    status_->setObjectName("ConnectionStatus");
    status_->setText("Disconnected - Click to connect to the Quorvane voice server");
    status_->setWordWrap(true);
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setMargin(4);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addStretch(1);
    layout->addWidget(status_);

    if (TimerScheduler* scheduler = app_.Scheduler()) {
        scheduler->Start(false);
    }
    timer_.setInterval(kTimerPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &CQuorvaneView::OnTimer);
    timer_.start();
}

void CQuorvaneView::OnTimer() {
    app_.OnViewTimer();
}

}  // namespace qv
