#pragma once

// The events a window or store can subscribe to at the engine manager, one tag each, named after
// the event. Callbacks get the event's values followed by the subscriber's context:
//   manager.Subscribe<engine_event::JoinedGroup>(&CallManager::OnJoinedGroup, this);
// Truth values arrive as bool.

#include <cstdint>
#include <string>
#include <tuple>

#include "engine/SubscriberRegistry.h"

namespace qv::engine_event {

using Text = const std::string&;

struct userListUpdate {  // the list text the engine gave
    using Registry = SubscriberRegistry<Text>;
    static constexpr std::size_t kIndex = 0;
};
struct userTalking {  // name, second, start (true) or stop
    using Registry = SubscriberRegistry<Text, Text, bool>;
    static constexpr std::size_t kIndex = 1;
};
struct mikeActive {  // state
    using Registry = SubscriberRegistry<std::int16_t>;
    static constexpr std::size_t kIndex = 2;
};
struct canTalkEvent {  // on or off
    using Registry = SubscriberRegistry<bool>;
    static constexpr std::size_t kIndex = 3;
};
struct serverMessage {  // type, number, text
    using Registry = SubscriberRegistry<std::int16_t, std::int16_t, Text>;
    static constexpr std::size_t kIndex = 4;
};
struct UserMessage {  // alias, uid, number, parameter, text
    using Registry = SubscriberRegistry<Text, Text, std::int16_t, std::int16_t, Text>;
    static constexpr std::size_t kIndex = 5;
};
struct groupListUpdate {  // the list text the engine gave
    using Registry = SubscriberRegistry<Text>;
    static constexpr std::size_t kIndex = 6;
};
struct connectionEvent {  // state, message
    using Registry = SubscriberRegistry<std::int16_t, Text>;
    static constexpr std::size_t kIndex = 7;
};
struct JoinedGroup {  // group name, empty when none
    using Registry = SubscriberRegistry<Text>;
    static constexpr std::size_t kIndex = 8;
};
struct Watch {  // id, status, initial (part of the burst after login), last of that burst
    using Registry = SubscriberRegistry<Text, std::int16_t, bool, bool>;
    static constexpr std::size_t kIndex = 9;
};
struct UserChange {  // name, second, change type, existing
    using Registry = SubscriberRegistry<Text, Text, std::int16_t, bool>;
    static constexpr std::size_t kIndex = 10;
};
struct ConnectionState {  // the manager's state: 0 idle, 1 disconnecting, 2, 3, 4
    using Registry = SubscriberRegistry<std::int32_t>;
    static constexpr std::size_t kIndex = 11;
};
struct Found {  // alias, online, group
    using Registry = SubscriberRegistry<Text, bool, Text>;
    static constexpr std::size_t kIndex = 12;
};
struct JoinedConference {  // id, joined, deleted
    using Registry = SubscriberRegistry<std::int32_t, bool, bool>;
    static constexpr std::size_t kIndex = 13;
};
struct Invitation {  // id, from alias, from id, number, text
    using Registry = SubscriberRegistry<std::int32_t, Text, Text, std::int16_t, Text>;
    static constexpr std::size_t kIndex = 14;
};
struct AcceptedConference {  // flag, from alias, from id, number, text
    using Registry = SubscriberRegistry<bool, Text, Text, std::int16_t, Text>;
    static constexpr std::size_t kIndex = 15;
};
struct ConferenceMessage {  // from alias, from id, number, text
    using Registry = SubscriberRegistry<Text, Text, std::int16_t, Text>;
    static constexpr std::size_t kIndex = 16;
};
struct InvitationCancel {  // id, from alias, from id, number, text
    using Registry = SubscriberRegistry<std::int32_t, Text, Text, std::int16_t, Text>;
    static constexpr std::size_t kIndex = 17;
};

// The eighteen registries, in kIndex order.
using Registries =
    std::tuple<userListUpdate::Registry, userTalking::Registry, mikeActive::Registry,
               canTalkEvent::Registry, serverMessage::Registry, UserMessage::Registry,
               groupListUpdate::Registry, connectionEvent::Registry, JoinedGroup::Registry,
               Watch::Registry, UserChange::Registry, ConnectionState::Registry, Found::Registry,
               JoinedConference::Registry, Invitation::Registry, AcceptedConference::Registry,
               ConferenceMessage::Registry, InvitationCancel::Registry>;

}  // namespace qv::engine_event
