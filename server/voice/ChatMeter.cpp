#include "ChatMeter.h"

#include <algorithm>

namespace qv::voicesvc {

ChatMeter::ChatMeter(int lines, std::chrono::milliseconds window, int burst)
    : capacity_(std::max(1, burst)),
      perLine_(std::chrono::duration_cast<Clock::duration>(window) / std::max(1, lines)),
      window_(window) {}

ChatMeter::Verdict ChatMeter::Take(Clock::time_point now) {
    // The bucket is empty at fullAt - capacity * perLine; each line pushes fullAt one perLine on.
    const Clock::time_point full = fullAt_ && *fullAt_ > now ? *fullAt_ : now;
    if (full + perLine_ - now <= perLine_ * capacity_) {
        fullAt_ = full + perLine_;
        return Verdict::kSend;
    }
    if (toldAt_ && now - *toldAt_ < window_) {
        return Verdict::kDrop;
    }
    toldAt_ = now;
    return Verdict::kDropAndTell;
}

}  // namespace qv::voicesvc
