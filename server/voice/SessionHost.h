#pragma once

// What a session needs of the server that runs it. Everything is called on the io thread.

#include <functional>
#include <optional>
#include <string>

#include "Delivery.h"
#include "ServerConfig.h"
#include "ServerLimits.h"
#include "VoiceProtocol.h"
#include "VoiceTicket.h"

namespace qv::voicesvc {

class ConversationRegistry;
class PresenceRegistry;

class SessionHost {
  public:
    virtual ~SessionHost() = default;

    virtual const ServerConfig& Config() const = 0;
    virtual const ServerLimits& Limits() const = 0;
    virtual PresenceRegistry& Registry() = 0;
    virtual ConversationRegistry& Conversations() = 0;
    // Invitations were made or ended, or forums changed: the server's timers follow the next
    // deadline and the forum list.
    virtual void ConversationsChanged() = 0;
    // The session asked for the forum list: now, and its changes from then on.
    virtual void SubscribeGroupList(SessionId session) = 0;
    // Checks a voice ticket for that user offline and uses it up; the nickname it names on
    // kNone. Logs and counts every refusal.
    virtual ticket::Fault CheckTicket(SessionId session, const std::string& userId,
                                      const std::string& text, std::string& nickname) = 0;
    // A place among the sessions that have not registered; false when there are too many, in
    // all or from that address.
    virtual bool TakeUnregisteredSlot(const std::string& address) = 0;
    virtual void ReleaseUnregisteredSlot(const std::string& address) = 0;
    virtual void Deliver(Deliveries deliveries) = 0;
    // A place among the registered sessions; false when the server is full.
    virtual bool TakeSlot() = 0;
    virtual void ReleaseSlot() = 0;
    virtual void Log(const std::string& line) = 0;
    // The session has ended and will take no more frames.
    virtual void Ended(SessionId session) = 0;

    // Media (version 4). OpenMedia binds a stream and keys to a registered session and gives
    // its offer; nullopt when the relay cannot take it. CloseMedia releases the binding.
    virtual std::optional<voice::MediaOffer> OpenMedia(SessionId session, const std::string& userId,
                                                       const std::string& nickname) = 0;
    virtual void SetMediaMode(SessionId session, const voice::MediaMode& mode) = 0;
    // A MediaFrameUp's datagram, within the session's budget.
    virtual void MediaFromTcp(SessionId session, std::string datagram) = 0;
    virtual void CloseMedia(SessionId session) = 0;
    // The session's request (or its end) may have changed who is active or held in its
    // conferences: the media routes and streams follow.
    virtual void RoutesChanged(SessionId session) = 0;
};

}  // namespace qv::voicesvc
