#include "GroupListFeed.h"

#include <algorithm>

#include "VoiceProtocol.h"

namespace qv::voicesvc {

GroupListFeed::GroupListFeed(std::chrono::milliseconds interval, std::chrono::milliseconds retry)
    : interval_(interval), retry_(retry) {}

void GroupListFeed::Subscribe(SessionId session) {
    subscribers_[session].asked = true;
}

void GroupListFeed::Unsubscribe(SessionId session) {
    subscribers_.erase(session);
}

void GroupListFeed::Changed(std::uint64_t version) {
    if (version == version_) {
        return;
    }
    version_ = version;
    pushPending_ = !subscribers_.empty();
}

std::optional<GroupListFeed::Clock::time_point> GroupListFeed::NextDue() const {
    std::optional<Clock::time_point> due = retryAt_;
    if (pushPending_) {
        const Clock::time_point push = nextPush_.value_or(Clock::time_point{});
        due = due ? std::min(*due, push) : push;
    }
    return due;
}

void GroupListFeed::Continue(SessionId session, Subscriber& subscriber, const CanTake& canTake,
                             const Send& send) {
    while (subscriber.sending && canTake(session)) {
        send(session, (*subscriber.sending)[subscriber.next++]);
        if (subscriber.next == subscriber.sending->size()) {
            subscriber.sending.reset();
            subscriber.next = 0;
        }
    }
}

GroupListFeed::Frames GroupListFeed::Current(const Build& build) {
    if (builtVersion_ != version_ || !list_) {
        auto frames = std::make_shared<std::vector<std::string>>();
        const std::vector<std::string> pieces =
            voice::SplitList(build(), voice::kMaxGroupListPiece);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            frames->push_back(voice::Encode(voice::GroupList{
                static_cast<std::uint8_t>(i + 1 == pieces.size() ? 1 : 0), pieces[i]}));
        }
        list_ = std::move(frames);
        builtVersion_ = version_;
        ++builds_;
    }
    return list_;
}

void GroupListFeed::Visit(SessionId session, Subscriber& subscriber, bool pushDue,
                          const Build& build, const CanTake& canTake, const Send& send,
                          Pass& pass) {
    Continue(session, subscriber, canTake, send);
    if (subscriber.sending) {
        // A list under way is finished first: the engine joins pieces until the last. A newer
        // one waits for the next push.
        pass.blocked = true;
        pass.skipped = pass.skipped || subscriber.version != version_;
        return;
    }
    const bool stale = subscriber.version != version_;
    if (!subscriber.asked && !(stale && pushDue)) {
        pass.skipped = pass.skipped || stale;
        return;
    }
    if (!canTake(session)) {
        (subscriber.asked ? pass.blocked : pass.skipped) = true;
        return;
    }
    subscriber.asked = false;
    subscriber.sending = Current(build);
    subscriber.version = version_;
    subscriber.next = 0;
    Continue(session, subscriber, canTake, send);
    pass.blocked = pass.blocked || subscriber.sending != nullptr;
}

void GroupListFeed::Serve(SessionId session, Clock::time_point now, const Build& build,
                          const CanTake& canTake, const Send& send) {
    const auto found = subscribers_.find(session);
    if (found == subscribers_.end()) {
        return;
    }
    Pass pass;
    Visit(session, found->second, false, build, canTake, send, pass);
    if (pass.blocked) {
        retryAt_ = retryAt_ ? std::min(*retryAt_, now + retry_) : now + retry_;
    }
}

void GroupListFeed::Pump(Clock::time_point now, const Build& build, const CanTake& canTake,
                         const Send& send) {
    const bool pushDue = pushPending_ && (!nextPush_ || now >= *nextPush_);
    Pass pass;
    for (auto& [session, subscriber] : subscribers_) {
        Visit(session, subscriber, pushDue, build, canTake, send, pass);
    }
    if (pushDue) {
        // Whoever was skipped gets the newest list one interval on, with everybody else's next.
        nextPush_ = now + interval_;
        pushPending_ = pass.skipped;
    } else if (pass.skipped) {
        pushPending_ = true;
    }
    retryAt_.reset();
    if (pass.blocked) {
        retryAt_ = now + retry_;
    }
}

}  // namespace qv::voicesvc
