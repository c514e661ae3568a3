#include "RawVoiceClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace qv::voicesvc::test {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

RawVoiceClient::~RawVoiceClient() {
    if (fd_ >= 0 && !tls_) {
        ::close(fd_);
    }
}

bool RawVoiceClient::Connect(int port, const char* source, int receiveBuffer) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return false;
    }
    if (receiveBuffer > 0) {
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (source != nullptr) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, source, &local.sin_addr);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            return false;
        }
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        return false;
    }
    if (!caFile.empty()) {
        tls_ = qv::test::TlsChannel::Client(fd_, caFile, 20000);
        if (!tls_) {
            fd_ = -1;  // the failed channel closed it
            return false;
        }
    }
    return true;
}

bool RawVoiceClient::Send(std::string_view bytes) {
    if (tls_) {
        return tls_->Send(bytes);
    }
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool RawVoiceClient::Fill(int timeoutMs) {
    if (closed_) {
        return false;
    }
    if (tls_) {
        char buffer[16384];
        const int got = tls_->Receive(buffer, sizeof buffer, timeoutMs);
        if (got < 0) {
            closed_ = true;
        }
        if (got <= 0) {
            return false;
        }
        reader_.Append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    pollfd poller{fd_, POLLIN, 0};
    if (::poll(&poller, 1, timeoutMs) <= 0) {
        return false;
    }
    char buffer[16384];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) {
        closed_ = true;
        return false;
    }
    reader_.Append(buffer, static_cast<std::size_t>(got));
    return true;
}

std::optional<voice::Frame> RawVoiceClient::Next(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    voice::Frame frame;
    for (;;) {
        const auto result = reader_.Next(frame);
        if (result == voice::FrameReader::Result::kFrame) {
            return frame;
        }
        if (result == voice::FrameReader::Result::kBad || !Fill(Remaining(deadline))) {
            return std::nullopt;
        }
    }
}

bool RawVoiceClient::WaitClosed(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_ && Remaining(deadline) > 0) {
        voice::Frame ignored;
        while (reader_.Next(ignored) == voice::FrameReader::Result::kFrame) {
        }
        Fill(Remaining(deadline));
    }
    return closed_;
}

bool RawVoiceClient::Quiet(int timeoutMs) {
    voice::Frame frame;
    if (reader_.Next(frame) != voice::FrameReader::Result::kNeedMore) {
        return false;
    }
    if (tls_) {
        // Nothing decrypted waits, and nothing but TLS's own records arrives in time.
        return !Fill(timeoutMs) && !closed_;
    }
    pollfd poller{fd_, POLLIN, 0};
    return ::poll(&poller, 1, timeoutMs) == 0;
}

std::optional<voice::Welcome> RawVoiceClient::Handshake(std::uint16_t protocol) {
    if (!Send(voice::Encode(voice::Hello{protocol, 402}))) {
        return std::nullopt;
    }
    return Expect<voice::Welcome>(voice::MessageType::kWelcome);
}

std::optional<voice::Registered> RawVoiceClient::Login(const std::string& userId,
                                                       const std::string& ticket,
                                                       std::uint16_t protocol) {
    if (!Handshake(protocol) ||
        !Send(voice::Encode(voice::RegisterTicket{userId, "nick", ticket}))) {
        return std::nullopt;
    }
    auto registered = Expect<voice::Registered>(voice::MessageType::kRegistered);
    if (registered && protocol >= voice::kMediaVersion) {
        offer = Expect<voice::MediaOffer>(voice::MessageType::kMediaOffer);
        if (!offer) {
            return std::nullopt;
        }
    }
    return registered;
}

bool RawVoiceClient::RoundTrip(std::uint32_t sequence) {
    if (!Send(voice::EncodePing(voice::Ping{sequence, 1234}))) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (auto frame = Next(Remaining(deadline))) {
        voice::Ping pong;
        if (frame->type == voice::MessageType::kPong && voice::Decode(frame->fields, pong) &&
            pong.sequence == sequence) {
            return pong.sentMicros == 1234;
        }
    }
    return false;
}

}  // namespace qv::voicesvc::test
