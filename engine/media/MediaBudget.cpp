#include "MediaBudget.h"

#include <algorithm>

namespace qv::media {

MediaBudget::MediaBudget() : MediaBudget(Settings{}) {}

MediaBudget::MediaBudget(Settings settings)
    : settings_(settings), packets_(settings.packetBurst), bytes_(settings.byteBurst) {}

void MediaBudget::Refill(Nanos now) {
    if (!started_) {
        started_ = true;
        last_ = now;
        return;
    }
    // A clock that went back refills nothing.
    if (now <= last_) {
        return;
    }
    const double seconds = static_cast<double>(now - last_) / 1e9;
    last_ = now;
    packets_ = std::min(settings_.packetBurst, packets_ + seconds * settings_.packetsPerSecond);
    bytes_ = std::min(settings_.byteBurst, bytes_ + seconds * settings_.bytesPerSecond);
}

bool MediaBudget::Take(std::size_t bytes, Nanos now) {
    Refill(now);
    const double size = static_cast<double>(bytes);
    if (packets_ < 1.0 || bytes_ < size) {
        ++dropped_;
        return false;
    }
    packets_ -= 1.0;
    bytes_ -= size;
    return true;
}

}  // namespace qv::media
