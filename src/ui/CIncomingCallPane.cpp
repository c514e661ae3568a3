#include "ui/CIncomingCallPane.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TimerScheduler.h"
#include "calls/CallRecord.h"
#include "platform/TickClock.h"
#include "ui/CActiveCallPane.h"
#include "ui/CPickupPane.h"
#include "ui/CallPaneImages.h"

namespace qv {

namespace {

constexpr std::uint16_t kDoNotDisturb = 4;
constexpr std::uint16_t kOccupied = 8;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, const char* tip) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setMinimumWidth(20);
    button->setEnabled(false);
    return button;
}

}  // namespace

CIncomingCallPane::CIncomingCallPane(const CallPaneParts& parts, QWidget* parent)
    : QFrame(parent),
      parts_(parts),
      lightLabel_(new QLabel(this)),
      title_(new QLabel("Incoming Call", this)),
      caller_(new QLabel(this)),
      info_(MakeButton(this, "info", "Info", "Click here for more info about this caller")),
      hangUp_(MakeButton(this, "hangUp", "Hang Up", "Hang up call")),
      pickUp_(MakeButton(this, "pickUp", "Pick Up", "Answer incoming call")) {
    setObjectName("IncomingCallPane");
    setFrameShape(QFrame::StyledPanel);
    lightLabel_->setObjectName("light");
    lightLabel_->setToolTip("Status Indicator Light");
    lightLabel_->setFixedSize(CallPaneImages::kLightSize, CallPaneImages::kLightSize);
    title_->setObjectName("title");
    title_->setToolTip("Call Waiting Status");
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    caller_->setObjectName("caller");
    caller_->setMinimumWidth(10);
    caller_->setTextInteractionFlags(Qt::NoTextInteraction);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(lightLabel_);
    top->addWidget(title_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(pickUp_, 3);
    buttons->addWidget(hangUp_, 3);
    // Info is the least needed: it takes the short end of the row.
    buttons->addWidget(info_, 2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 3, 4, 3);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(caller_);
    layout->addLayout(buttons);

    connect(pickUp_, &QPushButton::clicked, this, [this] {
        if (pickup_ != nullptr) {
            pickup_->StopBlink();
        }
        if (parts_.pickUp) {
            parts_.pickUp();
        }
    });
    connect(hangUp_, &QPushButton::clicked, this, [this] {
        if (parts_.endSecond) {
            parts_.endSecond(0, std::string());
        }
    });
    // Info opens the caller's user information, which comes with its own window.

    SetLight(StatusLight::kIdle);
    if (parts_.scheduler != nullptr) {
        tickEntry_ =
            parts_.scheduler->Add([this](const std::string&, std::uintptr_t) { OnRingTick(); }, 0,
                                  call_pane::kRingTickMs, TimerScheduler::kRepeat);
    }
}

CIncomingCallPane::~CIncomingCallPane() {
    if (parts_.scheduler != nullptr) {
        parts_.scheduler->Remove(tickEntry_);
    }
}

void CIncomingCallPane::SetPanes(CActiveCallPane* active, CPickupPane* pickup) {
    active_ = active;
    pickup_ = pickup;
}

SecondSlotKind CIncomingCallPane::Kind() const {
    if (record_ == nullptr) {
        return SecondSlotKind::kEmpty;
    }
    return record_->connected ? SecondSlotKind::kHeld : SecondSlotKind::kRinging;
}

void CIncomingCallPane::ShowSecond(CallRecord* record) {
    record_ = record;
    ticker_.Reset();
    const SecondSlotKind kind = Kind();
    const IncomingPaneView view = IncomingViewFor(kind);
    title_->setText(QString::fromStdString(view.title));
    caller_->setText(record_ != nullptr ? QString::fromStdString(record_->nickname) : QString());
    caller_->setToolTip(record_ != nullptr ? QString::fromStdString(record_->nickname + " (" +
                                                                    record_->userId + ")")
                                           : QString());
    SetLight(view.light);
    for (QPushButton* button : {info_, hangUp_, pickUp_}) {
        button->setEnabled(view.buttonsEnabled);
    }
    if (pickup_ != nullptr && kind == SecondSlotKind::kRinging) {
        pickup_->StartBlink();
    }
    if (active_ != nullptr) {
        active_->UpdateButtons();
    }
}

void CIncomingCallPane::ResetRingCounter() {
    ticker_.Reset();
}

QString CIncomingCallPane::Title() const {
    return title_->text();
}

QString CIncomingCallPane::Caller() const {
    return caller_->text();
}

void CIncomingCallPane::SetLight(StatusLight light) {
    light_ = light;
    lightLabel_->setPixmap(CallPaneImages::Light(light));
}

bool CIncomingCallPane::Silent() const {
    const std::uint16_t mode = parts_.ownMode ? parts_.ownMode() : 0;
    return (mode & (kDoNotDisturb | kOccupied)) != 0;
}

void CIncomingCallPane::OnRingTick() {
    RingTickInput in;
    in.second = Kind();
    in.activeOccupied = active_ != nullptr && active_->Shown() != nullptr;
    in.silent = Silent();
    if (record_ != nullptr && parts_.clock != nullptr) {
        in.elapsedMs = static_cast<std::uint32_t>(parts_.clock->Now() - record_->startTime);
    }
    const RingTickResult r = ticker_.Tick(in);
    if (r.timedOut) {
        if (parts_.endSecond) {
            parts_.endSecond(3, std::string());
        }
        return;
    }
    if (r.sound && parts_.playSound) {
        parts_.playSound(*r.sound);
    }
    if (r.light && *r.light != light_) {
        SetLight(*r.light);
    }
}

QMenu* CIncomingCallPane::MakeContextMenu() {
    auto* menu = new QMenu(this);
    QAction* hangUp = menu->addAction("&Hang Up");
    hangUp->setEnabled(record_ != nullptr);
    connect(hangUp, &QAction::triggered, this, [this] {
        if (parts_.endSecond) {
            parts_.endSecond(0, std::string());
        }
    });
    QAction* message = menu->addAction("Send &Instant Message");
    message->setEnabled(record_ != nullptr && parts_.sendMessage != nullptr);
    connect(message, &QAction::triggered, this, [this] {
        if (record_ != nullptr && parts_.sendMessage) {
            parts_.sendMessage(record_->userId, record_->nickname);
        }
    });
    return menu;
}

void CIncomingCallPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = MakeContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

}  // namespace qv
