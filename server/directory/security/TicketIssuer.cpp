#include "security/TicketIssuer.h"

#include "util/Clock.h"

namespace qv::dirsvc {

TicketIssuer::TicketIssuer(const ticket::SecretKey& key, const TicketOptions& options,
                           const Clock& clock)
    : key_(key), cluster_(options.cluster), lifetime_(options.lifetime), clock_(clock) {}

std::string TicketIssuer::Issue(std::int64_t number, const std::string& nickname) const {
    ticket::VoiceTicket ticket;
    ticket.userId = std::to_string(number);
    ticket.nickname = nickname;
    ticket.expires = clock_.Now() + lifetime_;
    ticket.nonce = ticket::NewNonce();
    ticket.cluster = cluster_;
    return ticket::Sign(ticket, key_);
}

}  // namespace qv::dirsvc
