#pragma once

// The session's voice transport, on the session's io_context (its thread only). After the
// server's MediaOffer it binds a UDP socket to the server: Up keepalives with the token until a
// Down keepalive answers, then one after every 15 s of silence so NAT mappings stay. When no
// answer comes within the bind timeout, the offer has no UDP port, or the user is behind a
// firewall, the same sealed datagrams travel over the control connection (MediaMode TCP,
// MediaFrameUp / MediaFrameDown). Voice is sealed and opened with the session's keys; opened
// voice goes to the link, which hands it to the audio engine. Nothing waits: a datagram the
// socket cannot take now is dropped.

#include <array>
#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "AudioEngine.h"
#include "MediaPacket.h"
#include "MediaTimeline.h"
#include "VoiceProtocol.h"

namespace qv::net {

// What the media needs of its session.
class MediaLink {
  public:
    // A control frame (MediaMode, MediaFrameUp) for the server; a media frame may be dropped
    // when the connection is backed up.
    virtual void SendControl(std::string frame, bool media) = 0;
    // One opened voice packet of another member.
    virtual void Voice(audio::ReceivedFrame frame) = 0;
    // The transport was chosen or changed (for FirewallNotify).
    virtual void TransportChosen(bool tcp) = 0;

  protected:
    ~MediaLink() = default;
};

struct MediaTuning {
    // No Down keepalive this long after the offer: TCP.
    std::chrono::milliseconds bindTimeout{2000};
    std::chrono::milliseconds bindInterval{500};
    // Silence this long on the way up: one keepalive.
    std::chrono::milliseconds keepaliveInterval{15000};
    // Where UDP goes instead of the server's address and offered port (a relay), when set.
    std::string udpHost;
    std::uint16_t udpPort = 0;
    // Where each voice packet's times go; null: nowhere.
    MediaTimeline* timeline = nullptr;
};

class NetMedia {
  public:
    enum class Mode { kNone, kBinding, kUdp, kTcp };
    struct Member {
        std::string userId;
        std::string nickname;
    };

    NetMedia(asio::io_context& io, MediaLink& link, MediaTuning tuning);
    ~NetMedia();
    NetMedia(const NetMedia&) = delete;
    NetMedia& operator=(const NetMedia&) = delete;

    // The server's offer; server is the control connection's peer address.
    void Offer(const voice::MediaOffer& offer, const asio::ip::address& server);
    void SetBehindFirewall(bool on);
    void SetSlowLink(bool on);
    // A conversation became active (or none is): packets of the old one are dropped on the way
    // in and the epoch moves on.
    void SetConversation(bool active);
    // One frame of the user's microphone.
    void Send(const audio::EncodedFrame& frame);
    // A datagram that came over the control connection.
    void FrameDown(const std::string& datagram);
    void Stream(const voice::MediaStream& stream);
    // The member that sends with that SSRC, if the server named one.
    std::optional<Member> Speaker(std::uint32_t streamId) const;
    void Close();

    Mode Transport() const { return mode_; }
    // Monotonic time of the latest voice packet in; 0 before any.
    std::int64_t LastVoiceNs() const { return lastVoiceNs_; }
    std::uint64_t Sent() const { return sent_; }
    std::uint64_t Received() const { return received_; }

  private:
    void OpenUdp();
    void BindTick();
    void KeepaliveTick();
    void ArmKeepalive();
    void ReceiveMore();
    void Incoming(const std::uint8_t* data, std::size_t size);
    void UseTcp();
    void Announce();
    void SendDatagram(const std::vector<std::uint8_t>& datagram);
    void SendKeepalive();
    std::uint64_t NextSequence() { return sequence_++ & 0xFFFFFFFFFFFFull; }

    MediaLink& link_;
    const MediaTuning tuning_;
    asio::ip::udp::socket socket_;
    asio::steady_timer bindTimer_;
    asio::steady_timer keepaliveTimer_;
    std::array<std::uint8_t, 2048> buffer_{};
    asio::ip::udp::endpoint from_;

    Mode mode_ = Mode::kNone;
    bool offered_ = false;
    bool behindFirewall_ = false;
    bool slowLink_ = false;
    bool active_ = false;
    // What the server was told last (its default: UDP, not slow).
    bool toldTcp_ = false;
    bool toldSlow_ = false;
    media::MediaKeys keys_{};
    std::uint32_t streamId_ = 0;
    std::uint64_t sequence_ = 0;
    std::uint16_t epoch_ = 0;
    std::chrono::steady_clock::time_point bindDeadline_{};
    std::chrono::steady_clock::time_point lastUp_{};
    std::map<std::uint32_t, Member> members_;
    std::int64_t lastVoiceNs_ = 0;
    std::uint64_t sent_ = 0;
    std::uint64_t received_ = 0;
    bool closed_ = false;
};

}  // namespace qv::net
