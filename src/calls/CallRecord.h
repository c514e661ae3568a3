#pragma once

// One call or forum connection: what a slot of the CallManager holds. A record with an empty
// user ID is a forum; every other record is a call. The record owns its participant rows, which
// the active-call pane fills from the engine's user list.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct CallParticipant {
    std::string userId;
    std::string nickname;
    // 1 present, 2 talking, 4 on hold, 8 muted, 0x20000 invited, 0x40000 moderator,
    // 0x80000 owner, bit 30 holds a microphone.
    std::uint32_t flags = 1;
};

struct CallRecord {
    // The engine's conference id; 0 for a call placed here until the engine reports its join.
    std::int32_t conferenceId = 0;
    // The user ID of everyone this user invited into the call, each followed by "\n"; empty for
    // an incoming call and for a forum.
    std::string invitedIds;
    // The other party's Quorvane ID (the engine's alias); empty for a forum.
    std::string userId;
    std::string nickname;
    // Full forum path and password; empty for a call.
    std::string forumName;
    std::string forumPassword;
    // The first option flag of the join (Hidden for a created forum, 0 for a listed one).
    std::int32_t forumFirstOption = 0;
    // Tick-clock milliseconds: when the record was made, and again when it became connected.
    std::uint32_t startTime = 0;
    // False while ringing (or joining a forum), true once established.
    bool connected = false;
    std::vector<CallParticipant> participants;
    // Joined on behalf of a web tour.
    bool webTourForum = false;
    bool controlledMicrophones = false;
    // The two further option words of a forum join, passed through.
    std::int32_t forumOptionWord1 = 0;
    std::int32_t forumOptionWord2 = 0;

    bool IsForum() const { return userId.empty(); }
    bool IsCall() const { return !userId.empty(); }
};

}  // namespace qv
