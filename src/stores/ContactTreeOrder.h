#pragma once

// The order of the contact list's items among siblings: groups before contacts; groups by name;
// contacts online first, then by their waiting alert (latest first, none last), then by
// nickname. Names compare without regard to case.

#include <cstdint>
#include <string_view>

namespace qv {

struct ContactTreeKey {
    enum Kind : int { kGroup = 0, kContact = 1 };
    Kind kind = kContact;
    // The group's name or the contact's nickname.
    std::string_view name;
    std::uint32_t presenceFlags = 0;
    // Seconds since 1970; 0 when no alert from the contact waits.
    std::uint32_t waitingAlertTime = 0;
};

// Strict weak order: true when a comes before b. Keys that compare equal keep their order.
bool ContactTreeLess(const ContactTreeKey& a, const ContactTreeKey& b);

// Below zero, zero or above zero as a sorts before, with or after b, ignoring ASCII case.
int CompareNoCase(std::string_view a, std::string_view b);

}  // namespace qv
