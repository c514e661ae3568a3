#include "calls/ForumModeration.h"

#include <algorithm>

#include "calls/CallRecord.h"
#include "calls/ForumNames.h"
#include "calls/ParticipantMenu.h"
#include "engine/CSonaroManager.h"
#include "messaging/SystemNotices.h"

namespace qv {

namespace {
constexpr std::int16_t kModeratorRole = 0;
constexpr std::int16_t kOwnerRole = 1;
constexpr std::int16_t kGrant = 1;
constexpr std::int16_t kRevoke = 2;
constexpr std::int16_t kBan = 1;
constexpr std::int16_t kUnban = 2;
constexpr std::int16_t kGive = 1;
constexpr std::int16_t kTake = 2;
}  // namespace

CallParticipant* FindParticipant(CallRecord& forum, const std::string& userId) {
    auto it = std::find_if(forum.participants.begin(), forum.participants.end(),
                           [&](const CallParticipant& p) { return p.userId == userId; });
    return it == forum.participants.end() ? nullptr : &*it;
}

const CallParticipant* FindParticipant(const CallRecord& forum, const std::string& userId) {
    return FindParticipant(const_cast<CallRecord&>(forum), userId);
}

ForumModeration::ForumModeration(CSonaroManager& engine, SystemNotices& notices,
                                 std::function<std::uint32_t()> wallClock)
    : engine_(engine), notices_(notices), wallClock_(std::move(wallClock)) {}

std::uint32_t ForumModeration::MyFlags(const CallRecord& forum) const {
    const CallParticipant* me = FindParticipant(forum, engine_.UserId());
    return me != nullptr ? me->flags : 0;
}

void ForumModeration::MakeModerator(CallRecord& forum, const std::string& targetId) {
    engine_.SetMemberRole(targetId, kModeratorRole, kGrant);
    if (CallParticipant* target = FindParticipant(forum, targetId)) {
        target->flags |= participant_flag::kModerator;
    }
}

void ForumModeration::MakeOwner(CallRecord& forum, const std::string& targetId) {
    const CallParticipant* target = FindParticipant(forum, targetId);
    if (target != nullptr && IsOwner(target->flags)) {
        return;
    }
    engine_.SetMemberRole(targetId, kOwnerRole, kGrant);
}

void ForumModeration::RevokeModerator(CallRecord& forum, const std::string& targetId) {
    engine_.SetMemberRole(targetId, kModeratorRole, kRevoke);
    if (forum.controlledMicrophones) {
        engine_.SetMemberMicrophone(targetId, kTake);
    }
}

void ForumModeration::SendNotice(const CallParticipant& target, std::int16_t number,
                                 const std::string& text) {
    engine_.SendUserMessage(target.userId, target.nickname, number, 1, text);
}

void ForumModeration::Kick(CallRecord& forum, const std::string& targetId,
                           const std::string& reason) {
    CallParticipant fallback{targetId, "", 1};
    CallParticipant* target = FindParticipant(forum, targetId);
    SendNotice(target != nullptr ? *target : fallback, kKicked, forum.forumName + "\t" + reason);
    if (target != nullptr && IsModeratorOrOwner(MyFlags(forum)) &&
        (target->flags & participant_flag::kMicrophone) != 0) {
        TakeMicrophone(forum, targetId);
    }
    engine_.BanMember(targetId, kBan);
    engine_.BanMember(targetId, kUnban);
}

void ForumModeration::Ban(CallRecord& forum, const std::string& targetId,
                          const std::string& reason) {
    CallParticipant fallback{targetId, "", 1};
    CallParticipant* target = FindParticipant(forum, targetId);
    SendNotice(target != nullptr ? *target : fallback, kBanned, forum.forumName + "\t" + reason);
    if (target != nullptr && IsModeratorOrOwner(MyFlags(forum)) &&
        (target->flags & participant_flag::kMicrophone) != 0) {
        TakeMicrophone(forum, targetId);
    }
    engine_.BanMember(targetId, kBan);
}

bool ForumModeration::Unban(const std::string& userIdText) {
    // One ID: a line break would make a list of several.
    if (userIdText.empty() || userIdText.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    engine_.BanMember(userIdText, kUnban);
    notices_.AddSystemNotice(FormatForumText(forum_text::kUnbannedFormat, userIdText), true,
                             wallClock_());
    return true;
}

void ForumModeration::GiveMicrophone(CallRecord& forum, const std::string& targetId) {
    engine_.SetMemberMicrophone(targetId, kGive);
    if (CallParticipant* target = FindParticipant(forum, targetId)) {
        target->flags |= participant_flag::kMicrophone;
    }
}

void ForumModeration::TakeMicrophone(CallRecord& forum, const std::string& targetId) {
    engine_.SetMemberMicrophone(targetId, kTake);
    if (CallParticipant* target = FindParticipant(forum, targetId)) {
        target->flags &= ~participant_flag::kMicrophone;
    }
}

void ForumModeration::GiveMicrophoneToSelection(CallRecord& forum,
                                                const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
        const CallParticipant* p = FindParticipant(forum, id);
        if (p != nullptr && (p->flags & participant_flag::kMicrophone) == 0) {
            GiveMicrophone(forum, id);
        }
    }
}

void ForumModeration::TakeMicrophoneFromSelection(CallRecord& forum,
                                                  const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
        const CallParticipant* p = FindParticipant(forum, id);
        if (p != nullptr && (p->flags & participant_flag::kMicrophone) != 0) {
            TakeMicrophone(forum, id);
        }
    }
}

bool ForumModeration::Disband(const CallRecord& forum) {
    if (!forum.IsForum() || forum.forumName.empty()) {
        return false;
    }
    engine_.DisbandGroup();
    for (const CallParticipant& p : forum.participants) {
        if (!IsOwner(p.flags) && p.userId != engine_.UserId()) {
            SendNotice(p, kDisbanded, forum.forumName + "\t");
        }
    }
    return true;
}

bool ForumModeration::ToggleMute(CallRecord& forum, const std::string& targetId) {
    CallParticipant* target = FindParticipant(forum, targetId);
    if (target == nullptr) {
        return false;
    }
    target->flags ^= participant_flag::kMuted;
    const bool muted = (target->flags & participant_flag::kMuted) != 0;
    engine_.MuteMember(targetId, muted);
    return muted;
}

bool ForumModeration::Rename(const std::string& newName) {
    if (newName.empty()) {
        return false;
    }
    engine_.RenameGroup(newName);
    return true;
}

}  // namespace qv
