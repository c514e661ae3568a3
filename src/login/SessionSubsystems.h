#pragma once

// What the session asks of the subsystems around it: the stores, the call manager, the forum,
// voice-mail and web-tour windows. Each call is made at its place in the session's sequences;
// a subsystem that does not exist yet does nothing, and the program overrides the calls as the
// subsystems land.

#include <cstdint>
#include <string>

#include "app/CommandFile.h"

namespace qv {

struct UserProfile;

class SessionSubsystems {
  public:
    virtual ~SessionSubsystems() = default;

    // Calls and forums
    virtual bool CallOrForumInProgress() const { return false; }
    // Ends the active call, else declines the second slot.
    virtual void HangUp() {}
    // Declines a ringing call with the reason (1 do not disturb, 4 occupied) and the text.
    virtual void DeclineRingingCall(std::int16_t /*reason*/, const std::string& /*text*/) {}
    virtual void CallUser(const UserProfile& /*user*/) {}
    virtual void CloseForumList() {}

    // Voice mail
    virtual void StopVoiceMailPlaybackAndRecording() {}
    virtual bool VoiceMailWindowOpen() const { return false; }
    virtual void LoadVoiceMailStore(const std::string& /*path*/) {}
    virtual void ResetVoiceMailWindows(std::uint32_t /*userId*/) {}
    virtual void CloseVoiceMailCompose() {}

    // Stores of the user
    virtual void OpenEventLog(const std::string& /*path*/) {}
    virtual void OpenBlockList(const std::string& /*path*/) {}
    virtual void ReloadContactList() {}
    virtual void ClearContactList() {}
    virtual void RestartAlerts(std::uint32_t /*userId*/) {}
    virtual void SetOfflineQueueFolder(const std::string& /*folder*/) {}
    virtual void ContactListVersion(long /*version*/) {}
    virtual void BlockListVersion(long /*version*/) {}
    virtual void PartnerListVersion(long /*version*/) {}
    // The user's own contact-list entry carries the presence mode with bit 0 set.
    virtual void UpdateOwnPresence(std::int16_t /*flags*/) {}
    virtual void RefreshUserWindows() {}

    // Partner parameters (the partner number is the client's).
    virtual void RequestPartnerParameters() {}

    // Command files
    virtual void JoinForum(const CommandRecord& /*record*/) {}
    virtual void RunWebTour(const CommandRecord& /*record*/) {}
};

}  // namespace qv
