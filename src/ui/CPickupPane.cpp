#include "ui/CPickupPane.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "calls/ButtonBlinker.h"
#include "calls/CallPaneTiming.h"
#include "ui/CallPaneImages.h"

namespace qv {

CPickupPane::CPickupPane(const CallPaneParts& parts, QWidget* parent)
    : QWidget(parent), parts_(parts), button_(new QPushButton("Pickup", this)) {
    setObjectName("PickupPane");
    button_->setObjectName("pickup");
    button_->setToolTip("Answer this call");
    button_->setAutoDefault(false);
    button_->setMinimumWidth(20);
    button_->setEnabled(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button_);
    connect(button_, &QPushButton::clicked, this, [this] {
        if (parts_.holdOrSwitch) {
            parts_.holdOrSwitch();
        }
    });
    blinker_ = std::make_unique<ButtonBlinker>(
        parts_.scheduler, [this](bool lit) { Paint(lit); }, call_pane::kBlinkPeriodMs);
}

CPickupPane::~CPickupPane() = default;

void CPickupPane::StartBlink() {
    blinker_->Start();
}

void CPickupPane::StopBlink() {
    blinker_->Stop();
}

bool CPickupPane::Blinking() const {
    return blinker_->Blinking();
}

bool CPickupPane::Lit() const {
    return blinker_->Lit();
}

void CPickupPane::Paint(bool lit) {
    CallPaneImages::PaintBlink(*button_, lit);
}

}  // namespace qv
