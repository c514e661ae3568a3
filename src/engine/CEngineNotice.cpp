#include "engine/CEngineNotice.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace qv {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

}  // namespace

CEngineNotice::CEngineNotice() = default;

CEngineNotice::~CEngineNotice() = default;

void CEngineNotice::ShowNotice(const std::string& caption, const std::string& text) {
    box_ = std::make_unique<QMessageBox>();
    box_->setWindowTitle(Q(caption));
    box_->setText(Q(text));
    box_->setStandardButtons(QMessageBox::NoButton);
    box_->setWindowModality(Qt::NonModal);
    box_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box_->show();
    // The caller keeps this thread busy until CloseNotice: paint now or never. Only the box's
    // own events, never a loop over all of them, which would run timers and queued engine
    // events in the middle of the caller's work.
    QCoreApplication::sendPostedEvents(box_.get());
    box_->repaint();
}

void CEngineNotice::CloseNotice() {
    if (box_) {
        box_->hide();
        box_.reset();
    }
}

}  // namespace qv
