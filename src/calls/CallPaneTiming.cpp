#include "calls/CallPaneTiming.h"

#include <cstdio>

namespace qv {

std::string FormatTimeInCall(std::int64_t seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    const long long h = seconds / 3600;
    const int m = static_cast<int>((seconds / 60) % 60);
    const int s = static_cast<int>(seconds % 60);
    char text[32];
    if (h == 0) {
        std::snprintf(text, sizeof text, "%02d:%02d", m, s);
    } else {
        std::snprintf(text, sizeof text, "%02lld:%02d:%02d", h, m, s);
    }
    return text;
}

RingTickResult RingTicker::Tick(const RingTickInput& in) {
    using namespace call_pane;
    RingTickResult r;
    const std::uint32_t n = counter_++;
    if (in.second == SecondSlotKind::kEmpty) {
        return r;
    }
    const bool ringing = in.second == SecondSlotKind::kRinging;
    if (ringing && in.elapsedMs > kRingTimeoutMs) {
        r.timedOut = true;
        return r;
    }
    if (!in.silent) {
        if (ringing && !in.activeOccupied && n % kIncomingCallEvery == 0) {
            r.sound = "IncomingCall";
        } else if (ringing && in.activeOccupied && n % kCallWaitingEvery == 0) {
            r.sound = "CallWaiting";
        } else if (!ringing && n != 0 && n % kHoldReminderEvery == 0) {
            r.sound = "HoldReminder";
        }
    }
    // The light blinks in the first 8 ticks of every 64; a held call only once it has been
    // waiting a while.
    if (ringing || n > 511) {
        const bool blinkWindow = ((n >> 3) & 7) == 0;
        r.light = blinkWindow && (n & 1) != 0 ? StatusLight::kWaitingB : StatusLight::kWaiting;
    }
    return r;
}

bool AloneWatch::Tick(std::uint32_t nowMs, bool connectedCall, std::size_t rows) {
    if (!connectedCall || rows != 1) {
        since_.reset();
        return false;
    }
    if (!since_) {
        since_ = nowMs;
        return false;
    }
    if (static_cast<std::uint32_t>(nowMs - *since_) > call_pane::kAloneGraceMs) {
        since_.reset();
        return true;
    }
    return false;
}

}  // namespace qv
