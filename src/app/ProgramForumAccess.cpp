#include "app/ProgramForumAccess.h"

#include "app/CommandFile.h"
#include "calls/AdultWarning.h"
#include "calls/CallManager.h"
#include "calls/CallRecord.h"
#include "platform/Trace.h"

namespace qv {

namespace {

constexpr std::uint32_t kModeratedNode = 1;
constexpr std::uint32_t kControlledMicrophonesNode = 4;

}  // namespace

std::optional<ForumInvitation> ProgramForumAccess::CurrentForum() const {
    // A web tour's forum is the tour's own: its guests come through the tour's invitation.
    if (!calls_.ActiveIsForum() || calls_.ActiveIsWebTourForum()) {
        return std::nullopt;
    }
    const CallRecord* forum = calls_.Active();
    // Not before the server let the user in: the forum might still refuse the join.
    if (!forum->connected) {
        return std::nullopt;
    }
    ForumInvitation invitation;
    invitation.forum = forum->forumName;
    invitation.password = forum->forumPassword;
    invitation.hidden = (forum->forumFirstOption & 1) != 0;
    invitation.moderated = forum->forumOptionWord1 != 0;
    invitation.controlledMicrophones = forum->controlledMicrophones;
    return invitation;
}

bool ProgramForumAccess::JoinInvitedForum(const ForumInvitation& forum) {
    Trace("ProgramForumAccess", "JoinInvitedForum", forum.forum);
    if (forum.forum.empty()) {
        return false;
    }
    if (adultCheck_ != nullptr && !adultCheck_->AllowJoin(forum.forum)) {
        return false;
    }
    return calls_.JoinExistingForum(forum.forum, forum.password, forum.hidden ? 1 : 0,
                                    forum.moderated, false, false, forum.controlledMicrophones,
                                    false);
}

bool ProgramForumAccess::JoinForumOfCommand(const CommandRecord& record) {
    if (record.letter != 'F' && record.letter != 'G') {
        return false;
    }
    ForumInvitation forum;
    forum.forum = record.b;
    if (record.letter == 'G') {
        forum.password = record.c;
    }
    if (flagsLookup_) {
        if (const std::optional<std::uint32_t> flags = flagsLookup_(forum.forum)) {
            forum.moderated = (*flags & kModeratedNode) != 0;
            forum.controlledMicrophones = (*flags & kControlledMicrophonesNode) != 0;
        }
    }
    return JoinInvitedForum(forum);
}

}  // namespace qv
