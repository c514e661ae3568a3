#include "calls/LocalKeys.h"

#include "calls/KeyNames.h"

namespace qv {

bool LocalKeys::OnKey(const LocalKeyEvent& event) {
    const std::uint32_t scan = ScanCodeForKeySym(event.keysym);
    if (scan == 0) {
        return false;
    }
    if (scan == scan_code::kCtrl) {
        // The key's auto-repeat goes on to the window: talking has started already.
        if (event.autoRepeat) {
            return false;
        }
        if (event.down) {
            target_.TalkStart();
        } else {
            target_.TalkStop();
        }
        return true;
    }
    if (!event.down || !event.ctrl) {
        return false;
    }
    if (event.autoRepeat) {
        // Held down, the command is not run again; the repeats are ours all the same.
        return scan != scan_code::kT || event.alt;
    }
    switch (scan) {
        case scan_code::kT:
            if (!event.alt) {
                return false;
            }
            target_.TogglePushToTalk();
            return true;
        case scan_code::kP:
            target_.PickUp();
            return true;
        case scan_code::kM:
            target_.SendInstantMessage();
            return true;
        case scan_code::kH:
            target_.HangUp();
            return true;
        case scan_code::kO:
            if (!target_.IsRinging()) {
                target_.HoldOrSwitch();
            }
            return true;
        default:
            return false;
    }
}

}  // namespace qv
