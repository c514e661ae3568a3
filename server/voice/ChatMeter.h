#pragma once

// One sender's text chat lines: a token bucket, so a user can say a few lines at once but not
// flood a room, and the refusal is told at most once per window.

#include <chrono>
#include <cstdint>
#include <optional>

namespace qv::voicesvc {

class ChatMeter {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict { kSend, kDrop, kDropAndTell };

    // lines per window come back into the bucket, which holds burst at most.
    ChatMeter(int lines, std::chrono::milliseconds window, int burst);

    // One line at now.
    Verdict Take(Clock::time_point now);

  private:
    std::int64_t capacity_;
    // Refill time of one line.
    Clock::duration perLine_;
    std::chrono::milliseconds window_;
    // When the bucket is full again: the bucket's level as one time point.
    std::optional<Clock::time_point> fullAt_;
    std::optional<Clock::time_point> toldAt_;
};

}  // namespace qv::voicesvc
