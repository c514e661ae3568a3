#include <algorithm>

#include "AudioDevice.h"
#include "PeriodPacer.h"

namespace qv::audio {

namespace {

class NullAudioDevice final : public AudioDevice {
  public:
    explicit NullAudioDevice(std::shared_ptr<MonotonicClock> clock) : pacer_(std::move(clock)) {}

    std::int32_t Open() override {
        pacer_.Resume();
        return 0;
    }
    void Close() override {}

    bool Exchange(std::span<std::int16_t> capture, std::span<const std::int16_t>,
                  std::int64_t& captureEndNs) override {
        const std::int64_t k = pacer_.Next();
        std::fill(capture.begin(), capture.end(), std::int16_t{0});
        captureEndNs = pacer_.PeriodEndNs(k);
        return true;
    }

    std::string LastError() const override { return {}; }
    std::int64_t EpochNs() const override { return pacer_.EpochNs(); }

  private:
    PeriodPacer pacer_;
};

}  // namespace

std::unique_ptr<AudioDevice> MakeNullAudioDevice(std::shared_ptr<MonotonicClock> clock) {
    return std::make_unique<NullAudioDevice>(std::move(clock));
}

}  // namespace qv::audio
