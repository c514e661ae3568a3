#pragma once

// What each value of the Codec property means. Every profile is Opus (VoIP mode, mono, 48 kHz
// sample clock, in-band FEC), so members of one conversation may use different profiles and every
// engine still decodes every stream: the profile only sets the encoder's bit rate and audio
// bandwidth. A slow link (the low connection-speed class) uses the slow-link bit rate.
//
//   Codec  name                bandwidth       bit rate   slow link
//   0      wideband (default)  8 kHz audio     24 kbit/s  12 kbit/s
//   1      narrowband          4 kHz audio     12 kbit/s   8 kbit/s
//   2      fullband            20 kHz audio    32 kbit/s  16 kbit/s
//   3      mediumband          6 kHz audio     16 kbit/s  10 kbit/s
//   4      super-wideband      12 kHz audio    28 kbit/s  14 kbit/s
//   5      wideband, economy   8 kHz audio     16 kbit/s  10 kbit/s
//   6      fullband, high      20 kHz audio    48 kbit/s  20 kbit/s
//
// Any other value: StartAudio answers 4 ("Codec isn't available.").

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::audio {

enum class OpusBandwidth { kNarrow, kMedium, kWide, kSuperWide, kFull };

struct CodecProfile {
    std::int16_t codec = 0;
    std::string_view name;
    OpusBandwidth bandwidth = OpusBandwidth::kWide;
    std::int32_t bitRate = 24000;          // bits per second
    std::int32_t slowLinkBitRate = 12000;  // bits per second
};

inline constexpr std::array<CodecProfile, 7> kCodecProfiles = {{
    {0, "wideband", OpusBandwidth::kWide, 24000, 12000},
    {1, "narrowband", OpusBandwidth::kNarrow, 12000, 8000},
    {2, "fullband", OpusBandwidth::kFull, 32000, 16000},
    {3, "mediumband", OpusBandwidth::kMedium, 16000, 10000},
    {4, "super-wideband", OpusBandwidth::kSuperWide, 28000, 14000},
    {5, "wideband economy", OpusBandwidth::kWide, 16000, 10000},
    {6, "fullband high", OpusBandwidth::kFull, 48000, 20000},
}};

inline constexpr std::int16_t kDefaultCodec = 0;

// The profile of a Codec value; nullopt for values outside the table.
constexpr std::optional<CodecProfile> FindCodecProfile(std::int16_t codec) {
    for (const CodecProfile& profile : kCodecProfiles) {
        if (profile.codec == codec) {
            return profile;
        }
    }
    return std::nullopt;
}

}  // namespace qv::audio
