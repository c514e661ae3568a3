#pragma once

// The voice server: accepts engines over TLS (and, when asked, on a plain TCP port for tests of
// old engines) and runs every session on one io thread; logins are checked there too, offline,
// against the directory's ticket key. Media runs on the relay's own thread; the log writer on
// another.

#include <array>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/signal_set.hpp>
#include <asio/ssl/context.hpp>
#include <asio/steady_timer.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "ConversationRegistry.h"
#include "GroupListFeed.h"
#include "LogQueue.h"
#include "MediaRelay.h"
#include "MediaRouting.h"
#include "PresenceRegistry.h"
#include "ServerConfig.h"
#include "ServerLimits.h"
#include "SessionHost.h"
#include "TicketReplayCache.h"
#include "VoiceTicket.h"

namespace qv::voicesvc {

class VoiceSession;

struct VoiceServerOptions {
    std::string listenHost = "127.0.0.1";
    int listenPort = 12011;
    // The directory's public key that signs voice tickets.
    ticket::PublicKey ticketKey{};
    ServerConfig config;
    ServerLimits limits;
    // Categories and permanent forums (the forum file).
    ConversationRegistry::ForumPlan forumPlan;
    // Receives the log lines; standard error when empty.
    std::function<void(const std::string&)> logSink;
};

class VoiceServer : private SessionHost {
  public:
    explicit VoiceServer(VoiceServerOptions options);
    ~VoiceServer() override;
    VoiceServer(const VoiceServer&) = delete;
    VoiceServer& operator=(const VoiceServer&) = delete;

    // Reads the certificate chain and key of the configuration; false with error set.
    bool LoadTls(std::string& error);
    // Binds the listening sockets, after LoadTls; the TLS port (the chosen one for port 0), or
    // -1 with error set.
    int Listen(std::string& error);
    // The plain listener's port, -1 when there is none.
    int PlainPort() const { return plainBound_; }
    // The media relay's UDP port, after Listen.
    int MediaPort() const { return media_->Port(); }
    MediaRelay::Counters MediaCounters() const { return media_->Read(); }
    // SIGINT and SIGTERM stop Run.
    void StopOnSignals();
    // Serves until Stop; call once, after Listen.
    void Run();
    // From any thread.
    void Stop();

  private:
    // Binds acceptor to host:port; the port, or -1 with error set.
    int Bind(asio::ip::tcp::acceptor& acceptor, const std::string& host, int port,
             std::string& error);
    void Accept(asio::ip::tcp::acceptor& acceptor, bool tls);

    const ServerConfig& Config() const override { return options_.config; }
    const ServerLimits& Limits() const override { return options_.limits; }
    PresenceRegistry& Registry() override { return registry_; }
    ConversationRegistry& Conversations() override { return conversations_; }
    void ConversationsChanged() override;
    void SubscribeGroupList(SessionId session) override;
    void OnInvitationTimer();
    // The forum list feed's timer follows its next due time.
    void ArmGroupListTimer();
    void PumpGroupLists();
    ticket::Fault CheckTicket(SessionId session, const std::string& userId, const std::string& text,
                              std::string& nickname) override;
    bool TakeUnregisteredSlot(const std::string& address) override;
    void ReleaseUnregisteredSlot(const std::string& address) override;
    void Deliver(Deliveries deliveries) override;
    bool TakeSlot() override;
    void ReleaseSlot() override;
    void Log(const std::string& line) override;
    void Ended(SessionId session) override;
    std::optional<voice::MediaOffer> OpenMedia(SessionId session, const std::string& userId,
                                               const std::string& nickname) override;
    void SetMediaMode(SessionId session, const voice::MediaMode& mode) override;
    void MediaFromTcp(SessionId session, std::string datagram) override;
    void CloseMedia(SessionId session) override;
    void RoutesChanged(SessionId session) override;
    // On the io thread: the relay queued datagrams for a session on the TCP fallback.
    void DeliverMedia(SessionId session);

    VoiceServerOptions options_;
    // Before the sessions, which log until they are gone.
    std::unique_ptr<LogQueue> log_;
    asio::io_context io_;
    asio::ssl::context tls_;
    asio::ip::tcp::acceptor acceptor_;
    asio::ip::tcp::acceptor plainAcceptor_;
    int plainBound_ = -1;
    std::unique_ptr<asio::signal_set> signals_;
    PresenceRegistry registry_;
    ConversationRegistry conversations_;
    // Wakes the server for the next invitation deadline; due is what it is set for.
    asio::steady_timer invitationTimer_;
    std::optional<ConversationRegistry::Clock::time_point> invitationTimerDue_;
    GroupListFeed groupLists_;
    asio::steady_timer groupListTimer_;
    std::optional<GroupListFeed::Clock::time_point> groupListTimerDue_;
    std::unordered_map<SessionId, std::shared_ptr<VoiceSession>> sessions_;
    SessionId nextId_ = 1;
    std::size_t registered_ = 0;
    std::size_t unregistered_ = 0;
    std::unordered_map<std::string, std::size_t> unregisteredByAddress_;
    TicketReplayCache usedTickets_;
    // Refused tickets by reason, for the log.
    std::array<std::uint64_t, 16> refusals_{};
    MediaRouting routing_;
    std::unordered_map<SessionId, std::uint32_t> streams_;
    std::unordered_set<std::uint32_t> usedStreams_;
    std::uint32_t nextStream_ = 0;
    // Last: its thread stops before anything it posts to goes.
    std::unique_ptr<MediaRelay> media_;
};

}  // namespace qv::voicesvc
