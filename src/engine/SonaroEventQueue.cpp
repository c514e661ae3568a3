#include "engine/SonaroEventQueue.h"

#include <algorithm>

namespace qv {

namespace ev = sonaro_event_id;
using S = std::string;

void SonaroEventQueue::Push(int id, std::function<void(SonaroEventSink&)> deliver) {
    std::lock_guard lock(mutex_);
    events_.push_back({nextSequence_++, id, std::move(deliver)});
}

std::size_t SonaroEventQueue::Drain(SonaroEventSink& target) {
    std::uint64_t end = 0;
    {
        std::lock_guard lock(mutex_);
        end = nextSequence_;
    }
    // One at a time, outside the lock: a handler may call the engine (which may raise more) or
    // drop what is still queued.
    std::size_t delivered = 0;
    for (;;) {
        Event event{0, 0, nullptr};
        {
            std::lock_guard lock(mutex_);
            if (events_.empty() || events_.front().sequence >= end) {
                break;
            }
            event = std::move(events_.front());
            events_.pop_front();
        }
        event.deliver(target);
        ++delivered;
    }
    return delivered;
}

std::size_t SonaroEventQueue::Pending() const {
    std::lock_guard lock(mutex_);
    return events_.size();
}

void SonaroEventQueue::DropSessionEvents() {
    std::lock_guard lock(mutex_);
    std::erase_if(events_, [](const Event& e) { return e.id != ev::kUserMessage; });
}

void SonaroEventQueue::Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

void SonaroEventQueue::userListUpdate() {
    Push(ev::kUserListUpdate, [](SonaroEventSink& t) { t.userListUpdate(); });
}

void SonaroEventQueue::userTalking(const S& name, const S& second, Bool32 startStop) {
    Push(ev::kUserTalking, [=](SonaroEventSink& t) { t.userTalking(name, second, startStop); });
}

void SonaroEventQueue::canTalkEvent(Bool32 onOff) {
    Push(ev::kCanTalkEvent, [=](SonaroEventSink& t) { t.canTalkEvent(onOff); });
}

void SonaroEventQueue::mikeActive(std::int16_t state) {
    Push(ev::kMikeActive, [=](SonaroEventSink& t) { t.mikeActive(state); });
}

void SonaroEventQueue::serverMessage(std::int16_t type, std::int16_t msgNum, const S& msgText) {
    Push(ev::kServerMessage, [=](SonaroEventSink& t) { t.serverMessage(type, msgNum, msgText); });
}

void SonaroEventQueue::UserMessage(const S& alias, const S& uid, std::int16_t msgNum,
                                   std::int16_t msgParam, const S& msgText) {
    Push(ev::kUserMessage,
         [=](SonaroEventSink& t) { t.UserMessage(alias, uid, msgNum, msgParam, msgText); });
}

void SonaroEventQueue::groupListUpdate() {
    Push(ev::kGroupListUpdate, [](SonaroEventSink& t) { t.groupListUpdate(); });
}

void SonaroEventQueue::connectionEvent(std::int16_t state, const S& msg) {
    Push(ev::kConnectionEvent, [=](SonaroEventSink& t) { t.connectionEvent(state, msg); });
}

void SonaroEventQueue::JoinedGroup(const S& groupName) {
    Push(ev::kJoinedGroup, [=](SonaroEventSink& t) { t.JoinedGroup(groupName); });
}

void SonaroEventQueue::Found(const S& alias, Bool32 online, const S& group) {
    Push(ev::kFound, [=](SonaroEventSink& t) { t.Found(alias, online, group); });
}

void SonaroEventQueue::Watch(const S& name, std::int16_t status) {
    Push(ev::kWatch, [=](SonaroEventSink& t) { t.Watch(name, status); });
}

void SonaroEventQueue::UserChange(const S& name, const S& second, std::int16_t changeType,
                                  Bool32 existing) {
    Push(ev::kUserChange,
         [=](SonaroEventSink& t) { t.UserChange(name, second, changeType, existing); });
}

void SonaroEventQueue::JoinedConference(std::int32_t id, Bool32 joined, Bool32 deleted) {
    Push(ev::kJoinedConference,
         [=](SonaroEventSink& t) { t.JoinedConference(id, joined, deleted); });
}

void SonaroEventQueue::Invitation(std::int32_t id, const S& fromAlias, const S& fromId,
                                  std::int16_t msgNum, const S& msgText) {
    Push(ev::kInvitation,
         [=](SonaroEventSink& t) { t.Invitation(id, fromAlias, fromId, msgNum, msgText); });
}

void SonaroEventQueue::AcceptedConference(Bool32 flag, const S& fromAlias, const S& fromId,
                                          std::int16_t msgNum, const S& msgText) {
    Push(ev::kAcceptedConference, [=](SonaroEventSink& t) {
        t.AcceptedConference(flag, fromAlias, fromId, msgNum, msgText);
    });
}

void SonaroEventQueue::ConferenceMessage(const S& fromAlias, const S& fromId, std::int16_t msgNum,
                                         const S& msgText) {
    Push(ev::kConferenceMessage,
         [=](SonaroEventSink& t) { t.ConferenceMessage(fromAlias, fromId, msgNum, msgText); });
}

void SonaroEventQueue::InvitationCancel(std::int32_t id, const S& fromAlias, const S& fromId,
                                        std::int16_t msgNum, const S& msgText) {
    Push(ev::kInvitationCancel,
         [=](SonaroEventSink& t) { t.InvitationCancel(id, fromAlias, fromId, msgNum, msgText); });
}

void SonaroEventQueue::Registered(const S& name) {
    Push(ev::kRegistered, [=](SonaroEventSink& t) { t.Registered(name); });
}

void SonaroEventQueue::FirewallNotify(std::int32_t code) {
    Push(ev::kFirewallNotify, [=](SonaroEventSink& t) { t.FirewallNotify(code); });
}

}  // namespace qv
