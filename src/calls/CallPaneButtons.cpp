#include "calls/CallPaneButtons.h"

namespace qv {

namespace {

const char* PickupTooltip(ActiveSlotKind active, SecondSlotKind second) {
    const bool ringing = second == SecondSlotKind::kRinging;
    switch (active) {
        case ActiveSlotKind::kForum:
            return ringing ? "Pick up incoming call and leave current forum"
                           : "Pick up call on hold and leave current forum";
        case ActiveSlotKind::kCall:
            if (second == SecondSlotKind::kEmpty) {
                return "Place this call on hold";
            }
            return ringing ? "Pick up incoming call and place current call on hold"
                           : "Pick up call on hold and place current call on hold";
        case ActiveSlotKind::kEmpty:
            break;
    }
    return second == SecondSlotKind::kHeld ? "Pick up call on hold" : "Pick up incoming call";
}

}  // namespace

ActivePaneButtons ActiveButtonsFor(ActiveSlotKind active, SecondSlotKind second) {
    ActivePaneButtons b;
    const bool waiting = second != SecondSlotKind::kEmpty;
    b.pickupTooltip = PickupTooltip(active, second);
    switch (active) {
        case ActiveSlotKind::kForum:
            b.pickupCaption = "Pickup";
            // A forum is not put on hold: with nothing waiting there is nothing to press.
            b.pickupEnabled = waiting;
            if (!waiting) {
                b.pickupTooltip.clear();
            }
            b.hangUpCaption = "Leave";
            b.hangUpTooltip = "Leave this forum";
            b.statusWhenShown = "Joining Forum";
            break;
        case ActiveSlotKind::kCall:
            b.pickupCaption = !waiting                             ? "Hold"
                              : second == SecondSlotKind::kRinging ? "Pickup"
                                                                   : "Switch";
            b.pickupEnabled = true;
            b.hangUpCaption = "Hang Up";
            b.hangUpTooltip = "Hang up active call";
            b.statusWhenShown = "Placing Call";
            break;
        case ActiveSlotKind::kEmpty:
            b.pickupCaption = "Pickup";
            b.pickupEnabled = waiting;
            b.hangUpCaption = "Hang Up";
            b.hangUpTooltip = "Hang up incoming call";
            b.statusWhenShown = "Ready";
            break;
    }
    const bool shown = active != ActiveSlotKind::kEmpty;
    b.hangUpEnabled = shown || waiting;
    b.talkEnabled = shown;
    b.textChatEnabled = shown;
    b.pickupBlinks = !shown && waiting;
    b.light = shown ? StatusLight::kInCall : StatusLight::kIdle;
    return b;
}

IncomingPaneView IncomingViewFor(SecondSlotKind second) {
    IncomingPaneView v;
    switch (second) {
        case SecondSlotKind::kEmpty:
            v.title = "Ready";
            v.light = StatusLight::kIdle;
            break;
        case SecondSlotKind::kRinging:
            v.title = "Incoming Call";
            v.buttonsEnabled = true;
            v.light = StatusLight::kWaiting;
            break;
        case SecondSlotKind::kHeld:
            v.title = "On Hold";
            v.buttonsEnabled = true;
            v.light = StatusLight::kWaiting;
            break;
    }
    return v;
}

}  // namespace qv
