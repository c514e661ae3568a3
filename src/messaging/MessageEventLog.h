#pragma once

// Where the MessageCenter records the messages it sends and the invitations it receives and
// sends (the event log). The center checks LogEvents and IsOpen before each call.

#include <cstdint>
#include <string>

namespace qv {

class MessageEventLog {
  public:
    virtual ~MessageEventLog() = default;
    virtual bool IsOpen() const = 0;
    // time: seconds since 1970.
    virtual void LogOutgoingMessage(std::uint32_t time, const std::string& id,
                                    const std::string& nickname, const std::string& text) = 0;
    virtual void LogIncomingInvitation(std::uint32_t time, const std::string& id,
                                       const std::string& nickname, const std::string& text) = 0;
    virtual void LogOutgoingInvitation(std::uint32_t time, const std::string& id,
                                       const std::string& nickname, const std::string& text) = 0;
};

}  // namespace qv
