#pragma once

// When the latest voice packets were captured, sent and received, on the monotonic clock, so a
// benchmark can tell which stage of the way from mouth to ear costs what. Bounded: only the
// latest kKept of each are held. Written on the session's thread, read from any.

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace qv::net {

class MediaTimeline {
  public:
    static constexpr std::size_t kKept = 8192;

    void Sent(std::uint64_t sequence, std::int64_t captureNs, std::int64_t sentNs);
    void Arrived(std::uint32_t streamId, std::uint64_t sequence, std::int64_t arrivalNs);
    // "sent SEQUENCE CAPTURE_NS SENT_NS" and "arrived SSRC SEQUENCE ARRIVAL_NS" lines, oldest
    // first.
    std::string Text() const;

  private:
    struct Up {
        std::uint64_t sequence;
        std::int64_t captureNs;
        std::int64_t sentNs;
    };
    struct Down {
        std::uint32_t streamId;
        std::uint64_t sequence;
        std::int64_t arrivalNs;
    };
    mutable std::mutex mutex_;
    std::deque<Up> sent_;
    std::deque<Down> arrived_;
};

}  // namespace qv::net
