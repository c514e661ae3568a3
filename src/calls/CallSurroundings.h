#pragma once

// What the CallManager needs of the program around it besides the engine: the block list, the
// contact list, the main window and the web tour. Each may be absent (then what it would do is
// skipped and nobody counts as blocked).

#include <string>
#include <vector>

namespace qv {

class CallSurroundings {
  public:
    virtual ~CallSurroundings() = default;

    // Exact, case-sensitive comparison with the block list's IDs.
    virtual bool IsBlocked(const std::string& userId) const = 0;
    // An incoming caller: added to the contact list when it is not there and
    // AutoAddToContactList is on, and highlighted.
    virtual void OfferCaller(const std::string& userId, const std::string& nickname) = 0;
    // Whether the main window is the foreground window.
    virtual bool MainWindowInFront() const = 0;
    // Shows the main window normally and brings it to the front.
    virtual void BringMainWindowForward() = 0;
    // The web tour's voice link goes off (a call takes the microphone).
    virtual void WebTourVoiceLinkOff() = 0;
    // The IDs of the block list, in its order ("Ban Users In My Block List").
    virtual std::vector<std::string> BlockedIds() const = 0;
};

}  // namespace qv
