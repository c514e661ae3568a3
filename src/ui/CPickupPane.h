#pragma once

// The small pane with the one button that holds, switches or picks up. Its caption, tooltip and
// enabled state are set by the active-call pane; it can blink.

#include <QWidget>
#include <memory>

#include "ui/CallPaneParts.h"

class QPushButton;

namespace qv {

class ButtonBlinker;

class CPickupPane : public QWidget {
    Q_OBJECT
  public:
    CPickupPane(const CallPaneParts& parts, QWidget* parent = nullptr);
    ~CPickupPane() override;

    QPushButton* Button() const { return button_; }
    void StartBlink();
    void StopBlink();
    bool Blinking() const;
    // The highlighted blink phase is showing.
    bool Lit() const;

  private:
    void Paint(bool lit);

    CallPaneParts parts_;
    QPushButton* button_;
    std::unique_ptr<ButtonBlinker> blinker_;
};

}  // namespace qv
