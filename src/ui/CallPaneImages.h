#pragma once

// The pictures of the call panes, drawn here: the four status lights and the participants'
// status marks.

#include <QPixmap>

class QPushButton;

#include "calls/CallPaneButtons.h"
#include "calls/UserListText.h"

namespace qv {

class CallPaneImages {
  public:
    static constexpr int kLightSize = 20;
    static constexpr int kMarkSize = 14;

    static QPixmap Light(StatusLight light);
    static QPixmap Mark(ParticipantStatus status);
    // A blinking button's look: lit takes the colours of an active title bar.
    static void PaintBlink(QPushButton& button, bool lit);
};

}  // namespace qv
