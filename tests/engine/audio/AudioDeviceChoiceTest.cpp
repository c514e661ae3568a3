#include "AudioDeviceChoice.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qv::audio {
namespace {

using Kind = AudioDeviceChoice::Kind;

struct ChoiceCase {
    const char* text;
    bool valid;
    Kind kind;
    const char* capture;
    const char* playback;
};

TEST(AudioDeviceChoice, ParsesEveryFormAndRefusesTheRest) {
    const ChoiceCase cases[] = {
        {"alsa", true, Kind::kAlsa, "", ""},
        {"null", true, Kind::kNull, "", ""},
        {"file:/tmp/in.wav,/tmp/out.wav", true, Kind::kFile, "/tmp/in.wav", "/tmp/out.wav"},
        {"file:in.wav,out.wav", true, Kind::kFile, "in.wav", "out.wav"},
        {"", false, Kind::kAlsa, "", ""},
        {"ALSA", false, Kind::kAlsa, "", ""},
        {"pulse", false, Kind::kAlsa, "", ""},
        {"file:", false, Kind::kAlsa, "", ""},
        {"file:in.wav", false, Kind::kAlsa, "", ""},
        {"file:,out.wav", false, Kind::kAlsa, "", ""},
        {"file:in.wav,", false, Kind::kAlsa, "", ""},
        {"file:a.wav,b.wav,c.wav", false, Kind::kAlsa, "", ""},
        {"file:same.wav,same.wav", false, Kind::kAlsa, "", ""},
        {"null ", false, Kind::kAlsa, "", ""},
    };
    for (const ChoiceCase& c : cases) {
        const std::optional<AudioDeviceChoice> choice = ParseAudioDeviceChoice(c.text);
        ASSERT_EQ(choice.has_value(), c.valid) << c.text;
        if (!choice) {
            continue;
        }
        EXPECT_EQ(choice->kind, c.kind) << c.text;
        EXPECT_EQ(choice->capturePath, c.capture) << c.text;
        EXPECT_EQ(choice->playbackPath, c.playback) << c.text;
    }
}

TEST(AudioDeviceChoice, EnvironmentChoosesAndFallsBackToAlsa) {
    ::setenv("QUORVANE_AUDIO", "null", 1);
    EXPECT_EQ(AudioDeviceChoiceFromEnvironment().kind, Kind::kNull);
    ::setenv("QUORVANE_AUDIO", "file:a.wav,b.wav", 1);
    EXPECT_EQ(AudioDeviceChoiceFromEnvironment().playbackPath, "b.wav");
    ::setenv("QUORVANE_AUDIO", "nonsense", 1);
    EXPECT_EQ(AudioDeviceChoiceFromEnvironment().kind, Kind::kAlsa);
    ::unsetenv("QUORVANE_AUDIO");
    EXPECT_EQ(AudioDeviceChoiceFromEnvironment().kind, Kind::kAlsa);
}

}  // namespace
}  // namespace qv::audio
