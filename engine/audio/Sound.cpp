#include "Sound.h"

#include <algorithm>

#include "PcmConvert.h"

namespace qv::audio {

std::unique_ptr<Sound> LoadSound(const std::string& path, std::int32_t volume, Sound::Kind kind) {
    std::optional<std::vector<std::int16_t>> samples =
        LoadWave48k(path, std::clamp<std::int32_t>(volume, 0, 100));
    if (!samples) {
        return nullptr;
    }
    auto sound = std::make_unique<Sound>();
    sound->kind = kind;
    sound->samples = std::move(*samples);
    return sound;
}

}  // namespace qv::audio
