#include "PresenceRegistry.h"

#include <algorithm>
#include <utility>

#include "IdLines.h"

namespace qv::voicesvc {

namespace {

constexpr std::uint8_t kReplace = 0;
constexpr std::uint8_t kAdd = 1;
constexpr std::int16_t kInvisible = 32;

}  // namespace

PresenceRegistry::Admission PresenceRegistry::Admit(SessionId session, const std::string& userId,
                                                    const std::string& nickname,
                                                    const std::string& address, Deliveries& out) {
    const auto holder = byUser_.find(userId);
    if (holder != byUser_.end() && holder->second != session) {
        const bool sameAddress = members_.at(holder->second).address == address;
        const std::string text =
            (sameAddress ? "Alias in use - " : "Already logged in - ") + userId;
        out.push_back({session, voice::Encode(voice::ServerMessage{
                                    3, static_cast<std::int16_t>(sameAddress ? 3 : 4), text})});
        out.push_back({session, voice::Encode(voice::Close{13, text})});
        return sameAddress ? Admission::kAliasInUse : Admission::kLoggedInElsewhere;
    }
    Member& member = members_[session];
    member.userId = userId;
    member.nickname = nickname;
    member.address = address;
    byUser_[userId] = session;
    out.push_back({session, voice::Encode(voice::Registered{userId, nickname})});
    return Admission::kAdmitted;
}

std::int16_t PresenceRegistry::Seen(SessionId watcher, const std::string& userId) const {
    const auto holder = byUser_.find(userId);
    if (holder == byUser_.end()) {
        return 0;
    }
    const Member& user = members_.at(holder->second);
    if (!user.online) {
        return 0;
    }
    const auto self = members_.find(watcher);
    if (self != members_.end() && user.blockList.count(self->second.userId) != 0) {
        return 0;
    }
    return user.mode == kInvisible ? kInvisible : static_cast<std::int16_t>(user.mode | 1);
}

const std::string* PresenceRegistry::UserIdOf(SessionId session) const {
    const auto found = members_.find(session);
    return found == members_.end() ? nullptr : &found->second.userId;
}

const std::string* PresenceRegistry::NicknameOf(SessionId session) const {
    const auto found = members_.find(session);
    return found == members_.end() ? nullptr : &found->second.nickname;
}

std::optional<SessionId> PresenceRegistry::SessionOf(const std::string& userId) const {
    const auto found = byUser_.find(userId);
    if (found == byUser_.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool PresenceRegistry::Blocks(SessionId session, const std::string& userId) const {
    const auto found = members_.find(session);
    return found != members_.end() && found->second.blockList.count(userId) != 0;
}

template <typename Change>
void PresenceRegistry::ChangeUser(const std::string& userId, Change change, Deliveries& out) {
    const auto watching = watchers_.find(userId);
    if (watching == watchers_.end()) {
        change();
        return;
    }
    std::vector<std::pair<SessionId, std::int16_t>> before;
    before.reserve(watching->second.size());
    for (const auto& [watcher, lines] : watching->second) {
        before.emplace_back(watcher, Seen(watcher, userId));
    }
    change();
    for (const auto& [watcher, was] : before) {
        const std::int16_t now = Seen(watcher, userId);
        if (now != was) {
            out.push_back({watcher, voice::Encode(voice::Watch{userId, now})});
        }
    }
}

bool PresenceRegistry::SetStatus(SessionId session, std::int16_t mode, Deliveries& out) {
    if (!voice::IsPresenceMode(mode)) {
        return false;
    }
    const auto found = members_.find(session);
    if (found == members_.end()) {
        return true;
    }
    Member& member = found->second;
    ChangeUser(
        member.userId,
        [&member, mode] {
            member.online = true;
            member.mode = mode;
        },
        out);
    return true;
}

void PresenceRegistry::Watch(SessionId watcher, const std::string& userId) {
    ++watchers_[userId][watcher];
}

void PresenceRegistry::Unwatch(SessionId watcher, const std::string& userId) {
    const auto watching = watchers_.find(userId);
    if (watching == watchers_.end()) {
        return;
    }
    const auto entry = watching->second.find(watcher);
    if (entry != watching->second.end() && --entry->second <= 0) {
        watching->second.erase(entry);
    }
    if (watching->second.empty()) {
        watchers_.erase(watching);
    }
}

void PresenceRegistry::Answer(SessionId watcher, const std::string& userId, Deliveries& out) const {
    out.push_back({watcher, voice::Encode(voice::Watch{userId, Seen(watcher, userId)})});
}

void PresenceRegistry::SetWatchList(SessionId session, const voice::ListUpdate& update,
                                    Deliveries& out) {
    const auto found = members_.find(session);
    if (found == members_.end()) {
        return;
    }
    Member& member = found->second;
    if (update.op == kReplace) {
        for (const std::string& id : member.watchList) {
            if (id != member.userId) {
                Unwatch(session, id);
            }
        }
        member.watchList.clear();
    }
    if (update.op == kReplace || update.op == kAdd) {
        // Every line but the own id gets its answer, so the engine can count the replies: a
        // line that is no id, or one past the limit, is answered as offline.
        for (std::string_view line : ListLines(update.list)) {
            if (!voice::IsUserId(line)) {
                out.push_back({session, voice::Encode(voice::Watch{"", 0})});
                continue;
            }
            std::string id(line);
            const bool own = id == member.userId;
            if (member.watchList.size() >= kMaxWatchEntries) {
                if (!own) {
                    out.push_back({session, voice::Encode(voice::Watch{id, 0})});
                }
                continue;
            }
            member.watchList.push_back(id);
            // The own id is kept in the list but never watched or answered.
            if (!own) {
                Watch(session, id);
                Answer(session, id, out);
            }
        }
        return;
    }
    for (const std::string& id : IdLines(update.list)) {
        auto& list = member.watchList;
        const auto removed = std::remove(list.begin(), list.end(), id);
        const auto count = list.end() - removed;
        list.erase(removed, list.end());
        if (id != member.userId) {
            for (auto i = count; i > 0; --i) {
                Unwatch(session, id);
            }
        }
    }
}

std::size_t PresenceRegistry::WatcherCount(const std::string& userId) const {
    const auto watching = watchers_.find(userId);
    return watching == watchers_.end() ? 0 : watching->second.size();
}

std::size_t PresenceRegistry::WatchListCost(SessionId session,
                                            const voice::ListUpdate& update) const {
    std::size_t cost = LineCount(update.list);
    const auto found = members_.find(session);
    if (found != members_.end() && update.op == kReplace) {
        cost += found->second.watchList.size();
    }
    return cost;
}

std::size_t PresenceRegistry::BlockListCost(SessionId session,
                                            const voice::ListUpdate& update) const {
    std::size_t cost = LineCount(update.list);
    const auto found = members_.find(session);
    if (found != members_.end()) {
        if (update.op == kReplace) {
            cost += found->second.blockList.size();
        }
        cost += WatcherCount(found->second.userId);
    }
    return cost;
}

std::size_t PresenceRegistry::StatusCost(SessionId session) const {
    const auto found = members_.find(session);
    return 1 + (found == members_.end() ? 0 : WatcherCount(found->second.userId));
}

void PresenceRegistry::SetBlockList(SessionId session, const voice::ListUpdate& update,
                                    Deliveries& out) {
    const auto found = members_.find(session);
    if (found == members_.end()) {
        return;
    }
    Member& member = found->second;
    std::vector<std::string> ids = IdLines(update.list);
    ChangeUser(
        member.userId,
        [&member, &ids, &update] {
            if (update.op == kReplace) {
                member.blockList.clear();
            }
            for (std::string& id : ids) {
                if (update.op == kReplace || update.op == kAdd) {
                    if (member.blockList.size() < kMaxListEntries) {
                        member.blockList.insert(std::move(id));
                    }
                } else {
                    member.blockList.erase(id);
                }
            }
        },
        out);
}

void PresenceRegistry::SendUserMessage(SessionId session, const voice::SendUserMessage& message,
                                       Deliveries& out) {
    const auto found = members_.find(session);
    if (found == members_.end() || message.alias.empty()) {
        return;
    }
    const Member& sender = found->second;
    const auto recipient =
        voice::IsUserId(message.alias) ? byUser_.find(message.alias) : byUser_.end();
    if (recipient == byUser_.end()) {
        out.push_back({session, voice::Encode(voice::ServerMessage{
                                    1, 2, "User is offline - " + message.alias})});
        return;
    }
    if (members_.at(recipient->second).blockList.count(sender.userId) != 0) {
        return;
    }
    out.push_back({recipient->second,
                   voice::Encode(voice::UserMessage{sender.nickname, sender.userId, message.number,
                                                    message.parameter, message.text})});
}

void PresenceRegistry::Remove(SessionId session, Deliveries& out) {
    const auto found = members_.find(session);
    if (found == members_.end()) {
        return;
    }
    const std::string userId = found->second.userId;
    for (const std::string& id : found->second.watchList) {
        if (id != userId) {
            Unwatch(session, id);
        }
    }
    ChangeUser(
        userId,
        [this, session, &userId] {
            byUser_.erase(userId);
            members_.erase(session);
        },
        out);
}

}  // namespace qv::voicesvc
