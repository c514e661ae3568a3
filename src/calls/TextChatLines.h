#pragma once

// What the text chat display shows: each kind of line as coloured pieces of text, the palette the
// colours index, who counts as staff, and the time of the bracketed conversation lines. Every
// line begins with a line feed so that it starts a new line of the display.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Windows colour references (0x00BBGGRR), indexed as the line kinds use them.
inline constexpr std::array<std::uint32_t, 15> kTextChatPalette = {
    0x000000, 0xFF8000, 0xAF00AF, 0x000000, 0xFF0000, 0xAF00AF, 0x0000FF, 0x008000,
    0x00C000, 0x0080FF, 0xFF00FF, 0x0000FF, 0x875596, 0x965A40, 0x000000};

namespace chat_colour {
inline constexpr int kSpokenText = 0;
inline constexpr int kOutgoingWhisper = 1;
inline constexpr int kOwnEmote = 2;
inline constexpr int kIncomingWhisper = 4;
inline constexpr int kIncomingEmote = 5;
inline constexpr int kSystem = 6;
inline constexpr int kEvent = 7;
inline constexpr int kUserHeader = 12;
inline constexpr int kStaffHeader = 13;
}  // namespace chat_colour

// The parts of a colour reference.
constexpr int RedOf(std::uint32_t ref) {
    return static_cast<int>(ref & 0xFF);
}
constexpr int GreenOf(std::uint32_t ref) {
    return static_cast<int>((ref >> 8) & 0xFF);
}
constexpr int BlueOf(std::uint32_t ref) {
    return static_cast<int>((ref >> 16) & 0xFF);
}

struct ChatPiece {
    std::string text;
    int colour = 0;  // index into kTextChatPalette
    bool operator==(const ChatPiece&) const = default;
};
using ChatLine = std::vector<ChatPiece>;

// Begins, without regard to letter case over the word's length, with "CS ", "Velmora" or
// "Quorvane".
bool IsStaffAlias(std::string_view alias);

// "%#I:%M %p": the hour on the 12-hour clock without a leading zero, the minutes, AM or PM.
std::string ChatTime(int hour24, int minute);
// The local time now, in that form.
std::string ChatTimeNow();

namespace chat_line {

ChatLine System(std::string_view text);
// The own nickname or the sender's alias as a header, then the text.
ChatLine Spoken(std::string_view alias, std::string_view text);
ChatLine OutgoingWhisper(std::string_view target, std::string_view text);
ChatLine IncomingWhisper(std::string_view alias, std::string_view text);
ChatLine OwnEmote(std::string_view nickname, std::string_view text);
ChatLine IncomingEmote(std::string_view alias, std::string_view text);
ChatLine Joined(std::string_view alias);
ChatLine Left(std::string_view alias);
ChatLine JoinedForum(std::string_view time, std::string_view path);
ChatLine LeftForum(std::string_view time, std::string_view path);
ChatLine JoinedCall(std::string_view time, std::string_view nickname, std::string_view userId);
ChatLine PlacedOnHold(std::string_view time, std::string_view nickname, std::string_view userId);
ChatLine EndedCall(std::string_view time, std::string_view nickname, std::string_view userId);
// The text unchanged.
ChatLine Warning(std::string_view text);
ChatLine CommandSummary();

}  // namespace chat_line

// The whole text of a line, its pieces joined.
std::string TextOf(const ChatLine& line);

}  // namespace qv
