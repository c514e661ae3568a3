#pragma once

#include <string>

#include "http/HttpFront.h"
#include "security/LoginThrottle.h"
#include "security/PasswordHasher.h"
#include "security/RateLimiter.h"
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
    // Per caller's address: RegisterEx at most 10 at once, then one per 6 minutes; ForgotPass
    // mails 5, then one per 12 minutes.
    RateLimiter::Policy registrations{10, 360};
    RateLimiter::Policy resetMails{5, 720};
    TicketOptions tickets;
};

}  // namespace qv::dirsvc
