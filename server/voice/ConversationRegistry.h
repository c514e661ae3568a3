#pragma once

// Conferences (calls) and forums: who is in which, in what state, and which invitations ring
// until when; a forum's roles, bans and microphones, enforced here rather than trusted to the
// client's menu.
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
        // Members of one forum: every member costs each sender a forwarded stream.
        std::size_t forumSize = 1000;
        // Forums at once, permanent ones included: each is a path, its sets and its roster.
        std::size_t forums = 10000;
        // Banned ids, owners and moderators one forum keeps (by id, so that they outlive the
        // member's visits): what a forum's owner can make the server hold.
        std::size_t forumBans = 1000;
        std::size_t forumRoles = 256;
    };

    // Join flags.
    static constexpr std::int32_t kHidden = 1;
    static constexpr std::int32_t kJoinOnly = 2;
    static constexpr std::int32_t kModerated = 4;
    static constexpr std::int32_t kControlledMicrophones = 8;

    // What the server's configuration makes: the categories users may create visible forums
    // in, and the forums that always exist (nobody owns them; they stay when empty).
    struct PermanentForum {
        std::string path;
        std::int32_t flags = 0;
        std::string password;
    };
    struct ForumPlan {
        std::set<std::string> categories;
        std::vector<PermanentForum> forums;
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
    // Forums. A refused join is ServerMessage 1 "<reason> - <path as asked>"; a refused member
    // operation is ServerMessage 6 with its reason.
    void SetForumPlan(const ForumPlan& plan);
    void JoinGroup(SessionId session, const voice::JoinGroup& request, Deliveries& out);
    void BanMember(SessionId session, const voice::MemberOperation& request, Deliveries& out);
    void SetMemberMicrophone(SessionId session, const voice::MemberOperation& request,
                             Deliveries& out);
    void SetMemberRole(SessionId session, const voice::SetMemberRole& request, Deliveries& out);
    void DisbandGroup(SessionId session, Deliveries& out);
    void RenameGroup(SessionId session, const voice::RenameGroup& request, Deliveries& out);
    // Text chat: lines spoken (4) and emotes (6) with an empty alias, and whispers (5) to a
    // member named by nickname or id, within the sender's forum or active conference.
    static bool IsChatLine(const voice::SendUserMessage& message);
    void SendChatLine(SessionId session, const voice::SendUserMessage& message,
                      Deliveries& out) const;
    // The conversation id of the session's forum, or 0.
    std::int32_t ForumOf(SessionId session) const;
    std::size_t ForumCount() const { return forums_.size(); }
    // The forum list: "path\tcount\tletters\n" for every forum but the hidden ones, letters P
    // (password), M (moderated), T (controlled microphones).
    std::string ForumListText() const;
    // Grows whenever the forum list's text may have changed (a visible forum made, ended,
    // renamed, or its count changed).
    std::uint64_t ListVersion() const { return listVersion_; }

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

    struct ForumMember {
        SessionId session = 0;
        std::string userId;
        std::string nickname;
        bool microphone = false;
    };

    struct Forum {
        std::int32_t id = 0;
        std::string path;
        std::string password;
        std::int32_t flags = 0;
        bool permanent = false;
        std::set<std::string> owners;
        std::set<std::string> moderators;
        std::set<std::string> bans;
        // In the order the users came.
        std::vector<ForumMember> members;
    };

    Forum* ForumById(std::int32_t id);
    Forum* ForumAt(const std::string& path);
    static ForumMember* ForumMemberOf(Forum& forum, SessionId session);
    static ForumMember* ForumMemberById(Forum& forum, const std::string& userId);
    std::string ForumLetters(const Forum& forum, const ForumMember& member) const;
    static bool CanSpeak(const Forum& forum, const ForumMember& member);
    // The forum's row in the list changed (or it came or went).
    void ListChanged(const Forum& forum);
    // Why a path cannot name a new forum of those flags (empty: it can).
    std::string PathFault(const std::string& path, std::int32_t flags) const;
    Forum& MakeForum(const std::string& path, std::int32_t flags, const std::string& password,
                     bool permanent);
    void EnterForum(Forum& forum, SessionId session, const std::string& asked, Deliveries& out);
    // Takes the member out; the forum ends with its last member unless permanent. told: the
    // member gets JoinedGroup("").
    void LeaveForum(std::int32_t forum, SessionId session, bool told, voice::LeaveCause cause,
                    Deliveries& out);
    void ForumRowChanged(const Forum& forum, const ForumMember& member, Deliveries& out) const;
    void ToForum(const Forum& forum, const std::string& frame, SessionId except,
                 Deliveries& out) const;
    // The caller's forum and whether it moderates (or owns) it; null when in none.
    Forum* CallerForum(SessionId session, bool& moderator, bool& owner);

    Conference* Find(std::int32_t conference);
    static Member* MemberOf(Conference& conference, SessionId session);
    // The conference the session is active in, or null.
    Conference* ActiveOf(SessionId session);
    const Conference* ActiveOf(SessionId session) const;
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
    std::set<std::string> categories_;
    std::map<std::int32_t, Forum> forums_;
    std::map<std::string, std::int32_t> forumPaths_;
    std::unordered_map<SessionId, std::int32_t> forumOf_;
    std::int32_t lastId_ = 0;
    std::uint64_t listVersion_ = 1;
};

}  // namespace qv::voicesvc
