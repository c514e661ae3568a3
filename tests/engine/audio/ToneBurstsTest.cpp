#include "ToneBursts.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/TempFolder.h"

namespace qv::audio::testing {
namespace {

TEST(ToneBursts, EveryBurstIsFoundAtItsOnsetWithItsFrequency) {
    qv::test::TempFolder folder;
    const std::vector<ToneBurst> bursts = {
        {100, 500, 60}, {400, 800, 60}, {700, 1200, 60}, {1000, 2500, 60}, {1300, 4000, 60}};
    const std::string path = folder.File("bursts.wav");
    ASSERT_TRUE(WriteToneBursts(path, bursts, 1600));
    const std::vector<FoundBurst> found = FindBursts(path, {500, 800, 1200, 2500, 4000});
    ASSERT_EQ(found.size(), bursts.size());
    for (std::size_t i = 0; i < bursts.size(); ++i) {
        EXPECT_EQ(found[i].freqHz, bursts[i].freqHz) << i;
        EXPECT_NEAR(found[i].onsetMs, bursts[i].startMs, 1.5) << i;
        EXPECT_NEAR(found[i].lengthMs, bursts[i].lengthMs, 3) << i;
    }
}

TEST(ToneBursts, ABurstOfAnUnexpectedFrequencyIsNotReported) {
    const std::vector<std::int16_t> samples =
        MakeToneBursts({{100, 700, 60}, {300, 1500, 60}}, 500);
    MonoWave wave{48000, samples};
    const std::vector<FoundBurst> found = FindBursts(wave, {1500, 3000});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].freqHz, 1500);
}

TEST(ToneBursts, ADelayedCopyIsFoundLater) {
    std::vector<std::int16_t> samples = MakeToneBursts({{100, 1000, 60}}, 400);
    samples.insert(samples.begin(), 48 * 37, 0);  // 37 ms later
    const std::vector<FoundBurst> found = FindBursts(MonoWave{48000, samples}, {1000});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0].onsetMs, 137, 1.5);
}

TEST(ToneBursts, SilenceOrAMissingFileHasNoBursts) {
    EXPECT_TRUE(FindBursts(MonoWave{48000, std::vector<std::int16_t>(48000, 0)}, {1000}).empty());
    EXPECT_TRUE(FindBursts("/nonexistent/file.wav", {1000}).empty());
    EXPECT_TRUE(FindBursts(MonoWave{48000, {}}, {1000}).empty());
}

TEST(ToneBursts, TheWrittenFileIsMono16BitAtTheRate) {
    qv::test::TempFolder folder;
    ToneOptions options;
    options.sampleRate = 16000;
    ASSERT_TRUE(WriteToneBursts(folder.File("a.wav"), {{0, 440, 100}}, 250, options));
    const std::optional<MonoWave> wave = ReadMonoWave(folder.File("a.wav"));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->sampleRate, 16000);
    EXPECT_EQ(wave->samples.size(), 4000u);
}

TEST(ToneBursts, ABurstCutByALostStretchIsFoundOnce) {
    std::vector<std::int16_t> samples = MakeToneBursts({{100, 1000, 120}, {400, 1000, 60}}, 600);
    std::fill(samples.begin() + 48 * 150, samples.begin() + 48 * 180, std::int16_t{0});
    const std::vector<FoundBurst> found = FindBursts(MonoWave{48000, samples}, {1000});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NEAR(found[0].onsetMs, 100, 1.5);
    EXPECT_NEAR(found[0].lengthMs, 120, 3);
    EXPECT_NEAR(found[1].onsetMs, 400, 1.5);
}

}  // namespace
}  // namespace qv::audio::testing
