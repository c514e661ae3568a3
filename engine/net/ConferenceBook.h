#pragma once

// What a session knows of its user's conferences: the ringing invitations, the conference the
// user is active in, the held ones, and every member row built from the roster changes the
// server sends. It turns the server's conference frames into the engine's events, answers
// GetUserList, and decides which conference requests may go out. Socket-free; the session's
// thread feeds it frames while the host's threads ask it about requests, so every call locks.
// The events come back to the caller, to be raised once the lock is released.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "SessionHost.h"
#include "VoiceProtocol.h"

namespace qv::net {

class ConferenceBook {
  public:
    struct Reaction {
        std::vector<SessionHost::Raise> events;
        // A conference to leave at once (one made for a call the user hung up before it began).
        std::optional<std::int32_t> leave;
    };

    // The user's own id, as the server registered it: its rows raise no UserChange.
    void SetOwnId(const std::string& userId);

    // Requests, asked before they go out; false means "do not send".
    // InviteUser: always possible; remembers that it may make a conference.
    void Inviting();
    // A ringing invitation, or a held conference (resumed).
    bool MayAccept(std::int32_t conference);
    // A ringing invitation, forgotten at once so a second decline is refused.
    bool MayDecline(std::int32_t conference);
    bool MayHold(std::int32_t conference);
    // A conference the user is a member of.
    bool MayLeave(std::int32_t conference);
    // LeaveConference(0): the host hung up a call before it saw the call's conference joined.
    // When that conference is already here, its id, to be left now. When it is still to come,
    // 0 and armed: the next conference made is left as soon as it comes, until Fenced with the
    // fence given to SetFence (the answer to a frame sent after the InviteUsers that count), so a
    // call the server never made cannot take a later one with it.
    std::int32_t HangUpUnjoined(bool& armed);
    void SetFence(std::uint32_t fence);
    // Everything the server answers to frames sent before the fence has arrived.
    void Fenced(std::uint32_t answered);

    // Frames of the server.
    Reaction OnJoined(const voice::JoinedConference& m);
    Reaction OnInvitation(const voice::InvitationNotice& m);
    Reaction OnInvitationCancel(const voice::InvitationNotice& m);
    Reaction OnAccepted(const voice::AcceptedConference& m);
    Reaction OnMemberJoined(const voice::MemberJoined& m);
    Reaction OnMemberChanged(const voice::MemberChanged& m);
    Reaction OnMemberLeft(const voice::MemberLeft& m);

    // The active conference's rows, "nick\tid\tLETTERS\n" each, the user's own included; empty
    // when the user is active in none.
    std::string UserList() const;
    std::int32_t Active() const;
    // A conference the user is active or held in, or was left and not yet told of.
    bool Has(std::int32_t conference) const;

  private:
    struct Row {
        std::string nickname;
        std::string userId;
        std::string letters;
    };
    struct Conference {
        std::vector<Row> rows;  // in the order the members came
        bool abandoned = false;
    };

    // The conference's rows changed: the list is raised again when it is the active one.
    void ListChanged(std::int32_t conference, Reaction& out) const;
    Conference* Find(std::int32_t conference);

    mutable std::mutex mutex_;
    std::string ownId_;
    std::map<std::int32_t, Conference> conferences_;  // active and held
    std::set<std::int32_t> ringing_;
    std::int32_t active_ = 0;
    bool mayCreate_ = false;     // an InviteUser may still make a conference
    std::int32_t lastMade_ = 0;  // the conference the latest of them made
    bool abandonNext_ = false;   // leave the next conference made
    std::optional<std::uint32_t> fence_;
};

}  // namespace qv::net
