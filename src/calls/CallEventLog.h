#pragma once

// Where the call records of the event log go (written only while LogEvents is on and the log is
// open). Times are seconds since 1970.

#include <cstdint>
#include <string>

namespace qv {

class CallEventLog {
  public:
    virtual ~CallEventLog() = default;

    virtual bool IsOpen() const = 0;
    virtual void LogOutgoingCall(std::uint32_t time, const std::string& userId,
                                 const std::string& nickname) = 0;
    virtual void LogIncomingCall(std::uint32_t time, const std::string& userId,
                                 const std::string& nickname) = 0;
};

}  // namespace qv
