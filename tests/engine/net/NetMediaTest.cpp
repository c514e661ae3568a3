// The networked engine's voice transport against a scripted server and a fake UDP peer: the
// binding with sealed keepalives, the fall back to TCP (no answer, a forged answer, no UDP port,
// behind a firewall), the slow link, voice going up while a call is active and stopping while it
// is held, and voice coming down becoming userTalking for the member the server named.

#include <sodium.h>

#include <thread>

#include "FakeMediaPeer.h"
#include "MediaPacket.h"
#include "NetEngineFixture.h"
#include "ToneBursts.h"
#include "support/TempFolder.h"

namespace qv::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Millis = std::chrono::milliseconds;
using voice::MessageType;

constexpr std::uint32_t kOwnStream = 77;

class NetMediaTest : public NetEngineFixture {
  protected:
    void SetUp() override {
        ASSERT_GE(sodium_init(), 0);
        NetEngineFixture::SetUp();
        ASSERT_TRUE(Tuning().SetAudioDevice("null"));
        randombytes_buf(keys.key.data(), keys.key.size());
        randombytes_buf(keys.token.data(), keys.token.size());
    }

    std::string Offer(std::uint16_t port) const {
        return voice::Encode(voice::MediaOffer{port, kOwnStream,
                                               std::string(keys.key.begin(), keys.key.end()),
                                               std::string(keys.token.begin(), keys.token.end())});
    }
    // Logs in and offers media on the peer's port (or on none).
    void Offered(std::uint16_t port) {
        LogIn();
        ASSERT_TRUE(server.Send(Offer(port)));
    }
    static Bytes Keepalive(const media::MediaKeys& with, std::uint64_t sequence) {
        media::MediaHeader header;
        header.kind = media::PacketKind::kKeepalive;
        header.sequence = sequence;
        header.streamId = kOwnStream;
        return media::Seal(with, media::Direction::kDown, header, with.token);
    }
    // The next MediaMode the engine sends; nullopt when another frame or none comes.
    std::optional<voice::MediaMode> NextMode() {
        return As<voice::MediaMode>(server.Next(), MessageType::kMediaMode);
    }
    // The next voice packet the peer gets, opened; keepalives are skipped.
    std::optional<media::OpenedPacket> NextVoice(Millis timeout = Millis(3000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::optional<Bytes> datagram = peer.Next(Millis(200));
            if (!datagram) {
                continue;
            }
            std::optional<media::OpenedPacket> packet =
                media::Open(keys, media::Direction::kUp, *datagram);
            if (packet && packet->header.kind == media::PacketKind::kVoice) {
                return packet;
            }
        }
        return std::nullopt;
    }
    // Binds over UDP: the first keepalive is answered.
    void Bound() {
        Offered(peer.Port());
        const std::optional<Bytes> first = peer.Next();
        ASSERT_TRUE(first);
        ASSERT_TRUE(peer.Answer(Keepalive(keys, 1)));
        ASSERT_TRUE(sink.WaitFor("FirewallNotify 0"));
    }
    // Audio on a file of tone bursts, the microphone open with no gate, in conference 5 (or, in
    // a forum, only the audio).
    void Talking(bool inCall = true) {
        ASSERT_TRUE(audio::testing::WriteToneBursts(folder.File("tones.wav"),
                                                    {{0, 700, 4000}, {4500, 1100, 4000}}, 9000));
        ASSERT_TRUE(Tuning().SetAudioDevice("file:" + folder.File("tones.wav") + "," +
                                            folder.File("heard.wav")));
        Engine().SetSquelch(0);
        ASSERT_EQ(Engine().StartAudio(), 0);
        Engine().Talk(1);
        if (inCall) {
            ASSERT_TRUE(server.Send(voice::Encode(voice::JoinedConference{5, 1, 0})));
        }
    }
    // In forum 80 with the right to speak as given.
    void InForum(int canTalk) {
        ASSERT_TRUE(server.Send(voice::Encode(voice::JoinedGroup{"General/Lobby"})));
        ASSERT_TRUE(server.Send(voice::Encode(voice::MemberJoined{80, "Nick", "42", "", 0})));
        ASSERT_TRUE(server.Send(voice::Encode(voice::CanTalk{static_cast<std::uint8_t>(canTalk)})));
    }
    // The timestamp step between packets that follow each other: the frame length in samples.
    std::uint32_t FrameStep() {
        std::optional<media::OpenedPacket> before = NextVoice();
        for (int i = 0; i < 50 && before; ++i) {
            std::optional<media::OpenedPacket> next = NextVoice();
            if (!next) {
                return 0;
            }
            if (next->header.sequence == before->header.sequence + 1 && !next->header.marker) {
                return next->header.timestamp - before->header.timestamp;
            }
            before = next;
        }
        return 0;
    }
    // Waits out what was on its way, then says whether any voice comes up.
    bool VoiceStillComes() {
        std::this_thread::sleep_for(Millis(200));
        while (peer.Next(Millis(50))) {
        }
        return NextVoice(Millis(600)).has_value();
    }

    FakeMediaPeer peer;
    media::MediaKeys keys;
    TempFolder folder;
};

TEST_F(NetMediaTest, TheEngineBindsWithSealedKeepalivesUntilTheServerAnswers) {
    Offered(peer.Port());
    std::uint64_t last = 0;
    for (int i = 0; i < 2; ++i) {
        const std::optional<Bytes> datagram = peer.Next();
        ASSERT_TRUE(datagram) << "keepalive " << i;
        EXPECT_EQ(media::PeekStreamId(*datagram), kOwnStream);
        const std::optional<media::OpenedPacket> packet =
            media::Open(keys, media::Direction::kUp, *datagram);
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->header.kind, media::PacketKind::kKeepalive);
        EXPECT_EQ(packet->header.streamId, kOwnStream);
        if (i > 0) {
            EXPECT_GT(packet->header.sequence, last);
        }
        last = packet->header.sequence;
    }
    ASSERT_TRUE(peer.Answer(Keepalive(keys, 1)));
    ASSERT_TRUE(sink.WaitFor("FirewallNotify 0"));
    // UDP is what the server takes by default: nothing to tell it, and no keepalive for 15 s.
    EXPECT_TRUE(server.Quiet(Millis(300)));
    EXPECT_FALSE(peer.Next(Millis(1200)));
}

TEST_F(NetMediaTest, AForgedAnswerIsIgnoredAndVoiceGoesOverTcpAfterTheBindTimeout) {
    struct Case {
        const char* name;
        std::function<Bytes(const media::MediaKeys&)> answer;
    };
    const std::vector<Case> cases = {
        {"NoAnswer", nullptr},
        {"WrongKey",
         [](media::MediaKeys k) {
             k.key[0] ^= 1;
             return Keepalive(k, 1);
         }},
        {"WrongToken",
         [](media::MediaKeys k) {
             k.token[3] ^= 1;
             return Keepalive(k, 1);
         }},
        {"Garbage", [](const media::MediaKeys&) { return Bytes(40, 0x80); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tuning().SetMediaBindTimeout(400);
        Offered(peer.Port());
        ASSERT_TRUE(peer.Next());
        if (c.answer) {
            ASSERT_TRUE(peer.Answer(c.answer(keys)));
        }
        const std::optional<voice::MediaMode> mode = NextMode();
        ASSERT_TRUE(mode);
        EXPECT_EQ(mode->transport, 1);
        EXPECT_EQ(mode->slowLink, 0);
        EXPECT_TRUE(sink.WaitFor("FirewallNotify 1"));
        EXPECT_FALSE(sink.Saw("FirewallNotify 0"));
        // Next case on a fresh connection.
        Engine().Disconnect();
        ASSERT_TRUE(server.WaitForHangUp());
        sink.Clear();
    }
}

TEST_F(NetMediaTest, BehindAFirewallOrWithNoUdpPortVoiceGoesOverTcpAtOnce) {
    struct Case {
        const char* name;
        bool behindFirewall;
        bool slowLink;
        bool offerUdp;
    };
    for (const Case& c : {Case{"BehindFirewall", true, false, true},
                          Case{"BehindFirewallOnASlowLink", true, true, true},
                          Case{"NoUdpPort", false, false, false}}) {
        SCOPED_TRACE(c.name);
        Engine().SetParameter(1, c.behindFirewall ? 1 : 0);
        Engine().SetParameter(2, c.slowLink ? 0 : 1);
        Offered(c.offerUdp ? peer.Port() : 0);
        const std::optional<voice::MediaMode> mode = NextMode();
        ASSERT_TRUE(mode);
        EXPECT_EQ(mode->transport, 1);
        EXPECT_EQ(mode->slowLink, c.slowLink ? 1 : 0);
        EXPECT_TRUE(sink.WaitFor("FirewallNotify 1"));
        EXPECT_FALSE(peer.Next(Millis(300))) << "no datagram";
        Engine().Disconnect();
        ASSERT_TRUE(server.WaitForHangUp());
        sink.Clear();
    }
}

TEST_F(NetMediaTest, TurningTheFirewallOnOrTheSpeedDownLaterTellsTheServer) {
    Bound();
    Engine().SetParameter(2, 0);
    std::optional<voice::MediaMode> mode = NextMode();
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->transport, 0);
    EXPECT_EQ(mode->slowLink, 1);
    Engine().SetParameter(1, 1);
    mode = NextMode();
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->transport, 1);
    EXPECT_EQ(mode->slowLink, 1);
    EXPECT_TRUE(sink.WaitFor("FirewallNotify 1"));
}

TEST_F(NetMediaTest, AnOlderServerIsNeverSentMediaAndMayNotOfferAny) {
    server.protocol = voice::kConferenceVersion;
    Engine().SetParameter(1, 1);
    LogIn();
    EXPECT_TRUE(server.Quiet(Millis(300)));
    ASSERT_TRUE(server.Send(Offer(peer.Port())));
    EXPECT_TRUE(sink.WaitFor("connectionEvent 5 Protocol error"));
}

TEST_F(NetMediaTest, VoiceGoesUpSealedWhileTheCallIsActiveAndStopsWhileItIsHeld) {
    Bound();
    Talking();
    std::optional<media::OpenedPacket> packet = NextVoice();
    ASSERT_TRUE(packet) << "no voice came up";
    EXPECT_EQ(packet->header.streamId, kOwnStream);
    EXPECT_FALSE(packet->payload.empty());
    std::uint64_t last = packet->header.sequence;
    for (int i = 0; i < 20; ++i) {
        packet = NextVoice();
        ASSERT_TRUE(packet);
        EXPECT_GT(packet->header.sequence, last);
        last = packet->header.sequence;
    }
    // Held: nothing more goes up (what was on its way may still come).
    ASSERT_TRUE(server.Send(voice::Encode(voice::JoinedConference{5, 0, 0})));
    std::this_thread::sleep_for(Millis(200));
    while (peer.Next(Millis(50))) {
    }
    EXPECT_FALSE(NextVoice(Millis(600)));
    // Resumed: voice again.
    ASSERT_TRUE(server.Send(voice::Encode(voice::JoinedConference{5, 1, 0})));
    EXPECT_TRUE(NextVoice());
}

TEST_F(NetMediaTest, OverTcpVoiceTravelsInMediaFrames) {
    Engine().SetParameter(1, 1);
    Offered(peer.Port());
    ASSERT_TRUE(NextMode());
    Talking();
    int frames = 0;
    for (int i = 0; i < 200 && frames < 10; ++i) {
        const std::optional<voice::Frame> frame = server.Next();
        ASSERT_TRUE(frame);
        voice::MediaFrame m;
        if (frame->type != MessageType::kMediaFrameUp || !voice::Decode(frame->fields, m)) {
            continue;
        }
        const Bytes datagram(m.datagram.begin(), m.datagram.end());
        const std::optional<media::OpenedPacket> packet =
            media::Open(keys, media::Direction::kUp, datagram);
        ASSERT_TRUE(packet);
        if (packet->header.kind == media::PacketKind::kVoice) {
            EXPECT_EQ(packet->header.streamId, kOwnStream);
            ++frames;
        }
    }
    EXPECT_EQ(frames, 10);
    EXPECT_FALSE(peer.Next(Millis(100)));
}

TEST_F(NetMediaTest, VoiceComingDownIsHeardAndNamesItsSpeaker) {
    Bound();
    Talking();
    ASSERT_TRUE(server.Send(voice::Encode(voice::MediaStream{88, "7", "Bob"})));
    EXPECT_EQ(Engine().GetPacketLoss(), 0.0f) << "no voice yet: the pings' figure";
    // Our own voice, sent back down as Bob's: what a server forwards is sealed for us. Three
    // packets of every ten are lost on the way.
    for (int i = 0; i < 150; ++i) {
        std::optional<media::OpenedPacket> packet = NextVoice();
        ASSERT_TRUE(packet);
        if (i % 10 >= 7) {
            continue;
        }
        media::MediaHeader header = packet->header;
        header.streamId = 88;
        ASSERT_TRUE(
            peer.Answer(media::Seal(keys, media::Direction::kDown, header, packet->payload)));
    }
    EXPECT_TRUE(sink.WaitFor("userTalking Bob 7 1"));
    EXPECT_TRUE(sink.WaitFor("mikeActive 1"));
    // While voice flows the figure is the receivers'.
    EXPECT_GT(Engine().GetPacketLoss(), 5.0f);
    // Bob falls silent: his talking ends.
    EXPECT_TRUE(sink.WaitFor("userTalking Bob 7 0"));
}

TEST_F(NetMediaTest, AForumSendsTwentyMillisecondFramesACallTen) {
    Bound();
    Talking(false);
    EXPECT_FALSE(NextVoice(Millis(300))) << "no conversation yet";
    InForum(1);
    EXPECT_EQ(FrameStep(), 960u);
    // Out of the forum into a call: back to 10 ms.
    ASSERT_TRUE(server.Send(voice::Encode(voice::JoinedGroup{""})));
    ASSERT_TRUE(server.Send(voice::Encode(voice::JoinedConference{5, 1, 0})));
    ASSERT_TRUE(sink.WaitFor("JoinedConference 5 1 0"));
    EXPECT_EQ(FrameStep(), 480u);
}

TEST_F(NetMediaTest, WithoutTheRightToSpeakInAForumTalkSendsNothing) {
    Bound();
    Talking(false);
    InForum(0);
    ASSERT_TRUE(sink.WaitFor("canTalkEvent 0"));
    EXPECT_FALSE(VoiceStillComes());
    Engine().Talk(1);  // pressing the key again changes nothing
    EXPECT_FALSE(VoiceStillComes());
    // A microphone handed over: the open Talk speaks.
    ASSERT_TRUE(server.Send(voice::Encode(voice::CanTalk{1})));
    EXPECT_TRUE(NextVoice());
    // Taken away again.
    ASSERT_TRUE(server.Send(voice::Encode(voice::CanTalk{0})));
    EXPECT_FALSE(VoiceStillComes());
    // Out of the forum the right goes with it: a call speaks again.
    ASSERT_TRUE(server.Send(voice::Encode(voice::JoinedGroup{""})));
    ASSERT_TRUE(server.Send(voice::Encode(voice::JoinedConference{5, 1, 0})));
    EXPECT_TRUE(NextVoice());
}

TEST_F(NetMediaTest, AMutedMembersVoiceIsNotPlayed) {
    Bound();
    Talking();
    ASSERT_TRUE(server.Send(voice::Encode(voice::MediaStream{88, "7", "Bob"})));
    ASSERT_TRUE(server.Send(voice::Encode(voice::MemberJoined{5, "Bob", "7", "", 1})));
    ASSERT_TRUE(sink.WaitFor("UserChange Bob 7 1 1"));
    ASSERT_NE(Engine().MuteMember("7\n", 1), 0);
    // Our own voice sent back down as Bob's, as VoiceComingDownIsHeardAndNamesItsSpeaker does.
    // The sender takes a steady tone for its noise floor after a while: Bob is heard talking
    // at the start of a burst (the first while muted, the second once not).
    const auto echoBack = [&](int packets) {
        for (int i = 0; i < packets && !sink.Saw("userTalking Bob 7 1"); ++i) {
            std::optional<media::OpenedPacket> packet = NextVoice();
            ASSERT_TRUE(packet);
            media::MediaHeader header = packet->header;
            header.streamId = 88;
            ASSERT_TRUE(
                peer.Answer(media::Seal(keys, media::Direction::kDown, header, packet->payload)));
        }
    };
    echoBack(150);
    EXPECT_FALSE(sink.Saw("userTalking Bob 7 1"));
    ASSERT_NE(Engine().MuteMember("7\n", 0), 0);
    echoBack(600);
    EXPECT_TRUE(sink.WaitFor("userTalking Bob 7 1"));
    EXPECT_EQ(Engine().GetUserList(), "Bob\t7\t\n");
}

}  // namespace
}  // namespace qv::test
