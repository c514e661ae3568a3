#pragma once

// Real accounts on a running directory service: registered through RegisterEx, the password
// taken from the mail, logged in through LoginEx2 for a connection id.

#include <string>

#include "support/DirectoryServiceProcess.h"

namespace qv::voicesvc::test {

struct Account {
    std::string id;
    std::string nickname;
    std::string connectionId;
};

// Empty fields (and a test failure) when any step fails.
Account CreateAccount(const qv::test::DirectoryServiceProcess& directory,
                      const std::string& nickname);

}  // namespace qv::voicesvc::test
