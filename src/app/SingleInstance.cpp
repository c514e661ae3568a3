#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

namespace qv {

namespace {

constexpr std::size_t kMaxRequestBytes = 4096;
// Connections that have not finished their request yet; beyond this the oldest is dropped.
constexpr std::size_t kMaxClients = 16;

// Names in the abstract socket namespace: no file to go stale, gone with the process.
sockaddr_un SocketAddress(const std::string& name, socklen_t& length) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    addr.sun_path[0] = '\0';
    std::memcpy(addr.sun_path + 1, name.data(), std::min(name.size(), sizeof addr.sun_path - 2));
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 +
                                    std::min(name.size(), sizeof addr.sun_path - 2));
    return addr;
}

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h = (h ^ c) * 1099511628211ull;
    }
    return h;
}

}  // namespace

SingleInstance::SingleInstance(std::string dataRoot)
    : dataRoot_(std::move(dataRoot)), lockPath_(dataRoot_ + "quorvane.lock") {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(dataRoot_)));
    socketName_ = "quorvane-" + std::to_string(::getuid()) + "-" + hash;
}

SingleInstance::~SingleInstance() {
    for (Client& c : clients_) {
        ::close(c.fd);
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
    }
}

bool SingleInstance::TryLock() {
    if (lockFd_ < 0) {
        lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lockFd_ < 0) {
            problem_ = "cannot open " + lockPath_ + ": " + std::strerror(errno);
            return false;
        }
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
        return true;
    }
    return false;
}

SingleInstance::Role SingleInstance::Acquire() {
    if (TryLock()) {
        return Listen() ? Role::Primary : Role::Failed;
    }
    return lockFd_ < 0 ? Role::Failed : Role::Secondary;
}

bool SingleInstance::Listen() {
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        problem_ = std::string("cannot create the instance socket: ") + std::strerror(errno);
        return false;
    }
    socklen_t length = 0;
    sockaddr_un addr = SocketAddress(socketName_, length);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), length) != 0 ||
        ::listen(listenFd_, 16) != 0) {
        problem_ = std::string("cannot listen for other instances: ") + std::strerror(errno);
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    return true;
}

bool SingleInstance::SendToPrimary(const std::vector<std::string>& requests, int timeoutMs) {
    std::string message;
    for (const std::string& r : requests) {
        message += r + "\n";
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        socklen_t length = 0;
        sockaddr_un addr = SocketAddress(socketName_, length);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), length) == 0) {
            const char* p = message.data();
            std::size_t left = message.size();
            bool ok = true;
            while (left > 0) {
                ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    ok = false;
                    break;
                }
                p += n;
                left -= static_cast<std::size_t>(n);
            }
            ::close(fd);
            return ok;
        }
        ::close(fd);
        // The lock holder may have ended; then the lock is free and nobody listens.
        if (std::chrono::steady_clock::now() >= deadline || TryLock()) {
            if (lockFd_ >= 0) {
                ::flock(lockFd_, LOCK_UN);
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::vector<std::string> SingleInstance::Poll() {
    std::vector<std::string> requests;
    if (listenFd_ < 0) {
        return requests;
    }
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            break;
        }
        // The abstract namespace is open to every user: take requests from our own user only.
        ucred cred{};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        if (clients_.size() >= kMaxClients) {
            ::close(clients_.front().fd);
            clients_.erase(clients_.begin());
        }
        clients_.push_back({fd, {}});
    }
    for (auto it = clients_.begin(); it != clients_.end();) {
        bool done = false;
        char chunk[512];
        for (;;) {
            ssize_t n = ::recv(it->fd, chunk, sizeof chunk, 0);
            if (n > 0) {
                it->buffer.append(chunk, static_cast<std::size_t>(n));
                if (it->buffer.size() > kMaxRequestBytes) {
                    it->buffer.clear();  // not one of ours: drop it all
                    done = true;
                    break;
                }
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            done = true;  // end of the request, or an error
            break;
        }
        if (!done) {
            ++it;
            continue;
        }
        std::size_t start = 0;
        while (start < it->buffer.size()) {
            std::size_t end = it->buffer.find('\n', start);
            if (end == std::string::npos) {
                break;  // an unfinished line is not a request
            }
            std::string line = it->buffer.substr(start, end - start);
            if (line == kShow || line == kOpen) {
                requests.push_back(line);
            }
            start = end + 1;
        }
        ::close(it->fd);
        it = clients_.erase(it);
    }
    return requests;
}

}  // namespace qv
