#pragma once

// A font as the settings store it: the 60-byte logical-font record (five little-endian 32-bit
// numbers, eight bytes, a 32-byte zero-padded face name).

#include <array>
#include <cstdint>
#include <string>

namespace qv {

struct LogFont {
    static constexpr std::size_t kSize = 60;
    static constexpr std::size_t kFaceSize = 32;

    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string faceName;  // at most 31 bytes are kept

    std::array<std::uint8_t, kSize> ToBytes() const;
    static LogFont FromBytes(const std::array<std::uint8_t, kSize>& bytes);
    bool operator==(const LogFont&) const = default;

    // The built-in fonts used when the stored record does not read.
    static LogFont DefaultListFont(bool comicSansInstalled);
    static LogFont DefaultChatFont();
};

}  // namespace qv
