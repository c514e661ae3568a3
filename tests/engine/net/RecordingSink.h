#pragma once

// An event sink that writes every event as one line ("connectionEvent 0 Voice") and lets the
// test wait for them. Thread-safe: the engine raises from its own thread.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/SonaroControl.h"

namespace qv::test {

class RecordingSink final : public SonaroEventSink {
  public:
    using Millis = std::chrono::milliseconds;

    // Every line so far.
    std::vector<std::string> Events() const;
    std::size_t Count() const;
    // Waits until at least count events have come; false when the deadline passed first.
    bool WaitForCount(std::size_t count, Millis timeout = Millis(5000)) const;
    // Waits for an event line starting with prefix; false when none came in time.
    bool WaitFor(const std::string& prefix, Millis timeout = Millis(5000)) const;
    // Forgets every event so far (a test's next case).
    void Clear();
    // Whether an event line equal to line came.
    bool Saw(const std::string& line) const;
    // Waits the whole time and says whether the count stayed at count.
    bool StaysAt(std::size_t count, Millis time) const;

    // Runs on the engine's thread for each event just before it is recorded, outside the lock.
    std::function<void(const std::string&)> onEvent;

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
    void Add(std::string line);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> events_;
};

}  // namespace qv::test
