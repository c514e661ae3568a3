#pragma once

// Everything the speaker plays, summed into one stream: the remote voices (added by their
// streams), the sounds of PlayWave and PlayFile, and the sidetone of the user's own voice.
// Runs on the audio thread with a fixed number of sound slots; nothing allocates.

#include <array>
#include <cstdint>
#include <span>

#include "OpusCoder.h"
#include "Sound.h"

namespace qv::audio {

class OutputMixer {
  public:
    static constexpr std::size_t kMaxSounds = 64;

    // Starts a period: all silence.
    void Begin();
    std::span<float> Mix() { return mix_; }
    void Add(std::span<const std::int16_t> samples, float gain);
    // False when every slot is taken (the sound is released at once).
    bool AddSound(Sound* sound);
    // Adds the next period of every sound; releases those stopped or played to their end.
    void MixSounds();
    // Releases every sound (the engine stops).
    void ReleaseAll();
    bool HasSounds() const { return count_ > 0; }
    // The period's samples, clipped to 16 bits.
    void Render(std::span<std::int16_t> out) const;

  private:
    std::array<float, kPeriodSamples> mix_{};
    std::array<Sound*, kMaxSounds> sounds_{};
    std::size_t count_ = 0;
};

}  // namespace qv::audio
