#pragma once

// A sound the engine plays into its output next to the voices: a PlayFile handle or a PlayWave
// sound. Loaded (and converted to 48 kHz mono at its volume) on the caller's thread; the audio
// thread only reads samples and flags. The caller owns it and frees it only after the audio
// thread let go (Released).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv::audio {

struct Sound {
    enum class Kind { kFile, kWave };

    Kind kind = Kind::kFile;
    std::vector<std::int16_t> samples;  // 48 kHz mono, volume applied
    std::size_t position = 0;           // audio thread only

    std::atomic<bool> paused{false};         // caller -> audio
    std::atomic<bool> stopRequested{false};  // caller -> audio
    std::atomic<bool> finished{false};       // audio -> caller: played to its end
    std::atomic<bool> released{false};       // audio -> caller: no longer referenced there
};

// nullptr when the file is no readable PCM wave.
std::unique_ptr<Sound> LoadSound(const std::string& path, std::int32_t volume, Sound::Kind kind);

}  // namespace qv::audio
