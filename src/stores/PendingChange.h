#pragma once

// One contact-list change the server has not confirmed yet, as kept in the ".mod" journal.

#include <cstdint>
#include <string>

namespace qv {

struct PendingChange {
    static constexpr std::int32_t kContact = 0;
    static constexpr std::int32_t kGroup = 1;
    static constexpr std::int32_t kAdd = 0;
    static constexpr std::int32_t kDelete = 1;

    std::int32_t kind = kContact;
    std::int32_t operation = kAdd;
    std::string loginId;
    std::string nickName;
    std::string group;

    bool operator==(const PendingChange&) const = default;
};

}  // namespace qv
