#include "FakeMediaPeer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qv::test {

FakeMediaPeer::FakeMediaPeer() {
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("cannot bind a UDP socket on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
}

FakeMediaPeer::~FakeMediaPeer() {
    if (socket_ >= 0) {
        ::close(socket_);
    }
}

std::optional<FakeMediaPeer::Bytes> FakeMediaPeer::Next(Millis timeout) {
    pollfd p{socket_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1) {
        return std::nullopt;
    }
    Bytes datagram(2048);
    socklen_t size = sizeof from_;
    const ssize_t n = ::recvfrom(socket_, datagram.data(), datagram.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from_), &size);
    if (n < 0) {
        return std::nullopt;
    }
    heard_ = true;
    datagram.resize(static_cast<std::size_t>(n));
    return datagram;
}

bool FakeMediaPeer::Answer(const Bytes& datagram) {
    if (!heard_) {
        return false;
    }
    return ::sendto(socket_, datagram.data(), datagram.size(), 0,
                    reinterpret_cast<const sockaddr*>(&from_),
                    sizeof from_) == static_cast<ssize_t>(datagram.size());
}

}  // namespace qv::test
