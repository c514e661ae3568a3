#include "MediaRouting.h"

#include <algorithm>
#include <iterator>

#include "VoiceProtocol.h"

namespace qv::voicesvc {

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

void MediaRouting::Tell(SessionId member, SessionId other, Deliveries& out) {
    if (told_[member].insert(other).second) {
        const Stream& stream = streams_.at(other);
        out.push_back({member, voice::Encode(voice::MediaStream{stream.streamId, stream.userId,
                                                                stream.nickname})});
    }
}

bool MediaRouting::Together(SessionId a, SessionId b) const {
    const auto of = conferencesOf_.find(a);
    const auto other = conferencesOf_.find(b);
    if (of == conferencesOf_.end() || other == conferencesOf_.end()) {
        return false;
    }
    return std::any_of(of->second.begin(), of->second.end(),
                       [&other](std::int32_t id) { return other->second.contains(id); });
}

void MediaRouting::Update(std::int32_t conference, const std::optional<Group>& group,
                          Deliveries& out, Listeners& changes) {
    // Only what changed costs anything: a join into a forum of n members tells n + 1 streams
    // and hands the relay the n lists that gained the joiner, never a pass over every pair.
    Group old;
    if (const auto found = groups_.find(conference); found != groups_.end()) {
        old = std::move(found->second);
        groups_.erase(found);
    }
    Group now;
    if (group) {
        now = *group;
        for (std::vector<SessionId>* list : {&now.active, &now.members, &now.silent}) {
            std::sort(list->begin(), list->end());
            list->erase(std::unique(list->begin(), list->end()), list->end());
        }
    }
    std::vector<SessionId> joined;
    std::vector<SessionId> left;
    std::set_difference(now.members.begin(), now.members.end(), old.members.begin(),
                        old.members.end(), std::back_inserter(joined));
    std::set_difference(old.members.begin(), old.members.end(), now.members.begin(),
                        now.members.end(), std::back_inserter(left));
    for (SessionId member : left) {
        const auto of = conferencesOf_.find(member);
        if (of != conferencesOf_.end()) {
            of->second.erase(conference);
            if (of->second.empty()) {
                conferencesOf_.erase(of);
            }
        }
    }
    for (SessionId member : joined) {
        conferencesOf_[member].insert(conference);
    }
    // Each newcomer and every member learn each other's streams (those already together were
    // told when they met).
    for (SessionId member : joined) {
        if (!streams_.contains(member)) {
            continue;
        }
        for (SessionId other : now.members) {
            if (other != member && streams_.contains(other)) {
                Tell(member, other, out);
                Tell(other, member, out);
            }
        }
    }
    // Who parted is told again when they meet again: the engine may have forgotten them.
    for (SessionId member : left) {
        for (const std::vector<SessionId>* list : {&old.members, &now.members}) {
            for (SessionId other : *list) {
                if (other == member || Together(member, other)) {
                    continue;
                }
                for (const auto& [a, b] : {std::pair{member, other}, std::pair{other, member}}) {
                    if (const auto told = told_.find(a); told != told_.end()) {
                        told->second.erase(b);
                        if (told->second.empty()) {
                            told_.erase(told);
                        }
                    }
                }
            }
        }
    }
    // Whose listener lists changed: everybody's when someone came, went or changed between
    // active and held; only those whose microphone changed otherwise.
    std::vector<SessionId> affected;
    if (!joined.empty() || !left.empty() || old.active != now.active) {
        std::set_union(old.members.begin(), old.members.end(), now.members.begin(),
                       now.members.end(), std::back_inserter(affected));
    } else {
        std::set_symmetric_difference(old.silent.begin(), old.silent.end(), now.silent.begin(),
                                      now.silent.end(), std::back_inserter(affected));
    }
    if (group) {
        groups_[conference] = std::move(now);
    }
    ListCache cache;
    for (SessionId session : affected) {
        if (streams_.contains(session)) {
            changes.emplace_back(session, ListenersOf(session, cache));
        }
    }
}

MediaRouting::ListenerList MediaRouting::ListenersOf(SessionId session, ListCache& cache) const {
    const auto of = conferencesOf_.find(session);
    if (of == conferencesOf_.end()) {
        return nullptr;
    }
    std::vector<ListenerList> heard;
    for (std::int32_t id : of->second) {
        const Group& group = groups_.at(id);
        if (!std::binary_search(group.active.begin(), group.active.end(), session) ||
            std::binary_search(group.silent.begin(), group.silent.end(), session)) {
            continue;
        }
        ListenerList& list = cache[id];
        if (!list) {
            auto active = std::make_shared<std::vector<SessionId>>();
            active->reserve(group.active.size());
            for (SessionId member : group.active) {
                if (streams_.contains(member)) {
                    active->push_back(member);
                }
            }
            list = std::move(active);
        }
        heard.push_back(list);
    }
    if (heard.empty()) {
        return nullptr;
    }
    if (heard.size() == 1) {
        return heard.front();
    }
    // Active in more than one (a call beside a forum): each listener once.
    auto merged = std::make_shared<std::vector<SessionId>>();
    for (const ListenerList& list : heard) {
        merged->insert(merged->end(), list->begin(), list->end());
    }
    std::sort(merged->begin(), merged->end());
    merged->erase(std::unique(merged->begin(), merged->end()), merged->end());
    return merged;
}

}  // namespace qv::voicesvc
