#pragma once

// Building byte fixtures by hand: little-endian integers and NUL-padded text fields.

#include <cstdint>
#include <string>

namespace qv::test {

inline std::string U32(std::uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    return s;
}

inline std::string Text(const std::string& text, std::size_t width) {
    std::string s = text.substr(0, width);
    s.resize(width, '\0');
    return s;
}

}  // namespace qv::test
