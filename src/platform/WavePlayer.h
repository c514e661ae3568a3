#pragma once

// Asynchronous playback of wave files, for sounds the program plays while no engine is loaded.
// Playing a new sound ends the one before it; a file that cannot be read or played, or a machine
// without a sound device, stays silent. Nothing is reported: a sound is never worth an error.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// Uncompressed samples of a RIFF/WAVE file, interleaved as stored.
struct PcmWave {
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;  // 8 (unsigned) or 16 (signed little-endian)
    std::string samples;              // whole frames only
};

// Reads a PCM wave (format tag 1, 1 or 2 channels, 8 or 16 bits); nullopt for anything else,
// including chunks that claim more bytes than the file holds.
std::optional<PcmWave> ParsePcmWave(std::string_view bytes);

// Scales samples to volume percent (0 silent, 100 unchanged; values outside are clamped).
void ScalePcmVolume(PcmWave& wave, int volume);

class WavePlayer {
  public:
    virtual ~WavePlayer() = default;
    // Starts playing the file at volume percent and returns at once.
    virtual void Play(const std::string& path, int volume) = 0;
    // Ends any sound playing; returns once it has ended.
    virtual void Stop() = 0;
};

// Plays nothing.
std::unique_ptr<WavePlayer> MakeNullWavePlayer();
// Plays through the default ALSA device, opened for each sound; silent when there is none.
std::unique_ptr<WavePlayer> MakeAlsaWavePlayer();
// The ALSA player; QUORVANE_SOUND=null gives the null player.
std::unique_ptr<WavePlayer> MakeWavePlayer();

}  // namespace qv
