#include "stores/QuorvaneIdField.h"

#include <cstdint>

#include "directory/FieldChecks.h"

namespace qv {

bool CheckQuorvaneId(std::string& text) {
    TrimInPlace(text);
    if (text.empty() || text.size() > 10 || text[0] == '0') {
        return false;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= 0xFFFFFFFFull;
}

}  // namespace qv
