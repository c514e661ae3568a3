#pragma once

// A voice server the test scripts by hand: it listens on 127.0.0.1 (a port of the system's
// choosing), takes one connection at a time over TLS with a certificate of its own authority
// (CaFile()), and reads and writes frames with the shared codec.
// Pings are answered with Pong (unless turned off) and never handed to the script.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VoiceProtocol.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"
#include "support/TlsChannel.h"

namespace qv::test {

class FakeVoiceServer {
  public:
    using Millis = std::chrono::milliseconds;

    FakeVoiceServer();
    ~FakeVoiceServer();
    FakeVoiceServer(const FakeVoiceServer&) = delete;
    FakeVoiceServer& operator=(const FakeVoiceServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // The port as the engine's i16 parameter carries it.
    std::int16_t WirePort() const { return static_cast<std::int16_t>(port_); }

    // The authority the engine must trust for this server.
    const std::string& CaFile() const { return certificates_.caFile; }
    // Another authority and certificate, which the engine does not trust; for later Accepts.
    void UseUntrustedCertificate();

    // Takes the next connection and its TLS handshake; false when none came in time.
    bool Accept(Millis timeout = Millis(5000));
    // Whether another connection waits to be taken, leaving the current one alone.
    bool Knocking(Millis timeout);
    // The next frame other than Ping; nullopt when none came in time or the engine hung up.
    std::optional<voice::Frame> Next(Millis timeout = Millis(5000));
    // The next frame of any type, Pings included, not answered.
    std::optional<voice::Frame> NextAny(Millis timeout = Millis(5000));
    // The next Ping, not answered.
    std::optional<voice::Ping> NextPing(Millis timeout = Millis(5000));
    // True when no frame other than Ping arrives for that long.
    bool Quiet(Millis time = Millis(150));
    // Waits until the engine closes the connection; the frames before it are kept in Rest().
    bool WaitForHangUp(Millis timeout = Millis(5000));
    const std::vector<voice::Frame>& Rest() const { return rest_; }

    bool Send(const std::string& bytes);
    // Accept and the engine's Hello.
    bool Greet();
    bool SendWelcome(std::uint32_t requiredBuild = 1, std::int32_t requiredVersions = 0,
                     const std::string& name = "Test Voice");
    // The version the Welcome names.
    std::uint16_t protocol = voice::kProtocolVersion;
    // Greet and Welcome: the usual start of a session.
    bool Welcome(std::uint32_t requiredBuild = 1, std::int32_t requiredVersions = 0,
                 const std::string& name = "Test Voice");
    // Closes the connection without a word.
    void Drop();
    bool HungUp() const { return hungUp_; }

    bool answerPings = true;
    voice::Hello hello;  // the last Hello received

  private:
    enum class Got { kFrame, kTimeout, kClosed };
    Got Read(voice::Frame& frame, std::chrono::steady_clock::time_point deadline);

    TempFolder folder_;
    TestCertificates certificates_;
    TestCertificates untrusted_;
    bool useUntrusted_ = false;
    int listener_ = -1;
    int peer_ = -1;
    std::unique_ptr<TlsChannel> tls_;
    std::uint16_t port_ = 0;
    voice::FrameReader reader_;
    bool hungUp_ = false;
    std::vector<voice::Frame> rest_;
};

// Decodes a frame of the expected type; nullopt for any other frame.
template <typename Message>
std::optional<Message> As(const std::optional<voice::Frame>& frame, voice::MessageType type) {
    Message m;
    if (!frame || frame->type != type || !voice::Decode(frame->fields, m)) {
        return std::nullopt;
    }
    return m;
}

}  // namespace qv::test
