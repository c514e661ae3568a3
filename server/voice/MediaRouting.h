#pragma once

// Who hears whom, from the conferences as they are: the active members of a conference hear
// each other, held and invited ones neither send nor receive. Also says which members must
// learn another's stream id (MediaStream) because they just met. No sockets, no threads: the
// server calls it on the io thread after every change and hands the result to the relay.

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "Delivery.h"

namespace qv::voicesvc {

// An immutable snapshot the relay reads: the listeners of each sender.
struct MediaRoutes {
    std::unordered_map<SessionId, std::vector<SessionId>> listeners;
};

class MediaRouting {
  public:
    struct Stream {
        std::uint32_t streamId = 0;
        std::string userId;
        std::string nickname;
    };
    // A conference: its active members and every member on its roster (active and held).
    struct Group {
        std::vector<SessionId> active;
        std::vector<SessionId> members;
    };

    // A session that speaks media (version 4); the others are left out of every route.
    void AddSession(SessionId session, Stream stream);
    void RemoveSession(SessionId session);
    // The routes for these groups; MediaStream frames into out for every pair of members that
    // were not together at the last update.
    std::shared_ptr<const MediaRoutes> Update(const std::vector<Group>& groups, Deliveries& out);

  private:
    std::unordered_map<SessionId, Stream> streams_;
    // For each session, the members it was told the stream of and still shares a roster with.
    std::unordered_map<SessionId, std::set<SessionId>> told_;
};

}  // namespace qv::voicesvc
