#pragma once

// What the call panes show for the contents of the two slots: the captions, tooltips and enabled
// states of the buttons, the status text of a newly shown record and the status lights. Plain
// rules, shared by the windows and their tests.

#include <string>

namespace qv {

// What the active slot holds.
enum class ActiveSlotKind { kEmpty, kCall, kForum };
// What the second slot holds.
enum class SecondSlotKind { kEmpty, kRinging, kHeld };

// The status light pictures.
enum class StatusLight {
    kIdle,      // nothing shown
    kInCall,    // a call or forum in the active pane
    kWaiting,   // a ringing or held call; one blink phase
    kWaitingB,  // the other blink phase
};

struct ActivePaneButtons {
    bool pickupEnabled = false;
    std::string pickupCaption;
    std::string pickupTooltip;
    bool hangUpEnabled = false;
    std::string hangUpCaption;
    std::string hangUpTooltip;
    bool talkEnabled = false;
    bool textChatEnabled = false;
    // The Pickup button blinks while nothing is active and a call waits.
    bool pickupBlinks = false;
    StatusLight light = StatusLight::kIdle;
    // The status text when the active record is newly shown (later replaced by the join).
    std::string statusWhenShown;
};

struct IncomingPaneView {
    std::string title;
    bool buttonsEnabled = false;
    StatusLight light = StatusLight::kIdle;
};

ActivePaneButtons ActiveButtonsFor(ActiveSlotKind active, SecondSlotKind second);
IncomingPaneView IncomingViewFor(SecondSlotKind second);

}  // namespace qv
