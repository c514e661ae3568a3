#pragma once

// The host's event sink: an engine raises events into it from any thread, and the user-interface
// thread delivers them, in the order they were raised, to the real handler with Drain. So no
// handler ever runs inside an engine method call.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/SonaroControl.h"

namespace qv {

class SonaroEventQueue final : public SonaroEventSink {
  public:
    // Delivers the events queued before this call to target; events raised while draining wait
    // for the next Drain. Returns how many were delivered.
    std::size_t Drain(SonaroEventSink& target);
    std::size_t Pending() const;
    // Forgets what is queued about a session that has ended: every event but the user messages,
    // which stay deliverable (a message that arrived is still the user's).
    void DropSessionEvents();
    void Clear();

    void userListUpdate() override;
    void userTalking(const std::string& name, const std::string& second, Bool32 startStop) override;
    void canTalkEvent(Bool32 onOff) override;
    void mikeActive(std::int16_t state) override;
    void serverMessage(std::int16_t type, std::int16_t msgNum, const std::string& msgText) override;
    void UserMessage(const std::string& alias, const std::string& uid, std::int16_t msgNum,
                     std::int16_t msgParam, const std::string& msgText) override;
    void groupListUpdate() override;
    void connectionEvent(std::int16_t state, const std::string& msg) override;
    void JoinedGroup(const std::string& groupName) override;
    void Found(const std::string& alias, Bool32 online, const std::string& group) override;
    void Watch(const std::string& name, std::int16_t status) override;
    void UserChange(const std::string& name, const std::string& second, std::int16_t changeType,
                    Bool32 existing) override;
    void JoinedConference(std::int32_t id, Bool32 joined, Bool32 deleted) override;
    void Invitation(std::int32_t id, const std::string& fromAlias, const std::string& fromId,
                    std::int16_t msgNum, const std::string& msgText) override;
    void AcceptedConference(Bool32 flag, const std::string& fromAlias, const std::string& fromId,
                            std::int16_t msgNum, const std::string& msgText) override;
    void ConferenceMessage(const std::string& fromAlias, const std::string& fromId,
                           std::int16_t msgNum, const std::string& msgText) override;
    void InvitationCancel(std::int32_t id, const std::string& fromAlias, const std::string& fromId,
                          std::int16_t msgNum, const std::string& msgText) override;
    void Registered(const std::string& name) override;
    void FirewallNotify(std::int32_t code) override;

  private:
    struct Event {
        std::uint64_t sequence;
        int id;
        std::function<void(SonaroEventSink&)> deliver;
    };
    void Push(int id, std::function<void(SonaroEventSink&)> deliver);

    mutable std::mutex mutex_;
    std::deque<Event> events_;
    std::uint64_t nextSequence_ = 0;
};

}  // namespace qv
