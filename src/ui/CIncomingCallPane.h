#pragma once

// The pane of the second slot: a ringing call or a call on hold, with Info, Hang Up and Pick Up.
// Every 100 ms it rings, reminds of a held call, blinks its light and ends a call that rang too
// long.

#include <QFrame>
#include <cstdint>

#include "calls/CallPaneButtons.h"
#include "calls/CallPaneTiming.h"
#include "calls/IncomingCallPane.h"
#include "ui/CallPaneParts.h"

class QLabel;
class QMenu;
class QPushButton;

namespace qv {

class CActiveCallPane;
class CPickupPane;
struct CallRecord;

class CIncomingCallPane : public QFrame, public IncomingCallPane {
    Q_OBJECT
  public:
    CIncomingCallPane(const CallPaneParts& parts, QWidget* parent = nullptr);
    ~CIncomingCallPane() override;

    // The panes it updates when its slot changes.
    void SetPanes(CActiveCallPane* active, CPickupPane* pickup);

    // IncomingCallPane
    void ShowSecond(CallRecord* record) override;
    void ResetRingCounter() override;

    const CallRecord* Shown() const { return record_; }
    SecondSlotKind Kind() const;
    // The 100 ms tick (the scheduler runs it).
    void OnRingTick();

    QString Title() const;
    QString Caller() const;
    StatusLight Light() const { return light_; }
    QPushButton* InfoButton() const { return info_; }
    QPushButton* HangUpButton() const { return hangUp_; }
    QPushButton* PickUpButton() const { return pickUp_; }
    std::uint32_t RingCounter() const { return ticker_.Counter(); }
    // The right-click menu's items, in order ("&Hang Up", "Send &Instant Message").
    QMenu* MakeContextMenu();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void SetLight(StatusLight light);
    bool Silent() const;

    CallPaneParts parts_;
    CActiveCallPane* active_ = nullptr;
    CPickupPane* pickup_ = nullptr;
    CallRecord* record_ = nullptr;
    RingTicker ticker_;
    StatusLight light_ = StatusLight::kIdle;
    std::uint32_t tickEntry_ = 0;

    QLabel* lightLabel_;
    QLabel* title_;
    QLabel* caller_;
    QPushButton* info_;
    QPushButton* hangUp_;
    QPushButton* pickUp_;
};

}  // namespace qv
