#include "VoiceServer.h"

#include <asio/post.hpp>
#include <cstdio>
#include <ctime>

#include "VoiceSession.h"

namespace qv::voicesvc {

VoiceServer::VoiceServer(VoiceServerOptions options)
    : options_(std::move(options)),
      acceptor_(io_),
      acceptRetry_(io_),
      usedTickets_(options_.limits.maxRememberedTickets) {}

VoiceServer::~VoiceServer() {
    // Ending a session takes it out of the map, so walk a copy.
    const auto sessions = std::move(sessions_);
    sessions_.clear();
    for (const auto& [id, session] : sessions) {
        session->Abort("the server stops");
    }
}

int VoiceServer::Listen(std::string& error) {
    asio::error_code ec;
    const auto address = asio::ip::make_address(options_.listenHost, ec);
    if (ec) {
        error = "not an IP address: " + options_.listenHost;
        return -1;
    }
    const asio::ip::tcp::endpoint endpoint(address,
                                           static_cast<unsigned short>(options_.listenPort));
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
        acceptor_.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        error = "cannot listen on " + options_.listenHost + ":" +
                std::to_string(options_.listenPort) + ": " + ec.message();
        return -1;
    }
    Accept();
    return acceptor_.local_endpoint(ec).port();
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
}

void VoiceServer::Accept() {
    acceptor_.async_accept([this](asio::error_code ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted) {
            return;
        }
        if (ec) {
            // Out of descriptors or memory: try again shortly rather than spin.
            Log("accept failed: " + ec.message());
            acceptRetry_.expires_after(std::chrono::milliseconds(100));
            acceptRetry_.async_wait([this](asio::error_code waitError) {
                if (!waitError) {
                    Accept();
                }
            });
            return;
        }
        const SessionId id = nextId_++;
        auto session =
            std::make_shared<VoiceSession>(id, std::move(socket), static_cast<SessionHost&>(*this));
        sessions_.emplace(id, session);
        session->Start();
        Accept();
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
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
    std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
    std::fflush(stderr);
}

void VoiceServer::Ended(SessionId session) {
    sessions_.erase(session);
}

}  // namespace qv::voicesvc
