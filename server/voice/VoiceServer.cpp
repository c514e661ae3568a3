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
      directory_(options_.directoryHost, options_.directoryPort, options_.directoryTimeout) {}

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

void VoiceServer::CheckConnection(const std::string& userId, const std::string& connectionId,
                                  std::function<void(CheckReply)> done) {
    directory_.Check(userId, connectionId,
                     [executor = io_.get_executor(), done = std::move(done)](CheckReply reply) {
                         asio::post(executor, [done, reply = std::move(reply)] { done(reply); });
                     });
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
    if (welcomed_ >= options_.limits.maxSessions) {
        return false;
    }
    ++welcomed_;
    return true;
}

void VoiceServer::ReleaseSlot() {
    if (welcomed_ > 0) {
        --welcomed_;
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
