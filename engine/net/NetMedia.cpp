#include "NetMedia.h"

#include <time.h>

#include <algorithm>

namespace qv::net {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t MonotonicNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Expedited forwarding: routers that honour it queue voice first (loopback ignores it).
constexpr int kDscpExpedited = 46 << 2;

}  // namespace

NetMedia::NetMedia(asio::io_context& io, MediaLink& link, MediaTuning tuning)
    : link_(link), tuning_(std::move(tuning)), socket_(io), bindTimer_(io), keepaliveTimer_(io) {}

NetMedia::~NetMedia() {
    Close();
}

void NetMedia::Offer(const voice::MediaOffer& offer, const asio::ip::address& server) {
    if (closed_ || offer.key.size() != keys_.key.size() ||
        offer.token.size() != keys_.token.size()) {
        return;
    }
    // A second offer (a new key) starts the binding over.
    bindTimer_.cancel();
    keepaliveTimer_.cancel();
    asio::error_code ignored;
    socket_.close(ignored);
    std::copy(offer.key.begin(), offer.key.end(), keys_.key.begin());
    std::copy(offer.token.begin(), offer.token.end(), keys_.token.begin());
    streamId_ = offer.streamId;
    offered_ = true;
    mode_ = Mode::kNone;
    if (offer.udpPort == 0 || behindFirewall_) {
        UseTcp();
        return;
    }
    asio::error_code ec;
    asio::ip::udp::endpoint target(server, offer.udpPort);
    if (!tuning_.udpHost.empty()) {
        const asio::ip::address relay = asio::ip::make_address(tuning_.udpHost, ec);
        if (!ec) {
            target = asio::ip::udp::endpoint(relay, tuning_.udpPort);
        }
    }
    socket_.open(target.protocol(), ec);
    if (!ec) {
        socket_.connect(target, ec);
    }
    if (!ec) {
        socket_.non_blocking(true, ec);
    }
    if (ec) {
        socket_.close(ignored);
        UseTcp();
        return;
    }
    if (target.address().is_v4()) {
        const int tos = kDscpExpedited;
        ::setsockopt(socket_.native_handle(), IPPROTO_IP, IP_TOS, &tos, sizeof tos);
    }
    mode_ = Mode::kBinding;
    bindDeadline_ = Clock::now() + tuning_.bindTimeout;
    ReceiveMore();
    BindTick();
}

void NetMedia::BindTick() {
    if (closed_ || mode_ != Mode::kBinding) {
        return;
    }
    if (Clock::now() >= bindDeadline_) {
        UseTcp();
        return;
    }
    SendKeepalive();
    const auto next = std::min(Clock::now() + tuning_.bindInterval, bindDeadline_);
    bindTimer_.expires_at(next);
    bindTimer_.async_wait([this](const asio::error_code& error) {
        if (!error) {
            BindTick();
        }
    });
}

void NetMedia::ArmKeepalive() {
    keepaliveTimer_.expires_at(lastUp_ + tuning_.keepaliveInterval);
    keepaliveTimer_.async_wait([this](const asio::error_code& error) {
        if (!error) {
            KeepaliveTick();
        }
    });
}

void NetMedia::KeepaliveTick() {
    if (closed_ || mode_ != Mode::kUdp) {
        return;
    }
    if (Clock::now() >= lastUp_ + tuning_.keepaliveInterval) {
        SendKeepalive();
    }
    ArmKeepalive();
}

void NetMedia::SendKeepalive() {
    media::MediaHeader header;
    header.kind = media::PacketKind::kKeepalive;
    header.sequence = NextSequence();
    header.streamId = streamId_;
    header.epoch = epoch_;
    SendDatagram(media::Seal(keys_, media::Direction::kUp, header, keys_.token));
}

void NetMedia::ReceiveMore() {
    socket_.async_receive(
        asio::buffer(buffer_), [this](const asio::error_code& error, std::size_t size) {
            if (error) {
                if (error != asio::error::operation_aborted && !closed_ && socket_.is_open()) {
                    // An ICMP "port unreachable" from an earlier datagram.
                    ReceiveMore();
                }
                return;
            }
            Incoming(buffer_.data(), size);
            if (socket_.is_open()) {
                ReceiveMore();
            }
        });
}

void NetMedia::Incoming(const std::uint8_t* data, std::size_t size) {
    if (closed_ || !offered_) {
        return;
    }
    std::optional<media::OpenedPacket> packet =
        media::Open(keys_, media::Direction::kDown, std::span<const std::uint8_t>(data, size));
    if (!packet) {
        return;  // not ours, or forged
    }
    if (packet->header.kind == media::PacketKind::kKeepalive) {
        if (mode_ == Mode::kBinding) {
            bindTimer_.cancel();
            mode_ = Mode::kUdp;
            Announce();
            lastUp_ = Clock::now();
            ArmKeepalive();
        }
        return;
    }
    if (!active_) {
        return;  // held or between calls: what still comes belongs to no conversation
    }
    ++received_;
    audio::ReceivedFrame frame;
    frame.streamId = packet->header.streamId;
    frame.sequence = packet->header.sequence;
    frame.timestamp = packet->header.timestamp;
    frame.marker = packet->header.marker;
    frame.level = packet->header.level;
    frame.payload = std::move(packet->payload);
    frame.arrivalNs = MonotonicNs();
    lastVoiceNs_ = frame.arrivalNs;
    if (tuning_.timeline != nullptr) {
        tuning_.timeline->Arrived(frame.streamId, frame.sequence, frame.arrivalNs);
    }
    link_.Voice(std::move(frame));
}

void NetMedia::UseTcp() {
    bindTimer_.cancel();
    keepaliveTimer_.cancel();
    asio::error_code ignored;
    socket_.close(ignored);
    mode_ = Mode::kTcp;
    Announce();
}

void NetMedia::Announce() {
    const bool tcp = mode_ == Mode::kTcp;
    if (tcp != toldTcp_ || slowLink_ != toldSlow_) {
        toldTcp_ = tcp;
        toldSlow_ = slowLink_;
        link_.SendControl(voice::Encode(voice::MediaMode{static_cast<std::uint8_t>(tcp ? 1 : 0),
                                                         static_cast<std::uint8_t>(slowLink_)}),
                          false);
    }
    link_.TransportChosen(tcp);
}

void NetMedia::SetBehindFirewall(bool on) {
    if (on == behindFirewall_) {
        return;
    }
    behindFirewall_ = on;
    if (closed_ || !offered_) {
        return;
    }
    if (on && mode_ != Mode::kTcp) {
        UseTcp();
    }
    // Turned off again: the next offer binds UDP; the session stays on TCP until then.
}

void NetMedia::SetSlowLink(bool on) {
    slowLink_ = on;
    if (closed_ || !offered_ || mode_ == Mode::kNone || mode_ == Mode::kBinding) {
        return;  // told with the transport
    }
    if (on != toldSlow_) {
        toldSlow_ = on;
        link_.SendControl(
            voice::Encode(voice::MediaMode{static_cast<std::uint8_t>(toldTcp_ ? 1 : 0),
                                           static_cast<std::uint8_t>(on)}),
            false);
    }
}

void NetMedia::SetConversation(bool active) {
    if (active != active_) {
        ++epoch_;
    }
    active_ = active;
}

void NetMedia::Send(const audio::EncodedFrame& frame) {
    if (closed_ || !offered_ || !active_ || (mode_ != Mode::kUdp && mode_ != Mode::kTcp)) {
        return;
    }
    media::MediaHeader header;
    header.kind = media::PacketKind::kVoice;
    header.marker = frame.talkspurtStart;
    header.sequence = NextSequence();
    header.timestamp = frame.timestamp;
    header.streamId = streamId_;
    header.epoch = epoch_;
    header.level = frame.level;
    SendDatagram(media::Seal(keys_, media::Direction::kUp, header, frame.payload));
    ++sent_;
    if (tuning_.timeline != nullptr) {
        tuning_.timeline->Sent(header.sequence, frame.captureNs, MonotonicNs());
    }
}

void NetMedia::SendDatagram(const std::vector<std::uint8_t>& datagram) {
    if (datagram.empty()) {
        return;
    }
    if (mode_ == Mode::kTcp) {
        link_.SendControl(voice::EncodeMediaFrameUp(
                              voice::MediaFrame{std::string(datagram.begin(), datagram.end())}),
                          true);
        return;
    }
    if (!socket_.is_open()) {
        return;
    }
    asio::error_code ec;
    // Non-blocking: a full socket buffer drops the datagram.
    socket_.send(asio::buffer(datagram), 0, ec);
    lastUp_ = Clock::now();
}

void NetMedia::FrameDown(const std::string& datagram) {
    Incoming(reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size());
}

void NetMedia::Stream(const voice::MediaStream& stream) {
    members_[stream.streamId] = Member{stream.userId, stream.nickname};
}

std::optional<NetMedia::Member> NetMedia::Speaker(std::uint32_t streamId) const {
    const auto it = members_.find(streamId);
    if (it == members_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void NetMedia::Close() {
    closed_ = true;
    bindTimer_.cancel();
    keepaliveTimer_.cancel();
    asio::error_code ignored;
    socket_.close(ignored);
}

}  // namespace qv::net
