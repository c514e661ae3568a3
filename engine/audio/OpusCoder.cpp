#include "OpusCoder.h"

#include <opus/opus.h>

#include <array>
#include <cmath>
#include <numbers>

namespace qv::audio {

namespace {

int ToOpusBandwidth(OpusBandwidth bandwidth) {
    switch (bandwidth) {
        case OpusBandwidth::kNarrow:
            return OPUS_BANDWIDTH_NARROWBAND;
        case OpusBandwidth::kMedium:
            return OPUS_BANDWIDTH_MEDIUMBAND;
        case OpusBandwidth::kWide:
            return OPUS_BANDWIDTH_WIDEBAND;
        case OpusBandwidth::kSuperWide:
            return OPUS_BANDWIDTH_SUPERWIDEBAND;
        case OpusBandwidth::kFull:
            return OPUS_BANDWIDTH_FULLBAND;
    }
    return OPUS_BANDWIDTH_WIDEBAND;
}

// Below this the encoder leaves out the FEC data the receivers rely on for single losses.
constexpr int kMinLossPercent = 5;
constexpr int kComplexity = 5;

}  // namespace

void VoiceEncoder::OpusEncoderDeleter::operator()(OpusEncoder* e) const {
    opus_encoder_destroy(e);
}
void VoiceDecoder::OpusDecoderDeleter::operator()(OpusDecoder* d) const {
    opus_decoder_destroy(d);
}

VoiceEncoder::VoiceEncoder(OpusEncoder* encoder, CodecProfile profile)
    : encoder_(encoder), profile_(profile) {}

VoiceEncoder::~VoiceEncoder() = default;

std::unique_ptr<VoiceEncoder> VoiceEncoder::Create(const CodecProfile& profile) {
    int error = OPUS_OK;
    OpusEncoder* raw = opus_encoder_create(kSampleRate, 1, OPUS_APPLICATION_VOIP, &error);
    if (raw == nullptr || error != OPUS_OK) {
        return nullptr;
    }
    std::unique_ptr<VoiceEncoder> encoder(new VoiceEncoder(raw, profile));
    OpusEncoder* e = encoder->encoder_.get();
    if (opus_encoder_ctl(e, OPUS_SET_BITRATE(profile.bitRate)) != OPUS_OK ||
        opus_encoder_ctl(e, OPUS_SET_MAX_BANDWIDTH(ToOpusBandwidth(profile.bandwidth))) !=
            OPUS_OK ||
        opus_encoder_ctl(e, OPUS_SET_INBAND_FEC(1)) != OPUS_OK ||
        opus_encoder_ctl(e, OPUS_SET_DTX(0)) != OPUS_OK ||
        opus_encoder_ctl(e, OPUS_SET_COMPLEXITY(kComplexity)) != OPUS_OK ||
        opus_encoder_ctl(e, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE)) != OPUS_OK) {
        return nullptr;
    }
    encoder->SetPacketLossPercent(0);
    return encoder;
}

void VoiceEncoder::SetSlowLink(bool on) {
    if (on == slowLink_) {
        return;
    }
    slowLink_ = on;
    opus_encoder_ctl(encoder_.get(),
                     OPUS_SET_BITRATE(on ? profile_.slowLinkBitRate : profile_.bitRate));
}

void VoiceEncoder::SetPacketLossPercent(int percent) {
    const int clamped = percent < kMinLossPercent ? kMinLossPercent : (percent > 50 ? 50 : percent);
    if (clamped == lossPercent_) {
        return;
    }
    lossPercent_ = clamped;
    opus_encoder_ctl(encoder_.get(), OPUS_SET_PACKET_LOSS_PERC(clamped));
}

void VoiceEncoder::Reset() {
    opus_encoder_ctl(encoder_.get(), OPUS_RESET_STATE);
}

int VoiceEncoder::Encode(const std::int16_t* pcm, int samples, std::uint8_t* out,
                         std::size_t capacity) {
    return opus_encode(encoder_.get(), pcm, samples, out, static_cast<opus_int32>(capacity));
}

VoiceDecoder::VoiceDecoder(OpusDecoder* decoder) : decoder_(decoder) {}
VoiceDecoder::~VoiceDecoder() = default;

std::unique_ptr<VoiceDecoder> VoiceDecoder::Create() {
    int error = OPUS_OK;
    OpusDecoder* raw = opus_decoder_create(kSampleRate, 1, &error);
    if (raw == nullptr || error != OPUS_OK) {
        return nullptr;
    }
    return std::unique_ptr<VoiceDecoder>(new VoiceDecoder(raw));
}

void VoiceDecoder::Reset() {
    opus_decoder_ctl(decoder_.get(), OPUS_RESET_STATE);
}

int VoiceDecoder::Decode(const std::uint8_t* packet, std::size_t size, std::int16_t* pcm) {
    return opus_decode(decoder_.get(), packet, static_cast<opus_int32>(size), pcm, kMaxFrameSamples,
                       0);
}

int VoiceDecoder::DecodeFec(const std::uint8_t* packet, std::size_t size, int samples,
                            std::int16_t* pcm) {
    return opus_decode(decoder_.get(), packet, static_cast<opus_int32>(size), pcm, samples, 1);
}

int VoiceDecoder::Conceal(int samples, std::int16_t* pcm) {
    return opus_decode(decoder_.get(), nullptr, 0, pcm, samples, 0);
}

int OpusPacketSamples(const std::uint8_t* packet, std::size_t size) {
    if (packet == nullptr || size == 0 || size > kMaxPayloadBytes) {
        return -1;
    }
    return opus_packet_get_nb_samples(packet, static_cast<opus_int32>(size), kSampleRate);
}

bool CodecSelfTest(const CodecProfile& profile) {
    std::unique_ptr<VoiceEncoder> encoder = VoiceEncoder::Create(profile);
    std::unique_ptr<VoiceDecoder> decoder = VoiceDecoder::Create();
    if (!encoder || !decoder) {
        return false;
    }
    // A 1 kHz tone inside every profile's band: after a few frames of warm-up it must come
    // back with most of its energy.
    constexpr int kFrames = 6;
    std::array<std::int16_t, kPeriodSamples> in{};
    std::array<std::int16_t, kMaxFrameSamples> out{};
    std::array<std::uint8_t, kMaxPayloadBytes> packet{};
    double inEnergy = 0;
    double outEnergy = 0;
    for (int frame = 0; frame < kFrames; ++frame) {
        for (int i = 0; i < kPeriodSamples; ++i) {
            const int n = frame * kPeriodSamples + i;
            in[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                8000 * std::sin(2 * std::numbers::pi * 1000.0 * n / kSampleRate));
        }
        const int size = encoder->Encode(in.data(), kPeriodSamples, packet.data(), packet.size());
        if (size <= 0) {
            return false;
        }
        const int decoded =
            decoder->Decode(packet.data(), static_cast<std::size_t>(size), out.data());
        if (decoded != kPeriodSamples) {
            return false;
        }
        if (frame >= kFrames / 2) {
            for (int i = 0; i < kPeriodSamples; ++i) {
                inEnergy += static_cast<double>(in[static_cast<std::size_t>(i)]) *
                            in[static_cast<std::size_t>(i)];
                outEnergy += static_cast<double>(out[static_cast<std::size_t>(i)]) *
                             out[static_cast<std::size_t>(i)];
            }
        }
    }
    return outEnergy > inEnergy * 0.25 && outEnergy < inEnergy * 4;
}

}  // namespace qv::audio
