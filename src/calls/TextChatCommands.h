#pragma once

// What a line typed into the text chat does: the command parser, and the steps a sent line
// turns into (lines to write, the display to clear, user messages to send), in their order.

#include <string>
#include <string_view>
#include <vector>

#include "calls/TextChatLines.h"

namespace qv {

struct ChatCommand {
    enum class Kind {
        kWhisper,       // text: what to whisper to the selected participants
        kEmptyWhisper,  // the whisper command with nothing after it
        kClear,
        kEmote,    // text: the emote
        kSummary,  // the command summary
        kInvalid,  // text: the whole line
        kSpeak,    // text: the line
        kEmpty,
    };
    Kind kind = Kind::kEmpty;
    std::string text;
    bool operator==(const ChatCommand&) const = default;
};

// Letter case never matters. Line breaks inside the line (not at its end) become spaces.
// whisperOnly: emotes are refused and plain lines are whispered.
ChatCommand ParseChatCommand(std::string_view line, bool whisperOnly);

inline constexpr const char* kEmptyMessageWarning = "\nWarning: You cannot send an empty message.";
inline constexpr const char* kInvalidCommandWarning = "\nWarning: Invalid command - ";
inline constexpr const char* kNoUserSelected = "Message not sent: No user selected.";
// More than one whisper target.
inline constexpr const char* kMultipleTargets = "Multiple";
// The longest name a whisper goes to, in characters.
inline constexpr std::size_t kWhisperNameMax = 32;

struct ChatStep {
    enum class Kind {
        kWrite,    // line
        kClear,    // empty the display
        kSay,      // message 4 with text
        kWhisper,  // message 5 to alias with text
        kEmote,    // message 6 with text
    };
    Kind kind = Kind::kWrite;
    ChatLine line;
    std::string alias;
    std::string text;
    bool operator==(const ChatStep&) const = default;
};

struct ChatContext {
    std::string ownNickname;
    // The shown names of the selected participants, in list order.
    std::vector<std::string> selected;
    bool whisperOnly = false;
};

// The steps of one sent line (already without its leading blanks).
std::vector<ChatStep> ChatSteps(std::string_view line, const ChatContext& context);

// A participant's shown name cut to kWhisperNameMax characters (UTF-8, never inside one).
std::string WhisperName(std::string_view shown);

}  // namespace qv
