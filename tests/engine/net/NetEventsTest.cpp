#include <thread>

#include "NetEngineFixture.h"
#include "ToneBursts.h"
#include "support/TempFolder.h"

namespace qv::test {
namespace {

using Millis = std::chrono::milliseconds;
using voice::MessageType;

class NetEventsTest : public NetEngineFixture {};

TEST_F(NetEventsTest, ServerMessagesWatchesAndUserMessagesBecomeEventsInOrder) {
    LogIn();
    ASSERT_TRUE(server.Send(voice::Encode(voice::ServerMessage{1, 2, "User is offline - 7"})));
    ASSERT_TRUE(server.Send(voice::Encode(voice::Watch{"7", 3})) &&
                server.Send(voice::Encode(voice::Watch{"8", 32})));
    ASSERT_TRUE(server.Send(voice::Encode(voice::UserMessage{"Bob", "7", 8, -1, "hi\r\nthere"})));
    ASSERT_TRUE(sink.WaitForCount(6));
    EXPECT_EQ(sink.Events(), (std::vector<std::string>{
                                 "connectionEvent 0 Test Voice",
                                 "Registered Nick",
                                 "serverMessage 1 2 User is offline - 7",
                                 "Watch 7 3",
                                 "Watch 8 32",
                                 "UserMessage Bob 7 8 -1 hi\r\nthere",
                             }));
}

TEST_F(NetEventsTest, AServerMessageBeforeRegisteredStillArrives) {
    Credentials().SetVoiceTicket("conn-1");
    ConnectWelcomed();
    ASSERT_TRUE(server.Send(voice::Encode(voice::ServerMessage{3, 8, "Bad password"})));
    ASSERT_TRUE(server.Send(voice::Encode(voice::Close{13, "Authentication failed."})));
    ASSERT_TRUE(sink.WaitForCount(3));
    EXPECT_EQ(sink.Events()[1], "serverMessage 3 8 Bad password");
    EXPECT_EQ(sink.Events()[2], "connectionEvent 13 Authentication failed.");
}

// A server without forums (their own test is NetForumTest's) has an empty list.
TEST_F(NetEventsTest, ModeFlagsRefreshTheGroupListOnlyWhileWelcomed) {
    server.protocol = voice::kMediaVersion;
    Engine().SetModeFlags(0);  // no session
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Greet());
    Engine().SetModeFlags(0);  // not welcomed yet
    ASSERT_TRUE(server.SendWelcome());
    ASSERT_TRUE(sink.WaitFor("connectionEvent 0 "));
    Engine().SetModeFlags(0);
    ASSERT_TRUE(sink.WaitForCount(2));
    EXPECT_EQ(sink.Events(),
              (std::vector<std::string>{"connectionEvent 0 Test Voice", "groupListUpdate"}));
    EXPECT_EQ(Engine().GetGroupList(), "");
    EXPECT_EQ(Engine().GetUserList(), "");
}

TEST_F(NetEventsTest, ThePingIsTheRoundTripOfTheLatestPong) {
    EXPECT_EQ(Engine().GetPing(), 0);
    ConnectWelcomed();
    server.answerPings = false;
    const std::optional<voice::Ping> ping = server.NextPing();
    ASSERT_TRUE(ping);
    EXPECT_EQ(Engine().GetPing(), 0);
    ASSERT_TRUE(server.Send(voice::EncodePong(*ping)));
    // The reading is cached by the engine's thread; poll it until the deadline.
    const auto deadline = std::chrono::steady_clock::now() + Millis(5000);
    while (Engine().GetPing() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(Millis(5));
    }
    EXPECT_GE(Engine().GetPing(), 1);
    EXPECT_EQ(Engine().GetPacketLoss(), 0.0f);
    // A second ping follows about a second later, with the next sequence number.
    const std::optional<voice::Ping> next = server.NextPing();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->sequence, ping->sequence + 1);
    EXPECT_GT(next->sentMicros, ping->sentMicros);
    Engine().Disconnect();
    EXPECT_EQ(Engine().GetPing(), 0);
    EXPECT_EQ(Engine().GetPacketLoss(), 0.0f);
}

TEST_F(NetEventsTest, AServerThatFallsSilentCountsAsLost) {
    Tuning().SetSilenceTimeout(300);
    ConnectWelcomed();
    server.answerPings = false;  // the socket stays open, nothing comes back
    EXPECT_TRUE(sink.WaitFor("connectionEvent 5 Connection lost"));
    EXPECT_EQ(Engine().GetPing(), 0);
}

TEST_F(NetEventsTest, AudioWorksWithoutASessionWhileForumsAndCallsDoNothing) {
    TempFolder folder;
    SonaroControl& e = Engine();
    ASSERT_TRUE(Tuning().SetAudioDevice("null"));
    EXPECT_FALSE(Tuning().SetAudioDevice("speakers"));
    EXPECT_EQ(e.StartAudio(), 0);
    EXPECT_NE(e.Talk(1), 0);
    EXPECT_NE(e.SetStandby(1), 0);
    EXPECT_NE(e.SetStandby(0), 0);
    EXPECT_NE(e.StopAudio(), 0);
    EXPECT_LT(e.PlayFile(folder.File("missing.wav"), 100), 0);
    EXPECT_EQ(e.StopFile(1), 0);
    EXPECT_EQ(e.PauseFile(1, 1), 0);
    // Voice mail is recorded in standby too, with no connection.
    EXPECT_NE(e.RecordWave(folder.File("mail.wav"), 1), 0);
    EXPECT_NE(e.RecordWave(folder.File("mail.wav"), 0), 0);
    EXPECT_EQ(e.GetPacketLoss(), 0.0f);
    EXPECT_EQ(e.JoinGroup("Lobby", "", 2), 0);
    EXPECT_EQ(e.InviteUser("7", 0, ""), 0);
    EXPECT_EQ(e.AcceptConference(1), 0);
    EXPECT_EQ(e.DeclineConference(1, 0, ""), 0);
    EXPECT_EQ(e.LeaveConference(1, 0, ""), 0);
    EXPECT_EQ(e.HoldConference(1, 0, ""), 0);
    EXPECT_EQ(e.CancelInvitations("7\n", 0, ""), 0);
    EXPECT_EQ(e.MuteMember("7\n", 1), 0);
    EXPECT_EQ(e.BanMember("7\n", 1), 0);
    EXPECT_EQ(e.SetMemberMicrophone("7\n", 1), 0);
    EXPECT_EQ(e.SetMemberRole("7\n", 0, 1), 0);
    EXPECT_EQ(e.DisbandGroup(), 0);
    EXPECT_EQ(e.RenameGroup("x"), 0);
    EXPECT_EQ(e.SetParameter(0, 1), 0);
    EXPECT_EQ(e.StatusCode(), 0);
    EXPECT_EQ(e.QueryExtension("SomethingElse"), nullptr);
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(NetEventsTest, PlayWavePlaysAndStopsWithoutAnEvent) {
    TempFolder folder;
    // A tiny valid PCM wave: 8-bit mono, four samples.
    std::string wave = "RIFF";
    const auto le32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8),
                           static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    };
    const auto le16 = [](std::uint16_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
    };
    wave += le32(36 + 4) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) + le32(8000) +
            le16(1) + le16(8) + "data" + le32(4) + std::string(4, '\x80');
    const std::string path = folder.Write("ding.wav", wave);
    EXPECT_EQ(Engine().PlayWave(path, 80), 0);
    EXPECT_EQ(Engine().PlayWave(folder.File("missing.wav"), 100), 0);
    EXPECT_EQ(Engine().PlayWave(kStopAllSounds, 0), 0);
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(NetEventsTest, WhileAudioRunsSoundsAndFilesComeOutOfTheEnginesOwnOutput) {
    TempFolder folder;
    const std::string mic = folder.File("mic.wav");
    const std::string out = folder.File("out.wav");
    ASSERT_TRUE(audio::testing::WriteToneBursts(mic, {}, 3000));
    ASSERT_TRUE(audio::testing::WriteToneBursts(folder.File("ding.wav"), {{100, 880, 200}}, 400));
    ASSERT_TRUE(audio::testing::WriteToneBursts(folder.File("mail.wav"), {{100, 1320, 200}}, 400));
    ASSERT_TRUE(Tuning().SetAudioDevice("file:" + mic + "," + out));
    ASSERT_EQ(Engine().StartAudio(), 0);
    EXPECT_EQ(Engine().PlayWave(folder.File("ding.wav"), 100), 0);
    std::this_thread::sleep_for(Millis(600));
    const std::int16_t handle = Engine().PlayFile(folder.File("mail.wav"), 100);
    EXPECT_GE(handle, 1);
    std::this_thread::sleep_for(Millis(600));
    EXPECT_NE(Engine().StopFile(handle), 0);
    EXPECT_EQ(Engine().StopFile(handle), 0);
    EXPECT_NE(Engine().StopAudio(), 0);
    const std::vector<audio::testing::FoundBurst> heard =
        audio::testing::FindBursts(out, {880, 1320});
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].freqHz, 880);
    EXPECT_EQ(heard[1].freqHz, 1320);
    EXPECT_EQ(sink.Count(), 0u);
}

}  // namespace
}  // namespace qv::test
