#include "RawHttpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace qv::dirsvc::test {

namespace {

constexpr int kTimeoutSeconds = 20;

class Socket {
  public:
    Socket() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return fd_; }

  private:
    int fd_;
};

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

// The Content-Length header's value, or -1.
long ContentLength(const std::string& headers) {
    std::string lower;
    for (const char c : headers) {
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    const size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) {
        return -1;
    }
    return std::strtol(lower.c_str() + at + 17, nullptr, 10);
}

}  // namespace

RawResponse RawHttpClient::Send(std::string_view request) const {
    RawResponse response;
    Socket socket;
    if (socket.Fd() < 0) {
        return response;
    }
    timeval timeout{kTimeoutSeconds, 0};
    setsockopt(socket.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(socket.Fd(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!source_.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        if (::inet_pton(AF_INET, source_.c_str(), &local.sin_addr) != 1 ||
            ::bind(socket.Fd(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            return response;
        }
    }
    if (::connect(socket.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return response;
    }
    // The server may answer (and stop reading) before a refused request is fully sent.
    SendAll(socket.Fd(), request);

    std::string received;
    size_t headerEnd = std::string::npos;
    long length = -1;
    char buffer[16384];
    for (;;) {
        if (headerEnd != std::string::npos && length >= 0 &&
            received.size() >= headerEnd + 4 + static_cast<size_t>(length)) {
            break;
        }
        const ssize_t got = ::recv(socket.Fd(), buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        received.append(buffer, static_cast<size_t>(got));
        if (headerEnd == std::string::npos) {
            headerEnd = received.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                length = ContentLength(received.substr(0, headerEnd + 2));
            }
        }
    }
    if (headerEnd == std::string::npos || received.compare(0, 9, "HTTP/1.1 ") != 0) {
        return response;
    }
    response.status = std::atoi(received.c_str() + 9);
    response.headers = received.substr(0, headerEnd);
    response.body = received.substr(headerEnd + 4);
    if (length >= 0 && response.body.size() > static_cast<size_t>(length)) {
        response.body.resize(static_cast<size_t>(length));
    }
    return response;
}

RawResponse RawHttpClient::Get(std::string_view target) const {
    std::string request = "GET ";
    request.append(target);
    request +=
        " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: QuorvaneWeb\r\nConnection: close\r\n\r\n";
    return Send(request);
}

RawResponse RawHttpClient::Post(std::string_view target, std::string_view body) const {
    std::string request = "POST ";
    request.append(target);
    request += " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n";
    request.append(body);
    return Send(request);
}

HeldConnection::HeldConnection(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    if (fd_ < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

HeldConnection::~HeldConnection() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool HeldConnection::Send(std::string_view bytes) {
    return connected_ && SendAll(fd_, bytes);
}

std::string HeldConnection::ReadResponse(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    char buffer[4096];
    for (;;) {
        const size_t headerEnd = received.find("\r\n\r\n");
        if (headerEnd != std::string::npos) {
            const long length = ContentLength(received.substr(0, headerEnd + 2));
            if (length >= 0 && received.size() >= headerEnd + 4 + static_cast<size_t>(length)) {
                return received;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd poller{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&poller, 1, static_cast<int>(left.count())) <= 0) {
            return received;
        }
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return received;
        }
        received.append(buffer, static_cast<size_t>(got));
    }
}

std::string HeldConnection::ReadUntil(std::string_view marker, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    char c = 0;
    while (received.find(marker) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd poller{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&poller, 1, static_cast<int>(left.count())) <= 0 ||
            ::recv(fd_, &c, 1, 0) != 1) {
            break;
        }
        received.push_back(c);
    }
    return received;
}

bool HeldConnection::ClosedByServer(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd poller{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&poller, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) {
            return true;
        }
    }
}

long TimedGet(int port, std::string_view target, int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    HeldConnection connection(port);
    std::string request = "GET ";
    request.append(target);
    request += " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: QuorvaneWeb\r\n\r\n";
    if (!connection.Send(request)) {
        return -1;
    }
    const std::string response = connection.ReadResponse(timeoutMs);
    if (response.rfind("HTTP/1.1 200 ", 0) != 0) {
        return -1;
    }
    const size_t headerEnd = response.find("\r\n\r\n");
    const long length = ContentLength(response.substr(0, headerEnd + 2));
    if (length < 0 || response.size() < headerEnd + 4 + static_cast<size_t>(length)) {
        return -1;
    }
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

}  // namespace qv::dirsvc::test
