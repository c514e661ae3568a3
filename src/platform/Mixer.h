#pragma once

// The computer's own sound levels. A level is a 16.16 fraction of the control's range:
// 0 is the control's minimum and 65536 its maximum. A control that does not exist reads as
// kMixerNotFound, and setting it changes nothing.

#include <cstdint>
#include <memory>
#include <string>

namespace qv {

enum class MixerControl { MasterVolume, WaveVolume, MicVolume, MicOnOff };

inline constexpr std::uint32_t kMixerNotFound = 0xFFFFFFFF;

class Mixer {
  public:
    virtual ~Mixer() = default;
    virtual std::uint32_t GetLevel(MixerControl control) = 0;
    // For the on/off control the level is written unchanged: 0 off, anything else on.
    virtual void SetLevel(MixerControl control, std::uint32_t level) = 0;
    // The control's name as the mixer calls it; empty when it does not exist.
    virtual std::string ControlName(MixerControl control) = 0;
};

// The scaling between a control's raw range and a level, in unsigned 32-bit arithmetic.
std::uint32_t MixerLevelFromValue(std::uint32_t value, std::uint32_t minimum,
                                  std::uint32_t maximum);
std::uint32_t MixerValueFromLevel(std::uint32_t level, std::uint32_t minimum,
                                  std::uint32_t maximum);

// A mixer that has no controls: every read is kMixerNotFound.
std::unique_ptr<Mixer> MakeNullMixer();
// The default sound card's simple mixer (Master, PCM, Capture volume and switch), or null when
// the machine has no card.
std::unique_ptr<Mixer> MakeAlsaMixer();
// The ALSA mixer when a card exists, else the null mixer. QUORVANE_MIXER=null forces the null one.
std::unique_ptr<Mixer> MakeMixer();

}  // namespace qv
