#include "calls/TextChatLines.h"

#include <cctype>
#include <ctime>

namespace qv {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(word[i]))) {
            return false;
        }
    }
    return true;
}

std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view p : parts) {
        out.append(p);
    }
    return out;
}

ChatLine One(std::string text, int colour) {
    return ChatLine{ChatPiece{std::move(text), colour}};
}

}  // namespace

bool IsStaffAlias(std::string_view alias) {
    return StartsWithNoCase(alias, "CS ") || StartsWithNoCase(alias, "Velmora") ||
           StartsWithNoCase(alias, "Quorvane");
}

std::string ChatTime(int hour24, int minute) {
    const int h = ((hour24 % 24) + 24) % 24;
    const int hour12 = h % 12 == 0 ? 12 : h % 12;
    const int m = ((minute % 60) + 60) % 60;
    std::string out = std::to_string(hour12);
    out += ':';
    out += static_cast<char>('0' + m / 10);
    out += static_cast<char>('0' + m % 10);
    out += h < 12 ? " AM" : " PM";
    return out;
}

std::string ChatTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return ChatTime(0, 0);
    }
    return ChatTime(local.tm_hour, local.tm_min);
}

std::string TextOf(const ChatLine& line) {
    std::string out;
    for (const ChatPiece& p : line) {
        out += p.text;
    }
    return out;
}

namespace chat_line {

using namespace chat_colour;

ChatLine System(std::string_view text) {
    return One(Cat({"\nSYSTEM>> ", text}), kSystem);
}

ChatLine Spoken(std::string_view alias, std::string_view text) {
    const int header = IsStaffAlias(alias) ? kStaffHeader : kUserHeader;
    return ChatLine{ChatPiece{Cat({"\n<", alias, "> "}), header},
                    ChatPiece{std::string(text), kSpokenText}};
}

ChatLine OutgoingWhisper(std::string_view target, std::string_view text) {
    return One(Cat({"\nWhisper to ", target, ">> ", text}), kOutgoingWhisper);
}

ChatLine IncomingWhisper(std::string_view alias, std::string_view text) {
    return One(Cat({"\n", alias, " Whispers>> ", text}), kIncomingWhisper);
}

ChatLine OwnEmote(std::string_view nickname, std::string_view text) {
    return One(Cat({"\n", nickname, " ", text}), kOwnEmote);
}

ChatLine IncomingEmote(std::string_view alias, std::string_view text) {
    return One(Cat({"\n", alias, " ", text}), kIncomingEmote);
}

ChatLine Joined(std::string_view alias) {
    return One(Cat({"\n*** ", alias, " has joined the conversation."}), kEvent);
}

ChatLine Left(std::string_view alias) {
    return One(Cat({"\n*** ", alias, " has left the conversation."}), kEvent);
}

ChatLine JoinedForum(std::string_view time, std::string_view path) {
    return One(Cat({"\n*** [", time, "] Joined forum ", path}), kEvent);
}

ChatLine LeftForum(std::string_view time, std::string_view path) {
    return One(Cat({"\n*** [", time, "] Left forum ", path, "\r\n\r\n"}), kEvent);
}

ChatLine JoinedCall(std::string_view time, std::string_view nickname, std::string_view userId) {
    return One(Cat({"\n*** [", time, "] Joined call with ", nickname, " (", userId, ")"}), kEvent);
}

ChatLine PlacedOnHold(std::string_view time, std::string_view nickname, std::string_view userId) {
    return One(Cat({"\n*** [", time, "] Placed ", nickname, " (", userId, ") on hold"}), kEvent);
}

ChatLine EndedCall(std::string_view time, std::string_view nickname, std::string_view userId) {
    return One(Cat({"\n*** [", time, "] Ended call with ", nickname, " (", userId, ")"}), kEvent);
}

ChatLine Warning(std::string_view text) {
    return One(std::string(text), kSystem);
}

ChatLine CommandSummary() {
    ChatLine line;
    for (const char* part :
         {"\nCommand Summary:", "\n/w <Msg>", "\tWhisper Msg to selected aliases",
          "\n/Clear or /Clr", "\tClear chat display", "\n/Me <Msg>", "\tEmote", "\n/? or /Help",
          "\tCommand Summary", "\nNOTE: Commands are NOT case sensitive."}) {
        line.push_back(ChatPiece{part, kEvent});
    }
    return line;
}

}  // namespace chat_line

}  // namespace qv
