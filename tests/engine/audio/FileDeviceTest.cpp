#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "AudioDevice.h"
#include "FakeClock.h"
#include "ToneBursts.h"
#include "support/TempFolder.h"

namespace qv::audio {
namespace {

using testing::FakeClock;

constexpr std::int64_t kMs = 1'000'000;

// A capture file whose sample n holds n % 30000, so a test sees which samples it was given.
void WriteRamp(const std::string& path, int samples) {
    std::vector<std::int16_t> ramp(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        ramp[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 30000);
    }
    std::string bytes = "RIFF";
    auto le32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto le16 = [&](std::uint16_t v) {
        bytes.push_back(static_cast<char>(v & 0xFF));
        bytes.push_back(static_cast<char>(v >> 8));
    };
    le32(36 + 2 * static_cast<std::uint32_t>(samples));
    bytes += "WAVEfmt ";
    le32(16);
    le16(1);
    le16(1);
    le32(48000);
    le32(96000);
    le16(2);
    le16(16);
    bytes += "data";
    le32(2 * static_cast<std::uint32_t>(samples));
    for (std::int16_t s : ramp)
        le16(static_cast<std::uint16_t>(s));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

TEST(FileAudioDevice, PacesByTheClockAndSharesOneTimelineForBothFiles) {
    qv::test::TempFolder folder;
    WriteRamp(folder.File("in.wav"), 96000);
    auto clock = std::make_shared<FakeClock>(5'000 * kMs);
    std::unique_ptr<AudioDevice> device =
        MakeFileAudioDevice(folder.File("in.wav"), folder.File("out.wav"), clock);
    ASSERT_EQ(device->Open(), 0);
    EXPECT_EQ(device->EpochNs(), 5'000 * kMs);
    std::array<std::int16_t, 480> capture{};
    std::array<std::int16_t, 480> playback{};
    for (int k = 0; k < 5; ++k) {
        playback.fill(static_cast<std::int16_t>(100 + k));
        std::int64_t end = 0;
        ASSERT_TRUE(device->Exchange(capture, playback, end));
        // Period k ends 10 ms after the one before, and the clock is there.
        EXPECT_EQ(end, 5'000 * kMs + (k + 1) * 10 * kMs);
        EXPECT_EQ(clock->NowNs(), end);
        EXPECT_EQ(capture[0], k * 480);
        EXPECT_EQ(capture[479], k * 480 + 479);
    }
    // Standby for a second: the microphone ran on, the speaker played silence.
    device->Close();
    clock->Advance(1'000 * kMs);
    ASSERT_EQ(device->Open(), 0);
    std::int64_t end = 0;
    playback.fill(7);
    ASSERT_TRUE(device->Exchange(capture, playback, end));
    const std::int64_t k = (end - 5'000 * kMs) / (10 * kMs) - 1;
    EXPECT_EQ(k, 105);
    EXPECT_EQ(capture[0], static_cast<std::int16_t>(105 * 480 % 30000));
    device.reset();

    const std::optional<testing::MonoWave> out = testing::ReadMonoWave(folder.File("out.wav"));
    ASSERT_TRUE(out);
    // Sample n of the playback is heard at epoch + n / 48 kHz: one period of buffer first.
    ASSERT_EQ(out->samples.size(), 107u * 480);
    EXPECT_EQ(out->samples[0], 0);
    EXPECT_EQ(out->samples[480], 100);
    EXPECT_EQ(out->samples[5 * 480 - 1], 103);
    EXPECT_EQ(out->samples[5 * 480], 104);
    EXPECT_EQ(out->samples[6 * 480], 0);
    EXPECT_EQ(out->samples[106 * 480], 7);
}

TEST(FileAudioDevice, SilenceAfterTheCaptureFileAndSkipsWhenFarBehind) {
    qv::test::TempFolder folder;
    WriteRamp(folder.File("in.wav"), 700);
    auto clock = std::make_shared<FakeClock>();
    std::unique_ptr<AudioDevice> device =
        MakeFileAudioDevice(folder.File("in.wav"), folder.File("out.wav"), clock);
    ASSERT_EQ(device->Open(), 0);
    std::array<std::int16_t, 480> capture{};
    std::array<std::int16_t, 480> playback{};
    std::int64_t end = 0;
    ASSERT_TRUE(device->Exchange(capture, playback, end));
    ASSERT_TRUE(device->Exchange(capture, playback, end));
    EXPECT_EQ(capture[219], 699);
    EXPECT_EQ(capture[220], 0);
    // The thread stalled for a second: it resumes at the present instead of racing.
    clock->Advance(1'000 * kMs);
    const std::int64_t before = clock->NowNs();
    ASSERT_TRUE(device->Exchange(capture, playback, end));
    EXPECT_GE(end, before);
    EXPECT_LE(end, before + 10 * kMs);
}

TEST(FileAudioDevice, ReportsWhatCannotBeOpened) {
    qv::test::TempFolder folder;
    WriteRamp(folder.File("in.wav"), 480);
    auto clock = std::make_shared<FakeClock>();
    std::unique_ptr<AudioDevice> noCapture =
        MakeFileAudioDevice(folder.File("missing.wav"), folder.File("out.wav"), clock);
    EXPECT_EQ(noCapture->Open(), 3);
    EXPECT_NE(noCapture->LastError(), "");
    std::unique_ptr<AudioDevice> noPlayback =
        MakeFileAudioDevice(folder.File("in.wav"), "/nonexistent/out.wav", clock);
    EXPECT_EQ(noPlayback->Open(), 1);
}

TEST(NullAudioDevice, SilenceAtTheClocksPace) {
    auto clock = std::make_shared<FakeClock>(0);
    std::unique_ptr<AudioDevice> device = MakeNullAudioDevice(clock);
    ASSERT_EQ(device->Open(), 0);
    std::array<std::int16_t, 480> capture{};
    capture.fill(5);
    std::array<std::int16_t, 480> playback{};
    std::int64_t end = 0;
    ASSERT_TRUE(device->Exchange(capture, playback, end));
    EXPECT_EQ(end, 10 * kMs);
    EXPECT_EQ(capture[0], 0);
    ASSERT_TRUE(device->Exchange(capture, playback, end));
    EXPECT_EQ(end, 20 * kMs);
}

TEST(AudioDeviceFactory, TheChoiceMakesTheDevice) {
    auto clock = std::make_shared<FakeClock>(0);
    AudioDeviceChoice null;
    null.kind = AudioDeviceChoice::Kind::kNull;
    EXPECT_EQ(MakeAudioDevice(null, clock)->Open(), 0);
    AudioDeviceChoice file;
    file.kind = AudioDeviceChoice::Kind::kFile;
    file.capturePath = "/nonexistent/in.wav";
    file.playbackPath = "/nonexistent/out.wav";
    EXPECT_EQ(MakeAudioDevice(file, clock)->Open(), 3);
}

}  // namespace
}  // namespace qv::audio
