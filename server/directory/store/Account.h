#pragma once

// An account as the store keeps it. Text is the client's 8-bit bytes.

#include <cstdint>
#include <optional>
#include <string>

namespace qv::dirsvc {

struct Profile {
    std::string nickName;
    std::string firstName;
    std::string lastName;
    std::string email1;
    std::string company;
    std::string comment;
    std::string address1;
    std::string address2;
    std::string city;
    std::string state;
    std::string zip;
    std::string country;
    std::string teleHome;
    std::string teleOffice;
    std::string fax;
    std::string cell;
    std::string pager;
    std::string homePage;
    bool hideEmail = false;
    bool subscribeToMails = false;
};

struct Account {
    std::int64_t id = 0;
    Profile profile;
    std::string passwordHash;
    // A password mailed by ForgotPass, valid beside the old one until it is used or expires.
    std::string resetHash;
    std::int64_t resetExpires = 0;
    std::int64_t resetMailed = 0;
    int partnerId = 1;
    std::int64_t contactListVer = 0;
    std::int64_t blockListVer = 0;
};

struct NewAccount {
    Profile profile;
    std::string passwordHash;
    int partnerId = 1;
};

// The fields a profile change sets; those left empty stay as they are.
struct ProfileChange {
    std::optional<std::string> nickName;
    std::optional<std::string> email1;
    std::optional<bool> hideEmail;
    std::optional<bool> subscribeToMails;
    std::optional<std::string> firstName;
    std::optional<std::string> lastName;
    std::optional<std::string> passwordHash;
    std::optional<std::string> company;
    std::optional<std::string> comment;
};

}  // namespace qv::dirsvc
