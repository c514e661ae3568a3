#pragma once

// What the CallManager tells the pane that shows the second slot (a ringing call or a call on
// hold). Showing a ringing record starts the ring; showing another record or none stops it.

namespace qv {

struct CallRecord;

class IncomingCallPane {
  public:
    virtual ~IncomingCallPane() = default;

    // The second slot changed: record is what it holds now, null when it is empty. The ring and
    // reminder tick counter restarts at 0.
    virtual void ShowSecond(CallRecord* record) = 0;
    // The active slot was ended: the tick counter restarts at 0.
    virtual void ResetRingCounter() = 0;
};

}  // namespace qv
