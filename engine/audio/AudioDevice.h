#pragma once

// The sound device behind the engine: full duplex, 48 kHz mono 16-bit, 10 ms periods. One
// implementation per backend (ALSA, wave files, nothing); MakeAudioDevice is the one place that
// picks them.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "AudioDeviceChoice.h"
#include "MonotonicClock.h"

namespace qv::audio {

class AudioDevice {
  public:
    virtual ~AudioDevice() = default;

    // Takes both directions: 0, or the StartAudio code of what failed (1 playback, 2 no full
    // duplex, 3 capture, 5 parameters). Opening again after Close resumes.
    virtual std::int32_t Open() = 0;
    // Releases both directions.
    virtual void Close() = 0;
    // One period: waits until the microphone holds kPeriodSamples new samples, reads them into
    // capture and queues playback (kPeriodSamples) for the speaker. captureEndNs: monotonic time
    // the last captured sample was taken. False when the device failed.
    virtual bool Exchange(std::span<std::int16_t> capture, std::span<const std::int16_t> playback,
                          std::int64_t& captureEndNs) = 0;
    // What went wrong last, for the log ("" when nothing did).
    virtual std::string LastError() const = 0;
    // File and null devices: the monotonic time of sample 0 of their timeline (0 otherwise).
    virtual std::int64_t EpochNs() const { return 0; }
};

// Silence in, nothing out, paced by the clock.
std::unique_ptr<AudioDevice> MakeNullAudioDevice(std::shared_ptr<MonotonicClock> clock);
// The microphone read from capturePath (any PCM wave, converted to 48 kHz mono; silence after
// its end), the speaker written to playbackPath (16-bit mono 48 kHz). Both files share one
// timeline: sample n of either is at EpochNs() + n / 48 kHz.
std::unique_ptr<AudioDevice> MakeFileAudioDevice(std::string capturePath, std::string playbackPath,
                                                 std::shared_ptr<MonotonicClock> clock);
// ALSA's "default" PCM, so the desktop's sound server and the program's mixer controls apply.
std::unique_ptr<AudioDevice> MakeAlsaAudioDevice();

std::unique_ptr<AudioDevice> MakeAudioDevice(const AudioDeviceChoice& choice,
                                             std::shared_ptr<MonotonicClock> clock);

}  // namespace qv::audio
