#pragma once

// One entry of the block list.

#include <cstdint>
#include <string>

namespace qv {

struct BlockedUser {
    std::string LoginId;
    std::string NickName;
    // 1 when the server is known to hold the entry.
    std::int32_t onServer = 0;
    // Empty for entries made by this program.
    std::string text;

    bool operator==(const BlockedUser&) const = default;
};

}  // namespace qv
