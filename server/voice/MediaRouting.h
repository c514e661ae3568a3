#pragma once

// Who hears whom, from the conferences as they are: the active members of a conference hear
// each other, held and invited ones neither send nor receive. Also says which members must
// learn another's stream id (MediaStream) because they just met. No sockets, no threads: the
// server calls it on the io thread for the conferences a request touched, so a change costs
// its conferences' members, never a pass over all conferences, and hands the listener lists
// that changed to the relay.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Delivery.h"

namespace qv::voicesvc {

class MediaRouting {
  public:
    struct Stream {
        std::uint32_t streamId = 0;
        std::string userId;
        std::string nickname;
    };
    // A conference: its active members and every member on its roster (active and held), and
    // the active members who hear but are not heard (a forum's controlled microphones), sorted.
    struct Group {
        std::vector<SessionId> active;
        std::vector<SessionId> members;
        std::vector<SessionId> silent;
    };
    // Who hears a sender: shared, read-only, and possibly naming the sender itself, which the
    // relay skips. The members of one conference share one list, so a join into a forum of n
    // members costs one list of n, not n lists of n. Null or empty: nobody hears the sender.
    using ListenerList = std::shared_ptr<const std::vector<SessionId>>;
    // New listener lists, each for its sender.
    using Listeners = std::vector<std::pair<SessionId, ListenerList>>;

    // A session that speaks media (version 4); the others are left out of every route.
    void AddSession(SessionId session, Stream stream);
    // Its stream is gone; the conferences it was in still need an Update.
    void RemoveSession(SessionId session);
    // The conferences the session was a member of at their last Update.
    std::vector<std::int32_t> ConferencesOf(SessionId session) const;
    // A conference as it is now (nullopt: it ended). MediaStream frames into out for every two
    // members that were not together before; the listener lists of its members, old and new,
    // into changes.
    void Update(std::int32_t conference, const std::optional<Group>& group, Deliveries& out,
                Listeners& changes);
    std::size_t ConferenceCount() const { return groups_.size(); }

  private:
    // The conference's active members with a stream, built once per Update.
    using ListCache = std::unordered_map<std::int32_t, ListenerList>;
    ListenerList ListenersOf(SessionId session, ListCache& cache) const;
    // MediaStream of other to member, unless it was told while they are together.
    void Tell(SessionId member, SessionId other, Deliveries& out);
    // The two share a conference now.
    bool Together(SessionId a, SessionId b) const;

    std::unordered_map<SessionId, Stream> streams_;
    // As last updated, each list sorted.
    std::unordered_map<std::int32_t, Group> groups_;
    // Active or held members, by session, with or without a stream.
    std::unordered_map<SessionId, std::set<std::int32_t>> conferencesOf_;
    // For each session, the members it was told the stream of and still shares a roster with.
    std::unordered_map<SessionId, std::set<SessionId>> told_;
};

}  // namespace qv::voicesvc
