#pragma once

// The voice server's UDP side as a test scripts it: a socket on 127.0.0.1 (a port of the
// system's choosing) that hands the test each datagram with its source, and sends what the test
// gives it.

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv::test {

class FakeMediaPeer {
  public:
    using Millis = std::chrono::milliseconds;
    using Bytes = std::vector<std::uint8_t>;

    FakeMediaPeer();
    ~FakeMediaPeer();
    FakeMediaPeer(const FakeMediaPeer&) = delete;
    FakeMediaPeer& operator=(const FakeMediaPeer&) = delete;

    std::uint16_t Port() const { return port_; }
    // The next datagram; nullopt when none came in time. Its source is remembered for Answer.
    std::optional<Bytes> Next(Millis timeout = Millis(3000));
    // Sends to the source of the latest datagram.
    bool Answer(const Bytes& datagram);

  private:
    int socket_ = -1;
    std::uint16_t port_ = 0;
    sockaddr_in from_{};
    bool heard_ = false;
};

}  // namespace qv::test
