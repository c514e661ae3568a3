#include "AudioDevice.h"

namespace qv::audio {

std::unique_ptr<AudioDevice> MakeAudioDevice(const AudioDeviceChoice& choice,
                                             std::shared_ptr<MonotonicClock> clock) {
    switch (choice.kind) {
        case AudioDeviceChoice::Kind::kAlsa:
            return MakeAlsaAudioDevice();
        case AudioDeviceChoice::Kind::kFile:
            return MakeFileAudioDevice(choice.capturePath, choice.playbackPath, std::move(clock));
        case AudioDeviceChoice::Kind::kNull:
            return MakeNullAudioDevice(std::move(clock));
    }
    return MakeNullAudioDevice(std::move(clock));
}

}  // namespace qv::audio
