#pragma once

// The microphone's way to the network, one 10 ms period at a time: echo cancellation (when the
// user listens through speakers), noise suppression and automatic gain (speexdsp), the Squelch
// gate, Talk and the conversation state, then Opus frames of 10 or 20 ms. A talkspurt starts
// with the period before it as pre-roll, so the first syllable is not clipped. Frames without
// speech carry the silence level (127), so listeners' talking indicators and the server's choice
// of speakers follow voices, not open microphones.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "AudioEngine.h"
#include "OpusCoder.h"
#include "SquelchGate.h"
#include "VoiceActivity.h"

struct SpeexPreprocessState_;
struct SpeexEchoState_;

namespace qv::audio {

struct CaptureControls {
    bool talk = false;
    bool conversation = false;  // false: nothing is encoded for the network
    bool usingSpeakers = false;
    bool slowLink = false;
    std::int32_t squelch = 0;
    int frameMs = 10;
    int lossPercent = 0;  // what the receivers see, for the encoder's FEC
};

class CapturePath {
  public:
    // nullptr when speexdsp cannot be set up.
    static std::unique_ptr<CapturePath> Create();
    ~CapturePath();
    CapturePath(const CapturePath&) = delete;
    CapturePath& operator=(const CapturePath&) = delete;

    // The encoder for the network; null: nothing is ever transmitted (sounds and recording only).
    void SetEncoder(std::unique_ptr<VoiceEncoder> encoder);

    // Cleans one period in place. played: what the speaker played meanwhile (echo reference).
    void Clean(std::span<std::int16_t> capture, std::span<const std::int16_t> played,
               bool usingSpeakers);
    // Decides whether this period is transmitted and emits the frames it completes. Returns
    // whether the user is transmitting now.
    bool Transmit(std::span<const std::int16_t> cleaned, const CaptureControls& controls,
                  std::int64_t captureEndNs, const std::function<void(const EncodedFrame&)>& sink);

    double LevelDbfs() const { return levelDbfs_; }
    bool Voice() const { return voice_; }
    bool GateOpen() const { return gate_.Open(); }

  private:
    struct PreprocessCloser {
        void operator()(SpeexPreprocessState_* s) const;
    };
    struct EchoCloser {
        void operator()(SpeexEchoState_* s) const;
    };
    CapturePath() = default;
    void Emit(const std::int16_t* pcm, int samples, std::uint32_t timestamp, bool start,
              std::int64_t captureEndNs, const std::function<void(const EncodedFrame&)>& sink);

    std::unique_ptr<SpeexPreprocessState_, PreprocessCloser> preprocess_;
    std::unique_ptr<SpeexEchoState_, EchoCloser> echo_;
    std::unique_ptr<VoiceEncoder> encoder_;
    bool echoActive_ = false;
    SquelchGate gate_;
    double levelDbfs_ = -120;
    VoiceActivity activity_;
    bool voice_ = false;  // whether the current period holds speech
    bool previousVoice_ = false;
    bool frameVoice_ = false;
    std::uint32_t sampleClock_ = 0;  // timestamp of the current period's first sample
    bool transmitting_ = false;
    int frameSamples_ = kPeriodSamples;
    std::array<std::int16_t, kPeriodSamples> echoOut_{};
    std::array<std::int16_t, kPeriodSamples> previous_{};  // pre-roll
    std::array<std::int16_t, 2 * kPeriodSamples> frame_{};
    int frameFill_ = 0;
    std::uint32_t frameTimestamp_ = 0;
    bool frameStartsSpurt_ = false;
    EncodedFrame out_;
};

}  // namespace qv::audio
