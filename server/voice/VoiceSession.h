#pragma once

// One engine's connection: reads frames, answers the handshake, checks the voice ticket, hands
// everything else to the presence and conversation registries and writes what the server owes
// the engine.
// Lives on the io thread only.

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "ChatMeter.h"
#include "Delivery.h"
#include "FloodMeter.h"
#include "ListBudget.h"
#include "MediaBudget.h"
#include "SessionStream.h"
#include "VoiceProtocol.h"

namespace qv::voicesvc {

class SessionHost;

class VoiceSession : public std::enable_shared_from_this<VoiceSession> {
  public:
    // tls: the server's context, or null for a session of the plain listener.
    VoiceSession(SessionId id, asio::ip::tcp::socket socket, asio::ssl::context* tls,
                 SessionHost& host);
    VoiceSession(const VoiceSession&) = delete;
    VoiceSession& operator=(const VoiceSession&) = delete;

    void Start();
    // Queues one whole frame.
    void Send(const std::string& frame);
    // Queues one MediaFrameDown ahead of the control frames waiting; the oldest is dropped when
    // the small media queue is full, and nothing of it counts toward the backlog limit.
    void SendMedia(std::string frame);
    // Bytes of output waiting for the engine to read.
    std::size_t Queued() const { return pending_.size() + writing_.size(); }
    bool Ended() const { return state_ == State::kEnded; }
    // Ends the session at once, without a word to the engine.
    void Abort(const std::string& reason);

  private:
    enum class State { kAwaitHello, kAwaitRegister, kRegistered, kEnded };
    using Clock = std::chrono::steady_clock;

    void Read();
    void OnRead(std::size_t size);
    // Handles the frames read so far; false when the session ended or waits for its budget.
    bool TakeFrames();
    // Frames that cost list work wait while the session's budget is in debt.
    bool CostsListWork(const voice::Frame& frame) const;
    void ResumeAfterBudget();
    // False when the frame ended the session.
    bool Handle(const voice::Frame& frame);
    bool HandleHello(const voice::Frame& frame);
    bool HandleRegisterTicket(const voice::Frame& frame);
    bool HandleRegistered(const voice::Frame& frame);
    bool HandleList(const voice::Frame& frame);
    bool HandleListPart(const voice::Frame& frame);
    bool HandleConference(const voice::Frame& frame);
    bool HandleForum(const voice::Frame& frame);
    bool HandleMedia(const voice::Frame& frame);
    void HandleUserMessage(const voice::SendUserMessage& message, Deliveries& out);
    void Deliver(Deliveries deliveries);
    // Ends the session; with flush the queued frames go out before the socket closes.
    void End(const std::string& reason, bool flush);
    bool ProtocolError(const char* what);
    void Write();
    void CloseSocket();
    void ArmTimer();
    void OnTimer();

    SessionId id_;
    SessionStream stream_;
    SessionHost& host_;
    asio::steady_timer timer_;
    asio::steady_timer budgetTimer_;
    std::string address_;
    std::string userId_;
    State state_ = State::kAwaitHello;
    // The version the Welcome gave; nothing newer is taken or sent.
    std::uint16_t version_ = 0;
    bool unregisteredSlot_ = false;
    bool slot_ = false;
    bool lingering_ = false;
    bool overflowed_ = false;
    bool socketClosed_ = false;
    bool mediaOpen_ = false;
    Clock::time_point started_;
    Clock::time_point lastFrame_;
    Clock::time_point lingerUntil_;
    FloodMeter flood_;
    ListBudget budget_;
    ChatMeter chat_;
    // MediaFrameUp frames: their own budget, not the flood meter's (voice is 100 frames a
    // second).
    media::MediaBudget mediaBudget_;
    std::deque<std::string> media_;
    // A list frame read while the budget was in debt; nothing more is read until it ran.
    std::optional<voice::Frame> deferred_;
    // The parts of a watch and a block list that wait for the frame that ends them.
    std::string watchParts_;
    std::string blockParts_;
    voice::FrameReader reader_;
    std::array<char, 16 * 1024> input_{};
    std::string pending_;
    std::string writing_;
};

}  // namespace qv::voicesvc
