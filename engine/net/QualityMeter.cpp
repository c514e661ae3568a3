#include "QualityMeter.h"

#include <algorithm>
#include <limits>

namespace qv::net {

namespace {

// Enough history for the loss window plus the pings still waiting to be judged.
constexpr std::size_t kKeep = QualityMeter::kLossWindow + 16;

}  // namespace

std::uint32_t QualityMeter::Sent(Micros now) {
    const std::uint32_t sequence = nextSequence_++;
    samples_.push_back(Sample{sequence, now, false});
    while (samples_.size() > kKeep) {
        samples_.pop_front();
    }
    return sequence;
}

void QualityMeter::Answered(std::uint32_t sequence, Micros now) {
    auto it = std::find_if(samples_.begin(), samples_.end(),
                           [sequence](const Sample& s) { return s.sequence == sequence; });
    if (it == samples_.end() || it->answered) {
        return;
    }
    it->answered = true;
    const Micros trip = now > it->sent ? now - it->sent : 0;
    const Micros ms = std::max<Micros>(1, (trip + 999) / 1000);
    pingMs_ = static_cast<std::int32_t>(
        std::min<Micros>(ms, static_cast<Micros>(std::numeric_limits<std::int32_t>::max())));
}

float QualityMeter::LossPercent(Micros now) const {
    std::size_t judged = 0;
    std::size_t lost = 0;
    for (auto it = samples_.rbegin(); it != samples_.rend() && judged < kLossWindow; ++it) {
        if (it->sent > now || now - it->sent <= kLossAge) {
            continue;  // still in time for its Pong
        }
        ++judged;
        if (!it->answered) {
            ++lost;
        }
    }
    return judged == 0 ? 0.0f : 100.0f * static_cast<float>(lost) / static_cast<float>(judged);
}

}  // namespace qv::net
