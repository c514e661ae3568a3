#pragma once

// Decimal option and configuration values, read the same way by every server.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::servers {

// Plain decimal digits (no sign, no blanks, at most 18 digits) within [min, max].
std::optional<std::int64_t> ParseNumber(std::string_view text, std::int64_t min, std::int64_t max);

// "HOST:PORT" or "[V6]:PORT" with a port from 0 to 65535.
bool ParseHostPort(std::string_view value, std::string& host, int& port);

}  // namespace qv::servers
