#pragma once

// Where the engine manager records the instant messages it receives (the event log).

#include <cstdint>
#include <string>

namespace qv {

class IncomingMessageLog {
  public:
    virtual ~IncomingMessageLog() = default;
    virtual bool IsOpen() const = 0;
    // time: seconds since 1970.
    virtual void LogIncomingMessage(std::uint32_t time, const std::string& id,
                                    const std::string& nickname, const std::string& text) = 0;
};

}  // namespace qv
