#pragma once

// A frame the server owes a session, produced by the presence logic and sent by the sessions.

#include <cstdint>
#include <string>
#include <vector>

namespace qv::voicesvc {

using SessionId = std::uint64_t;

struct Delivery {
    SessionId to = 0;
    std::string frame;
};

using Deliveries = std::vector<Delivery>;

}  // namespace qv::voicesvc
