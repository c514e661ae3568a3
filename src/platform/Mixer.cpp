#include "platform/Mixer.h"

#include <cstdlib>
#include <cstring>

namespace qv {

// Products are formed in 64 bits so wide ranges cannot wrap; for ranges where the 32-bit
// product fits, the results match the 32-bit formula exactly.
std::uint32_t MixerLevelFromValue(std::uint32_t value, std::uint32_t minimum,
                                  std::uint32_t maximum) {
    if (maximum <= minimum) {
        return 0;
    }
    const std::uint64_t offset = static_cast<std::uint32_t>(value - minimum);
    return static_cast<std::uint32_t>((offset * 65536u) / (maximum - minimum));
}

std::uint32_t MixerValueFromLevel(std::uint32_t level, std::uint32_t minimum,
                                  std::uint32_t maximum) {
    if (maximum <= minimum) {
        return minimum;
    }
    const std::uint64_t range = maximum - minimum;
    return minimum + static_cast<std::uint32_t>((range * level) >> 16);
}

namespace {

class NullMixer final : public Mixer {
  public:
    std::uint32_t GetLevel(MixerControl) override { return kMixerNotFound; }
    void SetLevel(MixerControl, std::uint32_t) override {}
    std::string ControlName(MixerControl) override { return {}; }
};

}  // namespace

std::unique_ptr<Mixer> MakeNullMixer() {
    return std::make_unique<NullMixer>();
}

std::unique_ptr<Mixer> MakeMixer() {
    const char* forced = std::getenv("QUORVANE_MIXER");
    if (forced != nullptr && std::strcmp(forced, "null") == 0) {
        return MakeNullMixer();
    }
    if (auto alsa = MakeAlsaMixer()) {
        return alsa;
    }
    return MakeNullMixer();
}

}  // namespace qv
