#include "VoiceServer.h"

#include <openssl/ssl.h>
#include <unistd.h>

#include <algorithm>
#include <asio/post.hpp>
#include <ctime>

#include "VoiceSession.h"

namespace qv::voicesvc {

namespace {

MediaRelay::Settings RelaySettings(const VoiceServerOptions& options) {
    MediaRelay::Settings settings;
    settings.host = options.listenHost;
    settings.port = options.config.mediaPort;
    settings.budget = options.limits.mediaBudget;
    settings.tcpQueue = options.limits.mediaTcpQueue;
    return settings;
}

ConversationRegistry::Limits ConversationLimits(const ServerLimits& limits) {
    ConversationRegistry::Limits conversation;
    conversation.invitationLifetime = limits.invitationLifetime;
    conversation.blockedInvitationLifetime = limits.blockedInvitationLifetime;
    return conversation;
}

}  // namespace

VoiceServer::VoiceServer(VoiceServerOptions options)
    : options_(std::move(options)),
      log_(options_.logSink ? nullptr : std::make_unique<LogQueue>(STDERR_FILENO)),
      tls_(asio::ssl::context::tls_server),
      acceptor_(io_),
      plainAcceptor_(io_),
      conversations_(registry_, ConversationLimits(options_.limits)),
      invitationTimer_(io_),
      groupLists_(options_.limits.groupListInterval),
      groupListTimer_(io_),
      usedTickets_(options_.limits.maxRememberedTickets),
      media_(std::make_unique<MediaRelay>(RelaySettings(options_), [this](SessionId session) {
          asio::post(io_, [this, session] { DeliverMedia(session); });
      })) {
    conversations_.SetForumPlan(options_.forumPlan);
    groupLists_.Changed(conversations_.ListVersion());
}

VoiceServer::~VoiceServer() {
    // Ending a session takes it out of the map, so walk a copy.
    const auto sessions = std::move(sessions_);
    sessions_.clear();
    for (const auto& [id, session] : sessions) {
        session->Abort("the server stops");
    }
    media_.reset();
}

bool VoiceServer::LoadTls(std::string& error) {
    const ServerConfig& config = options_.config;
    if (config.certificateFile.empty() || config.privateKeyFile.empty()) {
        error =
            "no certificate: the configuration must name Certificate and PrivateKey (engines "
            "connect over TLS)";
        return false;
    }
    SSL_CTX* context = tls_.native_handle();
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    tls_.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                     asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                     asio::ssl::context::no_tlsv1_1 | asio::ssl::context::single_dh_use);
    asio::error_code ec;
    tls_.use_certificate_chain_file(config.certificateFile, ec);
    if (ec) {
        error = "cannot use the certificate " + config.certificateFile + ": " + ec.message();
        return false;
    }
    tls_.use_private_key_file(config.privateKeyFile, asio::ssl::context::pem, ec);
    if (ec || SSL_CTX_check_private_key(context) != 1) {
        error = "cannot use the private key " + config.privateKeyFile +
                (ec ? ": " + ec.message() : ": it does not belong to the certificate");
        return false;
    }
    return true;
}

int VoiceServer::Bind(asio::ip::tcp::acceptor& acceptor, const std::string& host, int port,
                      std::string& error) {
    asio::error_code ec;
    const auto address = asio::ip::make_address(host, ec);
    if (ec) {
        error = "not an IP address: " + host;
        return -1;
    }
    const asio::ip::tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + ec.message();
        return -1;
    }
    return acceptor.local_endpoint(ec).port();
}

int VoiceServer::Listen(std::string& error) {
    const int port = Bind(acceptor_, options_.listenHost, options_.listenPort, error);
    if (port < 0) {
        return -1;
    }
    const int mediaPort = media_->Start(error);
    if (mediaPort < 0) {
        return -1;
    }
    Log("media on UDP " + options_.listenHost + ":" + std::to_string(mediaPort));
    if (options_.config.plainPort >= 0) {
        plainBound_ =
            Bind(plainAcceptor_, options_.config.plainHost, options_.config.plainPort, error);
        if (plainBound_ < 0) {
            return -1;
        }
        Accept(plainAcceptor_, false);
    }
    Accept(acceptor_, true);
    return port;
}

void VoiceServer::StopOnSignals() {
    signals_ = std::make_unique<asio::signal_set>(io_, SIGINT, SIGTERM);
    signals_->async_wait([this](asio::error_code ec, int) {
        if (!ec) {
            Stop();
        }
    });
}

void VoiceServer::Run() {
    io_.run();
}

void VoiceServer::Stop() {
    io_.stop();
    media_->Stop();
}

void VoiceServer::Accept(asio::ip::tcp::acceptor& acceptor, bool tls) {
    acceptor.async_accept([this, &acceptor, tls](asio::error_code ec,
                                                 asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted) {
            return;
        }
        if (ec) {
            // Out of descriptors or memory: try again shortly rather than spin.
            Log("accept failed: " + ec.message());
            auto retry = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(100));
            retry->async_wait([this, retry, &acceptor, tls](asio::error_code waitError) {
                if (!waitError) {
                    Accept(acceptor, tls);
                }
            });
            return;
        }
        const SessionId id = nextId_++;
        auto session = std::make_shared<VoiceSession>(id, std::move(socket), tls ? &tls_ : nullptr,
                                                      static_cast<SessionHost&>(*this));
        sessions_.emplace(id, session);
        session->Start();
        Accept(acceptor, tls);
    });
}

ticket::Fault VoiceServer::CheckTicket(SessionId session, const std::string& userId,
                                       const std::string& text, std::string& nickname) {
    const std::int64_t now = std::time(nullptr);
    ticket::VoiceTicket ticket;
    ticket::Fault fault =
        ticket::Verify(text, options_.ticketKey, now, options_.limits.maxTicketLifetimeSeconds,
                       options_.config.voiceCluster, ticket);
    if (fault == ticket::Fault::kNone && ticket.userId != userId) {
        fault = ticket::Fault::kOtherUser;
    }
    if (fault == ticket::Fault::kNone) {
        switch (usedTickets_.Remember(ticket.nonce, ticket.expires, now)) {
            case TicketReplayCache::Result::kFresh:
                nickname = ticket.nickname;
                return fault;
            case TicketReplayCache::Result::kReplayed:
                fault = ticket::Fault::kReplayed;
                break;
            case TicketReplayCache::Result::kFull:
                fault = ticket::Fault::kCacheFull;
                break;
        }
    }
    const std::uint64_t count = ++refusals_[static_cast<std::size_t>(fault)];
    Log("session " + std::to_string(session) + " ticket refused for " + userId + ": " +
        ticket::FaultName(fault) + " (" + std::to_string(count) + " so far)");
    return fault;
}

bool VoiceServer::TakeUnregisteredSlot(const std::string& address) {
    if (unregistered_ >= options_.limits.maxUnregistered) {
        return false;
    }
    std::size_t& fromAddress = unregisteredByAddress_[address];
    if (fromAddress >= options_.limits.maxUnregisteredPerAddress) {
        return false;
    }
    ++fromAddress;
    ++unregistered_;
    return true;
}

void VoiceServer::ReleaseUnregisteredSlot(const std::string& address) {
    const auto found = unregisteredByAddress_.find(address);
    if (found == unregisteredByAddress_.end()) {
        return;
    }
    if (--found->second == 0) {
        unregisteredByAddress_.erase(found);
    }
    --unregistered_;
}

void VoiceServer::Deliver(Deliveries deliveries) {
    for (const Delivery& delivery : deliveries) {
        const auto found = sessions_.find(delivery.to);
        if (found != sessions_.end()) {
            // A copy: the send may end the session and take it out of the map.
            const std::shared_ptr<VoiceSession> session = found->second;
            session->Send(delivery.frame);
        }
    }
}

void VoiceServer::SubscribeGroupList(SessionId session) {
    // The list it gets now is of the forums as they are: no change of before is due to it.
    groupLists_.Changed(conversations_.ListVersion());
    groupLists_.Subscribe(session);
    const auto found = sessions_.find(session);
    if (found == sessions_.end()) {
        return;
    }
    const std::shared_ptr<VoiceSession> target = found->second;
    const std::size_t backlog = options_.limits.groupListBacklog;
    groupLists_.Serve(
        session, GroupListFeed::Clock::now(), [this] { return conversations_.ForumListText(); },
        [&target, backlog](SessionId) { return !target->Ended() && target->Queued() < backlog; },
        [&target](SessionId, const std::string& frame) { target->Send(frame); });
    ArmGroupListTimer();
}

void VoiceServer::PumpGroupLists() {
    const std::size_t backlog = options_.limits.groupListBacklog;
    groupLists_.Pump(
        GroupListFeed::Clock::now(), [this] { return conversations_.ForumListText(); },
        [this, backlog](SessionId session) {
            const auto found = sessions_.find(session);
            return found != sessions_.end() && !found->second->Ended() &&
                   found->second->Queued() < backlog;
        },
        [this](SessionId session, const std::string& frame) {
            const auto found = sessions_.find(session);
            if (found != sessions_.end()) {
                // A copy: a send may end the session and take it out of the map.
                const std::shared_ptr<VoiceSession> target = found->second;
                target->Send(frame);
            }
        });
}

void VoiceServer::ArmGroupListTimer() {
    const auto due = groupLists_.NextDue();
    if (!due || (groupListTimerDue_ && *groupListTimerDue_ <= *due)) {
        return;
    }
    groupListTimerDue_ = *due;
    // A due time already past fires at once, from the io loop, not from inside a request.
    groupListTimer_.expires_at(*due);
    groupListTimer_.async_wait([this](asio::error_code ec) {
        if (ec) {
            return;
        }
        groupListTimerDue_.reset();
        PumpGroupLists();
        ArmGroupListTimer();
    });
}

void VoiceServer::ConversationsChanged() {
    groupLists_.Changed(conversations_.ListVersion());
    ArmGroupListTimer();
    const auto next = conversations_.NextDeadline();
    // A timer set for earlier is left alone: when it fires it finds nothing due and sets
    // itself for the next deadline.
    if (!next || (invitationTimerDue_ && *invitationTimerDue_ <= *next)) {
        return;
    }
    invitationTimerDue_ = *next;
    invitationTimer_.expires_at(*next);
    invitationTimer_.async_wait([this](asio::error_code ec) {
        if (!ec) {
            OnInvitationTimer();
        }
    });
}

void VoiceServer::OnInvitationTimer() {
    invitationTimerDue_.reset();
    Deliveries out;
    conversations_.Expire(ConversationRegistry::Clock::now(), out);
    Deliver(std::move(out));
    // Expired invitations change no one's media: invited members neither send nor receive.
    ConversationsChanged();
}

bool VoiceServer::TakeSlot() {
    if (registered_ >= options_.limits.maxSessions) {
        return false;
    }
    ++registered_;
    return true;
}

void VoiceServer::ReleaseSlot() {
    if (registered_ > 0) {
        --registered_;
    }
}

void VoiceServer::Log(const std::string& line) {
    if (options_.logSink) {
        options_.logSink(line);
        return;
    }
    log_->Write(line);
}

void VoiceServer::Ended(SessionId session) {
    groupLists_.Unsubscribe(session);
    sessions_.erase(session);
}

std::optional<voice::MediaOffer> VoiceServer::OpenMedia(SessionId session,
                                                        const std::string& userId,
                                                        const std::string& nickname) {
    const std::optional<media::MediaKeys> keys = media::MakeMediaKeys();
    if (!keys || usedStreams_.size() >= 0xFFFFFFFEu) {
        return std::nullopt;
    }
    // Stream ids need not be secret (every datagram is sealed), only unique among sessions.
    do {
        ++nextStream_;
    } while (nextStream_ == 0 || usedStreams_.contains(nextStream_));
    const std::uint32_t streamId = nextStream_;
    usedStreams_.insert(streamId);
    streams_[session] = streamId;
    media_->AddSession(session, streamId, *keys);
    routing_.AddSession(session, MediaRouting::Stream{streamId, userId, nickname});
    voice::MediaOffer offer;
    offer.udpPort = static_cast<std::uint16_t>(media_->Port());
    offer.streamId = streamId;
    offer.key.assign(keys->key.begin(), keys->key.end());
    offer.token.assign(keys->token.begin(), keys->token.end());
    return offer;
}

void VoiceServer::SetMediaMode(SessionId session, const voice::MediaMode& mode) {
    media_->SetMode(session, mode.transport == 1, mode.slowLink == 1);
}

void VoiceServer::MediaFromTcp(SessionId session, std::string datagram) {
    media_->FromTcp(session, std::move(datagram));
}

void VoiceServer::CloseMedia(SessionId session) {
    const auto found = streams_.find(session);
    if (found == streams_.end()) {
        return;
    }
    usedStreams_.erase(found->second);
    streams_.erase(found);
    media_->RemoveSession(session);
    routing_.RemoveSession(session);
}

void VoiceServer::RoutesChanged(SessionId session) {
    // A request changes only the conferences its session is in, or was in before it.
    std::vector<std::int32_t> touched = routing_.ConferencesOf(session);
    const std::vector<std::int32_t> now = conversations_.ConferencesOf(session);
    touched.insert(touched.end(), now.begin(), now.end());
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    Deliveries out;
    MediaRouting::Listeners changes;
    for (std::int32_t conference : touched) {
        routing_.Update(conference, conversations_.MediaGroup(conference), out, changes);
    }
    // The relay first: an engine that learnt a stream may count on being heard.
    if (!changes.empty()) {
        media_->SetListeners(std::move(changes));
    }
    Deliver(std::move(out));
}

void VoiceServer::DeliverMedia(SessionId session) {
    std::vector<std::string> datagrams = media_->TakeTcp(session);
    const auto found = sessions_.find(session);
    if (found == sessions_.end()) {
        return;
    }
    const std::shared_ptr<VoiceSession> target = found->second;
    for (std::string& datagram : datagrams) {
        target->SendMedia(voice::EncodeMediaFrameDown(voice::MediaFrame{std::move(datagram)}));
    }
}

}  // namespace qv::voicesvc
