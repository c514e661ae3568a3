#pragma once

// The receive buffer of one remote speaker: packets go in as they arrive (in any order, some
// twice, some late, some never) and come out one frame at a time in sequence, with the delay
// that lets nearly every packet arrive in time and no more.
//
// The delay is the 95th percentile of the recent arrival jitter plus one frame, between one frame
// and 200 ms, two frames while nothing is known. It changes when a talkspurt starts, or by one
// frame added or left out where the speaker is silent or quiet, by how long the frames really
// wait, so speech is never stretched or squeezed and a backlog does not last. A
// missing packet is rebuilt from the next one's FEC data when that is already here, else concealed
// (up to five frames, then silence); a packet whose turn has passed is late and dropped. Pure: time
// comes in with each call.

#include <array>
#include <cstddef>
#include <cstdint>

#include "OpusCoder.h"

namespace qv::audio {

struct JitterPacket {
    std::uint64_t sequence = 0;
    std::uint32_t timestamp = 0;  // 48 kHz
    bool marker = false;          // first packet of a talkspurt
    std::uint8_t level = 127;
    int samples = 0;  // the packet's duration at 48 kHz
    const std::uint8_t* payload = nullptr;
    std::size_t size = 0;
    std::int64_t arrivalNs = 0;
};

enum class JitterPush { kAccepted, kDuplicate, kLate, kMalformed };

enum class JitterOutputKind {
    kNothing,  // no talkspurt is playing: the speaker is silent
    kPacket,   // decode payload
    kFec,      // the frame is lost, payload is the next packet: decode its FEC data
    kConceal,  // the frame is lost: conceal samples
    kSilence,  // lost longer than concealment sounds right: samples of silence
};

struct JitterOutput {
    JitterOutputKind kind = JitterOutputKind::kNothing;
    const std::uint8_t* payload = nullptr;  // valid until the next call
    std::size_t size = 0;
    int samples = 0;
    std::uint64_t sequence = 0;   // of the frame this output stands for
    bool talkspurtStart = false;  // decoders start from a clean state here
    std::uint8_t level = 127;
};

struct JitterStats {
    std::uint64_t received = 0;    // accepted packets
    std::uint64_t played = 0;      // decoded in their turn
    std::uint64_t recovered = 0;   // rebuilt from FEC
    std::uint64_t concealed = 0;   // concealment frames
    std::uint64_t lost = 0;        // frames whose packet never came in time
    std::uint64_t late = 0;        // dropped: came after their turn
    std::uint64_t duplicates = 0;  // dropped: came twice
    std::uint64_t overflow = 0;    // dropped: the buffer was full
    std::uint64_t malformed = 0;
    std::uint64_t stretched = 0;  // silent frames added to grow the delay
    std::uint64_t skipped = 0;    // silent frames left out to shrink it
};

class JitterBuffer {
  public:
    static constexpr int kMaxConceal = 5;
    static constexpr std::int64_t kMaxDelayNs = 200'000'000;
    static constexpr std::size_t kSlots = 64;

    JitterBuffer() = default;

    JitterPush Push(const JitterPacket& packet);
    JitterOutput Pull(std::int64_t nowNs);
    // Forgets packets, timing and statistics (a new conversation).
    void Reset();

    bool Playing() const { return playing_; }
    // The delay the current (or last) talkspurt plays with.
    std::int64_t TargetDelayNs() const { return appliedDelayNs_; }
    // The delay the next talkspurt would get, from the jitter measured up to nowNs.
    std::int64_t MeasuredDelayNs(std::int64_t nowNs) const;
    const JitterStats& Stats() const { return stats_; }
    // Recent loss (older figures fade out), percent of the frames due.
    float LossPercent() const;

  private:
    struct Slot {
        bool used = false;
        std::uint64_t sequence = 0;
        std::uint32_t timestamp = 0;
        bool marker = false;
        std::uint8_t level = 127;
        int samples = 0;
        std::int64_t arrivalNs = 0;
        std::int64_t relativeDelayNs = 0;
        std::size_t size = 0;
        std::array<std::uint8_t, kMaxPayloadBytes> payload{};
    };
    struct Transit {
        std::int64_t arrivalNs = 0;
        std::int64_t transitNs = 0;
    };
    static constexpr std::size_t kTransits = 128;
    static constexpr std::size_t kMinTransits = 10;
    static constexpr std::int64_t kTransitWindowNs = 5'000'000'000;
    static constexpr std::int64_t kAdaptSpacingNs = 200'000'000;
    static constexpr std::int64_t kPullPeriodNs = 10'000'000;
    // Frames at least this quiet (the level byte, -dBFS; 127 is no speech) may be left out or
    // doubled by the adaptation: the gap between words, not the words.
    static constexpr std::uint8_t kQuietLevel = 50;

    Slot* Find(std::uint64_t sequence);
    Slot* Lowest();
    bool Seen(std::uint64_t sequence) const;
    void MarkSeen(std::uint64_t sequence);
    bool StartsTalkspurt(const JitterPacket& packet) const;
    std::int64_t RecordTransit(const JitterPacket& packet);
    void DropBelow(std::uint64_t sequence);
    void CountDue(bool lost);
    void AdaptInSilence(std::int64_t nowNs, JitterOutput& out);
    std::int64_t FrameNs() const;

    std::array<Slot, kSlots> slots_{};
    std::array<Transit, kTransits> transits_{};
    std::size_t transitCount_ = 0;
    std::size_t transitNext_ = 0;
    bool haveTimestamp_ = false;
    std::uint32_t lastTimestamp_ = 0;
    std::int64_t timestampExt_ = 0;

    bool playing_ = false;
    std::uint64_t nextSequence_ = 0;  // the frame the next pull stands for; below it is late
    bool haveNext_ = false;
    bool haveDecoded_ = false;
    std::uint64_t lastDecodedSequence_ = 0;
    std::uint32_t lastDecodedTimestamp_ = 0;
    std::uint8_t lastLevel_ = 127;
    int frameSamples_ = kPeriodSamples;
    int concealRun_ = 0;
    std::uint64_t pendingLost_ = 0;  // concealed frames: loss once a later packet proves it
    std::int64_t appliedDelayNs_ = 2 * 10'000'000;
    std::int64_t lastArrivalNs_ = 0;
    std::int64_t lastAdaptNs_ = 0;

    bool haveSeen_ = false;
    std::uint64_t highestSeen_ = 0;
    std::uint64_t seenMask_ = 0;  // bit i: highestSeen_ - i arrived

    JitterStats stats_;
    double windowDue_ = 0;
    double windowLost_ = 0;
};

}  // namespace qv::audio
