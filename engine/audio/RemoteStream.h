#pragma once

// One remote speaker on the receiving side: its jitter buffer, its decoder, the decoded samples
// not yet played, and whether the speaker is talking (from the level each packet carries, with a
// hangover so short pauses are no stop).

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "JitterBuffer.h"
#include "OpusCoder.h"

namespace qv::audio {

struct TalkingChange {
    bool changed = false;
    bool talking = false;
};

class RemoteStream {
  public:
    static constexpr int kHangoverMs = 300;
    // Packets at least this loud (dBov) count as talking: speech and tones do, a quiet room
    // does not.
    static constexpr std::uint8_t kTalkingLevel = 55;

    // nullptr when no decoder can be made.
    static std::unique_ptr<RemoteStream> Create();

    void Assign(std::uint32_t streamId);
    void Release();
    bool InUse() const { return inUse_; }
    std::uint32_t StreamId() const { return streamId_; }
    std::int64_t LastArrivalNs() const { return lastArrivalNs_; }

    void Push(const JitterPacket& packet);
    // Adds the next 10 ms of this speaker to mix at gain.
    void MixInto(std::span<float> mix, float gain, std::int64_t nowNs);
    // Called once per period after MixInto.
    TalkingChange UpdateTalking(std::int64_t nowNs);

    const JitterBuffer& Buffer() const { return buffer_; }
    bool Talking() const { return talking_; }

  private:
    RemoteStream() = default;
    bool Refill(std::int64_t nowNs);

    std::unique_ptr<VoiceDecoder> decoder_;
    JitterBuffer buffer_;
    bool inUse_ = false;
    std::uint32_t streamId_ = 0;
    std::int64_t lastArrivalNs_ = 0;
    std::array<std::int16_t, kMaxFrameSamples + kPeriodSamples> pcm_{};
    int pcmStart_ = 0;
    int pcmEnd_ = 0;
    bool talking_ = false;
    bool heardVoice_ = false;
    std::int64_t lastVoiceNs_ = 0;
};

}  // namespace qv::audio
