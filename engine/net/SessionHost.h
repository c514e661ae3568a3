#pragma once

// What a session reports to the instance that owns it, always from the session's own thread.

#include <cstdint>
#include <functional>

#include "AudioEngine.h"
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
    // One opened voice packet of another member, for the audio engine.
    virtual void VoiceArrived(std::uint64_t generation, audio::ReceivedFrame frame) = 0;
    // The user became active in a conversation (a call answered, made or resumed), or is active
    // in none any more (held, left, the session ended).
    virtual void ConversationChanged(std::uint64_t generation, bool active) = 0;

  protected:
    ~SessionHost() = default;
};

}  // namespace qv::net
