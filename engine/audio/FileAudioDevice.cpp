#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "AudioDevice.h"
#include "OpusCoder.h"
#include "PcmConvert.h"
#include "PeriodPacer.h"
#include "WaveFileWriter.h"

namespace qv::audio {

namespace {

// Two engines on one machine, or a test, talk through these files in real time. The files stay
// open while the device is closed (standby), so their shared timeline survives it: what the
// speaker would have played meanwhile is written as silence when the device opens again.
class FileAudioDevice final : public AudioDevice {
  public:
    FileAudioDevice(std::string capturePath, std::string playbackPath,
                    std::shared_ptr<MonotonicClock> clock)
        : capturePath_(std::move(capturePath)),
          playbackPath_(std::move(playbackPath)),
          pacer_(std::move(clock)) {}

    std::int32_t Open() override {
        if (!capture_) {
            capture_ = LoadWave48k(capturePath_);
            if (!capture_) {
                error_ = "cannot read the capture file " + capturePath_;
                return 3;
            }
        }
        if (!playback_.IsOpen()) {
            if (!playback_.Open(playbackPath_, kSampleRate)) {
                error_ = "cannot write the playback file " + playbackPath_;
                return 1;
            }
        }
        const std::int64_t k = pacer_.Resume();
        // The speaker's output lags the microphone by one period (its buffer).
        PadPlaybackTo(static_cast<std::uint64_t>(k + 1) * kPeriodSamples);
        error_.clear();
        return 0;
    }

    void Close() override { playback_.Sync(); }

    bool Exchange(std::span<std::int16_t> capture, std::span<const std::int16_t> playback,
                  std::int64_t& captureEndNs) override {
        const std::int64_t k = pacer_.Next();
        const std::uint64_t first = static_cast<std::uint64_t>(k) * kPeriodSamples;
        for (std::size_t i = 0; i < capture.size(); ++i) {
            const std::uint64_t at = first + i;
            capture[i] = at < capture_->size() ? (*capture_)[static_cast<std::size_t>(at)] : 0;
        }
        captureEndNs = pacer_.PeriodEndNs(k);
        PadPlaybackTo(static_cast<std::uint64_t>(k + 1) * kPeriodSamples);
        playback_.Append(playback.data(), playback.size());
        return true;
    }

    std::string LastError() const override { return error_; }
    std::int64_t EpochNs() const override { return pacer_.EpochNs(); }

  private:
    void PadPlaybackTo(std::uint64_t position) {
        static constexpr std::array<std::int16_t, kPeriodSamples> kSilence{};
        while (playback_.IsOpen() && playback_.Samples() < position) {
            const std::uint64_t n =
                std::min<std::uint64_t>(position - playback_.Samples(), kSilence.size());
            if (!playback_.Append(kSilence.data(), static_cast<std::size_t>(n))) {
                return;
            }
        }
    }

    std::string capturePath_;
    std::string playbackPath_;
    PeriodPacer pacer_;
    std::optional<std::vector<std::int16_t>> capture_;
    WaveFileWriter playback_;
    std::string error_;
};

}  // namespace

std::unique_ptr<AudioDevice> MakeFileAudioDevice(std::string capturePath, std::string playbackPath,
                                                 std::shared_ptr<MonotonicClock> clock) {
    return std::make_unique<FileAudioDevice>(std::move(capturePath), std::move(playbackPath),
                                             std::move(clock));
}

}  // namespace qv::audio
