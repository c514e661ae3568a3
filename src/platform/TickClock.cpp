#include "platform/TickClock.h"

#include <chrono>

namespace qv {

std::uint32_t SteadyTickClock::Now() const {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

}  // namespace qv
