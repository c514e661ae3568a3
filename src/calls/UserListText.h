#pragma once

// The engine's user list (GetUserList): one line per participant, "nickname TAB user ID TAB
// letters", each ended by a line feed. The letters add to the participant's flags.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

namespace participant_flag {
inline constexpr std::uint32_t kPresent = 0x1;
inline constexpr std::uint32_t kTalking = 0x2;
inline constexpr std::uint32_t kOnHold = 0x4;
inline constexpr std::uint32_t kMuted = 0x8;
inline constexpr std::uint32_t kInvited = 0x20000;
inline constexpr std::uint32_t kModerator = 0x40000;
inline constexpr std::uint32_t kOwner = 0x80000;
inline constexpr std::uint32_t kMicrophone = 0x40000000;
}  // namespace participant_flag

struct UserListRow {
    std::string userId;
    std::string nickname;
    std::uint32_t flags = participant_flag::kPresent;

    bool operator==(const UserListRow&) const = default;
};

// The rows of the text in its order. A line without a user ID is skipped, as is a second line
// for a user ID already read; a last line without its line feed still counts. Letters other
// than M, O, H, I, X and T are ignored. O makes an owner only with moderation enabled, otherwise
// a moderator.
std::vector<UserListRow> ParseUserList(const std::string& text, bool moderationEnabled);

// The flags that the letters give a new entry.
std::uint32_t FlagsFromLetters(const std::string& letters, bool moderationEnabled);

// What the status column of a participant's row shows.
enum class ParticipantStatus { kPresent, kTalking, kOnHold, kMuted, kInvited };
ParticipantStatus StatusOf(std::uint32_t flags);

}  // namespace qv
