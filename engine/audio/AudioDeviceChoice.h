#pragma once

// Which sound device the engine's audio uses: the sound card, a pair of wave files (two engines
// on one machine can talk with no card, and tests hear exactly what was played), or nothing.

#include <optional>
#include <string>
#include <string_view>

namespace qv::audio {

struct AudioDeviceChoice {
    enum class Kind { kAlsa, kFile, kNull } kind = Kind::kAlsa;
    std::string capturePath;   // kFile: WAV read as the microphone (silence after its end)
    std::string playbackPath;  // kFile: WAV written with everything the speaker would play
};

// "alsa", "null", "file:CAPTURE.wav,PLAYBACK.wav"; nullopt when malformed.
std::optional<AudioDeviceChoice> ParseAudioDeviceChoice(std::string_view text);
// From QUORVANE_AUDIO, else kAlsa.
AudioDeviceChoice AudioDeviceChoiceFromEnvironment();

}  // namespace qv::audio
