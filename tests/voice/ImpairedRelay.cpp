#include "ImpairedRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace qv::test {

namespace {

int BoundLoopbackSocket(std::uint16_t* port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    if (port != nullptr) {
        *port = ntohs(address.sin_port);
    }
    return fd;
}

bool SameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

}  // namespace

ImpairedRelay::ImpairedRelay(std::uint16_t serverPort, Impairment impairment)
    : serverPort_(serverPort), impairment_(impairment), random_(impairment.seed) {
    front_ = BoundLoopbackSocket(&port_);
    if (front_ < 0 || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error("cannot make the relay's sockets");
    }
    thread_ = std::thread([this] { Run(); });
}

ImpairedRelay::~ImpairedRelay() {
    stop_ = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
    thread_.join();
    for (const Client& c : clients_) {
        ::close(c.socket);
    }
    ::close(front_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

int ImpairedRelay::ClientSocket(const sockaddr_in& from) {
    for (const Client& c : clients_) {
        if (SameAddress(c.address, from)) {
            return c.socket;
        }
    }
    const int fd = BoundLoopbackSocket(nullptr);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(serverPort_);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        ::close(fd);
        return -1;
    }
    clients_.push_back(Client{from, fd});
    return fd;
}

void ImpairedRelay::Schedule(int socket, const sockaddr_in* to, std::vector<std::uint8_t> bytes) {
    std::uniform_real_distribution<double> chance(0.0, 100.0);
    if (chance(random_) < impairment_.lossPercent) {
        ++lost_;
        return;
    }
    std::uniform_int_distribution<int> jitter(0, std::max(0, impairment_.jitterMs * 1000));
    Pending p;
    p.due = Clock::now() + std::chrono::milliseconds(impairment_.delayMs) +
            std::chrono::microseconds(jitter(random_));
    p.order = order_++;
    p.socket = socket;
    p.connected = to == nullptr;
    if (to != nullptr) {
        p.to = *to;
    }
    p.bytes = std::move(bytes);
    pending_.push(std::move(p));
}

void ImpairedRelay::Run() {
    std::vector<std::uint8_t> buffer(2048);
    while (!stop_) {
        // Whatever is due goes out first.
        const Clock::time_point now = Clock::now();
        while (!pending_.empty() && pending_.top().due <= now) {
            const Pending& p = pending_.top();
            if (p.connected) {
                ::send(p.socket, p.bytes.data(), p.bytes.size(), 0);
            } else {
                ::sendto(p.socket, p.bytes.data(), p.bytes.size(), 0,
                         reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
            }
            ++forwarded_;
            pending_.pop();
        }
        int timeoutMs = 100;
        if (!pending_.empty()) {
            const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(
                                  pending_.top().due - Clock::now())
                                  .count();
            timeoutMs = wait <= 0 ? 0 : static_cast<int>((wait + 999) / 1000);
        }
        std::vector<pollfd> fds;
        fds.push_back({wake_[0], POLLIN, 0});
        fds.push_back({front_, POLLIN, 0});
        for (const Client& c : clients_) {
            fds.push_back({c.socket, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) <= 0) {
            continue;
        }
        if (fds[1].revents & POLLIN) {
            for (;;) {
                sockaddr_in from{};
                socklen_t size = sizeof from;
                const ssize_t n = ::recvfrom(front_, buffer.data(), buffer.size(), 0,
                                             reinterpret_cast<sockaddr*>(&from), &size);
                if (n < 0) {
                    break;
                }
                const int towardsServer = ClientSocket(from);
                if (towardsServer >= 0) {
                    Schedule(towardsServer, nullptr,
                             std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
                }
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) {
                continue;
            }
            const Client client = clients_[i - 2];
            for (;;) {
                const ssize_t n = ::recv(client.socket, buffer.data(), buffer.size(), 0);
                if (n < 0) {
                    break;
                }
                Schedule(front_, &client.address,
                         std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
            }
        }
    }
}

}  // namespace qv::test
