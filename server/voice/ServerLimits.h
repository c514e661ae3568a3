#pragma once

// How long and how much a session may take before the server closes it.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "MediaBudget.h"

namespace qv::voicesvc {

struct ServerLimits {
    std::chrono::milliseconds helloTimeout{10000};
    // A session that has not registered this long after it connected is of no use to anyone
    // (its user never logged in to the directory).
    std::chrono::milliseconds registerTimeout{60000};
    // No frame at all for this long ends a session (the engine pings every second).
    std::chrono::milliseconds idleTimeout{20000};
    // More than framesPerSecond * floodWindow frames within floodWindow is a flood.
    int floodFramesPerSecond = 200;
    std::chrono::milliseconds floodWindow{2000};
    // Output queued for a session that does not read.
    std::size_t maxBacklog = 1024 * 1024;
    // Registered sessions; one more is told the server is full.
    std::size_t maxSessions = 10000;
    // List work per session, in ids a second (see ListBudget): a login's whole watch and block
    // lists (about 20000 ids) fit in the burst, a client that replaces a 7500-id list over and
    // over gets about one replace a second.
    std::size_t listIdsPerSecond = 20000;
    std::size_t listIdsBurst = 50000;
    // Sessions that have not registered yet, in all and from one address: they cost memory and
    // a ticket check each and prove nothing, so a crowd of them must not crowd out real users.
    std::size_t maxUnregistered = 4096;
    std::size_t maxUnregisteredPerAddress = 64;
    // The largest frame body before registration: Hello, RegisterTicket and Ping fit.
    std::uint32_t maxUnregisteredFrame = 2048;
    // Nonces of used tickets remembered until they expire (a ticket lives minutes).
    std::size_t maxRememberedTickets = 200000;
    // A ticket valid for longer than this is refused: the directory issues 5-minute tickets, so
    // more means a clock far off.
    std::int64_t maxTicketLifetimeSeconds = 900;
    // An invitation nobody answers is declined by the server after invitationLifetime (the
    // callee's client gives up after 60 s; this is for one that vanished), one to a callee that
    // blocks the caller after blockedInvitationLifetime (when the client would have given up).
    std::chrono::milliseconds invitationLifetime{75000};
    std::chrono::milliseconds blockedInvitationLifetime{60000};
    // How long a closing session may take to read its last frames.
    std::chrono::milliseconds closeLinger{5000};
    // Media one session may send, over UDP and over TCP each (see MediaBudget and the README):
    // 10 ms voice is 100 packets a second of at most a few hundred bytes, keepalives a few more.
    media::MediaBudget::Settings mediaBudget{150, 75, 48 * 1024, 24 * 1024};
    // Down datagrams waiting for a session on the TCP fallback: three speakers' 50 ms. More
    // would only be late; the oldest goes first.
    std::size_t mediaTcpQueue = 16;
    // A changed forum list goes to its subscribers at most once per interval: a join storm
    // changes a count per join, and resending the whole list each time would cost the list
    // times the subscribers per join. Two seconds is still fresh for a list a person browses.
    std::chrono::milliseconds groupListInterval{2000};
    // A subscriber with more output than this waiting gets no list piece now (it gets the
    // newest list later): two pieces, so a list never piles up in front of a slow reader.
    std::size_t groupListBacklog = 128 * 1024;
    // Text chat lines one sender may send: chatLines per chatWindow, at most chatBurst at once.
    // A person types a line in seconds; five at once covers a paste of a few lines.
    int chatLines = 5;
    std::chrono::milliseconds chatWindow{2000};
    int chatBurst = 5;
};

}  // namespace qv::voicesvc
