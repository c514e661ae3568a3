#pragma once

// Blanks around a header or settings line's parts, dropped the same way by every server.

#include <string_view>

namespace qv::servers {

// Without leading spaces and tabs and trailing spaces, tabs and carriage returns.
std::string_view TrimBlanks(std::string_view text);

}  // namespace qv::servers
