#include "MediaRelay.h"

#include <pthread.h>

#include <asio/post.hpp>
#include <chrono>
#include <ctime>

namespace qv::voicesvc {

namespace {

media::MediaBudget::Nanos NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Bump(std::atomic<std::uint64_t>& counter) {
    counter.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

MediaRelay::MediaRelay(Settings settings, std::function<void(SessionId)> tcpReady)
    : settings_(std::move(settings)), tcpReady_(std::move(tcpReady)), socket_(io_) {}

MediaRelay::~MediaRelay() {
    Stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

int MediaRelay::Start(std::string& error) {
    asio::error_code ec;
    const auto address = asio::ip::make_address(settings_.host, ec);
    if (ec) {
        error = "not an IP address: " + settings_.host;
        return -1;
    }
    const asio::ip::udp::endpoint endpoint(address, static_cast<unsigned short>(settings_.port));
    socket_.open(endpoint.protocol(), ec);
    if (!ec) {
        socket_.bind(endpoint, ec);
    }
    if (ec) {
        error = "cannot bind the media port " + settings_.host + ":" +
                std::to_string(settings_.port) + ": " + ec.message();
        return -1;
    }
    asio::error_code ignored;
    socket_.set_option(asio::socket_base::receive_buffer_size(settings_.socketBuffer), ignored);
    socket_.set_option(asio::socket_base::send_buffer_size(settings_.socketBuffer), ignored);
    // A full send buffer drops the datagram at once instead of holding the relay up.
    socket_.non_blocking(true, ignored);
    port_ = socket_.local_endpoint(ignored).port();
    Receive();
    thread_ = std::thread([this] { io_.run(); });
    return port_;
}

void MediaRelay::Stop() {
    io_.stop();
}

void MediaRelay::AddSession(SessionId session, std::uint32_t streamId,
                            const media::MediaKeys& keys) {
    asio::post(io_, [this, session, streamId, keys] {
        Peer peer;
        peer.session = session;
        peer.streamId = streamId;
        peer.keys = keys;
        peer.budget = media::MediaBudget(settings_.budget);
        media::SpeakerSelector::Settings speakers;
        speakers.places = settings_.speakers;
        peer.selector = media::SpeakerSelector(speakers);
        peers_[streamId] = std::move(peer);
        streamOf_[session] = streamId;
    });
}

void MediaRelay::RemoveSession(SessionId session) {
    asio::post(io_, [this, session] {
        const auto found = streamOf_.find(session);
        if (found != streamOf_.end()) {
            peers_.erase(found->second);
            streamOf_.erase(found);
        }
        routes_.erase(session);
        // Here, after the last datagram queued for it.
        std::lock_guard lock(tcpMutex_);
        tcpOut_.erase(session);
    });
}

void MediaRelay::SetMode(SessionId session, bool tcp, bool slowLink) {
    asio::post(io_, [this, session, tcp, slowLink] {
        if (Peer* peer = PeerOf(session)) {
            peer->tcp = tcp;
            peer->selector.SetPlaces(slowLink ? settings_.slowLinkSpeakers : settings_.speakers);
        }
    });
}

void MediaRelay::SetListeners(MediaRouting::Listeners changes) {
    asio::post(io_, [this, changes = std::move(changes)]() mutable {
        for (auto& [sender, listeners] : changes) {
            if (!listeners || listeners->empty() ||
                (listeners->size() == 1 && listeners->front() == sender)) {
                routes_.erase(sender);
            } else {
                routes_[sender] = std::move(listeners);
            }
        }
    });
}

void MediaRelay::FromTcp(SessionId session, std::string datagram) {
    asio::post(io_, [this, session, datagram = std::move(datagram)] {
        Handle(std::span(reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size()),
               std::nullopt, session);
    });
}

std::vector<std::string> MediaRelay::TakeTcp(SessionId session) {
    std::lock_guard lock(tcpMutex_);
    const auto found = tcpOut_.find(session);
    if (found == tcpOut_.end()) {
        return {};
    }
    std::vector<std::string> out(std::make_move_iterator(found->second.begin()),
                                 std::make_move_iterator(found->second.end()));
    tcpOut_.erase(found);
    return out;
}

MediaRelay::Counters MediaRelay::Read() const {
    const auto get = [](const std::atomic<std::uint64_t>& c) {
        return c.load(std::memory_order_relaxed);
    };
    const AtomicCounters& c = counters_;
    // First: what it says was handled has been counted everywhere else.
    const std::uint64_t received = c.received.load(std::memory_order_acquire);
    return Counters{received,        get(c.unauthenticated), get(c.stale),     get(c.overBudget),
                    get(c.unrouted), get(c.notChosen),       get(c.forwarded), get(c.keepalives),
                    get(c.rebound),  get(c.sendDropped),     get(c.tcpDropped)};
}

double MediaRelay::CpuSeconds() const {
    if (!thread_.joinable()) {
        return -1;
    }
    clockid_t clock{};
    timespec used{};
    if (pthread_getcpuclockid(const_cast<std::thread&>(thread_).native_handle(), &clock) != 0 ||
        clock_gettime(clock, &used) != 0) {
        return -1;
    }
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

void MediaRelay::Receive() {
    socket_.async_receive_from(asio::buffer(input_), from_,
                               [this](asio::error_code ec, std::size_t size) {
                                   if (ec == asio::error::operation_aborted) {
                                       return;
                                   }
                                   // ICMP errors of earlier sends surface here; keep reading.
                                   if (!ec) {
                                       Handle(std::span(input_.data(), size), from_, 0);
                                   }
                                   Receive();
                               });
}

MediaRelay::Peer* MediaRelay::PeerOf(SessionId session) {
    const auto found = streamOf_.find(session);
    if (found == streamOf_.end()) {
        return nullptr;
    }
    const auto peer = peers_.find(found->second);
    return peer == peers_.end() ? nullptr : &peer->second;
}

void MediaRelay::Handle(std::span<const std::uint8_t> datagram,
                        const std::optional<asio::ip::udp::endpoint>& from, SessionId viaTcp) {
    // Counted once handled, after whatever else it counts, so a reader that sees it sees those.
    struct Handled {
        std::atomic<std::uint64_t>& counter;
        ~Handled() { counter.fetch_add(1, std::memory_order_release); }
    } handled{counters_.received};
    const auto streamId = media::PeekStreamId(datagram);
    const auto found = streamId ? peers_.find(*streamId) : peers_.end();
    if (found == peers_.end() || (!from && found->second.session != viaTcp)) {
        Bump(counters_.unauthenticated);
        return;
    }
    Peer& sender = found->second;
    auto opened = media::Open(sender.keys, media::Direction::kUp, datagram);
    if (!opened) {
        Bump(counters_.unauthenticated);
        return;
    }
    const media::MediaHeader& header = opened->header;
    if (from) {
        if (!sender.address) {
            sender.address = *from;
        } else if (*from != *sender.address) {
            // A copy replayed from elsewhere carries an old sequence; a moved client a new one.
            if (sender.heard && header.sequence <= sender.highest) {
                Bump(counters_.stale);
                return;
            }
            sender.address = *from;
            Bump(counters_.rebound);
        }
    }
    if (!sender.heard || header.sequence > sender.highest) {
        sender.highest = header.sequence;
    }
    sender.heard = true;
    const media::MediaBudget::Nanos now = NowNs();
    if (!sender.budget.Take(datagram.size(), now)) {
        Bump(counters_.overBudget);
        return;
    }
    if (header.kind == media::PacketKind::kKeepalive) {
        // Answered the way it came, so a UDP probe learns that UDP works.
        const auto answer =
            media::SealKeepalive(sender.keys, media::Direction::kDown, sender.streamId,
                                 ++sender.downSequence, header.epoch);
        Bump(counters_.keepalives);
        if (from) {
            SendUdp(answer, *from);
        } else {
            SendTcp(sender.session, answer);
        }
        return;
    }
    const auto route = routes_.find(sender.session);
    if (route == routes_.end()) {
        Bump(counters_.unrouted);
        return;
    }
    for (SessionId id : *route->second) {
        // The members of a conference share one list, the speaker on it too.
        if (id == sender.session) {
            continue;
        }
        Peer* listener = PeerOf(id);
        if (listener == nullptr) {
            continue;
        }
        if (!listener->selector.Offer(sender.streamId, header.level, now)) {
            Bump(counters_.notChosen);
            continue;
        }
        SendDown(*listener,
                 media::Seal(listener->keys, media::Direction::kDown, header, opened->payload));
    }
}

void MediaRelay::SendDown(Peer& peer, const std::vector<std::uint8_t>& datagram) {
    if (peer.tcp) {
        SendTcp(peer.session, datagram);
    } else if (peer.address) {
        SendUdp(datagram, *peer.address);
    } else {
        Bump(counters_.sendDropped);
    }
}

void MediaRelay::SendUdp(const std::vector<std::uint8_t>& datagram,
                         const asio::ip::udp::endpoint& to) {
    asio::error_code ec;
    socket_.send_to(asio::buffer(datagram), to, 0, ec);
    Bump(ec ? counters_.sendDropped : counters_.forwarded);
}

void MediaRelay::SendTcp(SessionId session, const std::vector<std::uint8_t>& datagram) {
    bool wasEmpty = false;
    {
        std::lock_guard lock(tcpMutex_);
        std::deque<std::string>& queue = tcpOut_[session];
        wasEmpty = queue.empty();
        if (queue.size() >= settings_.tcpQueue) {
            queue.pop_front();
            Bump(counters_.tcpDropped);
        }
        queue.emplace_back(reinterpret_cast<const char*>(datagram.data()), datagram.size());
    }
    Bump(counters_.forwarded);
    if (wasEmpty && tcpReady_) {
        tcpReady_(session);
    }
}

}  // namespace qv::voicesvc
