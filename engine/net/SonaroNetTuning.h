#pragma once

// Knobs of the networked engine that only tests turn, looked up through
// QueryExtension(kSonaroNetTuningExtension).

#include <cstdint>

namespace qv::net {

inline constexpr const char* kSonaroNetTuningExtension = "Quorvane.NetTuning.1";

class SonaroNetTuning {
  public:
    // How long a connection attempt waits for the server's Welcome (10 s unless changed); applies
    // to later Connects.
    virtual void SetWelcomeTimeout(std::int32_t milliseconds) = 0;
    // How long a welcomed session waits for any frame (the server answers a ping every second)
    // before it counts the connection as lost (20 s unless changed); applies to later Connects.
    virtual void SetSilenceTimeout(std::int32_t milliseconds) = 0;

  protected:
    ~SonaroNetTuning() = default;
};

}  // namespace qv::net
