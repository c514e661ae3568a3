#pragma once

// Who gets the forum list, and when. A session that asks gets the list at once and, from then
// on, a fresh one after changes, but at most one per interval however many joins a busy server
// sees: the list is built once per interval and its frames shared by every subscriber. A
// subscriber whose output is backed up is skipped (it gets the newest list later), never queued
// for without bound, and one in the middle of a list gets its pieces as its output drains.
// No sockets and no clock: the server passes the time and says who can take more output.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Delivery.h"

namespace qv::voicesvc {

class GroupListFeed {
  public:
    using Clock = std::chrono::steady_clock;
    // The list text, built when a list is due and the one held is older than the forums.
    using Build = std::function<std::string()>;
    // Whether that session's output has room for another frame now.
    using CanTake = std::function<bool(SessionId)>;
    using Send = std::function<void(SessionId, const std::string& frame)>;

    // interval: the least time between two lists sent for changes. retry: how soon a
    // subscriber that could not take a frame is tried again.
    explicit GroupListFeed(std::chrono::milliseconds interval,
                           std::chrono::milliseconds retry = std::chrono::milliseconds(100));

    // The session asked (GroupListRequest): the list now (Serve), and its changes from then on.
    void Subscribe(SessionId session);
    void Unsubscribe(SessionId session);
    // The forums as they are now carry this version; a new one makes a list due.
    void Changed(std::uint64_t version);
    // Sends the list to a session that just asked, as far as its output takes it.
    void Serve(SessionId session, Clock::time_point now, const Build& build, const CanTake& canTake,
               const Send& send);
    // Sends what is due at now to every subscriber.
    void Pump(Clock::time_point now, const Build& build, const CanTake& canTake, const Send& send);
    // When Pump next has something to do (possibly already past), nullopt when nothing waits.
    std::optional<Clock::time_point> NextDue() const;

    bool Subscribed(SessionId session) const { return subscribers_.contains(session); }
    std::size_t SubscriberCount() const { return subscribers_.size(); }
    // Lists built so far.
    std::uint64_t Builds() const { return builds_; }

  private:
    using Frames = std::shared_ptr<const std::vector<std::string>>;
    struct Subscriber {
        // The list being sent and its next piece; null when none is under way.
        Frames sending;
        std::size_t next = 0;
        // The version of the last list begun (0: none yet).
        std::uint64_t version = 0;
        bool asked = false;
    };

    struct Pass {
        bool skipped = false;  // a subscriber lacks the newest list and waits for the next push
        bool blocked = false;  // one that asked or is mid-list could not take a frame
    };
    // The frames of the list as the forums are now, built when older.
    Frames Current(const Build& build);
    void Visit(SessionId session, Subscriber& subscriber, bool pushDue, const Build& build,
               const CanTake& canTake, const Send& send, Pass& pass);
    // Sends the subscriber's pieces while it can take them.
    static void Continue(SessionId session, Subscriber& subscriber, const CanTake& canTake,
                         const Send& send);

    std::chrono::milliseconds interval_;
    std::chrono::milliseconds retry_;
    std::unordered_map<SessionId, Subscriber> subscribers_;
    std::uint64_t version_ = 1;
    Frames list_;
    std::uint64_t builtVersion_ = 0;
    std::uint64_t builds_ = 0;
    // Subscribers may lack the newest list: one is due at nextPush_.
    bool pushPending_ = false;
    std::optional<Clock::time_point> nextPush_;
    // A subscriber that asked or is mid-list could not take a frame: try again then.
    std::optional<Clock::time_point> retryAt_;
};

}  // namespace qv::voicesvc
