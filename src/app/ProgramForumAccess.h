#pragma once

// The program's way into forums from outside the forum list: an accepted forum invitation and a
// command file's forum lines join through the same path (the adult check, then the call
// manager's join of an existing forum), and invitations name the forum the user is in.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "messaging/ForumInvitation.h"

namespace qv {

class AdultCheck;
class CallManager;
struct CommandRecord;

class ProgramForumAccess final : public ForumAccess {
  public:
    explicit ProgramForumAccess(CallManager& calls) : calls_(calls) {}

    // The forum list window's warning (null: every join goes ahead).
    void SetAdultCheck(AdultCheck* check) { adultCheck_ = check; }
    // The forum list's flags of a listed forum (1 moderated, 4 controlled microphones), for a
    // command file's join, which names only the path; nullopt or no lookup: none.
    using FlagsLookup = std::function<std::optional<std::uint32_t>(const std::string& path)>;
    void SetFlagsLookup(FlagsLookup lookup) { flagsLookup_ = std::move(lookup); }

    // ForumAccess: the forum in the active slot once joined (not a web tour's).
    std::optional<ForumInvitation> CurrentForum() const override;
    bool JoinInvitedForum(const ForumInvitation& forum) override;

    // A command file's F (forum B, no password) and G (forum B, password C). False for any
    // other letter, and when the check or the join refused.
    bool JoinForumOfCommand(const CommandRecord& record);

  private:
    CallManager& calls_;
    AdultCheck* adultCheck_ = nullptr;
    FlagsLookup flagsLookup_;
};

}  // namespace qv
