#include "OutputMixer.h"

#include <algorithm>
#include <cmath>

namespace qv::audio {

void OutputMixer::Begin() {
    mix_.fill(0.0f);
}

void OutputMixer::Add(std::span<const std::int16_t> samples, float gain) {
    const std::size_t n = std::min(samples.size(), mix_.size());
    for (std::size_t i = 0; i < n; ++i) {
        mix_[i] += gain * samples[i];
    }
}

bool OutputMixer::AddSound(Sound* sound) {
    if (count_ == sounds_.size()) {
        sound->released.store(true, std::memory_order_release);
        return false;
    }
    sounds_[count_++] = sound;
    return true;
}

void OutputMixer::MixSounds() {
    std::size_t i = 0;
    while (i < count_) {
        Sound* sound = sounds_[i];
        if (!sound->stopRequested.load(std::memory_order_acquire) &&
            !sound->paused.load(std::memory_order_acquire)) {
            const std::size_t n =
                std::min(mix_.size(),
                         sound->samples.size() - std::min(sound->position, sound->samples.size()));
            for (std::size_t k = 0; k < n; ++k) {
                mix_[k] += sound->samples[sound->position + k];
            }
            sound->position += n;
            if (sound->position >= sound->samples.size()) {
                sound->finished.store(true, std::memory_order_release);
            }
        }
        if (sound->stopRequested.load(std::memory_order_acquire) ||
            sound->finished.load(std::memory_order_acquire)) {
            sounds_[i] = sounds_[--count_];
            sound->released.store(true, std::memory_order_release);
            continue;
        }
        ++i;
    }
}

void OutputMixer::ReleaseAll() {
    for (std::size_t i = 0; i < count_; ++i) {
        sounds_[i]->released.store(true, std::memory_order_release);
    }
    count_ = 0;
}

void OutputMixer::Render(std::span<std::int16_t> out) const {
    const std::size_t n = std::min(out.size(), mix_.size());
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<std::int16_t>(std::clamp(std::lround(mix_[i]), -32768L, 32767L));
    }
}

}  // namespace qv::audio
