#pragma once

// What the session asks of the program's subsystems, answered by those that exist so far; the
// others keep the session's no-op defaults.

#include <cstdint>
#include <string>

#include "login/SessionSubsystems.h"

namespace qv {

class CQuorvaneApp;

class ProgramSubsystems final : public SessionSubsystems {
  public:
    explicit ProgramSubsystems(CQuorvaneApp& app) : app_(app) {}

    void RequestPartnerParameters() override;
    // Calls and forums go to the call manager.
    bool CallOrForumInProgress() const override;
    void HangUp() override;
    void DeclineRingingCall(std::int16_t reason, const std::string& text) override;
    void CallUser(const UserProfile& user) override;

    // The stores of the user: pointed at the logged-in user's folder (saving what they held),
    // emptied when nobody is logged in, synchronised by the versions of the login reply.
    // The event log of the user's folder; a file there that is no log is repaired.
    void OpenEventLog(const std::string& path) override;
    void OpenBlockList(const std::string& path) override;
    void ReloadContactList() override;
    void ClearContactList() override;
    void ContactListVersion(long version) override;
    void BlockListVersion(long version) override;

    // Command files: the forum lines join as an accepted invitation does.
    void JoinForum(const CommandRecord& record) override;

    // Messages: the alerts of the logged-in user, and where its offline queue lives.
    void RestartAlerts(std::uint32_t userId) override;
    void SetOfflineQueueFolder(const std::string& folder) override;

  private:
    std::uint32_t LoggedInId() const;

    CQuorvaneApp& app_;
};

}  // namespace qv
