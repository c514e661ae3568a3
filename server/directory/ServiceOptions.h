#pragma once

#include <string>

#include "http/HttpFront.h"
#include "security/LoginThrottle.h"
#include "security/PasswordHasher.h"
#include "security/TicketIssuer.h"

namespace qv::dirsvc {

struct ServiceOptions {
    std::string databasePath;
    std::string filesFolder;  // stored files (voice mail)
    std::string mailFolder;   // where the file mailer writes
    HashCost hashCost = HashCost::Interactive();
    int hashSlots = 2;  // password hashes computed at once
    HttpLimits http;
    LoginThrottle::Policy throttle;
    TicketOptions tickets;
};

}  // namespace qv::dirsvc
