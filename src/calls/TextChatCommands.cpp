#include "calls/TextChatCommands.h"

#include <cctype>

namespace qv {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view word) {
    return text.size() >= word.size() && EqualsNoCase(text.substr(0, word.size()), word);
}

ChatStep Write(ChatLine line) {
    ChatStep s;
    s.kind = ChatStep::Kind::kWrite;
    s.line = std::move(line);
    return s;
}

ChatStep Send(ChatStep::Kind kind, std::string alias, std::string text) {
    ChatStep s;
    s.kind = kind;
    s.alias = std::move(alias);
    s.text = std::move(text);
    return s;
}

void WhisperSelected(const std::string& text, const ChatContext& context,
                     std::vector<ChatStep>& steps) {
    if (context.selected.empty()) {
        steps.push_back(Write(chat_line::System(kNoUserSelected)));
        return;
    }
    for (const std::string& name : context.selected) {
        steps.push_back(Send(ChatStep::Kind::kWhisper, name, text));
    }
    const std::string target =
        context.selected.size() > 1 ? kMultipleTargets : context.selected.front();
    steps.push_back(Write(chat_line::OutgoingWhisper(target, text)));
}

}  // namespace

ChatCommand ParseChatCommand(std::string_view raw, bool whisperOnly) {
    using Kind = ChatCommand::Kind;
    std::string line(raw);
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] == '\n' || line[i] == '\r') {
            line[i] = ' ';
        }
    }
    if (line.size() >= 3 && StartsWithNoCase(line, "/w ")) {
        std::string rest = line.substr(3);
        if (rest.empty()) {
            return {Kind::kEmptyWhisper, {}};
        }
        return {Kind::kWhisper, std::move(rest)};
    }
    if (EqualsNoCase(line, "/clear") || EqualsNoCase(line, "/clr")) {
        return {Kind::kClear, {}};
    }
    if (line.size() > 4 && StartsWithNoCase(line, "/me ") && !whisperOnly) {
        return {Kind::kEmote, line.substr(4)};
    }
    if (EqualsNoCase(line, "/?") || EqualsNoCase(line, "/help")) {
        return {Kind::kSummary, {}};
    }
    if (!line.empty() && line[0] == '/') {
        return {Kind::kInvalid, std::move(line)};
    }
    if (!line.empty()) {
        return {whisperOnly ? Kind::kWhisper : Kind::kSpeak, std::move(line)};
    }
    return {Kind::kEmpty, {}};
}

std::vector<ChatStep> ChatSteps(std::string_view line, const ChatContext& context) {
    using Kind = ChatCommand::Kind;
    const ChatCommand command = ParseChatCommand(line, context.whisperOnly);
    std::vector<ChatStep> steps;
    switch (command.kind) {
        case Kind::kWhisper:
            WhisperSelected(command.text, context, steps);
            break;
        case Kind::kEmptyWhisper:
        case Kind::kEmpty:
            steps.push_back(Write(chat_line::Warning(kEmptyMessageWarning)));
            break;
        case Kind::kClear: {
            ChatStep clear;
            clear.kind = ChatStep::Kind::kClear;
            steps.push_back(std::move(clear));
            break;
        }
        case Kind::kEmote:
            steps.push_back(Write(chat_line::OwnEmote(context.ownNickname, command.text)));
            steps.push_back(Send(ChatStep::Kind::kEmote, {}, command.text));
            break;
        case Kind::kSummary:
            steps.push_back(Write(chat_line::CommandSummary()));
            break;
        case Kind::kInvalid:
            steps.push_back(
                Write(chat_line::Warning(std::string(kInvalidCommandWarning) + command.text)));
            break;
        case Kind::kSpeak:
            steps.push_back(Write(chat_line::Spoken(context.ownNickname, command.text)));
            steps.push_back(Send(ChatStep::Kind::kSay, {}, command.text));
            break;
    }
    return steps;
}

std::string WhisperName(std::string_view shown) {
    std::size_t characters = 0;
    std::size_t i = 0;
    while (i < shown.size()) {
        // A character starts at every byte that is not a UTF-8 continuation byte.
        if ((static_cast<unsigned char>(shown[i]) & 0xC0) != 0x80) {
            if (characters == kWhisperNameMax) {
                break;
            }
            ++characters;
        }
        ++i;
    }
    return std::string(shown.substr(0, i));
}

}  // namespace qv
