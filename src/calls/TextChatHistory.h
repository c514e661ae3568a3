#pragma once

// The lines the user sent, for Up and Down in the input: a ring of ten slots that keeps the last
// nine lines, each with the tick count when it was sent.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qv {

class TextChatHistory {
  public:
    static constexpr std::size_t kSlots = 10;

    struct Entry {
        std::string text;
        std::uint32_t sentAt = 0;
        bool used = false;
    };

    // Writes at the head; when the head meets the tail the oldest line goes. The browsing
    // cursor goes back to the head.
    void Add(const std::string& text, std::uint32_t sentAt);
    // Up: the previous line, stopping at the oldest. Nothing while the history is empty.
    std::optional<std::string> Previous();
    // Down: the next line, stopping at the newest. Nothing while nothing newer was browsed.
    std::optional<std::string> Next();

    std::size_t Size() const;
    // The entry sent n lines ago (1 the most recent); null when there is none.
    const Entry* Recent(std::size_t n) const;

  private:
    std::array<Entry, kSlots> slots_{};
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
    std::size_t cursor_ = 0;
};

}  // namespace qv
