#pragma once

// One connection to the voice server, over TLS. Its own thread runs an io_context that owns the
// stream,
// the timers, the frame reader and the outbox; everything private runs on that thread. The
// public setters only post work to it, so they return at once and never raise an event
// themselves. A session reports exactly one connection result and, after it ended (Close, a
// broken connection, a protocol error or Stop), nothing more.

#include <array>
#include <asio.hpp>
#include <asio/ssl.hpp>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <thread>

#include "AudioBridge.h"
#include "ConferenceBook.h"
#include "ForumBook.h"
#include "NetMedia.h"
#include "QualityMeter.h"
#include "RegistrationGate.h"
#include "SessionHost.h"
#include "VoiceProtocol.h"

namespace qv::net {

struct SessionSettings {
    std::string server;
    std::uint16_t port = 0;
    std::uint32_t controlBuild = 0;
    std::uint64_t generation = 0;
    std::chrono::milliseconds welcomeTimeout{10000};
    // A server that stopped answering (a cable pulled, a machine gone) leaves the socket open.
    std::chrono::milliseconds silenceTimeout{20000};
    // What the instance knew when Connect was called; later changes come through the setters.
    std::string userId;
    std::string ticket;
    // Authorities trusted for the server's certificate besides the system's store.
    std::string caFile;
    // Where the audio engine's frames and notices come from; null: no audio.
    AudioBridge* bridge = nullptr;
    bool behindFirewall = false;
    bool slowLink = false;
    MediaTuning media;
};

// Which list a list request replaces or changes.
enum class ListKind { kWatch, kBlock };

class NetSession : private MediaLink {
  public:
    NetSession(SessionSettings settings, SessionHost& host);
    // Stops and joins the thread.
    ~NetSession();
    NetSession(const NetSession&) = delete;
    NetSession& operator=(const NetSession&) = delete;

    // Starts the thread and the connection attempt.
    void Start();
    // Ends the session (Bye when welcomed) and waits for the thread, except when called on the
    // thread itself, which then ends on its own once the handler running returns.
    void Stop();
    bool OnOwnThread() const { return threadId_.load() == std::this_thread::get_id(); }
    // The session has ended; nothing more comes from it.
    bool Over() const { return over_.load(); }
    std::int32_t PingMs() const { return over_ ? 0 : pingMs_.load(); }
    float LossPercent() const { return over_ ? 0.0f : loss_.load(); }

    void SetNickname(std::string nickname);
    void SetUserId(std::string userId);
    void SetVoiceTicket(std::string ticket);
    // A request frame for the server; held until Registered, then sent in order.
    void Request(std::string frame);
    // A watch or block list update of any length, sent in pieces that fit a frame as the
    // negotiated version allows; held like Request.
    void RequestList(ListKind kind, std::uint8_t op, std::string list);
    // Asks for the forum list (held until Registered, one request however many writes came
    // before it). A server without forums has none: groupListUpdate is raised once welcomed.
    void RefreshGroups();
    // A text chat line (an empty alias) for the user's conversation; with echo, the user's own
    // UserMessage is raised too once it went out, while the user is in a conversation.
    void RequestChat(std::string frame, bool echo, std::int16_t number, std::int16_t parameter,
                     std::string text);
    // Raises userListUpdate (a mute changed what the list shows).
    void ListChangedLater();
    // Voice: TCP instead of UDP; the slow-link class (one speaker forwarded).
    void SetBehindFirewall(bool on);
    void SetSlowLink(bool on);
    // Monotonic time of the latest voice packet in; 0 before any.
    std::int64_t LastVoiceNs() const { return lastVoiceNs_.load(); }
    // The version the server welcomed the session with; 0 before.
    std::uint16_t Protocol() const { return protocol_.load(); }
    ConferenceBook& Conferences() { return book_; }
    ForumBook& Forums() { return forum_; }
    // After the book armed the leaving of a conference still to come: sends the fence that
    // tells when it is not coming after all.
    void FenceUnjoined();

  private:
    template <typename Work>
    void Post(Work work) {
        asio::post(io_, [this, work = std::move(work)]() mutable {
            if (!over_) {
                work();
            }
        });
    }
    void Begin();
    void OnResolved(const asio::error_code& error,
                    const asio::ip::tcp::resolver::results_type& endpoints);
    void OnConnected(const asio::error_code& error);
    void OnHandshake(const asio::error_code& error);
    void SendList(ListKind kind, std::uint8_t op, const std::string& list);
    void ReadMore();
    void OnRead(const asio::error_code& error, std::size_t size);
    // Acts on one frame from the server; false once the session is over.
    bool Handle(const voice::Frame& frame);
    void OnWelcome(const voice::Welcome& welcome);
    void OnRegistered(const voice::Registered& registered);
    void OnPong(const voice::Ping& pong);
    void PingTick();
    void Publish();
    void TryRegister();
    // A media frame is dropped rather than queued behind a backed-up connection.
    void Send(std::string frame, bool media = false);
    void WriteNext();
    // MediaLink
    void SendControl(std::string frame, bool media) override;
    void Voice(audio::ReceivedFrame frame) override;
    void TransportChosen(bool tcp) override;
    // Takes what the audio engine produced: frames go out, notices become events.
    void DrainAudio();
    // After conference and forum frames: tells the host when the active conversation came or
    // went, or the forum's speaking right changed.
    void CheckConversation();
    // Raises what a book answered, stopping once the session is over.
    void RaiseAll(const std::vector<SessionHost::Raise>& events);
    // Decodes a forum frame of the negotiated version and raises what the forum book answers.
    template <typename Message, typename Apply>
    void Forum(const voice::Frame& frame, Apply apply);
    // A roster frame: the forum's, or else a conference's.
    template <typename Message, typename ForumApply, typename ConferenceApply>
    void Roster(const voice::Frame& frame, ForumApply forum, ConferenceApply conference);
    void OnMediaOffer(const voice::MediaOffer& offer);
    // Decodes a media frame of the negotiated version and acts on it.
    template <typename Message, typename Act>
    void Media(const voice::Frame& frame, Act act);
    void Raise(const SessionHost::Raise& raise);
    // Decodes a conference frame of the negotiated version and acts on the book's answer.
    template <typename Message, typename Apply>
    void Conference(const voice::Frame& frame, Apply apply);
    // Sends a ping now; its sequence.
    std::uint32_t SendPing();
    // Ends the session with that connection event and closes the socket.
    void End(std::int16_t state, const std::string& text);
    void ProtocolError();
    // Ends the session on our side: Bye when the server is listening, then the socket closes.
    void Leave();
    void CloseSocket();

    const SessionSettings settings_;
    SessionHost& host_;

    // First, so the socket, timers and queued handlers go before it.
    asio::io_context io_;
    asio::ip::tcp::resolver resolver_;
    asio::ssl::context tls_;
    asio::ssl::stream<asio::ip::tcp::socket> stream_;
    asio::steady_timer welcomeTimer_;
    asio::steady_timer pingTimer_;
    asio::steady_timer lingerTimer_;
    NetMedia media_;
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};
    std::uint64_t bridgeTicket_ = 0;
    AudioBridge::Batch batch_;
    ConversationState conversation_;
    std::atomic<std::int64_t> lastVoiceNs_{0};

    voice::FrameReader reader_;
    std::array<char, 16 * 1024> readBuffer_{};
    std::deque<std::string> outbox_;
    std::size_t outboxBytes_ = 0;
    bool writing_ = false;
    bool connected_ = false;
    bool welcomed_ = false;
    bool registered_ = false;
    bool closing_ = false;  // Bye queued; the socket closes once the outbox is out
    RegistrationGate gate_;
    // Requests made before Registered, in order.
    std::deque<std::function<void()>> held_;
    QualityMeter meter_;
    ConferenceBook book_;
    ForumBook forum_;
    bool groupsHeld_ = false;  // a forum list request waits for Registered
    std::string ownNickname_;  // as registered
    std::string ownId_;
    std::atomic<std::uint16_t> protocol_{0};
    std::chrono::steady_clock::time_point lastHeard_{};

    std::atomic<bool> over_{false};
    std::atomic<std::int32_t> pingMs_{0};
    std::atomic<float> loss_{0.0f};
};

}  // namespace qv::net
