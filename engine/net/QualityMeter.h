#pragma once

// Round trip and loss of the session's pings. Pure bookkeeping: the caller passes the times, so
// the numbers can be checked without waiting.

#include <cstdint>
#include <deque>

namespace qv::net {

class QualityMeter {
  public:
    using Micros = std::uint64_t;

    // How many of the latest pings old enough to judge make up the loss figure.
    static constexpr std::size_t kLossWindow = 20;
    // A ping gets this long for its Pong before it counts as lost.
    static constexpr Micros kLossAge = 3'000'000;

    // Records a ping sent at now; the sequence number to put in it.
    std::uint32_t Sent(Micros now);
    // A Pong for sequence arrived at now; unknown or repeated sequences are ignored.
    void Answered(std::uint32_t sequence, Micros now);

    // Round trip of the latest Pong in milliseconds, at least 1; 0 before the first.
    std::int32_t PingMs() const { return pingMs_; }
    // Percentage of the latest kLossWindow pings older than kLossAge that got no Pong.
    float LossPercent(Micros now) const;

  private:
    struct Sample {
        std::uint32_t sequence = 0;
        Micros sent = 0;
        bool answered = false;
    };

    std::deque<Sample> samples_;  // oldest first
    std::uint32_t nextSequence_ = 1;
    std::int32_t pingMs_ = 0;
};

}  // namespace qv::net
