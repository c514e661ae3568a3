#include "settings/LogFont.h"

#include <algorithm>
#include <cstring>

namespace qv {

namespace {

void PutInt(std::uint8_t* at, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(u >> (8 * i));
    }
}

std::int32_t GetInt(const std::uint8_t* at) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) {
        u |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    }
    return static_cast<std::int32_t>(u);
}

LogFont Font(std::int32_t height, const char* face, std::uint8_t out, std::uint8_t clip,
             std::uint8_t quality, std::uint8_t pitch) {
    LogFont f;
    f.height = height;
    f.weight = 400;
    f.outPrecision = out;
    f.clipPrecision = clip;
    f.quality = quality;
    f.pitchAndFamily = pitch;
    f.faceName = face;
    return f;
}

}  // namespace

std::array<std::uint8_t, LogFont::kSize> LogFont::ToBytes() const {
    std::array<std::uint8_t, kSize> b{};
    PutInt(&b[0], height);
    PutInt(&b[4], width);
    PutInt(&b[8], escapement);
    PutInt(&b[12], orientation);
    PutInt(&b[16], weight);
    const std::uint8_t flags[8] = {italic,       underline,     strikeOut, charSet,
                                   outPrecision, clipPrecision, quality,   pitchAndFamily};
    std::memcpy(&b[20], flags, 8);
    std::memcpy(&b[28], faceName.data(), std::min(faceName.size(), kFaceSize - 1));
    return b;
}

LogFont LogFont::FromBytes(const std::array<std::uint8_t, kSize>& b) {
    LogFont f;
    f.height = GetInt(&b[0]);
    f.width = GetInt(&b[4]);
    f.escapement = GetInt(&b[8]);
    f.orientation = GetInt(&b[12]);
    f.weight = GetInt(&b[16]);
    f.italic = b[20];
    f.underline = b[21];
    f.strikeOut = b[22];
    f.charSet = b[23];
    f.outPrecision = b[24];
    f.clipPrecision = b[25];
    f.quality = b[26];
    f.pitchAndFamily = b[27];
    // The face may lack its terminating zero in a damaged record: never read past the field.
    const char* face = reinterpret_cast<const char*>(&b[28]);
    f.faceName.assign(face, strnlen(face, kFaceSize));
    if (f.faceName.size() > kFaceSize - 1) {
        f.faceName.resize(kFaceSize - 1);
    }
    return f;
}

LogFont LogFont::DefaultListFont(bool comicSansInstalled) {
    return comicSansInstalled ? Font(-11, "Comic Sans MS", 3, 2, 1, 0x42)
                              : Font(-11, "MS Sans Serif", 1, 2, 1, 0x22);
}

LogFont LogFont::DefaultChatFont() {
    return Font(-13, "MS Sans Serif", 1, 2, 1, 0x22);
}

}  // namespace qv
