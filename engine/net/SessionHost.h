#pragma once

// What a session reports to the instance that owns it, always from the session's own thread.

#include <cstdint>
#include <functional>

#include "AudioEngine.h"
#include "VoiceProtocol.h"
#include "engine/SonaroControl.h"

namespace qv::net {

// What the user's conversations make of its voice: whether there is one to speak in, whether
// it is a forum (20 ms frames instead of the calls' 10), and whether the user may speak there
// (a forum with controlled microphones may say no).
struct ConversationState {
    bool active = false;
    bool forum = false;
    bool mayTalk = true;

    bool operator==(const ConversationState&) const = default;
};

class SessionHost {
  public:
    using Raise = std::function<void(SonaroEventSink&)>;

    // Hands one event to the sink, unless session generation has been ended since.
    virtual void RaiseEvent(std::uint64_t generation, const Raise& raise) = 0;
    // The server's Welcome, before the session reports itself connected.
    virtual void Welcomed(std::uint64_t generation, const voice::Welcome& welcome) = 0;
    // One opened voice packet of another member, for the audio engine.
    virtual void VoiceArrived(std::uint64_t generation, audio::ReceivedFrame frame) = 0;
    // The user became active in a conversation (a call answered, made or resumed, a forum
    // joined), or is active in none any more (held, left, the session ended), or the forum's
    // speaking right changed.
    virtual void ConversationChanged(std::uint64_t generation, const ConversationState& state) = 0;

  protected:
    ~SessionHost() = default;
};

}  // namespace qv::net
