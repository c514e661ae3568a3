#pragma once

// Signs the voice tickets handed out with each login: a few minutes of proof that the user
// logged in, for one voice-server login, checked there without asking us.

#include <cstdint>
#include <string>

#include "VoiceTicket.h"

namespace qv::dirsvc {

class Clock;

struct TicketOptions {
    // The secret key file; made with its ".pub" file when missing. Empty: a key that lives in
    // memory only, whose tickets no voice server can check.
    std::string keyPath;
    std::string cluster = "quorvane";
    std::int64_t lifetime = 300;  // seconds
};

class TicketIssuer {
  public:
    TicketIssuer(const ticket::SecretKey& key, const TicketOptions& options, const Clock& clock);

    // Empty when the nickname cannot be carried.
    std::string Issue(std::int64_t number, const std::string& nickname) const;

  private:
    ticket::SecretKey key_;
    std::string cluster_;
    std::int64_t lifetime_;
    const Clock& clock_;
};

}  // namespace qv::dirsvc
