#include "platform/WavePlayer.h"

#include <gtest/gtest.h>

#include <string>

#include "EngineTestSupport.h"

namespace qv {
namespace {

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

struct WaveShape {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 8000;
    std::uint16_t bits = 16;
    std::uint16_t align = 2;
    std::string data = std::string(8, '\x10');
    std::int64_t riffSizeDelta = 0;
    std::int64_t dataSizeDelta = 0;
    bool withFormat = true;
    bool extraChunk = false;
};

std::string MakeWave(const WaveShape& s) {
    std::string body = "WAVE";
    if (s.extraChunk) {
        body += "LIST";
        PutLe(body, 3, 4);
        body += "abc";
        body.push_back('\0');  // padding to an even size
    }
    if (s.withFormat) {
        body += "fmt ";
        PutLe(body, 16, 4);
        PutLe(body, s.tag, 2);
        PutLe(body, s.channels, 2);
        PutLe(body, s.rate, 4);
        PutLe(body, s.rate * s.align, 4);
        PutLe(body, s.align, 2);
        PutLe(body, s.bits, 2);
    }
    body += "data";
    PutLe(body, static_cast<std::uint32_t>(s.data.size() + s.dataSizeDelta), 4);
    body += s.data;
    std::string file = "RIFF";
    PutLe(file, static_cast<std::uint32_t>(body.size() + s.riffSizeDelta), 4);
    return file + body;
}

TEST(WaveParseTest, ReadsPcmFormatAndSamples) {
    WaveShape shape;
    shape.extraChunk = true;
    std::optional<PcmWave> wave = ParsePcmWave(MakeWave(shape));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->channels, 1);
    EXPECT_EQ(wave->sampleRate, 8000u);
    EXPECT_EQ(wave->bitsPerSample, 16);
    EXPECT_EQ(wave->samples, shape.data);
}

TEST(WaveParseTest, KeepsWholeFramesOnly) {
    WaveShape shape;
    shape.channels = 2;
    shape.align = 4;
    shape.data = std::string(10, '\x01');
    std::optional<PcmWave> wave = ParsePcmWave(MakeWave(shape));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->samples.size(), 8u);
}

struct BadCase {
    const char* name;
    std::function<std::string()> bytes;
};

class WaveParseRefusesTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(WaveParseRefusesTest, Refuses) {
    EXPECT_FALSE(ParsePcmWave(GetParam().bytes()));
}

WaveShape With(std::function<void(WaveShape&)> change) {
    WaveShape s;
    change(s);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveParseRefusesTest,
    ::testing::Values(
        BadCase{"empty", [] { return std::string(); }},
        BadCase{"notRiff", [] { return std::string("RIFX\0\0\0\0WAVE", 12); }},
        BadCase{"truncatedHeader", [] { return MakeWave(WaveShape{}).substr(0, 20); }},
        BadCase{"compressed", [] { return MakeWave(With([](WaveShape& s) { s.tag = 2; })); }},
        BadCase{"threeChannels",
                [] { return MakeWave(With([](WaveShape& s) { s.channels = 3; })); }},
        BadCase{"24Bits", [] { return MakeWave(With([](WaveShape& s) { s.bits = 24; })); }},
        BadCase{"wrongAlignment", [] { return MakeWave(With([](WaveShape& s) { s.align = 3; })); }},
        BadCase{"zeroRate", [] { return MakeWave(With([](WaveShape& s) { s.rate = 0; })); }},
        BadCase{"noFormat",
                [] { return MakeWave(With([](WaveShape& s) { s.withFormat = false; })); }},
        BadCase{"dataBeyondFile",
                [] { return MakeWave(With([](WaveShape& s) { s.dataSizeDelta = 1000; })); }},
        BadCase{"dataBeyondRiff",
                [] { return MakeWave(With([](WaveShape& s) { s.riffSizeDelta = -4; })); }},
        BadCase{"hugeChunk",
                [] { return MakeWave(With([](WaveShape& s) { s.dataSizeDelta = 0x7FFFFFF0; })); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaveVolumeTest, ScalesAroundSilence) {
    PcmWave sixteen{1, 8000, 16, std::string("\x00\x40\x00\xC0", 4)};  // +16384, -16384
    ScalePcmVolume(sixteen, 50);
    EXPECT_EQ(sixteen.samples, std::string("\x00\x20\x00\xE0", 4));

    PcmWave eight{1, 8000, 8, std::string("\xFF\x00\x80", 3)};
    ScalePcmVolume(eight, 0);
    EXPECT_EQ(eight.samples, std::string("\x80\x80\x80", 3));

    PcmWave loud{1, 8000, 8, std::string("\xFF", 1)};
    ScalePcmVolume(loud, 250);  // clamped to 100: unchanged
    EXPECT_EQ(loud.samples, std::string("\xFF", 1));
}

// This machine has no sound card: playing must stay quiet and leave nothing running.
TEST(AlsaWavePlayerTest, PlaysSilentlyWithoutDeviceAndStops) {
    test::TempFolder folder;
    const std::string good = folder.Write("good.wav", MakeWave(WaveShape{}));
    const std::string bad = folder.Write("bad.wav", "not a wave");
    const int before = test::ThreadCount();
    {
        std::unique_ptr<WavePlayer> player = MakeAlsaWavePlayer();
        player->Play(good, 100);
        player->Play(bad, 100);
        player->Play(folder.File("missing.wav"), 100);
        player->Play(good, 40);
        player->Stop();
        EXPECT_EQ(test::ThreadCount(), before);
        player->Play(good, 100);
    }
    EXPECT_EQ(test::ThreadCount(), before);
}

}  // namespace
}  // namespace qv
