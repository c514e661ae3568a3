#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

struct SoundCase {
    const char* name;
    const char* event;
    int playSounds;
    const char* wav;  // Sounds.ini value; null: not set
    int volume;       // -1: not set
    bool sounds;
    const char* path;  // as the engine gets it ({} = program folder prefix added below)
    int expectedVolume;
};

class SoundEventTest : public ::testing::TestWithParam<SoundCase> {
  protected:
    void Prepare(test::EngineHarness& h) {
        const SoundCase& c = GetParam();
        h.options.SetPlaySounds(c.playSounds);
        if (c.wav != nullptr) {
            h.sounds.WriteString("General", std::string(c.event) + "Wav", c.wav);
        }
        if (c.volume >= 0) {
            h.sounds.WriteInt("General", std::string(c.event) + "Vol", c.volume);
        }
    }
    std::string Expected(const test::EngineHarness& h) const {
        const std::string path = GetParam().path;
        return path.rfind("<home>", 0) == 0 ? h.ProgramFolder() + path.substr(6) : path;
    }
};

TEST_P(SoundEventTest, ThroughTheEngineWhenAlive) {
    test::EngineHarness h;
    Prepare(h);
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    h.ClearCalls();
    h.manager->PlaySoundEvent(GetParam().event);
    if (GetParam().sounds) {
        EXPECT_EQ(h.Calls(), Lines{"PlayWave(" + sim::QuoteForLog(Expected(h)) + ", " +
                                   std::to_string(GetParam().expectedVolume) + ")"});
    } else {
        EXPECT_TRUE(h.Calls().empty());
    }
    EXPECT_TRUE(h.played.empty());
}

TEST_P(SoundEventTest, ThroughOurOwnPlayerWithoutAnEngine) {
    test::EngineHarness h;
    Prepare(h);
    h.manager->PlaySoundEvent(GetParam().event);
    if (GetParam().sounds) {
        std::string path = Expected(h);
        if (path.front() != '/') {
            path = h.ProgramFolder() + path;  // the engine's current directory
        }
        EXPECT_EQ(h.played, Lines{path + " @" + std::to_string(GetParam().expectedVolume)});
    } else {
        EXPECT_TRUE(h.played.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoundEventTest,
    ::testing::Values(
        SoundCase{"defaults", "IncomingCall", 0, nullptr, -1, true, "default.wav", 100},
        SoundCase{"alwaysMessage", "IncomingInstantMessage", 0, "im.wav", 70, true, "im.wav", 70},
        SoundCase{"alwaysVoiceMail", "IncomingVoiceMail", 0, "/s/vm.wav", -1, true, "/s/vm.wav",
                  100},
        SoundCase{"alwaysWaiting", "CallWaiting", 0, "w.wav", -1, true, "w.wav", 100},
        SoundCase{"alwaysWebsite", "IncomingWebsiteInvitation", 0, "x.wav", -1, true, "x.wav", 100},
        SoundCase{"alwaysWebtour", "IncomingWebtourInvitation", 0, "x.wav", -1, true, "x.wav", 100},
        SoundCase{"minorOff", "ContactOnline", 0, "on.wav", -1, false, "", 0},
        SoundCase{"minorOn", "ContactOnline", 1, "on.wav", 30, true, "on.wav", 30},
        SoundCase{"minorNotExactlyOne", "ContactOnline", 2, "on.wav", -1, false, "", 0},
        SoundCase{"programRelative", "IncomingCall", 0, ".\\Sounds\\ring.wav", -1, true,
                  "<home>Sounds/ring.wav", 100},
        SoundCase{"programRelativeSlash", "IncomingCall", 0, "./ring.wav", -1, true,
                  "<home>ring.wav", 100},
        SoundCase{"tooShort", "IncomingCall", 0, "x", -1, false, "", 0},
        SoundCase{"empty", "IncomingCall", 0, "", -1, false, "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WavePlayerFallbackTest, WithoutAPlayerNothingHappens) {
    test::EngineHarness h;
    h.manager->SetWavePlayer(nullptr);
    h.manager->PlaySoundEvent("IncomingCall");  // the null player: silent
    EXPECT_TRUE(h.played.empty());
}

}  // namespace
}  // namespace qv
