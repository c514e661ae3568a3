#include "platform/Mixer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace qv {
namespace {

struct ScaleCase {
    std::uint32_t minimum;
    std::uint32_t maximum;
    std::uint32_t value;
    std::uint32_t level;
};

TEST(MixerScaling, LevelFromValueTable) {
    const ScaleCase cases[] = {
        {0, 65535, 0, 0},
        {0, 65535, 65535, 65536},
        {0, 65535, 32767, 32767},
        {0, 65535, 1, 1},
        {0, 87, 0, 0},
        {0, 87, 87, 65536},
        {0, 87, 43, 32391},
        {0, 87, 1, 753},
        {10, 110, 10, 0},
        {10, 110, 60, 32768},
        {10, 110, 110, 65536},
        {10, 110, 35, 16384},
        {0, 65536, 65536, 65536},
        {0, 65536, 12345, 12345},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(MixerLevelFromValue(c.value, c.minimum, c.maximum), c.level)
            << c.minimum << ".." << c.maximum << " value " << c.value;
    }
}

TEST(MixerScaling, ValueFromLevelTable) {
    const ScaleCase cases[] = {
        {0, 65535, 0, 0},         {0, 65535, 65535, 65536},
        {0, 65535, 32767, 32768}, {0, 87, 0, 0},
        {0, 87, 87, 65536},       {0, 87, 43, 32768},
        {0, 87, 86, 65535},       {10, 110, 10, 0},
        {10, 110, 60, 32768},     {10, 110, 110, 65536},
        {10, 110, 35, 16384},     {0, 65536, 65536, 65536},
        {0, 65536, 12345, 12345},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(MixerValueFromLevel(c.level, c.minimum, c.maximum), c.value)
            << c.minimum << ".." << c.maximum << " level " << c.level;
    }
}

TEST(MixerScaling, EmptyOrInvertedRangeDoesNotDivide) {
    EXPECT_EQ(MixerLevelFromValue(5, 5, 5), 0u);
    EXPECT_EQ(MixerLevelFromValue(0, 0, 0), 0u);
    EXPECT_EQ(MixerLevelFromValue(7, 9, 3), 0u);
    EXPECT_EQ(MixerValueFromLevel(65536, 5, 5), 5u);
    EXPECT_EQ(MixerValueFromLevel(0, 0, 0), 0u);
    EXPECT_EQ(MixerValueFromLevel(32768, 9, 3), 9u);
}

TEST(MixerScaling, FullScaleRoundTripsAtTopOfRange) {
    const std::uint32_t level = MixerLevelFromValue(65535, 0, 65535);
    EXPECT_EQ(level, 65536u);
    EXPECT_EQ(MixerValueFromLevel(level, 0, 65535), 65535u);
}

TEST(MixerScaling, MatchesThirtyTwoBitFormulaWhereItDoesNotWrap) {
    const std::uint32_t ranges[][2] = {{0, 87}, {0, 100}, {10, 110}, {0, 31}, {3, 65535}};
    for (const auto& r : ranges) {
        const std::uint32_t minimum = r[0];
        const std::uint32_t maximum = r[1];
        for (std::uint32_t value = minimum; value <= maximum; ++value) {
            const std::uint32_t expected = ((value - minimum) * 65536u) / (maximum - minimum);
            ASSERT_EQ(MixerLevelFromValue(value, minimum, maximum), expected);
        }
        for (std::uint32_t level = 0; level <= 65536; level += 97) {
            const std::uint32_t expected = minimum + (((maximum - minimum) * level) >> 16);
            ASSERT_EQ(MixerValueFromLevel(level, minimum, maximum), expected);
        }
    }
}

TEST(MixerScaling, WideRangeDoesNotWrap) {
    EXPECT_EQ(MixerLevelFromValue(0x80000000u, 0, 0xFFFFFFFFu), 32768u);
    EXPECT_EQ(MixerLevelFromValue(0xFFFFFFFFu, 0, 0xFFFFFFFFu), 65536u);
    EXPECT_EQ(MixerValueFromLevel(65536, 0, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(MixerValueFromLevel(32768, 0, 0xFFFFFFFFu), 0x7FFFFFFFu);
}

constexpr MixerControl kAllControls[] = {MixerControl::MasterVolume, MixerControl::WaveVolume,
                                         MixerControl::MicVolume, MixerControl::MicOnOff};

TEST(NullMixer, EveryControlIsMissing) {
    auto mixer = MakeNullMixer();
    ASSERT_NE(mixer, nullptr);
    for (MixerControl control : kAllControls) {
        EXPECT_EQ(mixer->GetLevel(control), kMixerNotFound);
        mixer->SetLevel(control, 32768);
        EXPECT_EQ(mixer->GetLevel(control), kMixerNotFound);
        EXPECT_TRUE(mixer->ControlName(control).empty());
    }
}

// Sets QUORVANE_MIXER for one test and puts the previous value back.
class ScopedMixerEnv {
  public:
    explicit ScopedMixerEnv(const char* value) {
        if (const char* old = std::getenv("QUORVANE_MIXER")) {
            old_ = old;
        }
        setenv("QUORVANE_MIXER", value, 1);
    }
    ~ScopedMixerEnv() {
        if (old_) {
            setenv("QUORVANE_MIXER", old_->c_str(), 1);
        } else {
            unsetenv("QUORVANE_MIXER");
        }
    }
    ScopedMixerEnv(const ScopedMixerEnv&) = delete;
    ScopedMixerEnv& operator=(const ScopedMixerEnv&) = delete;

  private:
    std::optional<std::string> old_;
};

TEST(MakeMixer, EnvironmentForcesNullMixer) {
    const ScopedMixerEnv env("null");
    auto mixer = MakeMixer();
    ASSERT_NE(mixer, nullptr);
    for (MixerControl control : kAllControls) {
        EXPECT_EQ(mixer->GetLevel(control), kMixerNotFound);
        EXPECT_TRUE(mixer->ControlName(control).empty());
    }
}

TEST(MakeMixer, AlwaysReturnsAMixer) {
    const ScopedMixerEnv env("");
    auto mixer = MakeMixer();
    ASSERT_NE(mixer, nullptr);
    for (MixerControl control : kAllControls) {
        (void)mixer->GetLevel(control);
        (void)mixer->ControlName(control);
    }
}

// The machine may or may not have a sound card; either outcome is fine, but a mixer that
// opened must survive reads and writes of every control.
TEST(AlsaMixer, OpensOrReportsNoCard) {
    auto mixer = MakeAlsaMixer();
    if (mixer == nullptr) {
        GTEST_SUCCEED() << "no sound card";
        return;
    }
    for (MixerControl control : kAllControls) {
        const std::uint32_t level = mixer->GetLevel(control);
        const std::string name = mixer->ControlName(control);
        if (level == kMixerNotFound) {
            mixer->SetLevel(control, 32768);
            continue;
        }
        EXPECT_FALSE(name.empty());
        if (control == MixerControl::MicOnOff) {
            EXPECT_LE(level, 1u);
        } else {
            EXPECT_LE(level, 65536u);
        }
        // Writing back what was read leaves the machine as it was.
        mixer->SetLevel(control, level);
    }
}

}  // namespace
}  // namespace qv
