#pragma once

// What a session needs of the server that runs it. Everything is called on the io thread.

#include <functional>
#include <string>

#include "CheckReply.h"
#include "Delivery.h"
#include "ServerConfig.h"
#include "ServerLimits.h"

namespace qv::voicesvc {

class PresenceRegistry;

class SessionHost {
  public:
    virtual ~SessionHost() = default;

    virtual const ServerConfig& Config() const = 0;
    virtual const ServerLimits& Limits() const = 0;
    virtual PresenceRegistry& Registry() = 0;
    // done runs on the io thread.
    virtual void CheckConnection(const std::string& userId, const std::string& connectionId,
                                 std::function<void(CheckReply)> done) = 0;
    virtual void Deliver(Deliveries deliveries) = 0;
    // A place among the welcomed sessions; false when the server is full.
    virtual bool TakeSlot() = 0;
    virtual void ReleaseSlot() = 0;
    virtual void Log(const std::string& line) = 0;
    // The session has ended and will take no more frames.
    virtual void Ended(SessionId session) = 0;
};

}  // namespace qv::voicesvc
