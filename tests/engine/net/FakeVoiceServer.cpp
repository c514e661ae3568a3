#include "FakeVoiceServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qv::test {

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

FakeVoiceServer::FakeVoiceServer() {
    if (!TestCertificates::Make(folder_.Path(), certificates_)) {
        throw std::runtime_error("cannot make the test certificates");
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
}

FakeVoiceServer::~FakeVoiceServer() {
    Drop();
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

void FakeVoiceServer::UseUntrustedCertificate() {
    if (untrusted_.caFile.empty() &&
        !TestCertificates::Make(folder_.Path(), untrusted_, "untrusted-")) {
        throw std::runtime_error("cannot make the test certificates");
    }
    useUntrusted_ = true;
}

bool FakeVoiceServer::Accept(Millis timeout) {
    Drop();
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1) {
        return false;
    }
    peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    reader_ = voice::FrameReader();
    hungUp_ = false;
    rest_.clear();
    if (peer_ < 0) {
        return false;
    }
    const TestCertificates& use = useUntrusted_ ? untrusted_ : certificates_;
    tls_ = TlsChannel::Server(peer_, use.certificateFile, use.keyFile,
                              static_cast<int>(timeout.count()));
    if (!tls_) {
        peer_ = -1;  // closed with the failed channel
        hungUp_ = true;
        return false;
    }
    return true;
}

bool FakeVoiceServer::Knocking(Millis timeout) {
    pollfd p{listener_, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(timeout.count())) == 1;
}

FakeVoiceServer::Got FakeVoiceServer::Read(voice::Frame& frame, Clock::time_point deadline) {
    for (;;) {
        switch (reader_.Next(frame)) {
            case voice::FrameReader::Result::kFrame:
                return Got::kFrame;
            case voice::FrameReader::Result::kBad:
                throw std::runtime_error("the engine sent a malformed frame");
            case voice::FrameReader::Result::kNeedMore:
                break;
        }
        if (peer_ < 0 || hungUp_) {
            return Got::kClosed;
        }
        char buffer[4096];
        const int n = tls_->Receive(buffer, sizeof buffer, MillisLeft(deadline));
        if (n == 0) {
            return Got::kTimeout;
        }
        if (n < 0) {
            hungUp_ = true;
            return Got::kClosed;
        }
        reader_.Append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<voice::Frame> FakeVoiceServer::Next(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    voice::Frame frame;
    while (Read(frame, deadline) == Got::kFrame) {
        if (frame.type != voice::MessageType::kPing) {
            if (frame.type == voice::MessageType::kHello) {
                voice::Decode(frame.fields, hello);
            }
            return frame;
        }
        voice::Ping ping;
        if (answerPings && voice::Decode(frame.fields, ping)) {
            Send(voice::EncodePong(ping));
        }
    }
    return std::nullopt;
}

std::optional<voice::Frame> FakeVoiceServer::NextAny(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    voice::Frame frame;
    if (Read(frame, deadline) == Got::kFrame) {
        return frame;
    }
    return std::nullopt;
}

std::optional<voice::Ping> FakeVoiceServer::NextPing(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    voice::Frame frame;
    while (Read(frame, deadline) == Got::kFrame) {
        voice::Ping ping;
        if (frame.type == voice::MessageType::kPing && voice::Decode(frame.fields, ping)) {
            return ping;
        }
        rest_.push_back(frame);
    }
    return std::nullopt;
}

bool FakeVoiceServer::Quiet(Millis time) {
    const std::optional<voice::Frame> frame = Next(time);
    if (frame) {
        rest_.push_back(*frame);
    }
    return !frame;
}

bool FakeVoiceServer::WaitForHangUp(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    voice::Frame frame;
    for (;;) {
        switch (Read(frame, deadline)) {
            case Got::kFrame:
                if (frame.type != voice::MessageType::kPing) {
                    rest_.push_back(frame);
                }
                continue;
            case Got::kTimeout:
                return false;
            case Got::kClosed:
                return true;
        }
    }
}

bool FakeVoiceServer::Send(const std::string& bytes) {
    if (peer_ < 0 || !tls_) {
        return false;
    }
    return tls_->Send(bytes);
}

bool FakeVoiceServer::Greet() {
    if (!Accept()) {
        return false;
    }
    const std::optional<voice::Frame> first = Next();
    return first && first->type == voice::MessageType::kHello;
}

bool FakeVoiceServer::SendWelcome(std::uint32_t requiredBuild, std::int32_t requiredVersions,
                                  const std::string& name) {
    return Send(voice::Encode(voice::Welcome{protocol, requiredBuild, requiredVersions, name}));
}

bool FakeVoiceServer::Welcome(std::uint32_t requiredBuild, std::int32_t requiredVersions,
                              const std::string& name) {
    return Greet() && SendWelcome(requiredBuild, requiredVersions, name);
}

void FakeVoiceServer::Drop() {
    // The channel owns the socket.
    tls_.reset();
    peer_ = -1;
}

}  // namespace qv::test
