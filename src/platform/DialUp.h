#pragma once

// Dial-up connections, as the reconnect poll asks for them. The Linux backend lists PPP links
// (/sys/class/net/ppp*); a link is connected while it is up and running.

#include <memory>
#include <string>
#include <vector>

namespace qv {

struct DialUpConnection {
    static constexpr unsigned kConnected = 0x2000;

    std::string name;
    unsigned status = 0;  // kConnected when the link is up
};

class DialUp {
  public:
    virtual ~DialUp() = default;
    // False when the system has no dial-up support at all.
    virtual bool Available() const = 0;
    virtual std::vector<DialUpConnection> Connections() const = 0;
};

// netFolder is where the network interfaces are listed (/sys/class/net/ by default).
std::unique_ptr<DialUp> MakePppDialUp(std::string netFolder = "/sys/class/net/");

}  // namespace qv
