#pragma once

// What the page handlers work with; owned by the service, which outlives them.

namespace qv::dirsvc {

class AccountStore;
class BlockListStore;
class ContactListStore;
class Clock;
class LoginThrottle;
class Mailer;
class PartnerStore;
class PasswordHasher;
class ReplayCache;
class SessionStore;
class TicketIssuer;

struct PageServices {
    AccountStore& accounts;
    SessionStore& sessions;
    PartnerStore& partners;
    PasswordHasher& hasher;
    LoginThrottle& throttle;
    Mailer& mailer;
    ReplayCache& replays;
    const Clock& clock;
    const TicketIssuer& tickets;
    ContactListStore& contacts;
    BlockListStore& blocks;
};

}  // namespace qv::dirsvc
