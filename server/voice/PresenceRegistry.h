#pragma once

// Who is registered, what each user shows, who watches whom and who blocks whom. No sockets:
// every call says what must be sent to which session, and the sessions send it.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Delivery.h"
#include "VoiceProtocol.h"

namespace qv::voicesvc {

class PresenceRegistry {
  public:
    enum class Admission { kAdmitted, kAliasInUse, kLoggedInElsewhere };

    // Registers the session as that user (Registered for it) unless another session holds the
    // id; then the ServerMessage and Close for it, and the other session is kept.
    Admission Admit(SessionId session, const std::string& userId, const std::string& nickname,
                    const std::string& address, Deliveries& out);
    // False for a mode the protocol does not have (nothing changes).
    bool SetStatus(SessionId session, std::int16_t mode, Deliveries& out);
    void SetWatchList(SessionId session, const voice::ListUpdate& update, Deliveries& out);
    void SetBlockList(SessionId session, const voice::ListUpdate& update, Deliveries& out);
    void SendUserMessage(SessionId session, const voice::SendUserMessage& message, Deliveries& out);
    // The session is gone: its user is offline to its watchers at once.
    void Remove(SessionId session, Deliveries& out);

    bool IsRegistered(SessionId session) const { return members_.count(session) != 0; }
    // The user id and nickname a session registered with; null when it is not registered.
    const std::string* UserIdOf(SessionId session) const;
    const std::string* NicknameOf(SessionId session) const;
    // The session registered as that user.
    std::optional<SessionId> SessionOf(const std::string& userId) const;
    // The session's user has that user id on its block list.
    bool Blocks(SessionId session, const std::string& userId) const;
    std::size_t Size() const { return members_.size(); }
    // What the watcher sees of the user: 0 offline or blocked, mode | 1, or 32 when invisible.
    std::int16_t Seen(SessionId watcher, const std::string& userId) const;

    // What an update costs the io thread, in ids: its lines, the entries a replace drops and,
    // for the block list, every watcher whose view is checked again.
    std::size_t WatchListCost(SessionId session, const voice::ListUpdate& update) const;
    std::size_t BlockListCost(SessionId session, const voice::ListUpdate& update) const;
    // A status change checks every watcher of the user.
    std::size_t StatusCost(SessionId session) const;

    // Entries a watch list holds (a contact list of 10000 and the own id) and ids a block list
    // holds; lines beyond are answered as offline and not kept, so a session that keeps adding
    // cannot grow the server without end.
    static constexpr std::size_t kMaxWatchEntries = 10001;
    static constexpr std::size_t kMaxListEntries = 10000;

  private:
    struct Member {
        std::string userId;
        std::string nickname;
        std::string address;
        bool online = false;
        std::int16_t mode = 0;
        std::vector<std::string> watchList;
        std::unordered_set<std::string> blockList;
    };

    // Runs change on the user's record and tells each watcher whose view of the user changed.
    template <typename Change>
    void ChangeUser(const std::string& userId, Change change, Deliveries& out);
    void Watch(SessionId watcher, const std::string& userId);
    void Unwatch(SessionId watcher, const std::string& userId);
    void Answer(SessionId watcher, const std::string& userId, Deliveries& out) const;
    std::size_t WatcherCount(const std::string& userId) const;

    std::unordered_map<SessionId, Member> members_;
    std::unordered_map<std::string, SessionId> byUser_;
    // Watched id -> watching session -> how many of its lines name that id.
    std::unordered_map<std::string, std::unordered_map<SessionId, int>> watchers_;
};

}  // namespace qv::voicesvc
