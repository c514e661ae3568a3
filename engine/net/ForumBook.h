#pragma once

// What a session knows of its user's forum: the path the server last joined it to, the forum's
// member rows built from the roster changes, whether the user may speak there, the members this
// listener muted, and the forum list assembled from its pieces. The server names the forum's
// conversation id only in the roster that follows JoinedGroup, so the first roster frame after
// it for a conversation that is no conference of the user's tells which one it is. Socket-free;
// fed by the session's thread and asked by the host's threads, so every call locks. The events
// come back to the caller, to be raised once the lock is released.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "SessionHost.h"
#include "VoiceProtocol.h"

namespace qv::net {

class ForumBook {
  public:
    using Events = std::vector<SessionHost::Raise>;

    // The forum list is dropped rather than held when its pieces grow past this.
    static constexpr std::size_t kMaxGroupList = 4 * 1024 * 1024;
    // Rows beyond this are not kept (no forum of a server holds that many members).
    static constexpr std::size_t kMaxRows = 10000;

    void SetOwnId(const std::string& userId);

    // Frames of the server.
    Events OnJoinedGroup(const voice::JoinedGroup& m);
    Events OnCanTalk(const voice::CanTalk& m);
    Events OnGroupList(const voice::GroupList& m);
    // Roster frames: false when the conversation is not the forum (a conference's, for the
    // conference book); conference = whether the conference book knows that conversation.
    bool OnMemberJoined(const voice::MemberJoined& m, bool conference, Events& out);
    bool OnMemberChanged(const voice::MemberChanged& m, bool conference, Events& out);
    bool OnMemberLeft(const voice::MemberLeft& m, bool conference, Events& out);

    // The user is in a forum (the latest JoinedGroup named one).
    bool In() const;
    std::string Path() const;
    bool CanTalk() const;
    // The forum's rows, "nick\tid\tLETTERS\n" each, the user's own included, X on the muted
    // ones; empty when the user is in no forum.
    std::string UserList() const;
    // The complete forum list the server sent last.
    std::string GroupList() const;

    // This listener's mutes (by user id, for the forum and calls alike): muted members are not
    // played and carry X in the user list. False when nothing changed.
    bool SetMuted(const std::string& userId, bool on);
    bool Muted(const std::string& userId) const;
    // Adds X to the rows of muted members in a user list text.
    std::string MarkMuted(const std::string& list) const;

  private:
    struct Row {
        std::string nickname;
        std::string userId;
        std::string letters;
    };

    // Whether a roster frame of that conversation is the forum's; adopts it as the forum's
    // while the roster after a JoinedGroup is awaited.
    bool Claims(std::int32_t conversation, bool conference);
    std::vector<Row>::iterator FindRow(const std::string& userId);
    std::string MarkedLocked(const std::string& list) const;

    mutable std::mutex mutex_;
    std::string ownId_;
    std::string path_;
    std::int32_t id_ = 0;    // the forum's conversation id; 0 before its roster came
    bool awaiting_ = false;  // a JoinedGroup came; the next unknown roster may be the forum's
    bool canTalk_ = true;
    std::vector<Row> rows_;  // in the order the members came
    std::set<std::string> muted_;
    std::string groupList_;    // the last complete list
    std::string pieces_;       // the list being assembled
    bool overflowed_ = false;  // the list being assembled grew too long: dropped until last
};

}  // namespace qv::net
