#pragma once

// Opus for voice: one encoder for the user's microphone, one decoder per remote speaker.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "CodecProfiles.h"

struct OpusEncoder;
struct OpusDecoder;

namespace qv::audio {

inline constexpr int kSampleRate = 48000;
inline constexpr int kPeriodSamples = 480;             // 10 ms, the device period
inline constexpr int kMaxFrameSamples = 5760;          // 120 ms, the longest Opus packet
inline constexpr std::size_t kMaxPayloadBytes = 1200;  // what one datagram carries

class VoiceEncoder {
  public:
    // nullptr when libopus refuses the settings.
    static std::unique_ptr<VoiceEncoder> Create(const CodecProfile& profile);
    ~VoiceEncoder();
    VoiceEncoder(const VoiceEncoder&) = delete;
    VoiceEncoder& operator=(const VoiceEncoder&) = delete;

    void SetSlowLink(bool on);
    // The loss the receivers see; in-band FEC spends bits in proportion to it.
    void SetPacketLossPercent(int percent);
    // A talkspurt starts from a clean state.
    void Reset();
    // One frame of 480 or 960 samples; the packet's size, or < 0 on failure.
    int Encode(const std::int16_t* pcm, int samples, std::uint8_t* out, std::size_t capacity);

  private:
    struct OpusEncoderDeleter {
        void operator()(OpusEncoder* e) const;
    };
    VoiceEncoder(OpusEncoder* encoder, CodecProfile profile);
    std::unique_ptr<OpusEncoder, OpusEncoderDeleter> encoder_;
    CodecProfile profile_;
    bool slowLink_ = false;
    int lossPercent_ = -1;
};

class VoiceDecoder {
  public:
    static std::unique_ptr<VoiceDecoder> Create();
    ~VoiceDecoder();
    VoiceDecoder(const VoiceDecoder&) = delete;
    VoiceDecoder& operator=(const VoiceDecoder&) = delete;

    void Reset();
    // Decodes a packet into pcm (room for kMaxFrameSamples); samples written, or < 0.
    int Decode(const std::uint8_t* packet, std::size_t size, std::int16_t* pcm);
    // The frame before packet, from the packet's forward error correction data.
    int DecodeFec(const std::uint8_t* packet, std::size_t size, int samples, std::int16_t* pcm);
    // Loss concealment for a missing frame of samples.
    int Conceal(int samples, std::int16_t* pcm);

  private:
    struct OpusDecoderDeleter {
        void operator()(OpusDecoder* d) const;
    };
    explicit VoiceDecoder(OpusDecoder* decoder);
    std::unique_ptr<OpusDecoder, OpusDecoderDeleter> decoder_;
};

// Samples in one Opus packet at 48 kHz; < 0 when it is no valid packet.
int OpusPacketSamples(const std::uint8_t* packet, std::size_t size);

// Encodes a few frames of a tone with the profile and decodes them again; false when either
// side fails or the tone does not come back.
bool CodecSelfTest(const CodecProfile& profile);

}  // namespace qv::audio
