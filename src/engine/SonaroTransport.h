#pragma once

// What an engine that talks to our voice server over TLS needs beyond the contract: which
// certificate authorities it trusts for the server besides the system's store (a local or
// private server's own authority, named in the server settings). Engines that offer it return
// it from QueryExtension(kSonaroTransportExtension).

#include <string>

namespace qv {

inline constexpr const char* kSonaroTransportExtension = "Quorvane.Transport.1";

class SonaroTransport {
  public:
    // A PEM file of authorities trusted besides the system's store; empty: the system's store
    // only. Applies from the next Connect on.
    virtual void SetTrustedAuthorities(const std::string& caFile) = 0;

  protected:
    ~SonaroTransport() = default;
};

}  // namespace qv
