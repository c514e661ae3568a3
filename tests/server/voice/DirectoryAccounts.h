#pragma once

// Real accounts on a running directory service: registered through RegisterEx, the password
// taken from the mail, logged in through LoginEx2 for a connection id and a voice ticket. More
// tickets come from the directory's key file, as the directory would sign them.

#include <cstdint>
#include <string>

#include "VoiceTicket.h"
#include "support/DirectoryServiceProcess.h"

namespace qv::voicesvc::test {

struct Account {
    std::string id;
    std::string nickname;
    std::string connectionId;
    std::string ticket;  // from the login: good for one voice login
};

// Empty fields (and a test failure) when any step fails.
Account CreateAccount(const qv::test::DirectoryServiceProcess& directory,
                      const std::string& nickname);

// A ticket signed with the directory's key; the fields not given are those of a fresh ticket
// for the account.
struct TicketFields {
    std::string userId;
    std::string nickname;
    std::int64_t expiresIn = 300;  // seconds from now
    std::string cluster = "quorvane";
};
std::string SignedTicket(const qv::test::DirectoryServiceProcess& directory, const Account& account,
                         TicketFields fields = {});

}  // namespace qv::voicesvc::test
