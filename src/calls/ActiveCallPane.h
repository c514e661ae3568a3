#pragma once

// What the CallManager tells the pane that shows the active slot. The pane keeps a pointer to the
// record it shows until it is told another one (or none); the record lives in the slot.

namespace qv {

struct CallRecord;

class ActiveCallPane {
  public:
    virtual ~ActiveCallPane() = default;

    // The active slot changed: record is what it holds now, null when it is empty. The pane
    // fills the record's participants from the engine's user list.
    virtual void ShowActive(CallRecord* record) = 0;
    // Either slot changed in a way that ShowActive did not cover (the second slot, a held call
    // switched in): caption, tooltip and enabled state of the buttons follow both slots.
    virtual void UpdateButtons() = 0;
    // Shows the active record again (after a hold or switch).
    virtual void Refresh() = 0;
    virtual void StopTextChatBlink() = 0;
    virtual void StopPickupBlink() = 0;
    // Forced push-to-talk by forum size went on or off: the Talk button and the push-to-talk
    // mode follow. Nothing by default.
    virtual void ForcedPushToTalkChanged(bool /*on*/) {}
};

}  // namespace qv
