#pragma once

// Forced push-to-talk by forum size: from 8 participants on the user talks with the Talk
// button; once forced, below 5 voice activation comes back; 5 to 7 change nothing.

#include <string>

namespace qv {

namespace forced_push_to_talk_text {
inline constexpr const char* kOn =
    "Because this forum has greater than 7 users,  you have been placed in \"Push To Talk\" "
    "mode.  Click and hold the talk button and speak into your microphone.  Release the Talk "
    "button when finished.";
inline constexpr const char* kOff =
    "Because this forum has fewer than 5 users,  you have been placed in \"Voice Activated\" "
    "mode.";
}  // namespace forced_push_to_talk_text

struct ForcedPushToTalkInput {
    int participants = 0;
    // The active slot is a forum (not a call), not a web tour's, without controlled microphones.
    bool forum = false;
    bool webTour = false;
    bool controlledMicrophones = false;
    // Forced push-to-talk is on now.
    bool forced = false;
    // The PushToTalk setting (messages only while it is off).
    bool pushToTalkSetting = false;
};

struct ForcedPushToTalkStep {
    enum class Change { kNone, kOn, kOff };
    Change change = Change::kNone;
    // The system message to show; empty for none.
    std::string message;
    bool operator==(const ForcedPushToTalkStep&) const = default;
};

inline constexpr int kForcedPushToTalkFrom = 8;
inline constexpr int kForcedPushToTalkBelow = 5;

ForcedPushToTalkStep NextForcedPushToTalk(const ForcedPushToTalkInput& in);

}  // namespace qv
