#pragma once

// The program's numbered texts, looked up by the numbers the rest of the program cites.

#include <string_view>

namespace qv {

// The text with that number; empty when there is none.
std::string_view LoadString(int id);

namespace str {
inline constexpr int kLostConnection = 5;
inline constexpr int kOldVoiceServer = 8;
inline constexpr int kNoNumberFound = 11;
inline constexpr int kNoNumberFoundHint = 12;
inline constexpr int kNoUsersFoundExact = 13;
inline constexpr int kNoUsersFoundHint = 14;
inline constexpr int kTooManyUsers = 15;
inline constexpr int kNumberNotNumeric = 16;
inline constexpr int kTooManyNumbers = 17;
inline constexpr int kTooManyUsersWildcard = 18;
inline constexpr int kAudioErrorBase = 130;  // 130 + the engine's audio result
inline constexpr int kAudioOutputOpenFailed = 131;
inline constexpr int kUpdateUnknownError = 142;
inline constexpr int kUpdateFileNotFound = 143;
inline constexpr int kInvitationTemplate = 145;
inline constexpr int kNotConnectedToDatabase = 151;
}  // namespace str

}  // namespace qv
