#pragma once

// How long and how much a session may take before the server closes it.

#include <chrono>
#include <cstddef>

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
    // Sessions past the Welcome; one more is told the server is full.
    std::size_t maxSessions = 10000;
    // List work per session, in ids a second (see ListBudget): a login's whole watch and block
    // lists (about 20000 ids) fit in the burst, a client that replaces a 7500-id list over and
    // over gets about one replace a second.
    std::size_t listIdsPerSecond = 20000;
    std::size_t listIdsBurst = 50000;
    // How long a closing session may take to read its last frames.
    std::chrono::milliseconds closeLinger{5000};
};

}  // namespace qv::voicesvc
