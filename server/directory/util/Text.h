#pragma once

// Small byte-string helpers (text is 8-bit; only ASCII letters have a case).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::dirsvc::text {

std::string AsciiLower(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
// Without leading and trailing spaces and tabs.
std::string_view Trim(std::string_view text);
// Plain decimal digits only (no sign, no blanks, at most 18 digits) within [min, max].
std::optional<std::int64_t> Number(std::string_view text, std::int64_t min, std::int64_t max);

}  // namespace qv::dirsvc::text
