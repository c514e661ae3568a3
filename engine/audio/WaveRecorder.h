#pragma once

// RecordWave's file: the cleaned microphone (after noise suppression, before the gate) as 16 kHz
// 16-bit mono PCM, the one format every engine plays back. Valid however the recording ends
// (see WaveFileWriter).

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "OpusCoder.h"
#include "WaveFileWriter.h"

struct SpeexResamplerState_;

namespace qv::audio {

class WaveRecorder {
  public:
    static constexpr int kRecordRate = 16000;

    WaveRecorder();
    ~WaveRecorder();
    WaveRecorder(const WaveRecorder&) = delete;
    WaveRecorder& operator=(const WaveRecorder&) = delete;

    // Replaces any file at path; false when it cannot be written (no recording then).
    bool Start(const std::string& path);
    // One 10 ms period at 48 kHz.
    void Append(std::span<const std::int16_t> period);
    void Finish();
    bool Recording() const { return writer_.IsOpen(); }

  private:
    struct ResamplerCloser {
        void operator()(SpeexResamplerState_* s) const;
    };
    WaveFileWriter writer_;
    std::unique_ptr<SpeexResamplerState_, ResamplerCloser> resampler_;
    std::array<std::int16_t, kPeriodSamples> out_{};
};

}  // namespace qv::audio
