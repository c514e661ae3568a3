#pragma once

// The one reader and writer of Addressbook.dat (written in version 5, read in 2 to 5) and of its
// ".mod" journal of PendingChange records.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "directory/UserProfile.h"
#include "stores/PendingChange.h"

namespace qv {

struct AddressBookData {
    std::uint32_t listVersion = 0;
    struct Group {
        std::string name;
        std::int32_t onServer = 0;
    };
    std::vector<Group> groups;
    // Each carries its group name.
    std::vector<UserProfile> contacts;
};

enum class AddressBookRead {
    Read,       // the whole file
    Truncated,  // what came before a short read
    Empty,      // version 1: holds nothing
    Refused,    // not a version we know
};

AddressBookRead ReadAddressBook(std::string_view bytes, AddressBookData& data);
std::string WriteAddressBook(const AddressBookData& data);

// Records of a version-1 journal (a short record ends it); anything else gives none.
std::vector<PendingChange> ReadContactJournal(std::string_view bytes);
std::string WriteContactJournal(const std::vector<PendingChange>& changes);

inline constexpr std::size_t kContactRecordSize = 1228;
inline constexpr std::size_t kPendingChangeSize = 200;

}  // namespace qv
