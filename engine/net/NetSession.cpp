#include "NetSession.h"

#include <openssl/ssl.h>

namespace qv::net {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPingInterval = std::chrono::seconds(1);
// How long a Bye may take to leave before the socket is closed anyway.
constexpr auto kByeLinger = std::chrono::milliseconds(500);
// A server that stops reading cannot make us hold unbounded output.
constexpr std::size_t kMaxOutbox = 4 * 1024 * 1024;
// Voice over the control connection waits behind at most this much output (about 50 ms of the
// connection's usual traffic); beyond it the frame is late and dropped.
constexpr std::size_t kMaxMediaBacklog = 4 * 1024;

QualityMeter::Micros NowMicros() {
    return static_cast<QualityMeter::Micros>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
            .count());
}

template <typename Message>
bool Read(const voice::Frame& frame, Message& message) {
    return voice::Decode(frame.fields, message);
}

// Trusts the system's store and the named file; false when the file cannot be used.
bool Trust(asio::ssl::context& tls, const std::string& caFile) {
    asio::error_code ec;
    tls.set_default_verify_paths(ec);
    if (!caFile.empty()) {
        tls.load_verify_file(caFile, ec);
        if (ec) {
            return false;
        }
    }
    return true;
}

bool IsAddress(const std::string& host) {
    asio::error_code ec;
    asio::ip::make_address(host, ec);
    return !ec;
}

}  // namespace

NetSession::NetSession(SessionSettings settings, SessionHost& host)
    : settings_(std::move(settings)),
      host_(host),
      resolver_(io_),
      tls_(asio::ssl::context::tls_client),
      stream_(io_, tls_),
      welcomeTimer_(io_),
      pingTimer_(io_),
      lingerTimer_(io_),
      media_(io_, static_cast<MediaLink&>(*this), settings_.media) {
    media_.SetBehindFirewall(settings_.behindFirewall);
    media_.SetSlowLink(settings_.slowLink);
    gate_.SetUserId(settings_.userId);
    gate_.SetTicket(settings_.ticket);
}

NetSession::~NetSession() {
    if (settings_.bridge != nullptr) {
        settings_.bridge->Detach(bridgeTicket_);
    }
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
    if (settings_.bridge != nullptr) {
        // Called by the audio thread under the bridge's lock: it only posts.
        bridgeTicket_ = settings_.bridge->Attach([this] {
            asio::post(io_, [this] {
                if (!over_) {
                    DrainAudio();
                }
            });
        });
    }
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
            held_.push_back([this, frame = std::move(frame)]() mutable { Send(std::move(frame)); });
        }
    });
}

void NetSession::RequestList(ListKind kind, std::uint8_t op, std::string list) {
    Post([this, kind, op, list = std::move(list)]() mutable {
        if (registered_) {
            SendList(kind, op, list);
        } else {
            held_.push_back([this, kind, op, list = std::move(list)] { SendList(kind, op, list); });
        }
    });
}

void NetSession::SendList(ListKind kind, std::uint8_t op, const std::string& list) {
    const auto whole = [kind](std::uint8_t o, std::string text) {
        const voice::ListUpdate update{o, std::move(text)};
        return kind == ListKind::kWatch ? voice::EncodeWatchList(update)
                                        : voice::EncodeBlockList(update);
    };
    if (list.size() <= voice::kMaxIdList) {
        Send(whole(op, list));
        return;
    }
    // Every server this engine registers with has parts (version 2 on): it holds them and
    // applies them with the last piece as one list.
    std::vector<std::string> pieces = voice::SplitList(list);
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        const voice::ListPart part{std::move(pieces[i])};
        Send(kind == ListKind::kWatch ? voice::EncodeWatchListPart(part)
                                      : voice::EncodeBlockListPart(part));
    }
    Send(whole(op, std::move(pieces.back())));
}

void NetSession::SetBehindFirewall(bool on) {
    Post([this, on] { media_.SetBehindFirewall(on); });
}

void NetSession::SetSlowLink(bool on) {
    Post([this, on] { media_.SetSlowLink(on); });
}

void NetSession::RefreshGroups() {
    Post([this] {
        const auto ask = [this] {
            groupsHeld_ = false;
            if (voice::HasType(protocol_, voice::MessageType::kGroupListRequest)) {
                Send(voice::Encode(voice::GroupListRequest{}));
            } else {
                // No forums on this server: its list is empty, and says so.
                Raise([](SonaroEventSink& sink) { sink.groupListUpdate(); });
            }
        };
        if (registered_ ||
            (welcomed_ && !voice::HasType(protocol_, voice::MessageType::kGroupListRequest))) {
            ask();
        } else if (!groupsHeld_) {
            // One request once registered, however many writes came before.
            groupsHeld_ = true;
            held_.push_back(ask);
        }
    });
}

void NetSession::RequestChat(std::string frame, bool echo, std::int16_t number,
                             std::int16_t parameter, std::string text) {
    Post([this, frame = std::move(frame), echo, number, parameter,
          text = std::move(text)]() mutable {
        auto send = [this, frame = std::move(frame), echo, number, parameter,
                     text = std::move(text)]() mutable {
            Send(std::move(frame));
            // The server never sends a sender its own line; the echo is the engine's.
            if (echo && !over_ && (forum_.In() || book_.Active() != 0)) {
                Raise([this, number, parameter, &text](SonaroEventSink& sink) {
                    sink.UserMessage(ownNickname_, ownId_, number, parameter, text);
                });
            }
        };
        if (registered_) {
            send();
        } else {
            held_.push_back(std::move(send));
        }
    });
}

void NetSession::ListChangedLater() {
    Post([this] { Raise([](SonaroEventSink& sink) { sink.userListUpdate(); }); });
}

void NetSession::FenceUnjoined() {
    Post([this] { book_.SetFence(SendPing()); });
}

template <typename Message, typename Apply>
void NetSession::Conference(const voice::Frame& frame, Apply apply) {
    Message m;
    if (!voice::HasType(protocol_, frame.type) || !Read(frame, m)) {
        ProtocolError();
        return;
    }
    const ConferenceBook::Reaction reaction = apply(m);
    RaiseAll(reaction.events);
    if (reaction.leave && !over_) {
        Send(voice::EncodeLeave(voice::ConferenceRequest{*reaction.leave, 0, ""}));
    }
    if (!over_) {
        CheckConversation();
    }
}

void NetSession::CheckConversation() {
    ConversationState state;
    const bool inCall = book_.Active() != 0;
    // A call the user is active in takes the voice; the forum has it otherwise.
    state.forum = !inCall && forum_.In();
    state.active = inCall || state.forum;
    state.mayTalk = !state.forum || forum_.CanTalk();
    if (state.active != conversation_.active) {
        media_.SetConversation(state.active);
    }
    if (!(state == conversation_)) {
        conversation_ = state;
        host_.ConversationChanged(settings_.generation, state);
    }
}

void NetSession::RaiseAll(const std::vector<SessionHost::Raise>& events) {
    for (const SessionHost::Raise& raise : events) {
        if (over_) {
            return;
        }
        Raise(raise);
    }
}

template <typename Message, typename Apply>
void NetSession::Forum(const voice::Frame& frame, Apply apply) {
    Message m;
    if (!voice::HasType(protocol_, frame.type) || !Read(frame, m)) {
        ProtocolError();
        return;
    }
    RaiseAll(apply(m));
    if (!over_) {
        CheckConversation();
    }
}

template <typename Message, typename ForumApply, typename ConferenceApply>
void NetSession::Roster(const voice::Frame& frame, ForumApply forum, ConferenceApply conference) {
    Message m;
    if (!voice::HasType(protocol_, frame.type) || !Read(frame, m)) {
        ProtocolError();
        return;
    }
    ForumBook::Events events;
    if (forum(m, book_.Has(m.conversation), events)) {
        RaiseAll(events);
        return;
    }
    Conference<Message>(frame, conference);
}

template <typename Message, typename Act>
void NetSession::Media(const voice::Frame& frame, Act act) {
    Message m;
    if (!voice::HasType(protocol_, frame.type) || !Read(frame, m)) {
        ProtocolError();
        return;
    }
    act(m);
}

void NetSession::OnMediaOffer(const voice::MediaOffer& offer) {
    asio::error_code ec;
    const asio::ip::tcp::endpoint peer = stream_.lowest_layer().remote_endpoint(ec);
    if (ec) {
        return;
    }
    media_.Offer(offer, peer.address());
}

void NetSession::DrainAudio() {
    if (settings_.bridge == nullptr) {
        return;
    }
    settings_.bridge->Take(batch_);
    for (const audio::EncodedFrame& frame : batch_.frames) {
        media_.Send(frame);
    }
    for (const AudioBridge::Notice& notice : batch_.notices) {
        if (over_) {
            return;
        }
        if (notice.kind == AudioBridge::Notice::Kind::kMikeActive) {
            const std::int16_t state = notice.on ? 1 : 0;
            Raise([state](SonaroEventSink& sink) { sink.mikeActive(state); });
        } else if (const std::optional<NetMedia::Member> member = media_.Speaker(notice.streamId)) {
            const Bool32 on = notice.on ? 1 : 0;
            Raise([&member, on](SonaroEventSink& sink) {
                sink.userTalking(member->nickname, member->userId, on);
            });
        }
    }
}

void NetSession::SendControl(std::string frame, bool media) {
    if (!over_) {
        Send(std::move(frame), media);
    }
}

void NetSession::Voice(audio::ReceivedFrame frame) {
    lastVoiceNs_ = frame.arrivalNs;
    if (const std::optional<NetMedia::Member> member = media_.Speaker(frame.streamId);
        member && forum_.Muted(member->userId)) {
        return;  // muted by this listener
    }
    host_.VoiceArrived(settings_.generation, std::move(frame));
}

void NetSession::TransportChosen(bool tcp) {
    const std::int32_t code = tcp ? 1 : 0;
    Raise([code](SonaroEventSink& sink) { sink.FirewallNotify(code); });
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
    if (!Trust(tls_, settings_.caFile)) {
        End(2, "Cannot read the voice server's certificate authorities - " + settings_.caFile);
        return;
    }
    asio::async_connect(
        stream_.lowest_layer(), endpoints,
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
    asio::error_code ignored;
    stream_.lowest_layer().set_option(asio::ip::tcp::no_delay(true), ignored);
    if (!IsAddress(settings_.server)) {
        SSL_set_tlsext_host_name(stream_.native_handle(), settings_.server.c_str());
    }
    // On the stream itself: its SSL object took the context's settings when it was made.
    SSL_set_min_proto_version(stream_.native_handle(), TLS1_2_VERSION);
    stream_.set_verify_mode(asio::ssl::verify_peer);
    stream_.set_verify_callback(asio::ssl::host_name_verification(settings_.server));
    stream_.async_handshake(asio::ssl::stream_base::client,
                            [this](const asio::error_code& e) { OnHandshake(e); });
}

void NetSession::OnHandshake(const asio::error_code& error) {
    if (over_) {
        return;
    }
    if (error) {
        const bool untrusted = SSL_get_verify_result(stream_.native_handle()) != X509_V_OK;
        End(2, untrusted ? "The voice server's certificate is not trusted"
                         : "Cannot connect to the voice server");
        return;
    }
    connected_ = true;
    Send(voice::Encode(voice::Hello{voice::kProtocolVersion, settings_.controlBuild}));
    ReadMore();
}

void NetSession::ReadMore() {
    stream_.async_read_some(
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
        case MessageType::kJoinedConference:
            Conference<voice::JoinedConference>(
                frame, [this](const auto& m) { return book_.OnJoined(m); });
            break;
        case MessageType::kInvitation:
            Conference<voice::InvitationNotice>(
                frame, [this](const auto& m) { return book_.OnInvitation(m); });
            break;
        case MessageType::kInvitationCancel:
            Conference<voice::InvitationNotice>(
                frame, [this](const auto& m) { return book_.OnInvitationCancel(m); });
            break;
        case MessageType::kAcceptedConference:
            Conference<voice::AcceptedConference>(
                frame, [this](const auto& m) { return book_.OnAccepted(m); });
            break;
        case MessageType::kMemberJoined:
            Roster<voice::MemberJoined>(
                frame,
                [this](const auto& m, bool c, auto& out) {
                    return forum_.OnMemberJoined(m, c, out);
                },
                [this](const auto& m) { return book_.OnMemberJoined(m); });
            break;
        case MessageType::kMemberChanged:
            Roster<voice::MemberChanged>(
                frame,
                [this](const auto& m, bool c, auto& out) {
                    return forum_.OnMemberChanged(m, c, out);
                },
                [this](const auto& m) { return book_.OnMemberChanged(m); });
            break;
        case MessageType::kMemberLeft:
            Roster<voice::MemberLeft>(
                frame,
                [this](const auto& m, bool c, auto& out) { return forum_.OnMemberLeft(m, c, out); },
                [this](const auto& m) { return book_.OnMemberLeft(m); });
            break;
        case MessageType::kJoinedGroup:
            Forum<voice::JoinedGroup>(frame,
                                      [this](const auto& m) { return forum_.OnJoinedGroup(m); });
            break;
        case MessageType::kGroupList:
            Forum<voice::GroupList>(frame, [this](const auto& m) { return forum_.OnGroupList(m); });
            break;
        case MessageType::kCanTalk:
            Forum<voice::CanTalk>(frame, [this](const auto& m) { return forum_.OnCanTalk(m); });
            break;
        case MessageType::kMediaOffer:
            Media<voice::MediaOffer>(frame, [this](const auto& m) { OnMediaOffer(m); });
            break;
        case MessageType::kMediaStream:
            Media<voice::MediaStream>(frame, [this](const auto& m) { media_.Stream(m); });
            break;
        case MessageType::kMediaFrameDown:
            Media<voice::MediaFrame>(frame,
                                     [this](const auto& m) { media_.FrameDown(m.datagram); });
            break;
        default:
            // A second Welcome, our own message types, or a type this version does not know.
            ProtocolError();
            break;
    }
    return !over_;
}

void NetSession::OnWelcome(const voice::Welcome& welcome) {
    // The server answers with the lower of both versions. This engine logs in with a ticket
    // only, so a server too old for RegisterTicket is never sent one.
    if (welcome.protocol < voice::kRegisterTicketVersion ||
        welcome.protocol > voice::kProtocolVersion) {
        ProtocolError();
        return;
    }
    welcomed_ = true;
    protocol_ = welcome.protocol;
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
    book_.SetOwnId(registered.userId);
    forum_.SetOwnId(registered.userId);
    ownNickname_ = registered.nickname;
    ownId_ = registered.userId;
    std::deque<std::function<void()>> held;
    held.swap(held_);
    for (auto& send : held) {
        if (over_) {
            break;
        }
        send();
    }
    Raise([&registered](SonaroEventSink& sink) { sink.Registered(registered.nickname); });
}

void NetSession::OnPong(const voice::Ping& pong) {
    meter_.Answered(pong.sequence, NowMicros());
    book_.Fenced(pong.sequence);
    Publish();
}

void NetSession::PingTick() {
    if (Clock::now() - lastHeard_ > settings_.silenceTimeout) {
        End(5, "Connection lost");
        return;
    }
    SendPing();
    Publish();
    pingTimer_.expires_after(kPingInterval);
    pingTimer_.async_wait([this](const asio::error_code& error) {
        if (!error && !over_) {
            PingTick();
        }
    });
}

std::uint32_t NetSession::SendPing() {
    const QualityMeter::Micros now = NowMicros();
    const std::uint32_t sequence = meter_.Sent(now);
    Send(voice::EncodePing(voice::Ping{sequence, now}));
    return sequence;
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

void NetSession::Send(std::string frame, bool media) {
    if (media && (closing_ || outboxBytes_ > kMaxMediaBacklog)) {
        return;
    }
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
    asio::async_write(stream_, asio::buffer(outbox_.front()),
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
    media_.Close();
    if (!(conversation_ == ConversationState{})) {
        conversation_ = ConversationState{};
        host_.ConversationChanged(settings_.generation, conversation_);
    }
    resolver_.cancel();
    welcomeTimer_.cancel();
    pingTimer_.cancel();
    lingerTimer_.cancel();
    asio::error_code ignored;
    // No TLS close notice: Bye and Close end a session, so a cut stream loses nothing.
    auto& socket = stream_.lowest_layer();
    if (socket.is_open()) {
        socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
    }
}

}  // namespace qv::net
