#pragma once

// The media plane: one UDP socket on a thread of its own, so voice never waits for the control
// sessions. It opens each datagram with its sender's key, forwards it, re-sealed with each
// listener's key, to the listeners the routes name (at most a few speakers to each, by level),
// and answers keepalives. Anything that does not open is dropped without a reply. Sessions on
// the TCP fallback get their datagrams through a small queue per session that drops the oldest.
// Every public method may be called from any thread; the state lives on the relay's thread.

#include <array>
#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Delivery.h"
#include "MediaBudget.h"
#include "MediaPacket.h"
#include "MediaRouting.h"
#include "SpeakerSelector.h"

namespace qv::voicesvc {

class MediaRelay {
  public:
    struct Settings {
        std::string host = "127.0.0.1";
        int port = 0;  // 0: any free port
        media::MediaBudget::Settings budget;
        // Speakers forwarded to one listener at once, and to one on a slow link.
        std::size_t speakers = 3;
        std::size_t slowLinkSpeakers = 1;
        // Datagrams waiting for a TCP session's control thread.
        std::size_t tcpQueue = 16;
        // The socket's kernel buffers: a burst of forwarded packets to hundreds of listeners.
        int socketBuffer = 4 * 1024 * 1024;
    };

    struct Counters {
        std::uint64_t received = 0;         // datagrams in and handled, UDP and TCP
        std::uint64_t unauthenticated = 0;  // dropped: no such stream, bad tag or token
        std::uint64_t stale = 0;            // dropped: another address with no newer sequence
        std::uint64_t overBudget = 0;       // dropped: the sender's budget was spent
        std::uint64_t unrouted = 0;         // voice of a sender nobody hears (held, alone)
        std::uint64_t notChosen = 0;        // not among a listener's loudest speakers
        std::uint64_t forwarded = 0;        // datagrams out, voice and keepalive answers
        std::uint64_t keepalives = 0;       // keepalives answered
        std::uint64_t rebound = 0;          // address changes
        std::uint64_t sendDropped = 0;      // a full socket, or a listener with no address yet
        std::uint64_t tcpDropped = 0;       // the oldest of a full TCP queue
    };

    // tcpReady: on the relay thread, when a TCP session's queue was empty and has a datagram.
    MediaRelay(Settings settings, std::function<void(SessionId)> tcpReady);
    ~MediaRelay();
    MediaRelay(const MediaRelay&) = delete;
    MediaRelay& operator=(const MediaRelay&) = delete;

    // Binds the socket and starts the thread; the port, or -1 with error set.
    int Start(std::string& error);
    void Stop();
    int Port() const { return port_; }

    void AddSession(SessionId session, std::uint32_t streamId, const media::MediaKeys& keys);
    void RemoveSession(SessionId session);
    void SetMode(SessionId session, bool tcp, bool slowLink);
    // Who hears each of these senders from now on.
    void SetListeners(MediaRouting::Listeners changes);
    // A MediaFrameUp of that session.
    void FromTcp(SessionId session, std::string datagram);
    // The datagrams queued for a TCP session (each a MediaFrameDown's).
    std::vector<std::string> TakeTcp(SessionId session);
    Counters Read() const;
    // CPU time the relay's thread has used, in seconds (for the log and the bench); -1 before
    // Start.
    double CpuSeconds() const;

  private:
    struct Peer {
        SessionId session = 0;
        std::uint32_t streamId = 0;
        media::MediaKeys keys;
        std::optional<asio::ip::udp::endpoint> address;
        bool heard = false;
        std::uint64_t highest = 0;
        bool tcp = false;
        media::MediaBudget budget;
        media::SpeakerSelector selector;
        std::uint64_t downSequence = 0;
    };

    void Receive();
    // from: the UDP source, or none for a datagram over TCP (of session viaTcp).
    void Handle(std::span<const std::uint8_t> datagram,
                const std::optional<asio::ip::udp::endpoint>& from, SessionId viaTcp);
    void SendUdp(const std::vector<std::uint8_t>& datagram, const asio::ip::udp::endpoint& to);
    void SendTcp(SessionId session, const std::vector<std::uint8_t>& datagram);
    void SendDown(Peer& peer, const std::vector<std::uint8_t>& datagram);
    Peer* PeerOf(SessionId session);

    Settings settings_;
    std::function<void(SessionId)> tcpReady_;
    asio::io_context io_;
    asio::ip::udp::socket socket_;
    std::thread thread_;
    int port_ = -1;
    std::array<std::uint8_t, media::kMaxDatagram + 1> input_{};
    asio::ip::udp::endpoint from_;

    // Relay thread only.
    std::unordered_map<std::uint32_t, Peer> peers_;
    std::unordered_map<SessionId, std::uint32_t> streamOf_;
    std::unordered_map<SessionId, MediaRouting::ListenerList> routes_;

    mutable std::mutex tcpMutex_;
    std::unordered_map<SessionId, std::deque<std::string>> tcpOut_;

    struct AtomicCounters {
        std::atomic<std::uint64_t> received{0}, unauthenticated{0}, stale{0}, overBudget{0},
            unrouted{0}, notChosen{0}, forwarded{0}, keepalives{0}, rebound{0}, sendDropped{0},
            tcpDropped{0};
    };
    AtomicCounters counters_;
};

}  // namespace qv::voicesvc
