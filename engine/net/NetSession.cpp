#include "NetSession.h"

namespace qv::net {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPingInterval = std::chrono::seconds(1);
// How long a Bye may take to leave before the socket is closed anyway.
constexpr auto kByeLinger = std::chrono::milliseconds(500);
// A server that stops reading cannot make us hold unbounded output.
constexpr std::size_t kMaxOutbox = 4 * 1024 * 1024;

QualityMeter::Micros NowMicros() {
    return static_cast<QualityMeter::Micros>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
            .count());
}

template <typename Message>
bool Read(const voice::Frame& frame, Message& message) {
    return voice::Decode(frame.fields, message);
}

}  // namespace

NetSession::NetSession(SessionSettings settings, SessionHost& host)
    : settings_(std::move(settings)),
      host_(host),
      resolver_(io_),
      socket_(io_),
      welcomeTimer_(io_),
      pingTimer_(io_),
      lingerTimer_(io_) {
    gate_.SetUserId(settings_.userId);
    gate_.SetTicket(settings_.ticket);
}

NetSession::~NetSession() {
    if (OnOwnThread()) {
        // Only a host that destroys the engine from inside one of its events gets here; the
        // thread cannot wait for itself.
        Leave();
        thread_.detach();
        return;
    }
    Stop();
}

void NetSession::Start() {
    asio::post(io_, [this] { Begin(); });
    thread_ = std::thread([this] {
        threadId_.store(std::this_thread::get_id());
        io_.run();
    });
}

void NetSession::Stop() {
    if (OnOwnThread()) {
        Leave();
        return;
    }
    asio::post(io_, [this] { Leave(); });
    if (thread_.joinable()) {
        thread_.join();
    }
}

void NetSession::SetNickname(std::string nickname) {
    Post([this, nickname = std::move(nickname)] {
        gate_.SetNickname(nickname);
        TryRegister();
    });
}

void NetSession::SetUserId(std::string userId) {
    Post([this, userId = std::move(userId)] {
        gate_.SetUserId(userId);
        TryRegister();
    });
}

void NetSession::SetVoiceTicket(std::string ticket) {
    Post([this, ticket = std::move(ticket)] {
        gate_.SetTicket(ticket);
        TryRegister();
    });
}

void NetSession::Request(std::string frame) {
    Post([this, frame = std::move(frame)]() mutable {
        if (registered_) {
            Send(std::move(frame));
        } else {
            held_.push_back(std::move(frame));
        }
    });
}

void NetSession::RefreshGroups() {
    Post([this] {
        if (welcomed_) {
            Raise([](SonaroEventSink& sink) { sink.groupListUpdate(); });
        }
    });
}

void NetSession::Begin() {
    welcomeTimer_.expires_after(settings_.welcomeTimeout);
    welcomeTimer_.async_wait([this](const asio::error_code& error) {
        if (!error && !over_ && !welcomed_) {
            End(3, "No answer from the voice server");
        }
    });
    resolver_.async_resolve(
        settings_.server, std::to_string(settings_.port), asio::ip::tcp::resolver::numeric_service,
        [this](const asio::error_code& error, asio::ip::tcp::resolver::results_type endpoints) {
            OnResolved(error, endpoints);
        });
}

void NetSession::OnResolved(const asio::error_code& error,
                            const asio::ip::tcp::resolver::results_type& endpoints) {
    if (over_) {
        return;
    }
    if (error || endpoints.empty()) {
        End(1, "Voice server not found - " + settings_.server);
        return;
    }
    asio::async_connect(
        socket_, endpoints,
        [this](const asio::error_code& e, const asio::ip::tcp::endpoint&) { OnConnected(e); });
}

void NetSession::OnConnected(const asio::error_code& error) {
    if (over_) {
        return;
    }
    if (error) {
        End(2, error == asio::error::connection_refused ? "Connection refused"
                                                        : "Cannot connect to the voice server");
        return;
    }
    connected_ = true;
    asio::error_code ignored;
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    Send(voice::Encode(voice::Hello{voice::kProtocolVersion, settings_.controlBuild}));
    ReadMore();
}

void NetSession::ReadMore() {
    socket_.async_read_some(
        asio::buffer(readBuffer_),
        [this](const asio::error_code& error, std::size_t size) { OnRead(error, size); });
}

void NetSession::OnRead(const asio::error_code& error, std::size_t size) {
    if (over_) {
        return;
    }
    if (error) {
        End(5, "Connection lost");
        return;
    }
    lastHeard_ = Clock::now();
    reader_.Append(readBuffer_.data(), size);
    voice::Frame frame;
    for (;;) {
        switch (reader_.Next(frame)) {
            case voice::FrameReader::Result::kFrame:
                if (!Handle(frame)) {
                    return;
                }
                continue;
            case voice::FrameReader::Result::kNeedMore:
                ReadMore();
                return;
            case voice::FrameReader::Result::kBad:
                ProtocolError();
                return;
        }
    }
}

bool NetSession::Handle(const voice::Frame& frame) {
    using voice::MessageType;
    if (!welcomed_) {
        // Before Welcome the server may only welcome or refuse.
        if (frame.type == MessageType::kWelcome) {
            voice::Welcome welcome;
            if (!Read(frame, welcome)) {
                ProtocolError();
            } else {
                OnWelcome(welcome);
            }
        } else if (voice::Close close; frame.type == MessageType::kClose && Read(frame, close)) {
            // State 0 would read as "connected".
            End(close.state == 0 ? 5 : close.state, close.text);
        } else {
            ProtocolError();
        }
        return !over_;
    }
    switch (frame.type) {
        case MessageType::kClose: {
            voice::Close close;
            if (!Read(frame, close)) {
                ProtocolError();
            } else {
                End(close.state == 0 ? 5 : close.state, close.text);
            }
            break;
        }
        case MessageType::kRegistered: {
            voice::Registered registered;
            if (!Read(frame, registered) || !gate_.Sent() || registered_) {
                ProtocolError();
            } else {
                OnRegistered(registered);
            }
            break;
        }
        case MessageType::kServerMessage: {
            voice::ServerMessage m;
            if (!Read(frame, m)) {
                ProtocolError();
            } else {
                Raise(
                    [&m](SonaroEventSink& sink) { sink.serverMessage(m.type, m.number, m.text); });
            }
            break;
        }
        case MessageType::kWatch: {
            voice::Watch m;
            if (!Read(frame, m)) {
                ProtocolError();
            } else {
                Raise([&m](SonaroEventSink& sink) { sink.Watch(m.userId, m.status); });
            }
            break;
        }
        case MessageType::kUserMessage: {
            voice::UserMessage m;
            if (!Read(frame, m)) {
                ProtocolError();
            } else {
                Raise([&m](SonaroEventSink& sink) {
                    sink.UserMessage(m.alias, m.userId, m.number, m.parameter, m.text);
                });
            }
            break;
        }
        case MessageType::kPong: {
            voice::Ping pong;
            if (!Read(frame, pong)) {
                ProtocolError();
            } else {
                OnPong(pong);
            }
            break;
        }
        default:
            // A second Welcome, our own message types, or a type this version does not know.
            ProtocolError();
            break;
    }
    return !over_;
}

void NetSession::OnWelcome(const voice::Welcome& welcome) {
    if (welcome.protocol != voice::kProtocolVersion) {
        ProtocolError();
        return;
    }
    welcomed_ = true;
    welcomeTimer_.cancel();
    lastHeard_ = Clock::now();
    gate_.SetWelcomed();
    host_.Welcomed(settings_.generation, welcome);
    Raise([&welcome](SonaroEventSink& sink) { sink.connectionEvent(0, welcome.serverName); });
    if (over_) {
        return;
    }
    PingTick();
    TryRegister();
}

void NetSession::OnRegistered(const voice::Registered& registered) {
    registered_ = true;
    for (std::string& frame : held_) {
        Send(std::move(frame));
    }
    held_.clear();
    Raise([&registered](SonaroEventSink& sink) { sink.Registered(registered.nickname); });
}

void NetSession::OnPong(const voice::Ping& pong) {
    meter_.Answered(pong.sequence, NowMicros());
    Publish();
}

void NetSession::PingTick() {
    if (Clock::now() - lastHeard_ > settings_.silenceTimeout) {
        End(5, "Connection lost");
        return;
    }
    const QualityMeter::Micros now = NowMicros();
    const std::uint32_t sequence = meter_.Sent(now);
    Send(voice::EncodePing(voice::Ping{sequence, now}));
    Publish();
    pingTimer_.expires_after(kPingInterval);
    pingTimer_.async_wait([this](const asio::error_code& error) {
        if (!error && !over_) {
            PingTick();
        }
    });
}

void NetSession::Publish() {
    pingMs_ = meter_.PingMs();
    loss_ = meter_.LossPercent(NowMicros());
}

void NetSession::TryRegister() {
    if (std::optional<voice::RegisterTicket> message = gate_.Take()) {
        Send(voice::Encode(*message));
    }
}

void NetSession::Send(std::string frame) {
    if (!closing_ && outboxBytes_ + frame.size() > kMaxOutbox) {
        End(5, "Connection lost");
        return;
    }
    outboxBytes_ += frame.size();
    outbox_.push_back(std::move(frame));
    if (!writing_) {
        WriteNext();
    }
}

void NetSession::WriteNext() {
    writing_ = true;
    asio::async_write(socket_, asio::buffer(outbox_.front()),
                      [this](const asio::error_code& error, std::size_t) {
                          writing_ = false;
                          if (error) {
                              if (over_) {
                                  CloseSocket();
                              } else {
                                  End(5, "Connection lost");
                              }
                              return;
                          }
                          outboxBytes_ -= outbox_.front().size();
                          outbox_.pop_front();
                          if (!outbox_.empty()) {
                              WriteNext();
                          } else if (closing_) {
                              CloseSocket();
                          }
                      });
}

void NetSession::Raise(const SessionHost::Raise& raise) {
    host_.RaiseEvent(settings_.generation, raise);
}

void NetSession::End(std::int16_t state, const std::string& text) {
    if (over_) {
        return;
    }
    over_ = true;
    CloseSocket();
    Raise([state, &text](SonaroEventSink& sink) { sink.connectionEvent(state, text); });
}

void NetSession::ProtocolError() {
    End(5, "Protocol error");
}

void NetSession::Leave() {
    if (over_) {
        return;
    }
    over_ = true;
    if (!connected_) {
        CloseSocket();
        return;
    }
    closing_ = true;
    resolver_.cancel();
    welcomeTimer_.cancel();
    pingTimer_.cancel();
    lingerTimer_.expires_after(kByeLinger);
    lingerTimer_.async_wait([this](const asio::error_code& error) {
        if (!error) {
            CloseSocket();
        }
    });
    Send(voice::Encode(voice::Bye{}));
}

void NetSession::CloseSocket() {
    resolver_.cancel();
    welcomeTimer_.cancel();
    pingTimer_.cancel();
    lingerTimer_.cancel();
    asio::error_code ignored;
    if (socket_.is_open()) {
        socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket_.close(ignored);
    }
}

}  // namespace qv::net
