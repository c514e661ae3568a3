#include "VoiceSession.h"

#include <algorithm>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "ConversationRegistry.h"
#include "IdLines.h"
#include "PresenceRegistry.h"
#include "SessionHost.h"

namespace qv::voicesvc {

namespace {

constexpr int kSendBuffer = 256 * 1024;
// ServerMessage number of a text chat line dropped for coming too fast (shown as it is).
constexpr std::int16_t kChatTooFast = 7;

}  // namespace

VoiceSession::VoiceSession(SessionId id, asio::ip::tcp::socket socket, asio::ssl::context* tls,
                           SessionHost& host)
    : id_(id),
      stream_(std::move(socket), tls),
      host_(host),
      timer_(stream_.Socket().get_executor()),
      budgetTimer_(stream_.Socket().get_executor()),
      flood_(host.Limits().floodFramesPerSecond, host.Limits().floodWindow),
      budget_(host.Limits().listIdsPerSecond, host.Limits().listIdsBurst),
      chat_(host.Limits().chatLines, host.Limits().chatWindow, host.Limits().chatBurst),
      mediaBudget_(host.Limits().mediaBudget) {
    asio::error_code ignored;
    asio::ip::tcp::socket& accepted = stream_.Socket();
    address_ = accepted.remote_endpoint(ignored).address().to_string();
    accepted.set_option(asio::ip::tcp::no_delay(true), ignored);
    // A fixed kernel buffer: left to grow, it would hold megabytes for an engine that does not
    // read, on top of the backlog the server allows.
    accepted.set_option(asio::socket_base::send_buffer_size(kSendBuffer), ignored);
}

void VoiceSession::Start() {
    started_ = lastFrame_ = Clock::now();
    host_.Log("session " + std::to_string(id_) + " connected from " + address_ +
              (stream_.Tls() ? "" : " (plain TCP)"));
    if (!host_.TakeUnregisteredSlot(address_)) {
        // No Close: flushing one would keep the socket for the linger time, which is what a
        // crowd of connections wants. The engine sees a lost connection and tries again later.
        End("too many sessions not registered", false);
        return;
    }
    unregisteredSlot_ = true;
    reader_.SetMaxBody(host_.Limits().maxUnregisteredFrame);
    // The Hello deadline covers the handshake too.
    ArmTimer();
    stream_.AsyncHandshake([self = shared_from_this()](asio::error_code ec) {
        if (self->state_ == State::kEnded) {
            self->CloseSocket();
        } else if (ec) {
            self->End("TLS handshake failed: " + ec.message(), false);
        } else {
            self->Read();
        }
    });
}

void VoiceSession::Read() {
    stream_.AsyncReadSome(asio::buffer(input_), [self = shared_from_this()](asio::error_code ec,
                                                                            std::size_t size) {
        if (ec) {
            if (self->state_ == State::kEnded) {
                self->CloseSocket();
            } else {
                // Engines close without TLS's close notice, as the server does.
                const bool hungUp =
                    ec == asio::error::eof || ec == asio::ssl::error::stream_truncated;
                self->End(hungUp ? "the engine hung up" : "read failed: " + ec.message(), false);
            }
            return;
        }
        self->OnRead(size);
    });
}

void VoiceSession::OnRead(std::size_t size) {
    if (state_ == State::kEnded) {
        // Closing: what the engine still sends is not read, only waited out.
        if (!socketClosed_) {
            Read();
        }
        return;
    }
    reader_.Append(input_.data(), size);
    if (TakeFrames()) {
        Read();
    }
}

bool VoiceSession::TakeFrames() {
    voice::Frame frame;
    for (;;) {
        if (deferred_) {
            frame = std::move(*deferred_);
            deferred_.reset();
        } else {
            const auto result = reader_.Next(frame);
            if (result == voice::FrameReader::Result::kBad) {
                return ProtocolError(state_ == State::kRegistered
                                         ? "bad frame length"
                                         : "bad or large frame before registration");
            }
            if (result == voice::FrameReader::Result::kNeedMore) {
                return true;
            }
            const Clock::time_point now = Clock::now();
            // Media frames are metered by the media budget, which drops instead of closing.
            const bool media = state_ == State::kRegistered &&
                               frame.type == voice::MessageType::kMediaFrameUp &&
                               version_ >= voice::kMediaVersion;
            if (!media && flood_.Count(now)) {
                End("too many frames", false);
                return false;
            }
            lastFrame_ = now;
        }
        if (CostsListWork(frame) && !budget_.Ready(Clock::now())) {
            // Not read further until the debt is paid: the engine's own frames queue up in its
            // socket, and the other sessions keep the io thread.
            deferred_ = std::move(frame);
            budgetTimer_.expires_at(budget_.ReadyAt());
            budgetTimer_.async_wait([self = shared_from_this()](asio::error_code ec) {
                if (!ec) {
                    self->ResumeAfterBudget();
                }
            });
            return false;
        }
        if (!Handle(frame)) {
            return false;
        }
    }
}

bool VoiceSession::CostsListWork(const voice::Frame& frame) const {
    using voice::MessageType;
    if (state_ != State::kRegistered) {
        return false;
    }
    switch (frame.type) {
        case MessageType::kSetWatchList:
        case MessageType::kSetBlockList:
        case MessageType::kWatchListPart:
        case MessageType::kBlockListPart:
        case MessageType::kSetStatus:
        case MessageType::kCancelInvitations:
        case MessageType::kGroupListRequest:
            return true;
        default:
            return false;
    }
}

void VoiceSession::ResumeAfterBudget() {
    if (state_ == State::kEnded) {
        return;
    }
    if (TakeFrames()) {
        Read();
    }
}

bool VoiceSession::Handle(const voice::Frame& frame) {
    using voice::MessageType;
    switch (state_) {
        case State::kAwaitHello:
            if (frame.type != MessageType::kHello) {
                return ProtocolError("frame before Hello");
            }
            return HandleHello(frame);
        case State::kAwaitRegister:
            if (frame.type == MessageType::kRegister) {
                // Connection ids are not taken any more; the update brings an engine that
                // registers with a ticket.
                Send(voice::Encode(
                    voice::Close{11, "This voice engine is out of date. Please update it."}));
                End("the engine is out of date (it registers with a connection id)", true);
                return false;
            }
            if (frame.type == MessageType::kRegisterTicket && version_ >= 2) {
                return HandleRegisterTicket(frame);
            }
            if (frame.type != MessageType::kPing) {
                return ProtocolError("frame before registration");
            }
            return HandleRegistered(frame);
        case State::kRegistered:
            return HandleRegistered(frame);
        case State::kEnded:
            return false;
    }
    return false;
}

bool VoiceSession::HandleHello(const voice::Frame& frame) {
    voice::Hello hello;
    if (!voice::Decode(frame.fields, hello)) {
        return ProtocolError("malformed Hello");
    }
    // Any version from the first on: the session speaks the lower of the two.
    if (hello.protocol < voice::kMinProtocolVersion) {
        Send(voice::Encode(voice::Close{13, "The server does not support this protocol version."}));
        End("unsupported protocol version " + std::to_string(hello.protocol), true);
        return false;
    }
    version_ = std::min(hello.protocol, voice::kProtocolVersion);
    const ServerConfig& config = host_.Config();
    Send(voice::Encode(voice::Welcome{version_, config.requiredControlBuild,
                                      config.RequiredVersions(), config.serverName}));
    state_ = State::kAwaitRegister;
    ArmTimer();  // from the Hello deadline to the Register deadline
    return true;
}

bool VoiceSession::HandleRegisterTicket(const voice::Frame& frame) {
    voice::RegisterTicket request;
    if (!voice::Decode(frame.fields, request)) {
        return ProtocolError("malformed RegisterTicket");
    }
    userId_ = request.userId;
    std::string nickname;
    const ticket::Fault fault = host_.CheckTicket(id_, userId_, request.ticket, nickname);
    if (fault != ticket::Fault::kNone) {
        // Never message 8: that would make the program forget the user's stored login, and a
        // wrong key or a skewed clock here would do it to everyone. As a lost connection, the
        // program logs in afresh and comes back with a new ticket.
        Send(voice::Encode(voice::Close{5, std::string("The voice login was refused (") +
                                               ticket::FaultName(fault) + "). Logging in again."}));
        End("ticket refused for " + userId_, true);
        return false;
    }
    if (!host_.TakeSlot()) {
        Send(voice::Encode(voice::Close{12, "The server is full."}));
        End("the server is full", true);
        return false;
    }
    slot_ = true;
    host_.ReleaseUnregisteredSlot(address_);
    unregisteredSlot_ = false;
    Deliveries out;
    const auto admission = host_.Registry().Admit(id_, userId_, nickname, address_, out);
    Deliver(std::move(out));
    if (admission != PresenceRegistry::Admission::kAdmitted) {
        End(userId_ + " is registered on another session", true);
        return false;
    }
    state_ = State::kRegistered;
    // Only a session that speaks conferences can be invited into one.
    if (version_ >= voice::kConferenceVersion) {
        host_.Conversations().AddSession(id_);
    }
    // Right after Registered (which Deliver queued), and only to a session that speaks media.
    if (version_ >= voice::kMediaVersion) {
        if (auto offer = host_.OpenMedia(id_, userId_, nickname)) {
            mediaOpen_ = true;
            Send(voice::Encode(*offer));
        } else {
            host_.Log("session " + std::to_string(id_) + ": no media binding");
        }
    }
    reader_.SetMaxBody(voice::kMaxFrameBody);
    host_.Log("session " + std::to_string(id_) + " registered as " + userId_);
    ArmTimer();  // the registration deadline no longer applies
    return true;
}

bool VoiceSession::HandleRegistered(const voice::Frame& frame) {
    using voice::MessageType;
    if (!voice::HasType(version_, frame.type)) {
        return ProtocolError("unexpected message type");
    }
    PresenceRegistry& registry = host_.Registry();
    Deliveries out;
    switch (frame.type) {
        case MessageType::kPing: {
            voice::Ping ping;
            if (!voice::Decode(frame.fields, ping)) {
                return ProtocolError("malformed Ping");
            }
            Send(voice::EncodePong(ping));
            return true;
        }
        case MessageType::kSetStatus: {
            voice::SetStatus status;
            if (!voice::Decode(frame.fields, status)) {
                return ProtocolError("malformed SetStatus");
            }
            const std::size_t cost = registry.StatusCost(id_);
            if (!registry.SetStatus(id_, status.mode, out)) {
                return ProtocolError("unknown status mode");
            }
            budget_.Charge(cost, Clock::now());
            break;
        }
        case MessageType::kSetWatchList:
        case MessageType::kSetBlockList:
            return HandleList(frame);
        case MessageType::kWatchListPart:
        case MessageType::kBlockListPart:
            return HandleListPart(frame);
        case MessageType::kInviteUser:
        case MessageType::kAcceptConference:
        case MessageType::kDeclineConference:
        case MessageType::kLeaveConference:
        case MessageType::kHoldConference:
        case MessageType::kCancelInvitations:
            return HandleConference(frame);
        case MessageType::kMediaMode:
        case MessageType::kMediaFrameUp:
            return HandleMedia(frame);
        case MessageType::kJoinGroup:
        case MessageType::kGroupListRequest:
        case MessageType::kBanMember:
        case MessageType::kSetMemberMicrophone:
        case MessageType::kSetMemberRole:
        case MessageType::kDisbandGroup:
        case MessageType::kRenameGroup:
            return HandleForum(frame);
        case MessageType::kSendUserMessage: {
            voice::SendUserMessage message;
            if (!voice::Decode(frame.fields, message)) {
                return ProtocolError("malformed SendUserMessage");
            }
            HandleUserMessage(message, out);
            break;
        }
        case MessageType::kBye: {
            voice::Bye bye;
            if (!voice::Decode(frame.fields, bye)) {
                return ProtocolError("malformed Bye");
            }
            End("bye", true);
            return false;
        }
        default:
            return ProtocolError("unexpected message type");
    }
    Deliver(std::move(out));
    return state_ != State::kEnded;
}

void VoiceSession::HandleUserMessage(const voice::SendUserMessage& message, Deliveries& out) {
    ConversationRegistry& conversations = host_.Conversations();
    if (!ConversationRegistry::IsChatLine(message) || version_ < voice::kConferenceVersion) {
        host_.Registry().SendUserMessage(id_, message, out);
        return;
    }
    switch (chat_.Take(Clock::now())) {
        case ChatMeter::Verdict::kSend:
            conversations.SendChatLine(id_, message, out);
            break;
        case ChatMeter::Verdict::kDrop:
            break;
        case ChatMeter::Verdict::kDropAndTell:
            out.push_back({id_, voice::Encode(voice::ServerMessage{
                                    1, kChatTooFast, "You are sending messages too quickly"})});
            break;
    }
}

bool VoiceSession::HandleList(const voice::Frame& frame) {
    const bool watch = frame.type == voice::MessageType::kSetWatchList;
    voice::ListUpdate update;
    if (!voice::Decode(frame.fields, update)) {
        return ProtocolError("malformed list update");
    }
    std::string& parts = watch ? watchParts_ : blockParts_;
    if (!parts.empty()) {
        update.list.insert(0, parts);
        parts.clear();
        parts.shrink_to_fit();
    }
    PresenceRegistry& registry = host_.Registry();
    const std::size_t cost =
        watch ? registry.WatchListCost(id_, update) : registry.BlockListCost(id_, update);
    Deliveries out;
    if (watch) {
        registry.SetWatchList(id_, update, out);
    } else {
        registry.SetBlockList(id_, update, out);
    }
    budget_.Charge(cost, Clock::now());
    Deliver(std::move(out));
    return state_ != State::kEnded;
}

bool VoiceSession::HandleListPart(const voice::Frame& frame) {
    voice::ListPart part;
    if (!voice::Decode(frame.fields, part)) {
        return ProtocolError("malformed list part");
    }
    std::string& parts =
        frame.type == voice::MessageType::kWatchListPart ? watchParts_ : blockParts_;
    if (parts.size() + part.list.size() + 1 > voice::kMaxWholeList) {
        return ProtocolError("list longer than the limit");
    }
    parts += part.list;
    // A part holds whole lines.
    if (!part.list.empty() && part.list.back() != '\n') {
        parts.push_back('\n');
    }
    budget_.Charge(LineCount(part.list), Clock::now());
    return true;
}

bool VoiceSession::HandleConference(const voice::Frame& frame) {
    using voice::MessageType;
    ConversationRegistry& conversations = host_.Conversations();
    Deliveries out;
    switch (frame.type) {
        case MessageType::kInviteUser: {
            voice::InviteUser request;
            if (!voice::Decode(frame.fields, request)) {
                return ProtocolError("malformed InviteUser");
            }
            conversations.InviteUser(id_, request, Clock::now(), out);
            break;
        }
        case MessageType::kAcceptConference: {
            voice::AcceptConference request;
            if (!voice::Decode(frame.fields, request)) {
                return ProtocolError("malformed AcceptConference");
            }
            conversations.Accept(id_, request.conference, out);
            break;
        }
        case MessageType::kCancelInvitations: {
            voice::CancelInvitations request;
            if (!voice::Decode(frame.fields, request)) {
                return ProtocolError("malformed CancelInvitations");
            }
            conversations.CancelInvitations(id_, request, out);
            // An id list like the others: reading it is list work.
            budget_.Charge(LineCount(request.ids), Clock::now());
            break;
        }
        default: {
            voice::ConferenceRequest request;
            if (!voice::Decode(frame.fields, request)) {
                return ProtocolError("malformed conference request");
            }
            if (frame.type == MessageType::kDeclineConference) {
                conversations.Decline(id_, request, out);
            } else if (frame.type == MessageType::kLeaveConference) {
                conversations.Leave(id_, request, out);
            } else {
                conversations.Hold(id_, request, out);
            }
            break;
        }
    }
    host_.ConversationsChanged();
    Deliver(std::move(out));
    // After the rosters, so an engine meets a member before it learns the member's stream.
    host_.RoutesChanged(id_);
    return state_ != State::kEnded;
}

bool VoiceSession::HandleForum(const voice::Frame& frame) {
    using voice::MessageType;
    ConversationRegistry& conversations = host_.Conversations();
    Deliveries out;
    bool malformed = false;
    switch (frame.type) {
        case MessageType::kJoinGroup: {
            voice::JoinGroup request;
            malformed = !voice::Decode(frame.fields, request);
            if (!malformed) {
                conversations.JoinGroup(id_, request, out);
            }
            break;
        }
        case MessageType::kGroupListRequest: {
            voice::GroupListRequest request;
            malformed = !voice::Decode(frame.fields, request);
            if (!malformed) {
                host_.SubscribeGroupList(id_);
                // Building the whole list costs about a line per forum.
                budget_.Charge(conversations.ForumCount(), Clock::now());
            }
            break;
        }
        case MessageType::kBanMember:
        case MessageType::kSetMemberMicrophone: {
            voice::MemberOperation request;
            malformed = !voice::Decode(frame.fields, request);
            if (!malformed) {
                if (frame.type == MessageType::kBanMember) {
                    conversations.BanMember(id_, request, out);
                } else {
                    conversations.SetMemberMicrophone(id_, request, out);
                }
                budget_.Charge(LineCount(request.ids), Clock::now());
            }
            break;
        }
        case MessageType::kSetMemberRole: {
            voice::SetMemberRole request;
            malformed = !voice::Decode(frame.fields, request);
            if (!malformed) {
                conversations.SetMemberRole(id_, request, out);
                budget_.Charge(LineCount(request.ids), Clock::now());
            }
            break;
        }
        case MessageType::kDisbandGroup: {
            voice::DisbandGroup request;
            malformed = !voice::Decode(frame.fields, request);
            if (!malformed) {
                conversations.DisbandGroup(id_, out);
            }
            break;
        }
        default: {
            voice::RenameGroup request;
            malformed = !voice::Decode(frame.fields, request);
            if (!malformed) {
                conversations.RenameGroup(id_, request, out);
            }
            break;
        }
    }
    if (malformed) {
        return ProtocolError("malformed forum request");
    }
    host_.ConversationsChanged();
    Deliver(std::move(out));
    host_.RoutesChanged(id_);
    return state_ != State::kEnded;
}

bool VoiceSession::HandleMedia(const voice::Frame& frame) {
    if (frame.type == voice::MessageType::kMediaMode) {
        voice::MediaMode mode;
        if (!voice::Decode(frame.fields, mode)) {
            return ProtocolError("malformed MediaMode");
        }
        if (mediaOpen_) {
            host_.SetMediaMode(id_, mode);
        }
        return true;
    }
    voice::MediaFrame up;
    if (!voice::Decode(frame.fields, up)) {
        return ProtocolError("malformed MediaFrameUp");
    }
    // Over budget: dropped here, before it costs the relay anything.
    if (mediaOpen_ &&
        mediaBudget_.Take(up.datagram.size(), std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  Clock::now().time_since_epoch())
                                                  .count())) {
        host_.MediaFromTcp(id_, std::move(up.datagram));
    }
    return true;
}

void VoiceSession::Deliver(Deliveries deliveries) {
    if (!deliveries.empty()) {
        host_.Deliver(std::move(deliveries));
    }
}

bool VoiceSession::ProtocolError(const char* what) {
    End(std::string("protocol error: ") + what, false);
    return false;
}

void VoiceSession::Send(const std::string& frame) {
    if (state_ == State::kEnded || overflowed_) {
        return;
    }
    // Never a type the session's version lacks: its engine would take it for a broken server.
    // (The registries do not address such sessions; this keeps a slip from costing a user the
    // connection.)
    if (version_ != 0 && frame.size() >= voice::kFrameHeaderSize + 2) {
        const auto type = static_cast<voice::MessageType>(
            (static_cast<unsigned char>(frame[voice::kFrameHeaderSize]) << 8) |
            static_cast<unsigned char>(frame[voice::kFrameHeaderSize + 1]));
        if (!voice::HasType(version_, type)) {
            host_.Log("session " + std::to_string(id_) + ": not sent a frame of type " +
                      std::to_string(static_cast<int>(type)) + ", which its version lacks");
            return;
        }
    }
    if (pending_.size() + writing_.size() + frame.size() > host_.Limits().maxBacklog) {
        // Not from inside whatever is delivering to this session.
        overflowed_ = true;
        asio::post(stream_.Socket().get_executor(), [self = shared_from_this()] {
            self->Abort("more than " + std::to_string(self->host_.Limits().maxBacklog) +
                        " bytes of output unread");
        });
        return;
    }
    pending_ += frame;
    Write();
}

void VoiceSession::SendMedia(std::string frame) {
    if (state_ == State::kEnded || overflowed_) {
        return;
    }
    // The same last guard as Send's (only sessions of version 4 have a media binding).
    if (version_ < voice::kMediaVersion) {
        host_.Log("session " + std::to_string(id_) +
                  ": not sent a media frame, which its version lacks");
        return;
    }
    if (media_.size() >= host_.Limits().mediaTcpQueue) {
        media_.pop_front();
    }
    media_.push_back(std::move(frame));
    Write();
}

void VoiceSession::Abort(const std::string& reason) {
    End(reason, false);
}

void VoiceSession::Write() {
    if (!writing_.empty() || socketClosed_) {
        return;
    }
    if (pending_.empty() && media_.empty()) {
        if (lingering_) {
            CloseSocket();
        }
        return;
    }
    // Media first: it is worth nothing late, and its queue is small.
    if (media_.empty()) {
        writing_.swap(pending_);
    } else {
        for (const std::string& frame : media_) {
            writing_ += frame;
        }
        media_.clear();
        writing_ += pending_;
        pending_.clear();
    }
    stream_.AsyncWrite(asio::buffer(writing_),
                       [self = shared_from_this()](asio::error_code ec, std::size_t) {
                           self->writing_.clear();
                           if (ec) {
                               if (self->state_ == State::kEnded) {
                                   self->CloseSocket();
                               } else {
                                   self->End("write failed: " + ec.message(), false);
                               }
                               return;
                           }
                           self->Write();
                       });
}

void VoiceSession::End(const std::string& reason, bool flush) {
    if (state_ == State::kEnded) {
        return;
    }
    state_ = State::kEnded;
    Deliveries out;
    // Its calls first: the others see it leave them before it goes offline to them.
    host_.Conversations().Remove(id_, out);
    host_.ConversationsChanged();
    host_.Registry().Remove(id_, out);
    if (slot_) {
        host_.ReleaseSlot();
    }
    if (unregisteredSlot_) {
        host_.ReleaseUnregisteredSlot(address_);
    }
    host_.Log("session " + std::to_string(id_) + " closed: " + reason);
    host_.Ended(id_);
    Deliver(std::move(out));
    if (mediaOpen_) {
        mediaOpen_ = false;
        host_.CloseMedia(id_);
    }
    host_.RoutesChanged(id_);
    media_.clear();
    if (flush && !overflowed_ && (!pending_.empty() || !writing_.empty())) {
        lingering_ = true;
        lingerUntil_ = Clock::now() + host_.Limits().closeLinger;
        ArmTimer();
        return;
    }
    CloseSocket();
}

void VoiceSession::CloseSocket() {
    if (socketClosed_) {
        return;
    }
    socketClosed_ = true;
    stream_.Close();
    timer_.cancel();
    budgetTimer_.cancel();
    pending_.clear();
}

void VoiceSession::ArmTimer() {
    const ServerLimits& limits = host_.Limits();
    Clock::time_point due = lastFrame_ + limits.idleTimeout;
    if (lingering_) {
        due = lingerUntil_;
    } else if (state_ == State::kAwaitHello) {
        due = std::min(due, started_ + limits.helloTimeout);
    } else if (state_ == State::kAwaitRegister) {
        due = std::min(due, started_ + limits.registerTimeout);
    }
    timer_.expires_at(due);
    timer_.async_wait([self = shared_from_this()](asio::error_code ec) {
        if (!ec) {
            self->OnTimer();
        }
    });
}

void VoiceSession::OnTimer() {
    if (socketClosed_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const ServerLimits& limits = host_.Limits();
    if (state_ == State::kEnded) {
        if (now >= lingerUntil_) {
            CloseSocket();
        } else {
            ArmTimer();
        }
        return;
    }
    if (state_ == State::kAwaitHello && now >= started_ + limits.helloTimeout) {
        End("no Hello in time", false);
        return;
    }
    if (state_ == State::kAwaitRegister && now >= started_ + limits.registerTimeout) {
        Send(voice::Encode(voice::Close{13, "No login arrived in time. Please log in again."}));
        End("no Register in time", true);
        return;
    }
    if (now >= lastFrame_ + limits.idleTimeout) {
        End("nothing received in time", false);
        return;
    }
    ArmTimer();
}

}  // namespace qv::voicesvc
