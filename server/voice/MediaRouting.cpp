#include "MediaRouting.h"

#include <algorithm>

#include "VoiceProtocol.h"

namespace qv::voicesvc {

void MediaRouting::AddSession(SessionId session, Stream stream) {
    streams_[session] = std::move(stream);
}

void MediaRouting::RemoveSession(SessionId session) {
    streams_.erase(session);
    told_.erase(session);
}

std::shared_ptr<const MediaRoutes> MediaRouting::Update(const std::vector<Group>& groups,
                                                        Deliveries& out) {
    auto routes = std::make_shared<MediaRoutes>();
    std::unordered_map<SessionId, std::set<SessionId>> together;
    for (const Group& group : groups) {
        for (SessionId sender : group.active) {
            if (!streams_.contains(sender)) {
                continue;
            }
            for (SessionId listener : group.active) {
                if (listener != sender && streams_.contains(listener)) {
                    routes->listeners[sender].push_back(listener);
                }
            }
        }
        for (SessionId member : group.members) {
            if (!streams_.contains(member)) {
                continue;
            }
            for (SessionId other : group.members) {
                if (other != member && streams_.contains(other)) {
                    together[member].insert(other);
                }
            }
        }
    }
    for (auto& [member, others] : together) {
        const std::set<SessionId>& before = told_[member];
        for (SessionId other : others) {
            if (!before.contains(other)) {
                const Stream& stream = streams_.at(other);
                out.push_back({member, voice::Encode(voice::MediaStream{
                                           stream.streamId, stream.userId, stream.nickname})});
            }
        }
    }
    // Who parted is told again when they meet again: the engine may have forgotten them.
    told_ = std::move(together);
    for (auto& [sender, listeners] : routes->listeners) {
        std::sort(listeners.begin(), listeners.end());
        listeners.erase(std::unique(listeners.begin(), listeners.end()), listeners.end());
    }
    return routes;
}

}  // namespace qv::voicesvc
