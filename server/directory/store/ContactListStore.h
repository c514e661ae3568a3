#pragma once

// Each account's contact groups and contacts. A contact is in at most one group of an account;
// every change that succeeds adds 1 to the account's contact_list_ver in the same transaction.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/ListChange.h"
#include "store/StoreStatus.h"

namespace qv::dirsvc {

class Database;

class ContactListStore {
  public:
    static constexpr std::int64_t kMaxContacts = 10000;
    static constexpr std::int64_t kMaxGroups = 1000;

    // One contact of a listing: the group's name, the contact's current nickname and number.
    using Visitor =
        std::function<void(std::string_view group, std::string_view nickName, std::int64_t id)>;

    explicit ContactListStore(Database& database) : database_(database) {}

    // Puts contact into group, creating the group when the account has none of that name and
    // moving the contact when it is in another group (one change either way).
    ListChange AddContact(std::int64_t owner, std::int64_t contact, std::string_view group);
    ListChange DeleteContact(std::int64_t owner, std::int64_t contact, std::string_view group);
    ListChange AddGroup(std::int64_t owner, std::string_view group);
    // Removes the group and its contacts.
    ListChange DeleteGroup(std::int64_t owner, std::string_view group);

    // Every contact with its group in one query: groups by name (byte order), the contacts of a
    // group in the order they were put there. Groups without contacts do not appear.
    StoreStatus Visit(std::int64_t owner, const Visitor& visitor);

    // Adds many (contact, group) pairs in one transaction with one version step (test and
    // benchmark data). The limits hold as for AddContact; any refusal refuses the whole lot.
    ListChange Import(std::int64_t owner,
                      const std::vector<std::pair<std::int64_t, std::string>>& contacts);

  private:
    Database& database_;
};

}  // namespace qv::dirsvc
