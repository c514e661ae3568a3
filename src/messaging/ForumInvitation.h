#pragma once

// A forum invitation as user message 11 carries it: "<forum>\t<password>\t<letters>", the letters
// "H" (hidden), "M" (moderated) and "T" (controlled microphones) for each option that is set, in
// that order. The second text is the forum's password, so that an invitation to a forum with a
// password can be accepted; it is empty for a forum without one.

#include <optional>
#include <string>

namespace qv {

struct ForumInvitation {
    std::string forum;
    std::string password;
    bool hidden = false;
    bool moderated = false;
    bool controlledMicrophones = false;

    bool operator==(const ForumInvitation&) const = default;
};

// The text of message 11.
std::string FormatForumInvitation(const ForumInvitation& invitation);

// Reads the text of message 11. A missing TAB leaves what would follow it empty; the option
// letters count anywhere after the second TAB. Nullopt when it names no forum.
std::optional<ForumInvitation> ParseForumInvitation(const std::string& text);

// What the messages ask of the forums: the forum the user is in (to invite someone to it) and
// joining a forum named from outside the forum list (an accepted invitation, a command file).
// The program implements it over the call manager; tests fake it.
class ForumAccess {
  public:
    virtual ~ForumAccess() = default;
    // The forum in the active slot; nullopt while the active slot holds no forum.
    virtual std::optional<ForumInvitation> CurrentForum() const = 0;
    // Joins after the adult check; false when the check or the join refused.
    virtual bool JoinInvitedForum(const ForumInvitation& forum) = 0;
};

}  // namespace qv
