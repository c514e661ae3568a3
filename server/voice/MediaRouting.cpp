#include "MediaRouting.h"

#include <algorithm>

#include "VoiceProtocol.h"

namespace qv::voicesvc {

namespace {

bool Contains(const std::vector<SessionId>& sessions, SessionId session) {
    return std::find(sessions.begin(), sessions.end(), session) != sessions.end();
}

}  // namespace

void MediaRouting::AddSession(SessionId session, Stream stream) {
    streams_[session] = std::move(stream);
}

void MediaRouting::RemoveSession(SessionId session) {
    streams_.erase(session);
    told_.erase(session);
}

std::vector<std::int32_t> MediaRouting::ConferencesOf(SessionId session) const {
    const auto found = conferencesOf_.find(session);
    if (found == conferencesOf_.end()) {
        return {};
    }
    return {found->second.begin(), found->second.end()};
}

void MediaRouting::Update(std::int32_t conference, const std::optional<Group>& group,
                          Deliveries& out, Listeners& changes) {
    std::set<SessionId> affected;
    if (const auto old = groups_.find(conference); old != groups_.end()) {
        for (SessionId member : old->second.members) {
            affected.insert(member);
            const auto of = conferencesOf_.find(member);
            if (of != conferencesOf_.end()) {
                of->second.erase(conference);
                if (of->second.empty()) {
                    conferencesOf_.erase(of);
                }
            }
        }
        groups_.erase(old);
    }
    if (group) {
        groups_[conference] = *group;
        for (SessionId member : group->members) {
            affected.insert(member);
            conferencesOf_[member].insert(conference);
        }
        for (SessionId member : group->members) {
            if (!streams_.contains(member)) {
                continue;
            }
            for (SessionId other : group->members) {
                if (other == member || !streams_.contains(other)) {
                    continue;
                }
                if (told_[member].insert(other).second) {
                    const Stream& stream = streams_.at(other);
                    out.push_back({member, voice::Encode(voice::MediaStream{
                                               stream.streamId, stream.userId, stream.nickname})});
                }
            }
        }
    }
    for (SessionId session : affected) {
        // Who parted is told again when they meet again: the engine may have forgotten them.
        if (const auto told = told_.find(session); told != told_.end()) {
            std::set<SessionId> together;
            if (const auto of = conferencesOf_.find(session); of != conferencesOf_.end()) {
                for (std::int32_t id : of->second) {
                    const Group& shared = groups_.at(id);
                    together.insert(shared.members.begin(), shared.members.end());
                }
            }
            std::erase_if(told->second,
                          [&together](SessionId other) { return !together.contains(other); });
            if (told->second.empty()) {
                told_.erase(told);
            }
        }
        if (streams_.contains(session)) {
            changes.emplace_back(session, ListenersOf(session));
        }
    }
}

std::vector<SessionId> MediaRouting::ListenersOf(SessionId session) const {
    std::vector<SessionId> listeners;
    const auto of = conferencesOf_.find(session);
    if (of == conferencesOf_.end()) {
        return listeners;
    }
    for (std::int32_t id : of->second) {
        const Group& group = groups_.at(id);
        if (!Contains(group.active, session)) {
            continue;
        }
        for (SessionId other : group.active) {
            if (other != session && streams_.contains(other)) {
                listeners.push_back(other);
            }
        }
    }
    std::sort(listeners.begin(), listeners.end());
    listeners.erase(std::unique(listeners.begin(), listeners.end()), listeners.end());
    return listeners;
}

}  // namespace qv::voicesvc
