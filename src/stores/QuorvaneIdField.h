#pragma once

// What a typed Quorvane ID must be: the address book stores it as a 32-bit number, so only a
// decimal number from 1 to 4294967295 without leading zeros survives a save and a load.

#include <string>
#include <string_view>

namespace qv {

inline constexpr const char* kInvalidQuorvaneIdMessage =
    "Please enter a Quorvane ID: a number from 1 to 4294967295.";

// Trims blanks around the text; true when what remains is such a number.
bool CheckQuorvaneId(std::string& text);

}  // namespace qv
