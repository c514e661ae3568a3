#include "AudioDeviceChoice.h"

#include <cstdlib>

namespace qv::audio {

std::optional<AudioDeviceChoice> ParseAudioDeviceChoice(std::string_view text) {
    AudioDeviceChoice choice;
    if (text == "alsa") {
        choice.kind = AudioDeviceChoice::Kind::kAlsa;
        return choice;
    }
    if (text == "null") {
        choice.kind = AudioDeviceChoice::Kind::kNull;
        return choice;
    }
    constexpr std::string_view kFile = "file:";
    if (!text.starts_with(kFile)) {
        return std::nullopt;
    }
    const std::string_view paths = text.substr(kFile.size());
    const std::size_t comma = paths.find(',');
    // Exactly two non-empty paths: a comma inside a path would make the split ambiguous.
    if (comma == std::string_view::npos || paths.find(',', comma + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view capture = paths.substr(0, comma);
    const std::string_view playback = paths.substr(comma + 1);
    if (capture.empty() || playback.empty() || capture == playback) {
        return std::nullopt;
    }
    choice.kind = AudioDeviceChoice::Kind::kFile;
    choice.capturePath = std::string(capture);
    choice.playbackPath = std::string(playback);
    return choice;
}

AudioDeviceChoice AudioDeviceChoiceFromEnvironment() {
    const char* value = std::getenv("QUORVANE_AUDIO");
    if (value != nullptr) {
        if (std::optional<AudioDeviceChoice> choice = ParseAudioDeviceChoice(value)) {
            return *choice;
        }
    }
    return AudioDeviceChoice{};
}

}  // namespace qv::audio
