#pragma once

// Whether a period of the cleaned microphone holds speech: louder than the noise floor by 12 dB
// (and than -65 dBFS), with 200 ms of hangover so the gaps between syllables stay speech. The
// floor is the quietest period of the last two seconds, so a steady noise, however loud, is
// not speech once it has lasted that long.

#include <algorithm>
#include <array>
#include <cstddef>

namespace qv::audio {

class VoiceActivity {
  public:
    static constexpr double kAboveFloorDb = 12;
    static constexpr double kMinimumDbfs = -65;
    static constexpr double kInitialFloorDbfs = -90;
    static constexpr int kHangoverPeriods = 20;
    static constexpr int kBlockPeriods = 50;  // 0.5 s

    // One 10 ms period at levelDbfs; true while it counts as speech.
    bool Update(double levelDbfs) {
        blockMin_ = std::min(blockMin_, levelDbfs);
        if (++blockCount_ == kBlockPeriods) {
            blocks_[nextBlock_] = blockMin_;
            nextBlock_ = (nextBlock_ + 1) % blocks_.size();
            filled_ = std::min(filled_ + 1, blocks_.size());
            blockMin_ = 0;
            blockCount_ = 0;
        }
        // Until half a second is known, a quiet room is assumed.
        double floor = filled_ == 0 ? kInitialFloorDbfs : blockMin_;
        for (std::size_t i = 0; i < filled_; ++i) {
            floor = std::min(floor, blocks_[i]);
        }
        if (levelDbfs > floor + kAboveFloorDb && levelDbfs > kMinimumDbfs) {
            hangover_ = kHangoverPeriods;
            return true;
        }
        if (hangover_ > 0) {
            --hangover_;
            return true;
        }
        return false;
    }

  private:
    std::array<double, 4> blocks_{};
    std::size_t filled_ = 0;
    std::size_t nextBlock_ = 0;
    double blockMin_ = 0;
    int blockCount_ = 0;
    int hangover_ = 0;
};

}  // namespace qv::audio
