#include "ConversationRegistry.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <utility>

#include "IdLines.h"
#include "PresenceRegistry.h"

namespace qv::voicesvc {

namespace {

// Decline reason 3 is "no answer": what the server gives for a callee that never answered.
constexpr std::int16_t kNoAnswer = 3;
// ServerMessage numbers: 5 is the client's "User is offline." alert, 6 shows the text as it is.
constexpr std::int16_t kOffline = 5;
constexpr std::int16_t kRefused = 6;
const char* const kTooManyCalls = "You are in too many calls. Hang up one of them first.";

}  // namespace

ConversationRegistry::ConversationRegistry(const PresenceRegistry& presence)
    : ConversationRegistry(presence, Limits{}) {}

ConversationRegistry::ConversationRegistry(const PresenceRegistry& presence, Limits limits)
    : presence_(presence), limits_(limits) {}

void ConversationRegistry::AddSession(SessionId session) {
    const std::string* userId = presence_.UserIdOf(session);
    const std::string* nickname = presence_.NicknameOf(session);
    if (userId == nullptr || nickname == nullptr) {
        return;
    }
    Participant& participant = participants_[session];
    participant.userId = *userId;
    // A row's nickname is a field of the engine's tab-separated user list, and the frames limit
    // it: the directory's nicknames always fit, but a ticket would carry anything.
    participant.nickname = nickname->substr(0, voice::kMaxNickname);
    for (char& c : participant.nickname) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
}

ConversationRegistry::Conference* ConversationRegistry::Find(std::int32_t conference) {
    const auto found = conferences_.find(conference);
    return found == conferences_.end() ? nullptr : &found->second;
}

ConversationRegistry::Member* ConversationRegistry::MemberOf(Conference& conference,
                                                             SessionId session) {
    for (Member& member : conference.members) {
        if (member.session == session) {
            return &member;
        }
    }
    return nullptr;
}

ConversationRegistry::Conference* ConversationRegistry::ActiveOf(SessionId session) {
    return const_cast<Conference*>(std::as_const(*this).ActiveOf(session));
}

const ConversationRegistry::Conference* ConversationRegistry::ActiveOf(SessionId session) const {
    const auto participant = participants_.find(session);
    if (participant == participants_.end()) {
        return nullptr;
    }
    for (const std::int32_t id : participant->second.conferences) {
        const auto conference = conferences_.find(id);
        if (conference == conferences_.end()) {
            continue;
        }
        for (const Member& member : conference->second.members) {
            if (member.session == session && member.state == State::kActive) {
                return &conference->second;
            }
        }
    }
    return nullptr;
}

std::size_t ConversationRegistry::Memberships(SessionId session) const {
    const auto participant = participants_.find(session);
    if (participant == participants_.end()) {
        return 0;
    }
    std::size_t count = 0;
    for (const std::int32_t id : participant->second.conferences) {
        const auto conference = conferences_.find(id);
        if (conference == conferences_.end()) {
            continue;
        }
        for (const Member& member : conference->second.members) {
            if (member.session == session && member.state != State::kInvited) {
                ++count;
            }
        }
    }
    return count;
}

std::int32_t ConversationRegistry::NextId() {
    // Conferences are few next to the id space, so this ends at once.
    for (;;) {
        lastId_ = lastId_ == std::numeric_limits<std::int32_t>::max() ? 1 : lastId_ + 1;
        if (conferences_.count(lastId_) == 0 && forums_.count(lastId_) == 0) {
            return lastId_;
        }
    }
}

ConversationRegistry::Conference& ConversationRegistry::Create(SessionId session, Deliveries& out) {
    const std::int32_t id = NextId();
    Conference& conference = conferences_[id];
    conference.id = id;
    Participant& participant = participants_.at(session);
    Member self;
    self.session = session;
    self.userId = participant.userId;
    self.nickname = participant.nickname;
    self.state = State::kActive;
    conference.members.push_back(self);
    participant.conferences.push_back(id);
    out.push_back({session, voice::Encode(voice::JoinedConference{id, 1, 0})});
    out.push_back({session, voice::Encode(voice::MemberJoined{id, participant.nickname,
                                                              participant.userId, "", 0})});
    return conference;
}

void ConversationRegistry::Refuse(SessionId session, std::int16_t number, const std::string& text,
                                  Deliveries& out) const {
    out.push_back({session, voice::Encode(voice::ServerMessage{1, number, text})});
}

namespace {

const char* Letters(bool invited, bool held) {
    return invited ? "I" : held ? "H" : "";
}

}  // namespace

void ConversationRegistry::ToMembers(const Conference& conference, const std::string& frame,
                                     SessionId except, Deliveries& out) const {
    for (const Member& member : conference.members) {
        if (member.state != State::kInvited && member.session != except) {
            out.push_back({member.session, frame});
        }
    }
}

void ConversationRegistry::SendRows(const Conference& conference, SessionId session,
                                    Deliveries& out) const {
    for (const Member& member : conference.members) {
        const bool self = member.session == session;
        out.push_back(
            {session, voice::Encode(voice::MemberJoined{
                          conference.id, member.nickname, member.userId,
                          Letters(member.state == State::kInvited, member.state == State::kHeld),
                          static_cast<std::uint8_t>(self ? 0 : 1)})});
    }
}

void ConversationRegistry::SetState(Conference& conference, Member& member, State state,
                                    Deliveries& out) {
    member.state = state;
    ToMembers(conference,
              voice::Encode(voice::MemberChanged{conference.id, member.nickname, member.userId,
                                                 Letters(false, state == State::kHeld)}),
              member.session, out);
}

void ConversationRegistry::HoldActive(SessionId session, Deliveries& out) {
    Conference* active = ActiveOf(session);
    if (active == nullptr) {
        return;
    }
    out.push_back({session, voice::Encode(voice::JoinedConference{active->id, 0, 0})});
    SetState(*active, *MemberOf(*active, session), State::kHeld, out);
}

void ConversationRegistry::InviteUser(SessionId session, const voice::InviteUser& request,
                                      Clock::time_point now, Deliveries& out) {
    const auto self = participants_.find(session);
    if (self == participants_.end()) {
        return;
    }
    Conference* conference = ActiveOf(session);
    if (conference == nullptr) {
        if (Memberships(session) >= limits_.conferencesPerUser) {
            Refuse(session, kRefused, kTooManyCalls, out);
            return;
        }
        // Made even when the invitation then fails: the caller's client ends a call that
        // stays with one member, and it needs the call for that.
        conference = &Create(session, out);
    }
    const std::string& alias = request.alias;
    if (alias == self->second.userId) {
        Refuse(session, kRefused, "You cannot call yourself.", out);
        return;
    }
    const std::optional<SessionId> target =
        voice::IsUserId(alias) ? presence_.SessionOf(alias) : std::nullopt;
    // A session that does not speak conferences cannot be invited: it is offline for calls.
    const auto invitee = target ? participants_.find(*target) : participants_.end();
    if (invitee == participants_.end()) {
        Refuse(session, kOffline, "User is offline - " + alias, out);
        return;
    }
    if (MemberOf(*conference, *target) != nullptr) {
        return;
    }
    if (conference->members.size() >= limits_.conferenceSize) {
        Refuse(session, kRefused,
               "This call is full: at most " + std::to_string(limits_.conferenceSize) +
                   " people can be in one call - " + alias,
               out);
        return;
    }
    if (invitee->second.ringing >= limits_.pendingInvitations) {
        Refuse(session, kRefused, "This user cannot take another call right now - " + alias, out);
        return;
    }
    if (self->second.invited >= limits_.pendingInvitations) {
        Refuse(session, kRefused,
               "You have too many calls ringing. Wait for an answer or hang up first.", out);
        return;
    }
    // A callee that blocks the caller is never asked, and the caller never learns of the
    // block: the call rings until the server declines it as unanswered.
    const bool blocked = presence_.Blocks(*target, self->second.userId);
    Member member;
    member.session = *target;
    member.userId = invitee->second.userId;
    member.nickname = invitee->second.nickname;
    member.state = State::kInvited;
    member.inviter = session;
    member.deadline =
        now + (blocked ? limits_.blockedInvitationLifetime : limits_.invitationLifetime);
    member.told = !blocked;
    conference->members.push_back(member);
    invitee->second.conferences.push_back(conference->id);
    ++invitee->second.ringing;
    ++self->second.invited;
    deadlines_.insert({member.deadline, conference->id, *target});
    ToMembers(
        *conference,
        voice::Encode(voice::MemberJoined{conference->id, member.nickname, member.userId, "I", 0}),
        0, out);
    if (!blocked) {
        out.push_back({*target, voice::EncodeInvitation(voice::InvitationNotice{
                                    conference->id, self->second.nickname, self->second.userId,
                                    request.kind, request.text})});
    }
}

void ConversationRegistry::Accept(SessionId session, std::int32_t id, Deliveries& out) {
    const auto participant = participants_.find(session);
    if (participant == participants_.end() || id <= 0) {
        return;
    }
    Conference* conference = Find(id);
    Member* member = conference ? MemberOf(*conference, session) : nullptr;
    if (member == nullptr) {
        // Withdrawn, or gone: the client drops the slot that rings for it.
        out.push_back(
            {session, voice::EncodeInvitationCancel(voice::InvitationNotice{id, "", "", 0, ""})});
        return;
    }
    switch (member->state) {
        case State::kActive:
            return;
        case State::kHeld:
            HoldActive(session, out);
            out.push_back({session, voice::Encode(voice::JoinedConference{id, 1, 0})});
            SetState(*conference, *member, State::kActive, out);
            return;
        case State::kInvited:
            break;
    }
    if (Memberships(session) >= limits_.conferencesPerUser) {
        Refuse(session, kRefused, kTooManyCalls, out);
        return;
    }
    HoldActive(session, out);
    const SessionId inviter = member->inviter;
    member->state = State::kActive;
    deadlines_.erase({member->deadline, id, session});
    --participant->second.ringing;
    const auto invitedBy = participants_.find(inviter);
    if (invitedBy != participants_.end()) {
        --invitedBy->second.invited;
    }
    if (MemberOf(*conference, inviter) != nullptr) {
        out.push_back({inviter, voice::Encode(voice::AcceptedConference{id, 1, member->nickname,
                                                                        member->userId, 0, ""})});
    }
    ToMembers(*conference,
              voice::Encode(voice::MemberChanged{id, member->nickname, member->userId, ""}),
              session, out);
    out.push_back({session, voice::Encode(voice::JoinedConference{id, 1, 0})});
    SendRows(*conference, session, out);
}

void ConversationRegistry::Decline(SessionId session, const voice::ConferenceRequest& request,
                                   Deliveries& out) {
    Conference* conference = Find(request.conference);
    const Member* member = conference ? MemberOf(*conference, session) : nullptr;
    if (member != nullptr && member->state == State::kInvited) {
        DeclineInvitation(*conference, session, request.reason, request.text, out);
    }
}

void ConversationRegistry::Hold(SessionId session, const voice::ConferenceRequest& request,
                                Deliveries& out) {
    Conference* conference = Find(request.conference);
    Member* member = conference ? MemberOf(*conference, session) : nullptr;
    if (member == nullptr || member->state != State::kActive) {
        return;
    }
    out.push_back({session, voice::Encode(voice::JoinedConference{conference->id, 0, 0})});
    SetState(*conference, *member, State::kHeld, out);
}

void ConversationRegistry::Leave(SessionId session, const voice::ConferenceRequest& request,
                                 Deliveries& out) {
    Conference* conference = Find(request.conference);
    const Member* member = conference ? MemberOf(*conference, session) : nullptr;
    if (member == nullptr || member->state == State::kInvited) {
        return;
    }
    LeaveConference(request.conference, session, voice::LeaveCause::kLeft, out);
    out.push_back({session, voice::Encode(voice::JoinedConference{request.conference, 0, 1})});
}

void ConversationRegistry::CancelInvitations(SessionId session,
                                             const voice::CancelInvitations& request,
                                             Deliveries& out) {
    const auto participant = participants_.find(session);
    if (participant == participants_.end() || participant->second.invited == 0) {
        return;
    }
    const std::vector<std::string> lines = IdLines(request.ids);
    const std::unordered_set<std::string> ids(lines.begin(), lines.end());
    // A copy: withdrawing changes the lists it walks.
    const std::vector<std::int32_t> conferences = participant->second.conferences;
    for (const std::int32_t id : conferences) {
        Conference* conference = Find(id);
        if (conference == nullptr) {
            continue;
        }
        std::vector<SessionId> invitees;
        for (const Member& member : conference->members) {
            if (member.state == State::kInvited && member.inviter == session &&
                ids.count(member.userId) != 0) {
                invitees.push_back(member.session);
            }
        }
        for (const SessionId invitee : invitees) {
            WithdrawInvitation(*conference, invitee, request.reason, request.text, 0, out);
        }
    }
}

void ConversationRegistry::DropInvitation(Conference& conference, SessionId invitee,
                                          voice::LeaveCause cause, SessionId except,
                                          Deliveries& out) {
    const auto found =
        std::find_if(conference.members.begin(), conference.members.end(),
                     [invitee](const Member& member) { return member.session == invitee; });
    if (found == conference.members.end()) {
        return;
    }
    const Member member = *found;
    conference.members.erase(found);
    deadlines_.erase({member.deadline, conference.id, invitee});
    const auto invited = participants_.find(invitee);
    if (invited != participants_.end()) {
        --invited->second.ringing;
    }
    Forget(invitee, conference.id);
    const auto inviter = participants_.find(member.inviter);
    if (inviter != participants_.end()) {
        --inviter->second.invited;
    }
    ToMembers(conference,
              voice::Encode(voice::MemberLeft{conference.id, member.nickname, member.userId,
                                              static_cast<std::uint8_t>(cause)}),
              except, out);
}

void ConversationRegistry::DeclineInvitation(Conference& conference, SessionId invitee,
                                             std::int16_t reason, const std::string& text,
                                             Deliveries& out) {
    const Member* member = MemberOf(conference, invitee);
    if (member == nullptr) {
        return;
    }
    // The reason first: the client keeps it and shows it when the invitee's row goes.
    if (MemberOf(conference, member->inviter) != nullptr) {
        out.push_back({member->inviter,
                       voice::Encode(voice::AcceptedConference{conference.id, 0, member->nickname,
                                                               member->userId, reason, text})});
    }
    DropInvitation(conference, invitee, voice::LeaveCause::kDeclined, 0, out);
}

void ConversationRegistry::WithdrawInvitation(Conference& conference, SessionId invitee,
                                              std::int16_t number, const std::string& text,
                                              SessionId except, Deliveries& out) {
    const Member* member = MemberOf(conference, invitee);
    if (member == nullptr) {
        return;
    }
    if (member->told) {
        const auto inviter = participants_.find(member->inviter);
        voice::InvitationNotice cancel{conference.id, "", "", number, text};
        if (inviter != participants_.end()) {
            cancel.nickname = inviter->second.nickname;
            cancel.userId = inviter->second.userId;
        }
        out.push_back({invitee, voice::EncodeInvitationCancel(cancel)});
    }
    DropInvitation(conference, invitee, voice::LeaveCause::kCancelled, except, out);
}

void ConversationRegistry::LeaveConference(std::int32_t id, SessionId session,
                                           voice::LeaveCause cause, Deliveries& out) {
    Conference* conference = Find(id);
    if (conference == nullptr) {
        return;
    }
    // Its invitations go with it: nobody is left to be called by.
    std::vector<SessionId> invitees;
    for (const Member& member : conference->members) {
        if (member.state == State::kInvited && member.inviter == session) {
            invitees.push_back(member.session);
        }
    }
    for (const SessionId invitee : invitees) {
        WithdrawInvitation(*conference, invitee, 0, "", session, out);
    }
    const auto found =
        std::find_if(conference->members.begin(), conference->members.end(),
                     [session](const Member& member) { return member.session == session; });
    if (found != conference->members.end()) {
        const Member leaver = *found;
        conference->members.erase(found);
        Forget(session, id);
        ToMembers(*conference,
                  voice::Encode(voice::MemberLeft{id, leaver.nickname, leaver.userId,
                                                  static_cast<std::uint8_t>(cause)}),
                  0, out);
    }
    const bool anyone =
        std::any_of(conference->members.begin(), conference->members.end(),
                    [](const Member& member) { return member.state != State::kInvited; });
    if (anyone) {
        return;
    }
    // Only invitations left (their inviters have gone): they end with the conference.
    while (!conference->members.empty()) {
        WithdrawInvitation(*conference, conference->members.front().session, 0, "", 0, out);
    }
    conferences_.erase(id);
}

void ConversationRegistry::Forget(SessionId session, std::int32_t conference) {
    const auto participant = participants_.find(session);
    if (participant == participants_.end()) {
        return;
    }
    auto& list = participant->second.conferences;
    list.erase(std::remove(list.begin(), list.end(), conference), list.end());
}

void ConversationRegistry::Remove(SessionId session, Deliveries& out) {
    const auto participant = participants_.find(session);
    if (participant == participants_.end()) {
        return;
    }
    LeaveForum(ForumOf(session), session, false, voice::LeaveCause::kEnded, out);
    const std::vector<std::int32_t> conferences = participant->second.conferences;
    for (const std::int32_t id : conferences) {
        Conference* conference = Find(id);
        const Member* member = conference ? MemberOf(*conference, session) : nullptr;
        if (member == nullptr) {
            continue;
        }
        if (member->state == State::kInvited) {
            DeclineInvitation(*conference, session, kNoAnswer, "", out);
        } else {
            LeaveConference(id, session, voice::LeaveCause::kEnded, out);
        }
    }
    participants_.erase(session);
}

void ConversationRegistry::Expire(Clock::time_point now, Deliveries& out) {
    while (!deadlines_.empty() && std::get<0>(*deadlines_.begin()) <= now) {
        const std::int32_t id = std::get<1>(*deadlines_.begin());
        const SessionId invitee = std::get<2>(*deadlines_.begin());
        Conference* conference = Find(id);
        const Member* member = conference ? MemberOf(*conference, invitee) : nullptr;
        if (member == nullptr || member->state != State::kInvited) {
            deadlines_.erase(deadlines_.begin());
            continue;
        }
        const bool told = member->told;
        voice::InvitationNotice cancel{id, "", "", 0, ""};
        const auto inviter = participants_.find(member->inviter);
        if (inviter != participants_.end()) {
            cancel.nickname = inviter->second.nickname;
            cancel.userId = inviter->second.userId;
        }
        DeclineInvitation(*conference, invitee, kNoAnswer, "", out);
        // A client still there stops ringing; one never told has nothing to stop.
        if (told) {
            out.push_back({invitee, voice::EncodeInvitationCancel(cancel)});
        }
    }
}

std::optional<ConversationRegistry::Clock::time_point> ConversationRegistry::NextDeadline() const {
    if (deadlines_.empty()) {
        return std::nullopt;
    }
    return std::get<0>(*deadlines_.begin());
}

std::optional<MediaRouting::Group> ConversationRegistry::MediaGroup(std::int32_t conference) const {
    const auto forum = forums_.find(conference);
    if (forum != forums_.end()) {
        MediaRouting::Group group;
        for (const ForumMember& member : forum->second.members) {
            group.active.push_back(member.session);
            group.members.push_back(member.session);
            // With controlled microphones only owners, moderators and holders are forwarded.
            if (!CanSpeak(forum->second, member)) {
                group.silent.push_back(member.session);
            }
        }
        std::sort(group.silent.begin(), group.silent.end());
        return group;
    }
    const auto found = conferences_.find(conference);
    if (found == conferences_.end()) {
        return std::nullopt;
    }
    MediaRouting::Group group;
    for (const Member& member : found->second.members) {
        if (member.state == State::kActive) {
            group.active.push_back(member.session);
        }
        if (member.state != State::kInvited) {
            group.members.push_back(member.session);
        }
    }
    return group;
}

std::vector<std::int32_t> ConversationRegistry::ConferencesOf(SessionId session) const {
    const auto found = participants_.find(session);
    if (found == participants_.end()) {
        return {};
    }
    std::vector<std::int32_t> all = found->second.conferences;
    if (const std::int32_t forum = ForumOf(session); forum != 0) {
        all.push_back(forum);
    }
    return all;
}

}  // namespace qv::voicesvc
