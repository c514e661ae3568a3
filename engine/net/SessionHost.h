#pragma once

// What a session reports to the instance that owns it, always from the session's own thread.

#include <cstdint>
#include <functional>

#include "VoiceProtocol.h"
#include "engine/SonaroControl.h"

namespace qv::net {

class SessionHost {
  public:
    using Raise = std::function<void(SonaroEventSink&)>;

    // Hands one event to the sink, unless session generation has been ended since.
    virtual void RaiseEvent(std::uint64_t generation, const Raise& raise) = 0;
    // The server's Welcome, before the session reports itself connected.
    virtual void Welcomed(std::uint64_t generation, const voice::Welcome& welcome) = 0;

  protected:
    ~SessionHost() = default;
};

}  // namespace qv::net
