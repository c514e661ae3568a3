#pragma once

// A fake engine for the server tests: a loopback connection, over TLS when it has an authority
// to trust, that sends frames or raw bytes and reads frames with a deadline.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "VoiceProtocol.h"
#include "support/TlsChannel.h"

namespace qv::voicesvc::test {

class RawVoiceClient {
  public:
    RawVoiceClient() = default;
    ~RawVoiceClient();
    RawVoiceClient(const RawVoiceClient&) = delete;
    RawVoiceClient& operator=(const RawVoiceClient&) = delete;

    // source: the local address to send from; receiveBuffer: SO_RCVBUF when not 0. With
    // caFile the connection is TLS, checked against that authority; without, plain TCP.
    bool Connect(int port, const char* source = nullptr, int receiveBuffer = 0);
    std::string caFile;
    bool Send(std::string_view bytes);
    // The next frame, or nullopt when none came within timeoutMs or the connection ended.
    std::optional<voice::Frame> Next(int timeoutMs = 5000);
    // The next frame decoded as T when it has that type.
    template <typename T>
    std::optional<T> Expect(voice::MessageType type, int timeoutMs = 5000) {
        auto frame = Next(timeoutMs);
        T message;
        if (!frame || frame->type != type || !voice::Decode(frame->fields, message)) {
            return std::nullopt;
        }
        return message;
    }
    // Reads and drops everything until the server hangs up; false when it has not within
    // timeoutMs.
    bool WaitClosed(int timeoutMs = 5000);
    // Nothing at all arrives within timeoutMs, and the connection is still open.
    bool Quiet(int timeoutMs);
    // Hello (the newest protocol unless told) and the Welcome that answers it.
    std::optional<voice::Welcome> Handshake(std::uint16_t protocol = voice::kProtocolVersion);
    // Handshake, RegisterTicket and its Registered, and from version 4 the MediaOffer that
    // follows it (kept in offer).
    std::optional<voice::Registered> Login(const std::string& userId, const std::string& ticket,
                                           std::uint16_t protocol = voice::kProtocolVersion);
    // A Ping answered by its Pong, frames in between ignored.
    bool RoundTrip(std::uint32_t sequence = 77);
    bool Closed() const { return closed_; }
    std::optional<voice::MediaOffer> offer;

  private:
    // Reads what is there within timeoutMs; false on timeout or end.
    bool Fill(int timeoutMs);

    int fd_ = -1;
    std::unique_ptr<qv::test::TlsChannel> tls_;
    bool closed_ = false;
    voice::FrameReader reader_;
};

}  // namespace qv::voicesvc::test
