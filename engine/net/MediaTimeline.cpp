#include "MediaTimeline.h"

namespace qv::net {

void MediaTimeline::Sent(std::uint64_t sequence, std::int64_t captureNs, std::int64_t sentNs) {
    std::lock_guard lock(mutex_);
    if (sent_.size() == kKept) {
        sent_.pop_front();
    }
    sent_.push_back(Up{sequence, captureNs, sentNs});
}

void MediaTimeline::Arrived(std::uint32_t streamId, std::uint64_t sequence,
                            std::int64_t arrivalNs) {
    std::lock_guard lock(mutex_);
    if (arrived_.size() == kKept) {
        arrived_.pop_front();
    }
    arrived_.push_back(Down{streamId, sequence, arrivalNs});
}

std::string MediaTimeline::Text() const {
    std::lock_guard lock(mutex_);
    std::string text;
    for (const Up& u : sent_) {
        text += "sent " + std::to_string(u.sequence) + " " + std::to_string(u.captureNs) + " " +
                std::to_string(u.sentNs) + "\n";
    }
    for (const Down& d : arrived_) {
        text += "arrived " + std::to_string(d.streamId) + " " + std::to_string(d.sequence) + " " +
                std::to_string(d.arrivalNs) + "\n";
    }
    return text;
}

}  // namespace qv::net
