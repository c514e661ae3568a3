#include "RecordingSink.h"

#include <algorithm>

namespace qv::test {

namespace {

std::string Part(const std::string& s) {
    return s;
}
template <typename T>
std::string Part(T v) {
    return std::to_string(v);
}

template <typename... Args>
std::string Line(const char* name, const Args&... args) {
    std::string line = name;
    ((line += " " + Part(args)), ...);
    return line;
}

}  // namespace

std::vector<std::string> RecordingSink::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::size_t RecordingSink::Count() const {
    std::lock_guard lock(mutex_);
    return events_.size();
}

bool RecordingSink::WaitForCount(std::size_t count, Millis timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
}

bool RecordingSink::WaitFor(const std::string& prefix, Millis timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        for (const std::string& e : events_) {
            if (e.compare(0, prefix.size(), prefix) == 0) {
                return true;
            }
        }
        return false;
    });
}

bool RecordingSink::StaysAt(std::size_t count, Millis time) const {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, time, [&] { return events_.size() != count; });
}

void RecordingSink::Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

bool RecordingSink::Saw(const std::string& line) const {
    std::lock_guard lock(mutex_);
    return std::find(events_.begin(), events_.end(), line) != events_.end();
}

void RecordingSink::Add(std::string line) {
    // The hook first, so whoever waits for the event also sees what the hook did.
    if (onEvent) {
        onEvent(line);
    }
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(line));
    }
    changed_.notify_all();
}

void RecordingSink::userListUpdate() {
    Add(Line("userListUpdate"));
}
void RecordingSink::userTalking(const std::string& name, const std::string& second, Bool32 on) {
    Add(Line("userTalking", name, second, on));
}
void RecordingSink::canTalkEvent(Bool32 onOff) {
    Add(Line("canTalkEvent", onOff));
}
void RecordingSink::mikeActive(std::int16_t state) {
    Add(Line("mikeActive", state));
}
void RecordingSink::serverMessage(std::int16_t type, std::int16_t number, const std::string& text) {
    Add(Line("serverMessage", type, number, text));
}
void RecordingSink::UserMessage(const std::string& alias, const std::string& uid,
                                std::int16_t number, std::int16_t param, const std::string& text) {
    Add(Line("UserMessage", alias, uid, number, param, text));
}
void RecordingSink::groupListUpdate() {
    Add(Line("groupListUpdate"));
}
void RecordingSink::connectionEvent(std::int16_t state, const std::string& msg) {
    Add(Line("connectionEvent", state, msg));
}
void RecordingSink::JoinedGroup(const std::string& name) {
    Add(Line("JoinedGroup", name));
}
void RecordingSink::Found(const std::string& alias, Bool32 online, const std::string& group) {
    Add(Line("Found", alias, online, group));
}
void RecordingSink::Watch(const std::string& name, std::int16_t status) {
    Add(Line("Watch", name, status));
}
void RecordingSink::UserChange(const std::string& name, const std::string& second,
                               std::int16_t type, Bool32 existing) {
    Add(Line("UserChange", name, second, type, existing));
}
void RecordingSink::JoinedConference(std::int32_t id, Bool32 joined, Bool32 deleted) {
    Add(Line("JoinedConference", id, joined, deleted));
}
void RecordingSink::Invitation(std::int32_t id, const std::string& alias, const std::string& from,
                               std::int16_t number, const std::string& text) {
    Add(Line("Invitation", id, alias, from, number, text));
}
void RecordingSink::AcceptedConference(Bool32 flag, const std::string& alias,
                                       const std::string& from, std::int16_t number,
                                       const std::string& text) {
    Add(Line("AcceptedConference", flag, alias, from, number, text));
}
void RecordingSink::ConferenceMessage(const std::string& alias, const std::string& from,
                                      std::int16_t number, const std::string& text) {
    Add(Line("ConferenceMessage", alias, from, number, text));
}
void RecordingSink::InvitationCancel(std::int32_t id, const std::string& alias,
                                     const std::string& from, std::int16_t number,
                                     const std::string& text) {
    Add(Line("InvitationCancel", id, alias, from, number, text));
}
void RecordingSink::Registered(const std::string& name) {
    Add(Line("Registered", name));
}
void RecordingSink::FirewallNotify(std::int32_t code) {
    Add(Line("FirewallNotify", code));
}

}  // namespace qv::test
