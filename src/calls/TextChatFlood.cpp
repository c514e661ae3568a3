#include "calls/TextChatFlood.h"

#include "calls/TextChatHistory.h"

namespace qv {

bool TextChatFlooding(const TextChatHistory& history, std::uint32_t now) {
    const TextChatHistory::Entry* third = history.Recent(3);
    return third != nullptr && static_cast<std::uint32_t>(now - third->sentAt) < kTextChatFloodMs;
}

}  // namespace qv
