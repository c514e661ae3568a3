#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "OutputMixer.h"
#include "Sound.h"
#include "ToneBursts.h"
#include "support/TempFolder.h"

namespace qv::audio {
namespace {

std::unique_ptr<Sound> Constant(std::int16_t value, std::size_t samples, Sound::Kind kind) {
    auto sound = std::make_unique<Sound>();
    sound->kind = kind;
    sound->samples.assign(samples, value);
    return sound;
}

std::array<std::int16_t, kPeriodSamples> Render(OutputMixer& mixer) {
    std::array<std::int16_t, kPeriodSamples> out{};
    mixer.Render(out);
    return out;
}

TEST(OutputMixer, SumsVoicesAndSoundsAndClipsTo16Bits) {
    OutputMixer mixer;
    std::unique_ptr<Sound> a = Constant(1000, 2000, Sound::Kind::kFile);
    std::unique_ptr<Sound> b = Constant(30000, 2000, Sound::Kind::kWave);
    ASSERT_TRUE(mixer.AddSound(a.get()));
    mixer.Begin();
    std::array<std::int16_t, kPeriodSamples> voice{};
    voice.fill(200);
    mixer.Add(voice, 0.5f);
    mixer.MixSounds();
    EXPECT_EQ(Render(mixer)[0], 1100);
    ASSERT_TRUE(mixer.AddSound(b.get()));
    mixer.Begin();
    mixer.MixSounds();
    EXPECT_EQ(Render(mixer)[10], 31000);
    mixer.Begin();
    mixer.Add(voice, 20.0f);
    mixer.MixSounds();
    EXPECT_EQ(Render(mixer)[10], 32767);
}

TEST(OutputMixer, PausedSoundsWaitStoppedAndFinishedOnesAreReleased) {
    OutputMixer mixer;
    std::unique_ptr<Sound> file = Constant(100, 1000, Sound::Kind::kFile);
    std::unique_ptr<Sound> wave = Constant(7, 100, Sound::Kind::kWave);
    mixer.AddSound(file.get());
    mixer.AddSound(wave.get());
    mixer.Begin();
    mixer.MixSounds();
    // The wave (100 samples) ended inside the first period.
    EXPECT_EQ(Render(mixer)[0], 107);
    EXPECT_EQ(Render(mixer)[200], 100);
    EXPECT_TRUE(wave->finished.load());
    EXPECT_TRUE(wave->released.load());
    EXPECT_EQ(file->position, static_cast<std::size_t>(kPeriodSamples));

    file->paused = true;
    mixer.Begin();
    mixer.MixSounds();
    EXPECT_EQ(Render(mixer)[0], 0);
    EXPECT_EQ(file->position, static_cast<std::size_t>(kPeriodSamples));
    EXPECT_FALSE(file->released.load());

    file->paused = false;
    mixer.Begin();
    mixer.MixSounds();
    EXPECT_EQ(Render(mixer)[479], 100);
    EXPECT_FALSE(file->finished.load());
    mixer.Begin();
    mixer.MixSounds();
    EXPECT_EQ(Render(mixer)[39], 100);
    EXPECT_EQ(Render(mixer)[40], 0) << "the file ended 40 samples in";
    EXPECT_TRUE(file->finished.load());
    EXPECT_TRUE(file->released.load());
    EXPECT_FALSE(mixer.HasSounds());

    std::unique_ptr<Sound> stopped = Constant(5, 10000, Sound::Kind::kFile);
    mixer.AddSound(stopped.get());
    stopped->stopRequested = true;
    mixer.Begin();
    mixer.MixSounds();
    EXPECT_EQ(Render(mixer)[0], 0);
    EXPECT_TRUE(stopped->released.load());
    EXPECT_FALSE(stopped->finished.load());
}

TEST(OutputMixer, RefusesBeyondItsSlotsAndReleasesTheRefused) {
    OutputMixer mixer;
    std::vector<std::unique_ptr<Sound>> sounds;
    for (std::size_t i = 0; i <= OutputMixer::kMaxSounds; ++i) {
        sounds.push_back(Constant(1, 100000, Sound::Kind::kWave));
    }
    for (std::size_t i = 0; i < OutputMixer::kMaxSounds; ++i) {
        EXPECT_TRUE(mixer.AddSound(sounds[i].get()));
    }
    EXPECT_FALSE(mixer.AddSound(sounds.back().get()));
    EXPECT_TRUE(sounds.back()->released.load());
    mixer.ReleaseAll();
    for (const auto& s : sounds) {
        EXPECT_TRUE(s->released.load());
    }
}

TEST(Sound, LoadsAnyPcmWaveAs48kMonoAtItsVolume) {
    qv::test::TempFolder folder;
    testing::ToneOptions options;
    options.sampleRate = 16000;
    options.noiseDbfs = -200;
    ASSERT_TRUE(testing::WriteToneBursts(folder.File("a.wav"), {{0, 400, 500}}, 500, options));
    std::unique_ptr<Sound> full = LoadSound(folder.File("a.wav"), 100, Sound::Kind::kFile);
    std::unique_ptr<Sound> half = LoadSound(folder.File("a.wav"), 50, Sound::Kind::kFile);
    ASSERT_TRUE(full && half);
    EXPECT_NEAR(static_cast<double>(full->samples.size()), 24000.0, 100.0);
    int peakFull = 0;
    int peakHalf = 0;
    for (std::size_t i = 0; i < full->samples.size() && i < half->samples.size(); ++i) {
        peakFull = std::max(peakFull, std::abs(static_cast<int>(full->samples[i])));
        peakHalf = std::max(peakHalf, std::abs(static_cast<int>(half->samples[i])));
    }
    EXPECT_NEAR(peakHalf * 2, peakFull, peakFull / 20);
    EXPECT_FALSE(LoadSound(folder.File("missing.wav"), 100, Sound::Kind::kFile));
    folder.Write("junk.wav", "RIFF....WAVEjunk");
    EXPECT_FALSE(LoadSound(folder.File("junk.wav"), 100, Sound::Kind::kWave));
}

}  // namespace
}  // namespace qv::audio
