// The media relay of a real voice server on loopback: fake engines register over plain TCP,
// make calls, and send sealed datagrams over raw UDP sockets and over the control connection.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FrameText.h"
#include "MediaPacket.h"
#include "RawVoiceClient.h"
#include "TicketKeys.h"
#include "VoiceServer.h"
#include "VoiceTicket.h"

namespace qv::voicesvc::test {
namespace {

using voice::MessageType;
using Bytes = std::vector<std::uint8_t>;

// A UDP socket on loopback that sends to the relay and reads what comes back.
class UdpPeer {
  public:
    UdpPeer() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    ~UdpPeer() { close(fd_); }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    void Send(const Bytes& datagram, int port) const {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
               sizeof to);
    }
    std::optional<Bytes> Receive(int timeoutMs = 2000) const {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) {
            return std::nullopt;
        }
        Bytes buffer(2048);
        const ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
        if (n < 0) {
            return std::nullopt;
        }
        buffer.resize(static_cast<std::size_t>(n));
        return buffer;
    }

  private:
    int fd_ = -1;
};

// A fake engine: its control connection, its offer's keys and a UDP socket.
struct Engine {
    std::string userId;
    std::string nickname;
    std::unique_ptr<RawVoiceClient> control;
    media::MediaKeys keys;
    std::uint32_t streamId = 0;
    int udpPort = 0;
    std::unique_ptr<UdpPeer> udp = std::make_unique<UdpPeer>();
    std::uint64_t sequence = 0;

    Bytes Voice(std::uint8_t level = 40, const Bytes& payload = {1, 2, 3, 4}) {
        media::MediaHeader h;
        h.sequence = ++sequence;
        h.timestamp = static_cast<std::uint32_t>(sequence * 480);
        h.streamId = streamId;
        h.level = level;
        return media::Seal(keys, media::Direction::kUp, h, payload);
    }
    Bytes Keepalive() {
        return media::SealKeepalive(keys, media::Direction::kUp, streamId, ++sequence);
    }
    void SendUdp(const Bytes& datagram) const { udp->Send(datagram, udpPort); }
    // The next datagram that opens with this engine's key, over UDP.
    std::optional<media::OpenedPacket> ReceiveUdp(int timeoutMs = 2000) const {
        const auto d = udp->Receive(timeoutMs);
        if (!d) {
            return std::nullopt;
        }
        return media::Open(keys, media::Direction::kDown, *d);
    }
    // The next MediaFrameDown's datagram, opened, other frames skipped.
    std::optional<media::OpenedPacket> ReceiveTcp(int timeoutMs = 2000) const {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            const auto frame = control->Next(static_cast<int>(std::max<long>(1, left.count())));
            if (!frame) {
                return std::nullopt;
            }
            voice::MediaFrame down;
            if (frame->type == MessageType::kMediaFrameDown && voice::Decode(frame->fields, down)) {
                return media::Open(keys, media::Direction::kDown,
                                   Bytes(down.datagram.begin(), down.datagram.end()));
            }
        }
        return std::nullopt;
    }
    bool SendTcp(const Bytes& datagram) const {
        return control->Send(voice::EncodeMediaFrameUp(
            voice::MediaFrame{std::string(datagram.begin(), datagram.end())}));
    }
};

class VoiceServerMediaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ticket::Initialize());
        ticket::NewSigningKey(secret_);
    }
    void TearDown() override {
        if (server_ != nullptr) {
            server_->Stop();
            thread_.join();
            server_.reset();
        }
        std::lock_guard lock(logMutex_);
        EXPECT_EQ(log_.find("which its version lacks"), std::string::npos) << log_;
    }

    void Start() {
        VoiceServerOptions options;
        options.listenPort = 0;
        std::copy(secret_.begin() + 32, secret_.end(), options.ticketKey.begin());
        options.config.plainHost = "127.0.0.1";
        options.config.plainPort = 0;
        options.limits = limits;
        options.forumPlan = forumPlan;
        options.logSink = [this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_ += line + "\n";
        };
        server_ = std::make_unique<VoiceServer>(std::move(options));
        std::string error;
        ASSERT_GT(server_->Listen(error), 0) << error;
        ASSERT_GT(server_->PlainPort(), 0);
        thread_ = std::thread([this] { server_->Run(); });
    }

    std::string Ticket(const std::string& userId, const std::string& nickname) {
        return ticket::Sign(ticket::VoiceTicket{userId, nickname, std::time(nullptr) + 300,
                                                ticket::NewNonce(), "quorvane"},
                            secret_);
    }

    Engine LoggedIn(const std::string& userId, const std::string& nickname,
                    std::uint16_t protocol = voice::kProtocolVersion) {
        Engine engine;
        engine.userId = userId;
        engine.nickname = nickname;
        engine.control = std::make_unique<RawVoiceClient>();
        EXPECT_TRUE(engine.control->Connect(server_->PlainPort()));
        EXPECT_TRUE(engine.control->Login(userId, Ticket(userId, nickname), protocol));
        if (const auto& offer = engine.control->offer) {
            std::copy(offer->key.begin(), offer->key.end(), engine.keys.key.begin());
            std::copy(offer->token.begin(), offer->token.end(), engine.keys.token.begin());
            engine.streamId = offer->streamId;
            engine.udpPort = offer->udpPort;
        }
        return engine;
    }

    // Reads frames until one of that type; its text, or "" when none came.
    static std::string WaitFor(const Engine& engine, MessageType type) {
        while (const auto frame = engine.control->Next()) {
            if (frame->type == type) {
                return FrameText(*frame);
            }
        }
        return "";
    }
    static std::int32_t Joined(const Engine& engine) {
        while (const auto frame = engine.control->Next()) {
            voice::JoinedConference m;
            if (frame->type == MessageType::kJoinedConference && voice::Decode(frame->fields, m)) {
                return m.conference;
            }
        }
        return 0;
    }

    // a calls b, b answers; the conference id. The server hands the relay its new routes
    // before it sends the streams, so b's MediaStream means the relay knows.
    std::int32_t Call(const Engine& a, const Engine& b) {
        EXPECT_TRUE(a.control->Send(voice::Encode(voice::InviteUser{b.userId, 0, ""})));
        const std::int32_t conference = Joined(a);
        EXPECT_NE(WaitFor(b, MessageType::kInvitation), "");
        EXPECT_TRUE(b.control->Send(voice::Encode(voice::AcceptConference{conference})));
        EXPECT_EQ(Joined(b), conference);
        EXPECT_EQ(WaitFor(b, MessageType::kMediaStream),
                  "MediaStream " + a.userId + " " + a.nickname);
        return conference;
    }
    // a invites c into its conference, c answers.
    void Add(const Engine& a, const Engine& c, std::int32_t conference) {
        EXPECT_TRUE(a.control->Send(voice::Encode(voice::InviteUser{c.userId, 0, ""})));
        EXPECT_NE(WaitFor(c, MessageType::kInvitation), "");
        EXPECT_TRUE(c.control->Send(voice::Encode(voice::AcceptConference{conference})));
        EXPECT_EQ(Joined(c), conference);
        EXPECT_NE(WaitFor(c, MessageType::kMediaStream), "");
    }

    // The frames until a Pong, as text (MediaStream frames left out): what the server sent the
    // engine before it answered.
    static std::vector<std::string> Until(const Engine& engine) {
        EXPECT_TRUE(engine.control->Send(voice::EncodePing(voice::Ping{9, 0})));
        std::vector<std::string> lines;
        while (const auto frame = engine.control->Next()) {
            if (frame->type == MessageType::kPong) {
                break;
            }
            if (frame->type != MessageType::kMediaStream) {
                lines.push_back(FrameText(*frame));
            }
        }
        return lines;
    }
    // Joins the forum and reads everything up to the Pong after it.
    static std::vector<std::string> JoinForum(const Engine& engine, const std::string& path,
                                              std::int32_t flags = 0) {
        EXPECT_TRUE(engine.control->Send(voice::Encode(voice::JoinGroup{1, path, "", flags})));
        return Until(engine);
    }

    // Binds an engine's UDP address: a keepalive answered.
    static bool Bind(Engine& engine) {
        engine.SendUdp(engine.Keepalive());
        const auto answer = engine.ReceiveUdp();
        return answer && answer->header.kind == media::PacketKind::kKeepalive;
    }

    // The relay has handled at least n datagrams (it runs on its own thread).
    // Waits until one counter reaches n. A forwarded packet can reach a test's socket before the
    // relay has counted it as received, so waiting on received alone can end one packet early.
    void WaitCounter(std::uint64_t MediaRelay::Counters::*counter, std::uint64_t n) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (server_->MediaCounters().*counter < n &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    void WaitReceived(std::uint64_t n) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (server_->MediaCounters().received < n &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    ServerLimits limits;
    ConversationRegistry::ForumPlan forumPlan;
    ticket::SecretKey secret_{};
    std::unique_ptr<VoiceServer> server_;
    std::thread thread_;
    std::mutex logMutex_;
    std::string log_;
};

TEST_F(VoiceServerMediaTest, TheOfferFollowsRegisteredForVersionFourOnly) {
    Start();
    for (std::uint16_t version : {2, 3}) {
        SCOPED_TRACE(version);
        Engine old = LoggedIn(std::to_string(100 + version), "Old", version);
        EXPECT_FALSE(old.control->offer.has_value());
        // Nothing at all follows its Registered: the frames of version 4 are not for it.
        EXPECT_TRUE(old.control->Quiet(200));
    }
    Engine a = LoggedIn("201", "Ann");
    Engine b = LoggedIn("202", "Bob");
    ASSERT_TRUE(a.control->offer && b.control->offer);
    EXPECT_EQ(a.udpPort, server_->MediaPort());
    EXPECT_NE(a.streamId, b.streamId);
    EXPECT_NE(a.keys.key, b.keys.key);
    EXPECT_NE(a.keys.token, b.keys.token);
}

TEST_F(VoiceServerMediaTest, MembersLearnEachOthersStreamsAndHearEachOtherNotTheHeldOne) {
    Start();
    Engine a = LoggedIn("301", "Ann");
    Engine b = LoggedIn("302", "Bob");
    Engine c = LoggedIn("303", "Cid");
    const std::int32_t conference = Call(a, b);  // Bob learnt Ann's stream
    EXPECT_EQ(WaitFor(a, MessageType::kMediaStream), "MediaStream 302 Bob");
    Add(a, c, conference);  // Cid learnt one of the two
    EXPECT_EQ(WaitFor(c, MessageType::kMediaStream).substr(0, 14), "MediaStream 30");
    EXPECT_EQ(WaitFor(a, MessageType::kMediaStream), "MediaStream 303 Cid");
    EXPECT_EQ(WaitFor(b, MessageType::kMediaStream), "MediaStream 303 Cid");
    ASSERT_TRUE(Bind(a));
    ASSERT_TRUE(Bind(b));
    ASSERT_TRUE(Bind(c));

    // Ann speaks: Bob and Cid hear her, with her stream id, re-sealed for each.
    a.SendUdp(a.Voice(30, {9, 8, 7}));
    for (const Engine* listener : {&b, &c}) {
        const auto heard = listener->ReceiveUdp();
        ASSERT_TRUE(heard.has_value()) << listener->nickname;
        EXPECT_EQ(heard->header.streamId, a.streamId);
        EXPECT_EQ(heard->header.level, 30);
        EXPECT_EQ(heard->payload, (Bytes{9, 8, 7}));
    }
    EXPECT_FALSE(a.udp->Receive(100).has_value()) << "a speaker does not hear itself";

    // Cid holds: it neither hears nor is heard.
    ASSERT_TRUE(c.control->Send(voice::EncodeHold({conference, 0, ""})));
    EXPECT_EQ(WaitFor(c, MessageType::kJoinedConference),
              "Joined " + std::to_string(conference) + " 0 0");
    // Its Ping is handled after the hold, which gave the relay its routes.
    ASSERT_TRUE(c.control->RoundTrip());
    a.SendUdp(a.Voice());
    EXPECT_TRUE(b.ReceiveUdp().has_value());
    EXPECT_FALSE(c.udp->Receive(200).has_value());
    const auto unroutedBefore = server_->MediaCounters().unrouted;
    c.SendUdp(c.Voice());
    WaitCounter(&MediaRelay::Counters::unrouted, unroutedBefore + 1);
    EXPECT_EQ(server_->MediaCounters().unrouted, unroutedBefore + 1);
    EXPECT_FALSE(a.udp->Receive(100).has_value());
    EXPECT_FALSE(b.udp->Receive(100).has_value());

    // Resumed, Cid hears Ann again.
    ASSERT_TRUE(c.control->Send(voice::Encode(voice::AcceptConference{conference})));
    EXPECT_EQ(Joined(c), conference);
    ASSERT_TRUE(c.control->RoundTrip());
    a.SendUdp(a.Voice());
    EXPECT_TRUE(b.ReceiveUdp().has_value());
    EXPECT_TRUE(c.ReceiveUdp().has_value());
}

TEST_F(VoiceServerMediaTest, WhatDoesNotOpenIsDroppedWithoutAReply) {
    Start();
    Engine a = LoggedIn("401", "Ann");
    Engine b = LoggedIn("402", "Bob");
    Call(a, b);
    ASSERT_TRUE(Bind(a));
    ASSERT_TRUE(Bind(b));
    media::MediaKeys wrongKey = a.keys;
    wrongKey.key[0] ^= 1;
    media::MediaKeys wrongToken = a.keys;
    wrongToken.token[0] ^= 1;
    media::MediaHeader h;
    h.streamId = a.streamId;
    h.sequence = 1000;
    Bytes tampered = a.Voice();
    tampered[8 + 2] ^= 0x40;  // another stream id
    Bytes tail = a.Voice();
    tail.back() ^= 1;
    media::MediaHeader unknown = h;
    unknown.streamId = 0x7FFFFFF0;
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"wrong key", media::Seal(wrongKey, media::Direction::kUp, h, Bytes{1, 2})},
        {"wrong token", media::SealKeepalive(wrongToken, media::Direction::kUp, a.streamId, 1001)},
        {"sealed for the other direction",
         media::Seal(a.keys, media::Direction::kDown, h, Bytes{1})},
        {"tampered header", tampered},
        {"tampered tag", tail},
        {"unknown stream", media::Seal(a.keys, media::Direction::kUp, unknown, Bytes{1})},
        {"too short", Bytes(5, 0x90)},
        {"garbage", Bytes(100, 0x55)},
    };
    const auto before = server_->MediaCounters();
    for (const auto& [name, datagram] : cases) {
        a.SendUdp(datagram);
    }
    WaitReceived(before.received + cases.size());
    const auto after = server_->MediaCounters();
    EXPECT_EQ(after.unauthenticated - before.unauthenticated, cases.size());
    EXPECT_FALSE(a.udp->Receive(100).has_value()) << "no reply to what does not open";
    EXPECT_FALSE(b.udp->Receive(100).has_value()) << "nothing forwarded";
    // A stranger's socket is not answered either.
    UdpPeer stranger;
    stranger.Send(Bytes(40, 0x90), a.udpPort);
    EXPECT_FALSE(stranger.Receive(100).has_value());
    // Ann herself still gets through.
    a.SendUdp(a.Voice());
    EXPECT_TRUE(b.ReceiveUdp().has_value());
}

TEST_F(VoiceServerMediaTest, TheAddressMovesOnlyWithAValidTagAndANewerSequence) {
    Start();
    Engine a = LoggedIn("501", "Ann");
    Engine b = LoggedIn("502", "Bob");
    Call(a, b);
    ASSERT_TRUE(Bind(a));
    ASSERT_TRUE(Bind(b));
    // A copy of one of Ann's packets, sent again from another socket: old sequence, not moved.
    const Bytes old = a.Voice();
    a.SendUdp(old);
    ASSERT_TRUE(b.ReceiveUdp().has_value());
    UdpPeer attacker;
    const auto before = server_->MediaCounters();
    attacker.Send(old, a.udpPort);
    WaitCounter(&MediaRelay::Counters::stale, before.stale + 1);
    EXPECT_EQ(server_->MediaCounters().stale, before.stale + 1);
    EXPECT_FALSE(b.udp->Receive(100).has_value());
    // Bob speaks: it still goes to Ann's real socket.
    b.SendUdp(b.Voice());
    EXPECT_TRUE(a.ReceiveUdp().has_value());
    EXPECT_FALSE(attacker.Receive(100).has_value());

    // Ann's NAT mapping changes: her next packet from the new socket moves her.
    auto moved = std::make_unique<UdpPeer>();
    moved->Send(a.Voice(), a.udpPort);
    EXPECT_TRUE(b.ReceiveUdp().has_value());
    a.udp = std::move(moved);
    b.SendUdp(b.Voice());
    EXPECT_TRUE(a.ReceiveUdp().has_value());
    EXPECT_EQ(server_->MediaCounters().rebound, before.rebound + 1);
}

TEST_F(VoiceServerMediaTest, TheTcpFallbackCarriesTheSameDatagramsBothWays) {
    Start();
    Engine a = LoggedIn("601", "Ann");
    Engine b = LoggedIn("602", "Bob");
    Call(a, b);
    // Ann is behind a firewall: everything over the control connection.
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::MediaMode{1, 0})));
    ASSERT_TRUE(a.SendTcp(a.Keepalive()));
    const auto answer = a.ReceiveTcp();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->header.kind, media::PacketKind::kKeepalive);
    ASSERT_TRUE(Bind(b));
    ASSERT_TRUE(a.SendTcp(a.Voice(35, {5, 5})));
    const auto atBob = b.ReceiveUdp();
    ASSERT_TRUE(atBob.has_value());
    EXPECT_EQ(atBob->header.streamId, a.streamId);
    EXPECT_EQ(atBob->payload, (Bytes{5, 5}));
    b.SendUdp(b.Voice(20, {6}));
    const auto atAnn = a.ReceiveTcp();
    ASSERT_TRUE(atAnn.has_value());
    EXPECT_EQ(atAnn->header.streamId, b.streamId);
    EXPECT_EQ(atAnn->payload, (Bytes{6}));
    // Another session's datagram over Ann's connection is not taken as hers.
    const auto before = server_->MediaCounters();
    ASSERT_TRUE(a.SendTcp(b.Voice()));
    EXPECT_TRUE(a.control->RoundTrip());
    WaitCounter(&MediaRelay::Counters::unauthenticated, before.unauthenticated + 1);
    EXPECT_EQ(server_->MediaCounters().unauthenticated, before.unauthenticated + 1);
    // A malformed MediaFrameUp is a protocol error like any other.
    ASSERT_TRUE(a.control->Send(voice::EncodeMediaFrameUp(voice::MediaFrame{""})));
    EXPECT_TRUE(a.control->WaitClosed());
}

TEST_F(VoiceServerMediaTest, ASenderOverItsBudgetIsDroppedNotClosed) {
    // Five a second refill next to nothing while the test sends.
    limits.mediaBudget = {5, 10, 1e6, 1e6};
    Start();
    Engine a = LoggedIn("701", "Ann");
    Engine b = LoggedIn("702", "Bob");
    Call(a, b);
    ASSERT_TRUE(Bind(a));  // one of the ten
    ASSERT_TRUE(Bind(b));
    const auto before = server_->MediaCounters();
    for (int i = 0; i < 100; ++i) {
        a.SendUdp(a.Voice());
    }
    WaitReceived(before.received + 100);
    const auto after = server_->MediaCounters();
    // The burst's nine left, and what five a second refill while the loop ran.
    EXPECT_GE(after.overBudget - before.overBudget, 80u);
    int heard = 0;
    while (b.ReceiveUdp(200)) {
        ++heard;
    }
    EXPECT_EQ(static_cast<std::uint64_t>(heard), 100 - (after.overBudget - before.overBudget));
    // Over TCP the same budget applies, and the session stays: media frames are not counted by
    // the flood limit of control frames (400 in 2 s).
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::MediaMode{1, 0})));
    for (int i = 0; i < 600; ++i) {
        ASSERT_TRUE(a.SendTcp(a.Voice()));
    }
    EXPECT_TRUE(a.control->RoundTrip());
    int overTcp = 0;
    while (b.ReceiveUdp(200)) {
        ++overTcp;
    }
    EXPECT_GE(overTcp, 1);
    EXPECT_LE(overTcp, 50);
}

TEST_F(VoiceServerMediaTest, AListenerGetsTheThreeLoudestAndASlowLinkOne) {
    Start();
    std::vector<Engine> e;
    for (int i = 0; i < 5; ++i) {
        e.push_back(LoggedIn(std::to_string(801 + i), "U" + std::to_string(i)));
    }
    const std::int32_t conference = Call(e[0], e[1]);
    for (int i = 2; i < 5; ++i) {
        Add(e[0], e[i], conference);
    }
    for (Engine& engine : e) {
        ASSERT_TRUE(Bind(engine));
    }
    // Four speakers, loudest first; e[0] listens.
    const std::uint8_t levels[] = {0, 20, 30, 40, 50};
    for (int i = 1; i < 5; ++i) {
        e[i].SendUdp(e[i].Voice(levels[i]));
        WaitReceived(0);
    }
    std::vector<std::uint32_t> heard;
    while (const auto p = e[0].ReceiveUdp(300)) {
        heard.push_back(p->header.streamId);
    }
    EXPECT_EQ(heard, (std::vector<std::uint32_t>{e[1].streamId, e[2].streamId, e[3].streamId}));
    // On a slow link: one. (What it heard as one of the four first goes.)
    while (e[4].ReceiveUdp(100)) {
    }
    ASSERT_TRUE(e[4].control->Send(voice::Encode(voice::MediaMode{0, 1})));
    ASSERT_TRUE(e[4].control->RoundTrip());
    for (int i = 1; i < 4; ++i) {
        e[i].SendUdp(e[i].Voice(levels[i]));
    }
    int slow = 0;
    while (e[4].ReceiveUdp(300)) {
        ++slow;
    }
    EXPECT_EQ(slow, 1);
}

TEST_F(VoiceServerMediaTest, TheEndOfASessionReleasesItsStream) {
    Start();
    Engine a = LoggedIn("901", "Ann");
    Engine b = LoggedIn("902", "Bob");
    Call(a, b);
    ASSERT_TRUE(Bind(a));
    ASSERT_TRUE(Bind(b));
    const Bytes later = a.Voice();
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::Bye{})));
    EXPECT_TRUE(a.control->WaitClosed());
    EXPECT_NE(WaitFor(b, MessageType::kMemberLeft), "");
    const auto before = server_->MediaCounters();
    a.SendUdp(later);
    WaitCounter(&MediaRelay::Counters::unauthenticated, before.unauthenticated + 1);
    EXPECT_EQ(server_->MediaCounters().unauthenticated, before.unauthenticated + 1);
    EXPECT_FALSE(b.udp->Receive(100).has_value());
}

constexpr std::int32_t kHiddenForum = 1;
constexpr std::int32_t kControlledForum = 8;

TEST_F(VoiceServerMediaTest, ForumMembersHearEachOtherAndControlledMicrophonesForwardOnlySpeakers) {
    Start();
    Engine a = LoggedIn("601", "Ann");
    Engine b = LoggedIn("602", "Bob");
    Engine c = LoggedIn("603", "Cid");
    // An open forum: everybody is heard.
    for (Engine* e : {&a, &b, &c}) {
        JoinForum(*e, "Open", kHiddenForum);
    }
    ASSERT_TRUE(Bind(a));
    ASSERT_TRUE(Bind(b));
    ASSERT_TRUE(Bind(c));
    const auto hears = [](const Engine& listener, const Engine& speaker) {
        const auto heard = listener.ReceiveUdp();
        return heard && heard->header.streamId == speaker.streamId;
    };
    b.SendUdp(b.Voice());
    EXPECT_TRUE(hears(a, b));
    EXPECT_TRUE(hears(c, b));

    // Controlled microphones: Ann owns the stage, Bob and Cid listen.
    for (Engine* e : {&a, &b, &c}) {
        JoinForum(*e, "Stage", kHiddenForum | kControlledForum);
    }
    Until(a);
    Until(b);
    a.SendUdp(a.Voice());
    EXPECT_TRUE(hears(b, a));
    EXPECT_TRUE(hears(c, a));
    const auto unroutedBefore = server_->MediaCounters().unrouted;
    b.SendUdp(b.Voice());
    WaitCounter(&MediaRelay::Counters::unrouted, unroutedBefore + 1);
    EXPECT_EQ(server_->MediaCounters().unrouted, unroutedBefore + 1);
    EXPECT_FALSE(a.udp->Receive(100).has_value());
    EXPECT_FALSE(c.udp->Receive(100).has_value());

    // Ann hands Bob a microphone: he is forwarded at once (the routes change before the
    // answer to Ann's next frame).
    ASSERT_TRUE(a.control->Send(voice::EncodeSetMemberMicrophone({b.userId + "\n", 1})));
    EXPECT_EQ(WaitFor(b, MessageType::kCanTalk), "CanTalk 1");
    ASSERT_TRUE(a.control->RoundTrip());
    b.SendUdp(b.Voice());
    EXPECT_TRUE(hears(a, b));
    EXPECT_TRUE(hears(c, b));
    // And taken again.
    ASSERT_TRUE(a.control->Send(voice::EncodeSetMemberMicrophone({b.userId + "\n", 2})));
    EXPECT_EQ(WaitFor(b, MessageType::kCanTalk), "CanTalk 0");
    ASSERT_TRUE(a.control->RoundTrip());
    b.SendUdp(b.Voice());
    EXPECT_FALSE(a.udp->Receive(200).has_value());
    EXPECT_FALSE(c.udp->Receive(100).has_value());
    // A moderator speaks without a microphone.
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::SetMemberRole{c.userId + "\n", 0, 1})));
    EXPECT_EQ(WaitFor(c, MessageType::kCanTalk), "CanTalk 1");
    ASSERT_TRUE(a.control->RoundTrip());
    c.SendUdp(c.Voice());
    EXPECT_TRUE(hears(a, c));
    EXPECT_TRUE(hears(b, c));
}

// Sessions in the permanent "General/Lobby" of category General.
class VoiceServerForumListTest : public VoiceServerMediaTest {
  protected:
    void SetUp() override {
        VoiceServerMediaTest::SetUp();
        forumPlan.categories = {"General"};
        forumPlan.forums = {{"General/Lobby", 0, ""}};
    }
    static std::vector<std::string> Lists(const std::vector<std::string>& lines) {
        std::vector<std::string> lists;
        for (const std::string& line : lines) {
            if (line.rfind("GroupList", 0) == 0) {
                lists.push_back(line);
            }
        }
        return lists;
    }
};

TEST_F(VoiceServerForumListTest, OnlyAskersGetListsAndAJoinStormIsCoalesced) {
    Start();
    Engine a = LoggedIn("701", "Ann");
    Engine b = LoggedIn("702", "Bob");
    ASSERT_TRUE(b.control->Send(voice::Encode(voice::GroupListRequest{})));
    EXPECT_EQ(Until(b), (std::vector<std::string>{"GroupList 1 General/Lobby\t0\t\n"}));

    // Ann never asked: she gets no list. Bob gets the change at once, as it is the first.
    EXPECT_TRUE(Lists(JoinForum(a, "General/Lobby")).empty());
    EXPECT_EQ(WaitFor(b, MessageType::kGroupList), "GroupList 1 General/Lobby\t1\t\n");

    // A storm of 40 changes in one go: each join makes a forum and ends the one before.
    std::string storm;
    for (int i = 1; i <= 40; ++i) {
        storm += voice::Encode(voice::JoinGroup{1, "General/Room " + std::to_string(i), "", 0});
    }
    ASSERT_TRUE(a.control->Send(storm));
    EXPECT_TRUE(Lists(Until(a)).empty());
    int lists = 0;
    for (;;) {
        const std::string list = WaitFor(b, MessageType::kGroupList);
        ASSERT_NE(list, "") << "the last list never came";
        ++lists;
        if (list == "GroupList 1 General/Lobby\t0\t\nGeneral/Room 40\t1\t\n") {
            break;
        }
    }
    // One interval's list (the first change after Bob's last list may go at once).
    EXPECT_LE(lists, 2);

    // Asking again is answered now, whatever the interval.
    ASSERT_TRUE(b.control->Send(voice::Encode(voice::GroupListRequest{})));
    EXPECT_EQ(Lists(Until(b)),
              (std::vector<std::string>{"GroupList 1 General/Lobby\t0\t\nGeneral/Room 40\t1\t\n"}));
    // Visible forums only inside a category; hidden ones anywhere; a permanent forum stays.
    EXPECT_EQ(JoinForum(a, "Elsewhere/Room"),
              (std::vector<std::string>{
                  "ServerMessage 1 1 No such category: forums are created inside a listed "
                  "category - Elsewhere/Room"}));
    EXPECT_EQ(JoinForum(a, "Elsewhere/Room", kHiddenForum).front(), "JoinedGroup [Elsewhere/Room]");
    JoinForum(a, "General/Lobby");
    JoinForum(a, "");
    ASSERT_TRUE(b.control->Send(voice::Encode(voice::GroupListRequest{})));
    EXPECT_EQ(Lists(Until(b)), (std::vector<std::string>{"GroupList 1 General/Lobby\t0\t\n"}));
}

TEST_F(VoiceServerForumListTest, RostersGoAsChanges) {
    Start();
    Engine a = LoggedIn("711", "Ann");
    Engine b = LoggedIn("712", "Bob");
    Engine c = LoggedIn("713", "Cid");
    JoinForum(a, "General/Lobby");
    JoinForum(b, "General/Lobby");
    Until(a);
    // The joiner gets the roster once; the others only the joiner's row.
    EXPECT_EQ(JoinForum(c, "General/Lobby"),
              (std::vector<std::string>{
                  "JoinedGroup [General/Lobby]", "MemberJoined 1 Ann 711 [] 1",
                  "MemberJoined 1 Bob 712 [] 1", "MemberJoined 1 Cid 713 [] 0", "CanTalk 1"}));
    EXPECT_EQ(Until(a), (std::vector<std::string>{"MemberJoined 1 Cid 713 [] 0"}));
    EXPECT_EQ(Until(b), (std::vector<std::string>{"MemberJoined 1 Cid 713 [] 0"}));
    EXPECT_EQ(JoinForum(c, ""), (std::vector<std::string>{"JoinedGroup []"}));
    EXPECT_EQ(Until(a), (std::vector<std::string>{"MemberLeft 1 Cid 713 0"}));
    EXPECT_EQ(Until(b), (std::vector<std::string>{"MemberLeft 1 Cid 713 0"}));
}

TEST_F(VoiceServerForumListTest, ChatLinesReachTheConversationAndWhispersTheirTarget) {
    Start();
    Engine a = LoggedIn("721", "Ann");
    Engine b = LoggedIn("722", "Bob");
    Engine c = LoggedIn("723", "Cid");
    Engine d = LoggedIn("724", "Dan");
    JoinForum(a, "General/Lobby");
    JoinForum(b, "General/Lobby");
    JoinForum(c, "General/Lobby");
    JoinForum(d, "General/Other");
    Until(a);
    Until(b);
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::SendUserMessage{"", 4, 0, "hello all"})));
    // The sender gets nothing back: its engine echoes its own line.
    EXPECT_TRUE(Until(a).empty());
    EXPECT_EQ(Until(b), (std::vector<std::string>{"UserMessage Ann 721 4 0 hello all"}));
    EXPECT_EQ(Until(c), (std::vector<std::string>{"UserMessage Ann 721 4 0 hello all"}));
    EXPECT_TRUE(Until(d).empty());
    ASSERT_TRUE(b.control->Send(voice::Encode(voice::SendUserMessage{"", 6, 0, "waves"})));
    // Bob's Pong: his line was handled before Ann's Ping is read.
    EXPECT_TRUE(Until(b).empty());
    EXPECT_EQ(Until(a), (std::vector<std::string>{"UserMessage Bob 722 6 0 waves"}));
    EXPECT_EQ(Until(c), (std::vector<std::string>{"UserMessage Bob 722 6 0 waves"}));
    // Whispers by nickname and by id.
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::SendUserMessage{"Cid", 5, 0, "psst"})));
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::SendUserMessage{"722", 5, 0, "psst"})));
    EXPECT_TRUE(Until(a).empty());
    EXPECT_EQ(Until(b), (std::vector<std::string>{"UserMessage Ann 721 5 0 psst"}));
    EXPECT_EQ(Until(c), (std::vector<std::string>{"UserMessage Ann 721 5 0 psst"}));
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::SendUserMessage{"Dan", 5, 0, "psst"})));
    EXPECT_EQ(Until(a), (std::vector<std::string>{"ServerMessage 1 2 User is offline - Dan"}));
    EXPECT_TRUE(Until(d).empty());
    // Other numbers with an id go to the user as before, wherever it is.
    ASSERT_TRUE(a.control->Send(voice::Encode(voice::SendUserMessage{"724", 1, 0, "note"})));
    EXPECT_TRUE(Until(a).empty());
    EXPECT_EQ(Until(d), (std::vector<std::string>{"UserMessage Ann 721 1 0 note"}));
}

TEST_F(VoiceServerForumListTest, ASenderThatFloodsTheRoomIsCutAndToldOnce) {
    Start();
    Engine a = LoggedIn("731", "Ann");
    Engine b = LoggedIn("732", "Bob");
    JoinForum(a, "General/Lobby");
    JoinForum(b, "General/Lobby");
    Until(a);
    // Twelve lines in one write: the first five pass, the rest are dropped.
    std::string flood;
    for (int i = 1; i <= 12; ++i) {
        flood += voice::Encode(voice::SendUserMessage{"", 4, 0, "line " + std::to_string(i)});
    }
    ASSERT_TRUE(a.control->Send(flood));
    EXPECT_EQ(Until(a),
              (std::vector<std::string>{"ServerMessage 1 7 You are sending messages too quickly"}));
    EXPECT_EQ(Until(b), (std::vector<std::string>{
                            "UserMessage Ann 731 4 0 line 1", "UserMessage Ann 731 4 0 line 2",
                            "UserMessage Ann 731 4 0 line 3", "UserMessage Ann 731 4 0 line 4",
                            "UserMessage Ann 731 4 0 line 5"}));
    // Bob's own lines are his own budget's.
    ASSERT_TRUE(b.control->Send(voice::Encode(voice::SendUserMessage{"", 4, 0, "calm down"})));
    EXPECT_TRUE(Until(b).empty());
    EXPECT_EQ(Until(a), (std::vector<std::string>{"UserMessage Bob 732 4 0 calm down"}));
}

}  // namespace
}  // namespace qv::voicesvc::test
