#pragma once

// Conferences (calls): who is in which, in what state, and which invitations ring until when.
// No sockets and no clock: every call takes the time and says what must be sent to which
// session, as the presence registry does; the server sends it and calls Expire when
// NextDeadline comes.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "Delivery.h"
#include "MediaRouting.h"
#include "VoiceProtocol.h"

namespace qv::voicesvc {

class PresenceRegistry;

class ConversationRegistry {
  public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        // Users in one conference, the invited included.
        std::size_t conferenceSize = 16;
        // Invitations ringing at one user, and made by one user.
        std::size_t pendingInvitations = 16;
        // Conferences a user is active or held in (the client has two slots).
        std::size_t conferencesPerUser = 4;
        // The callee's client gives up after 60 s; the server ends what is still ringing then,
        // for a client that vanished.
        std::chrono::milliseconds invitationLifetime{75000};
        // A callee that blocks the caller is never asked: the server declines for it when its
        // client would have given up.
        std::chrono::milliseconds blockedInvitationLifetime{60000};
    };

    // Users come from the presence registry: ids, nicknames, sessions by id, block lists.
    explicit ConversationRegistry(const PresenceRegistry& presence);
    ConversationRegistry(const PresenceRegistry& presence, Limits limits);

    // A registered session that speaks conferences; only these can be invited.
    void AddSession(SessionId session);
    void InviteUser(SessionId session, const voice::InviteUser& request, Clock::time_point now,
                    Deliveries& out);
    void Accept(SessionId session, std::int32_t conference, Deliveries& out);
    void Decline(SessionId session, const voice::ConferenceRequest& request, Deliveries& out);
    void Hold(SessionId session, const voice::ConferenceRequest& request, Deliveries& out);
    void Leave(SessionId session, const voice::ConferenceRequest& request, Deliveries& out);
    void CancelInvitations(SessionId session, const voice::CancelInvitations& request,
                           Deliveries& out);
    // The session is gone: it leaves its conferences and its ringing invitations are declined.
    // Call before the presence registry forgets it.
    void Remove(SessionId session, Deliveries& out);
    // Ends the invitations whose time is up at now.
    void Expire(Clock::time_point now, Deliveries& out);
    // When Expire next has something to do.
    std::optional<Clock::time_point> NextDeadline() const;

    // For the media routes: a conference's active members and roster (nullopt when there is no
    // such conference), and every conference a session is part of, invitations included.
    std::optional<MediaRouting::Group> MediaGroup(std::int32_t conference) const;
    std::vector<std::int32_t> ConferencesOf(SessionId session) const;

    std::size_t ConferenceCount() const { return conferences_.size(); }
    std::size_t InvitationCount() const { return deadlines_.size(); }

  private:
    enum class State { kInvited, kActive, kHeld };

    struct Member {
        SessionId session = 0;
        std::string userId;
        std::string nickname;
        State state = State::kActive;
        // For an invitation: who made it, when it ends, and whether the invitee was told (not
        // when it blocks the inviter).
        SessionId inviter = 0;
        Clock::time_point deadline{};
        bool told = true;
    };

    struct Conference {
        std::int32_t id = 0;
        // In the order the users came.
        std::vector<Member> members;
    };

    struct Participant {
        std::string userId;
        std::string nickname;
        // Every conference the session is part of, invitations included.
        std::vector<std::int32_t> conferences;
        std::size_t ringing = 0;  // invitations to it
        std::size_t invited = 0;  // its invitations still ringing
    };

    using Deadline = std::tuple<Clock::time_point, std::int32_t, SessionId>;

    Conference* Find(std::int32_t conference);
    static Member* MemberOf(Conference& conference, SessionId session);
    // The conference the session is active in, or null.
    Conference* ActiveOf(SessionId session);
    std::size_t Memberships(SessionId session) const;
    Conference& Create(SessionId session, Deliveries& out);
    void Refuse(SessionId session, std::int16_t number, const std::string& text,
                Deliveries& out) const;
    // Holds the session's active conference, if any.
    void HoldActive(SessionId session, Deliveries& out);
    void SetState(Conference& conference, Member& member, State state, Deliveries& out);
    // To every active or held member but except.
    void ToMembers(const Conference& conference, const std::string& frame, SessionId except,
                   Deliveries& out) const;
    void SendRows(const Conference& conference, SessionId session, Deliveries& out) const;
    // Takes an invitation out of the conference: its counts, its deadline and its row, with
    // MemberLeft (cause) to the members but except.
    void DropInvitation(Conference& conference, SessionId invitee, voice::LeaveCause cause,
                        SessionId except, Deliveries& out);
    // The invitee declined, or the server does it for it.
    void DeclineInvitation(Conference& conference, SessionId invitee, std::int16_t reason,
                           const std::string& text, Deliveries& out);
    // The inviter withdrew the invitation (or left).
    void WithdrawInvitation(Conference& conference, SessionId invitee, std::int16_t number,
                            const std::string& text, SessionId except, Deliveries& out);
    // An active or held member leaves; the conference ends with its last one.
    void LeaveConference(std::int32_t conference, SessionId session, voice::LeaveCause cause,
                         Deliveries& out);
    void Forget(SessionId session, std::int32_t conference);
    std::int32_t NextId();

    const PresenceRegistry& presence_;
    Limits limits_;
    std::map<std::int32_t, Conference> conferences_;
    std::unordered_map<SessionId, Participant> participants_;
    std::set<Deadline> deadlines_;
    std::int32_t lastId_ = 0;
};

}  // namespace qv::voicesvc
