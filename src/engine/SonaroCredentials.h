#pragma once

// What an engine that talks to our voice server needs beyond the contract: the connection id the
// directory service gave at login, which the server checks before it registers the user. The
// contract itself carries no secret, so without it anyone could claim any Quorvane ID.
// Engines that offer it return it from QueryExtension(kSonaroCredentialsExtension).

#include <string>

namespace qv {

inline constexpr const char* kSonaroCredentialsExtension = "Quorvane.Credentials.1";

class SonaroCredentials {
  public:
    // May come before Connect or at any time after it (the directory login and the engine's
    // connection run side by side); the engine registers once it has the id. An empty id forgets
    // it.
    virtual void SetConnectionId(const std::string& connectionId) = 0;

  protected:
    ~SonaroCredentials() = default;
};

}  // namespace qv
