#pragma once

// What an engine that talks to our voice server needs beyond the contract: the voice ticket the
// directory service signed at login, which the server checks before it registers the user. The
// contract itself carries no secret, so without it anyone could claim any Quorvane ID.
// Engines that offer it return it from QueryExtension(kSonaroCredentialsExtension).

#include <string>

namespace qv {

// Version 1 took the directory's connection id; an engine that only knows that one does not
// answer this name, so it is never handed a ticket it would send as a connection id.
inline constexpr const char* kSonaroCredentialsExtension = "Quorvane.Credentials.2";

class SonaroCredentials {
  public:
    // May come before Connect or at any time after it (the directory login and the engine's
    // connection run side by side); the engine registers once it has the ticket. A ticket logs
    // in once: each connection needs a fresh one. An empty ticket forgets it.
    virtual void SetVoiceTicket(const std::string& ticket) = 0;

  protected:
    ~SonaroCredentials() = default;
};

}  // namespace qv
