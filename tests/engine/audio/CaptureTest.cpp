#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "CapturePath.h"
#include "SquelchGate.h"
#include "VoiceActivity.h"

namespace qv::audio {
namespace {

struct GateStep {
    double levelDbfs;
    bool open;
};

struct GateCase {
    const char* name;
    std::int32_t squelch;
    std::vector<GateStep> steps;  // 10 ms each
};

TEST(SquelchGate, OpensAboveTheThresholdAndClosesAfterTheHangover) {
    std::vector<GateStep> hangover = {{-30, true}};
    for (int i = 0; i < 30; ++i) {
        hangover.push_back({-80, true});  // 300 ms of hangover
    }
    hangover.push_back({-80, false});
    hangover.push_back({-30, true});
    const GateCase cases[] = {
        {"no gate", 0, {{-120, true}, {-90, true}, {0, true}}},
        {"9 is -43 dBFS", 9, {{-44, false}, {-43, true}, {-60, true}}},
        {"1 is -67 dBFS", 1, {{-68, false}, {-66, true}}},
        {"20 is -10 dBFS", 20, {{-11, false}, {-30, false}, {-9, true}}},
        {"hangover", 9, hangover},
    };
    for (const GateCase& c : cases) {
        SquelchGate gate;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(gate.Update(c.steps[i].levelDbfs, c.squelch, 10), c.steps[i].open)
                << c.name << " step " << i;
        }
    }
    EXPECT_DOUBLE_EQ(SquelchGate::ThresholdDbfs(9), -43.0);
}

TEST(SquelchGate, LevelsAndTheirByte) {
    std::array<std::int16_t, 480> silence{};
    EXPECT_EQ(LevelByte(FrameLevelDbfs(silence.data(), 480)), 127);
    std::array<std::int16_t, 480> full{};
    full.fill(32767);
    EXPECT_EQ(LevelByte(FrameLevelDbfs(full.data(), 480)), 0);
    std::array<std::int16_t, 480> quiet{};
    quiet.fill(328);  // -40 dBFS
    EXPECT_EQ(LevelByte(FrameLevelDbfs(quiet.data(), 480)), 40);
}

// A period of a loud tone or of silence.
std::array<std::int16_t, kPeriodSamples> Period(int index, bool loud) {
    std::array<std::int16_t, kPeriodSamples> pcm{};
    if (loud) {
        for (int i = 0; i < kPeriodSamples; ++i) {
            const int n = index * kPeriodSamples + i;
            pcm[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                8000 * std::sin(2 * std::numbers::pi * 600.0 * n / 48000));
        }
    }
    return pcm;
}

struct TransmitCase {
    const char* name;
    bool talk;
    bool conversation;
    std::int32_t squelch;
    bool loud;
    bool transmits;
};

TEST(CapturePath, TransmitsOnlyWithTalkAConversationAndAnOpenGate) {
    const TransmitCase cases[] = {
        {"talk in a conversation, no gate", true, true, 0, false, true},
        {"no talk", false, true, 0, true, false},
        {"held or no call", true, false, 0, true, false},
        {"gate closed by quiet", true, true, 15, false, false},
        {"gate open by voice", true, true, 15, true, true},
    };
    for (const TransmitCase& c : cases) {
        std::unique_ptr<CapturePath> path = CapturePath::Create();
        ASSERT_TRUE(path);
        path->SetEncoder(VoiceEncoder::Create(kCodecProfiles[0]));
        CaptureControls controls;
        controls.talk = c.talk;
        controls.conversation = c.conversation;
        controls.squelch = c.squelch;
        int frames = 0;
        bool transmitting = false;
        const std::function<void(const EncodedFrame&)> sink = [&](const EncodedFrame&) {
            ++frames;
        };
        for (int k = 0; k < 20; ++k) {
            std::array<std::int16_t, kPeriodSamples> pcm = Period(k, c.loud);
            path->Clean(pcm, {}, false);
            transmitting = path->Transmit(pcm, controls, k * 10'000'000, sink);
        }
        EXPECT_EQ(transmitting, c.transmits) << c.name;
        EXPECT_EQ(frames > 0, c.transmits) << c.name;
    }
}

TEST(CapturePath, ATalkspurtStartsWithPreRollAndCarriesTimestamps) {
    std::unique_ptr<CapturePath> path = CapturePath::Create();
    ASSERT_TRUE(path);
    path->SetEncoder(VoiceEncoder::Create(kCodecProfiles[0]));
    CaptureControls controls;
    controls.conversation = true;
    std::vector<EncodedFrame> frames;
    const std::function<void(const EncodedFrame&)> sink = [&](const EncodedFrame& f) {
        frames.push_back(f);
    };
    for (int k = 0; k < 10; ++k) {
        controls.talk = k >= 5;
        std::array<std::int16_t, kPeriodSamples> pcm = Period(k, true);
        path->Clean(pcm, {}, false);
        path->Transmit(pcm, controls, (k + 1) * 10'000'000, sink);
    }
    // Talk from period 5: period 4 goes first as pre-roll, then 5 to 9.
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_TRUE(frames[0].talkspurtStart);
    EXPECT_EQ(frames[0].timestamp, 4u * kPeriodSamples);
    EXPECT_FALSE(frames[1].talkspurtStart);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].timestamp, frames[i - 1].timestamp + kPeriodSamples);
        EXPECT_LT(frames[i].level, 40);
    }
    EXPECT_EQ(frames.back().captureNs, 100'000'000);
}

TEST(CapturePath, TwentyMillisecondFramesForForums) {
    std::unique_ptr<CapturePath> path = CapturePath::Create();
    ASSERT_TRUE(path);
    path->SetEncoder(VoiceEncoder::Create(kCodecProfiles[0]));
    CaptureControls controls;
    controls.conversation = true;
    controls.talk = true;
    controls.frameMs = 20;
    std::vector<std::uint32_t> stamps;
    const std::function<void(const EncodedFrame&)> sink = [&](const EncodedFrame& f) {
        EXPECT_EQ(OpusPacketSamples(f.payload.data(), f.payload.size()), 960);
        stamps.push_back(f.timestamp);
    };
    for (int k = 0; k < 9; ++k) {
        std::array<std::int16_t, kPeriodSamples> pcm = Period(k, true);
        path->Clean(pcm, {}, false);
        path->Transmit(pcm, controls, k * 10'000'000, sink);
    }
    // Pre-roll + period 0, then 1+2, 3+4, 5+6, 7+8.
    ASSERT_EQ(stamps.size(), 5u);
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        EXPECT_EQ(stamps[i] - stamps[i - 1], 960u);
    }
}

TEST(CapturePath, SpeakersEchoIsCancelledWhenTheUserUsesSpeakers) {
    // The microphone hears only the speaker (half as loud): with echo cancellation on, what is
    // left after it has settled is far below what comes through without it.
    auto residual = [](bool usingSpeakers) {
        std::unique_ptr<CapturePath> path = CapturePath::Create();
        std::uint32_t seed = 12345;
        double level = 0;
        for (int k = 0; k < 400; ++k) {
            std::array<std::int16_t, kPeriodSamples> played{};
            std::array<std::int16_t, kPeriodSamples> heard{};
            for (int i = 0; i < kPeriodSamples; ++i) {
                seed = seed * 1103515245u + 12345u;
                const auto v =
                    static_cast<std::int16_t>(static_cast<int>((seed >> 16) & 0x3FFF) - 8192);
                played[static_cast<std::size_t>(i)] = v;
                heard[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(v / 2);
            }
            path->Clean(heard, played, usingSpeakers);
            if (k >= 300) {
                level += path->LevelDbfs() / 100;
            }
        }
        return level;
    };
    const double without = residual(false);
    const double with = residual(true);
    EXPECT_LT(with, without - 10) << "with " << with << " dBFS, without " << without << " dBFS";
}

TEST(CapturePath, ASlowLinkSendsSmallerFrames) {
    auto averageSize = [](bool slowLink) {
        std::unique_ptr<CapturePath> path = CapturePath::Create();
        path->SetEncoder(VoiceEncoder::Create(kCodecProfiles[0]));
        CaptureControls controls;
        controls.conversation = true;
        controls.talk = true;
        controls.slowLink = slowLink;
        std::size_t bytes = 0;
        int frames = 0;
        const std::function<void(const EncodedFrame&)> sink = [&](const EncodedFrame& f) {
            bytes += f.payload.size();
            ++frames;
        };
        for (int k = 0; k < 100; ++k) {
            std::array<std::int16_t, kPeriodSamples> pcm = Period(k, true);
            path->Clean(pcm, {}, false);
            path->Transmit(pcm, controls, k * 10'000'000, sink);
        }
        return static_cast<double>(bytes) / frames;
    };
    EXPECT_LT(averageSize(true), averageSize(false) * 0.75);
}

TEST(CapturePath, ANewFrameLengthTakesEffectAtAFrameBoundary) {
    std::unique_ptr<CapturePath> path = CapturePath::Create();
    ASSERT_TRUE(path);
    path->SetEncoder(VoiceEncoder::Create(kCodecProfiles[0]));
    CaptureControls controls;
    controls.conversation = true;
    controls.talk = true;
    std::vector<int> lengths;
    const std::function<void(const EncodedFrame&)> sink = [&](const EncodedFrame& f) {
        lengths.push_back(OpusPacketSamples(f.payload.data(), f.payload.size()));
    };
    for (int k = 0; k < 10; ++k) {
        controls.frameMs = k < 4 ? 10 : 20;
        std::array<std::int16_t, kPeriodSamples> pcm = Period(k, true);
        path->Clean(pcm, {}, false);
        path->Transmit(pcm, controls, k * 10'000'000, sink);
    }
    // Pre-roll and periods 0 to 3 at 10 ms, then 4+5, 6+7, 8+9 at 20 ms.
    EXPECT_EQ(lengths, (std::vector<int>{480, 480, 480, 480, 480, 960, 960, 960}));
}

TEST(VoiceActivity, SpeechStandsAboveTheNoiseFloorAndSteadyNoiseDoesNot) {
    VoiceActivity vad;
    int voiced = 0;
    // A room at -60 dBFS: a second to learn it.
    for (int k = 0; k < 100; ++k) {
        vad.Update(-60 + (k % 3));
    }
    for (int k = 0; k < 50; ++k) {
        voiced += vad.Update(-60) ? 1 : 0;
    }
    EXPECT_EQ(voiced, 0);
    // A word at -20 dBFS, then the room again: speech, and 200 ms of hangover after it.
    for (int k = 0; k < 30; ++k) {
        EXPECT_TRUE(vad.Update(-20)) << k;
    }
    for (int k = 0; k < 20; ++k) {
        EXPECT_TRUE(vad.Update(-60)) << k;
    }
    EXPECT_FALSE(vad.Update(-60));
    // A fan switched on at -30 dBFS: loud, but no speech once it has lasted two seconds.
    voiced = 0;
    for (int k = 0; k < 300; ++k) {
        const bool v = vad.Update(-30);
        if (k >= 270) {
            voiced += v ? 1 : 0;
        }
    }
    EXPECT_EQ(voiced, 0);
    // Digital silence and a whisper below -65 dBFS are never speech.
    VoiceActivity quiet;
    for (int k = 0; k < 100; ++k) {
        EXPECT_FALSE(quiet.Update(k % 2 == 0 ? -120 : -70)) << k;
    }
}

}  // namespace
}  // namespace qv::audio
