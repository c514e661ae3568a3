#pragma once

// What the three call panes are given: the engine manager whose events they follow (may be
// null), the scheduler and clock of their timed rules, and the operations their buttons run.
// Each pane keeps its own copy: the objects pointed at outlive the panes.

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

class CSonaroManager;
class ForumModeration;
class Screen;
class TickClock;
class TimerScheduler;

struct CallPaneParts {
    CSonaroManager* manager = nullptr;
    TimerScheduler* scheduler = nullptr;
    const TickClock* clock = nullptr;
    // Sound events by name.
    std::function<void(const std::string&)> playSound;
    // The user's presence mode: no sound rings in Do Not Disturb or Occupied.
    std::function<std::uint16_t()> ownMode;
    // The EnableModeration switch: the letter O makes an owner.
    bool moderationEnabled = false;

    // The CallManager's operations.
    std::function<void()> hangUp;
    std::function<void()> holdOrSwitch;
    std::function<void()> pickUp;
    std::function<void(std::int16_t reason, const std::string& text)> endSecond;
    // Voice-activated Talk/Mute: true closes the microphone.
    std::function<void(bool muted)> setTalk;
    // The PushToTalk setting; the mode is push-to-talk when it is on or a forum forced it.
    std::function<bool()> pushToTalk;
    // The engine manager is told the mode whenever the Talk/Mute button is updated.
    std::function<void(bool on)> setPushToTalk;
    // "Send Instant Message" to a participant or caller (null: the item is disabled).
    std::function<void(const std::string& id, const std::string& nickname)> sendMessage;

    // The participant menu's forum commands (null, or returning null: no forum items).
    std::function<ForumModeration*()> moderation;
    // Message boxes: the disband question (null: disband is not offered).
    Screen* screen = nullptr;
    // The shown record's participant count changed: forced push-to-talk follows it.
    std::function<void(int participants)> participantCountChanged;
};

}  // namespace qv
