#pragma once

// The rule for group names that both the service and the client apply: what travels unencoded
// in a request must not cut the query short or break the GetContacts reply.

#include <string_view>

namespace qv {

inline constexpr const char* kGroupNameRuleMessage =
    "Group names may be 1 to 63 characters long and may not contain & # % ? or control "
    "characters, the words \"Group=\" or \"Contacts\", or begin or end with a space.";

bool IsAllowedGroupName(std::string_view name);

}  // namespace qv
