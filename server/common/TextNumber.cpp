#include "TextNumber.h"

#include <string>

namespace qv::servers {

std::optional<std::int64_t> ParseNumber(std::string_view text, std::int64_t min, std::int64_t max) {
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

bool ParseHostPort(std::string_view value, std::string& host, int& port) {
    const std::size_t colon = value.rfind(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    std::string_view name = value.substr(0, colon);
    if (name.front() == '[') {
        if (name.size() < 3 || name.back() != ']') {
            return false;
        }
        name = name.substr(1, name.size() - 2);
    }
    const auto number = ParseNumber(value.substr(colon + 1), 0, 65535);
    if (!number) {
        return false;
    }
    host = std::string(name);
    port = static_cast<int>(*number);
    return true;
}

}  // namespace qv::servers
