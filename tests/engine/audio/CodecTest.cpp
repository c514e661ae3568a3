#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <set>

#include "CodecProfiles.h"
#include "OpusCoder.h"

namespace qv::audio {
namespace {

TEST(CodecProfiles, EveryValueFromZeroToSixIsAProfileAndNothingElse) {
    std::set<std::int16_t> seen;
    for (std::int16_t codec = 0; codec <= 6; ++codec) {
        const std::optional<CodecProfile> profile = FindCodecProfile(codec);
        ASSERT_TRUE(profile) << codec;
        EXPECT_EQ(profile->codec, codec);
        EXPECT_GT(profile->bitRate, profile->slowLinkBitRate) << codec;
        EXPECT_GE(profile->slowLinkBitRate, 6000) << codec;
        EXPECT_LE(profile->bitRate, 64000) << codec;
        seen.insert(profile->codec);
    }
    EXPECT_EQ(seen.size(), kCodecProfiles.size());
    for (std::int16_t codec : {-1, 7, 90, 32767}) {
        EXPECT_FALSE(FindCodecProfile(codec)) << codec;
    }
    EXPECT_EQ(FindCodecProfile(kDefaultCodec)->bitRate, 24000);
    EXPECT_EQ(FindCodecProfile(kDefaultCodec)->bandwidth, OpusBandwidth::kWide);
}

TEST(CodecProfiles, EveryProfilePassesTheSelfTest) {
    for (const CodecProfile& profile : kCodecProfiles) {
        EXPECT_TRUE(CodecSelfTest(profile)) << profile.name;
    }
}

std::array<std::int16_t, kPeriodSamples> Tone(int frame, double freq) {
    std::array<std::int16_t, kPeriodSamples> pcm{};
    for (int i = 0; i < kPeriodSamples; ++i) {
        const int n = frame * kPeriodSamples + i;
        pcm[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * freq * n / 48000));
    }
    return pcm;
}

TEST(OpusCoder, FramesOfTenAndTwentyMillisecondsComeBackWholeAndInBudget) {
    for (int samples : {480, 960}) {
        std::unique_ptr<VoiceEncoder> encoder = VoiceEncoder::Create(kCodecProfiles[0]);
        std::unique_ptr<VoiceDecoder> decoder = VoiceDecoder::Create();
        ASSERT_TRUE(encoder && decoder);
        std::array<std::int16_t, 960> in{};
        std::array<std::uint8_t, kMaxPayloadBytes> packet{};
        std::array<std::int16_t, kMaxFrameSamples> out{};
        for (int frame = 0; frame < 10; ++frame) {
            for (int half = 0; half < samples / kPeriodSamples; ++half) {
                const auto tone = Tone(frame * 2 + half, 700);
                std::copy(tone.begin(), tone.end(), in.begin() + half * kPeriodSamples);
            }
            const int size = encoder->Encode(in.data(), samples, packet.data(), packet.size());
            ASSERT_GT(size, 0);
            // 24 kbit/s: 30 bytes per 10 ms, with room for FEC.
            EXPECT_LT(size, samples / 480 * 90) << samples;
            EXPECT_EQ(OpusPacketSamples(packet.data(), static_cast<std::size_t>(size)), samples);
            EXPECT_EQ(decoder->Decode(packet.data(), static_cast<std::size_t>(size), out.data()),
                      samples);
        }
    }
}

TEST(OpusCoder, ALostFrameComesBackFromTheNextPacketsFec) {
    std::unique_ptr<VoiceEncoder> encoder = VoiceEncoder::Create(kCodecProfiles[0]);
    std::unique_ptr<VoiceDecoder> decoder = VoiceDecoder::Create();
    ASSERT_TRUE(encoder && decoder);
    encoder->SetPacketLossPercent(20);
    std::array<std::uint8_t, kMaxPayloadBytes> packet{};
    std::array<std::int16_t, kMaxFrameSamples> out{};
    double fecEnergy = 0;
    for (int frame = 0; frame < 30; ++frame) {
        const auto tone = Tone(frame, 500);
        const int size = encoder->Encode(tone.data(), kPeriodSamples, packet.data(), packet.size());
        ASSERT_GT(size, 0);
        if (frame == 20) {
            continue;  // lost
        }
        if (frame == 21) {
            ASSERT_EQ(decoder->DecodeFec(packet.data(), static_cast<std::size_t>(size),
                                         kPeriodSamples, out.data()),
                      kPeriodSamples);
            for (int i = 0; i < kPeriodSamples; ++i) {
                fecEnergy += static_cast<double>(out[static_cast<std::size_t>(i)]) *
                             out[static_cast<std::size_t>(i)];
            }
        }
        ASSERT_GT(decoder->Decode(packet.data(), static_cast<std::size_t>(size), out.data()), 0);
    }
    // The rebuilt frame carries the tone, not silence.
    EXPECT_GT(std::sqrt(fecEnergy / kPeriodSamples), 1000.0);
}

TEST(OpusCoder, GarbageIsNoPacket) {
    std::unique_ptr<VoiceDecoder> decoder = VoiceDecoder::Create();
    const std::array<std::uint8_t, 3> junk{0xFF, 0xFF, 0xFF};
    EXPECT_LT(OpusPacketSamples(junk.data(), junk.size()), 0);
    EXPECT_LT(OpusPacketSamples(nullptr, 0), 0);
    std::array<std::int16_t, kMaxFrameSamples> out{};
    EXPECT_LT(decoder->Decode(junk.data(), junk.size(), out.data()), 0);
    EXPECT_EQ(decoder->Conceal(kPeriodSamples, out.data()), kPeriodSamples);
}

}  // namespace
}  // namespace qv::audio
