#pragma once

// At most three lines in two seconds: Enter does nothing while the third most recent line was
// sent less than two seconds ago.

#include <cstdint>

namespace qv {

class TextChatHistory;

inline constexpr std::uint32_t kTextChatFloodMs = 2000;

// now: the tick count; wrap-around safe.
bool TextChatFlooding(const TextChatHistory& history, std::uint32_t now);

}  // namespace qv
