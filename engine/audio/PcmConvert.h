#pragma once

// Wave files into the engine's one internal format: 48 kHz mono 16-bit.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/WavePlayer.h"

namespace qv::audio {

// Stereo is mixed down; other rates are resampled (speexdsp).
std::vector<std::int16_t> ToMono48k(const PcmWave& wave);
// A PCM wave file at volume percent (100 unchanged); nullopt when unreadable or not PCM.
std::optional<std::vector<std::int16_t>> LoadWave48k(const std::string& path, int volume = 100);

}  // namespace qv::audio
