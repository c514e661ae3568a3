#pragma once

// What one session may send of media: two token buckets, packets and bytes a second, each with
// a burst. A packet over either is dropped, never delayed: late voice is no use to anyone.

#include <cstddef>
#include <cstdint>

namespace qv::media {

class MediaBudget {
  public:
    using Nanos = std::int64_t;

    struct Settings {
        double packetsPerSecond = 150;
        double packetBurst = 75;
        double bytesPerSecond = 48 * 1024;
        double byteBurst = 24 * 1024;
    };

    MediaBudget();
    explicit MediaBudget(Settings settings);

    // One packet of that size at now: true when it fits (and is charged), false to drop it.
    bool Take(std::size_t bytes, Nanos now);
    std::uint64_t Dropped() const { return dropped_; }

  private:
    void Refill(Nanos now);

    Settings settings_;
    double packets_;
    double bytes_;
    Nanos last_ = 0;
    bool started_ = false;
    std::uint64_t dropped_ = 0;
};

}  // namespace qv::media
