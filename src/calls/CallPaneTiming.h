#pragma once

// The timed rules of the call panes, apart from any window or clock: the time in call, the ring
// and reminder tick of the incoming-call pane, and the grace before a call with nobody else in it
// is hung up. The windows feed them from their scheduler entries.

#include <cstdint>
#include <optional>
#include <string>

#include "calls/CallPaneButtons.h"

namespace qv {

namespace call_pane {
inline constexpr std::uint32_t kTimeInCallPeriodMs = 1000;
inline constexpr std::uint32_t kRingTickMs = 100;
inline constexpr std::uint32_t kBlinkPeriodMs = 1000;
// A ringing call that has rung longer than this is declined as not answered.
inline constexpr std::int64_t kRingTimeoutMs = 60000;
// A connected call with nobody else in it for longer than this is hung up.
inline constexpr std::uint32_t kAloneGraceMs = 1000;
inline constexpr std::uint32_t kIncomingCallEvery = 64;
inline constexpr std::uint32_t kCallWaitingEvery = 512;
inline constexpr std::uint32_t kHoldReminderEvery = 512;
}  // namespace call_pane

// "%M:%S" below an hour, "%H:%M:%S" from an hour on; negative times show as 00:00.
std::string FormatTimeInCall(std::int64_t seconds);

// One 100 ms tick of the incoming-call pane.
struct RingTickInput {
    SecondSlotKind second = SecondSlotKind::kEmpty;
    bool activeOccupied = false;
    // Do Not Disturb or Occupied: no sound.
    bool silent = false;
    // Since the ringing call's start time.
    std::int64_t elapsedMs = 0;
};

struct RingTickResult {
    // Decline as not answered: nothing else is done in this tick.
    bool timedOut = false;
    std::optional<std::string> sound;
    // None: leave the light as it is.
    std::optional<StatusLight> light;
};

// The tick counter restarts at 0 when a record is shown and when the active slot ends.
class RingTicker {
  public:
    RingTickResult Tick(const RingTickInput& in);
    void Reset() { counter_ = 0; }
    std::uint32_t Counter() const { return counter_; }

  private:
    std::uint32_t counter_ = 0;
};

// The grace before a connected call in which the user is alone is hung up. Ticked with the
// current tick count; true when the call is to be hung up now (once: the grace starts again).
class AloneWatch {
  public:
    bool Tick(std::uint32_t nowMs, bool connectedCall, std::size_t rows);
    void Reset() { since_.reset(); }
    bool Running() const { return since_.has_value(); }

  private:
    std::optional<std::uint32_t> since_;
};

}  // namespace qv
