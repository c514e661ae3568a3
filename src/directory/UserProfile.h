#pragma once

// The user record: the logged-in user's profile, a contact-list entry and a search result.

#include <cstdint>
#include <string>

namespace qv {

struct UserProfile {
    // 0 when created, 1 once filled from a stored or server record.
    std::int32_t state = 0;
    // Contact-list group.
    std::string group;
    std::uint32_t presenceFlags = 0;
    std::int32_t waitingAlertTime = 0;
    // Kept with the contact in the address book.
    std::int32_t storedValue = 0;
    std::int32_t onServer = 0;

    std::string LoginId;
    std::string NickName;
    std::string FirstName;
    std::string LastName;
    std::string Company;
    std::string Address1;
    std::string Address2;
    std::string City;
    std::string State;
    std::string Zip;
    std::string Country;
    std::string Email1;
    std::string TeleHome;
    std::string TeleOffice;
    std::string Fax;
    std::string Cell;
    std::string Pager;
    std::string HomePage;
    std::string Comment;

    // 1: the user accepts mailings.
    std::int32_t SubscribeToMails = 1;
    // 1: the e-mail address is public (the service's HideEmail is its negation).
    std::int32_t showEmail = 1;
    std::int32_t flag3 = 1;
    std::int32_t flag4 = 1;

    // Run time only: the contact's item in the contact-list window.
    void* treeItem = nullptr;
};

}  // namespace qv
