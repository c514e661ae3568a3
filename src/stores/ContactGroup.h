#pragma once

// One group of the contact list: its members point into the store's contacts.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct UserProfile;

struct ContactGroup {
    std::string name;
    // 1 when the server is known to hold the group.
    std::int32_t onServer = 0;
    // In the order they joined the group.
    std::vector<UserProfile*> members;
    // Run time only: the window's item and whether it is expanded.
    void* treeItem = nullptr;
    bool expanded = false;
};

}  // namespace qv
