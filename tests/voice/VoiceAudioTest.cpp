// Voice through the networked engines and the real voice server: tone bursts put into one user's
// microphone file come out of the other's playback file, each found by its onset and frequency,
// over UDP, through a relay that delays, jitters, loses and reorders, and over TCP; a held call
// carries no voice either way and a resumed one carries it again. The latency bound is wide on
// purpose (the benchmark gives the real figures).

#include <gtest/gtest.h>

#include <cstdio>

#include "AudioCall.h"
#include "ImpairedRelay.h"
#include "support/VoiceServerProcess.h"

namespace qv::test {
namespace {

constexpr double kWideLatencyMs = 200;

struct Transport {
    const char* name;
    bool behindFirewall = false;
    bool relay = false;
    int minFound = 12;  // of 12
};

class VoiceAudioTest : public ::testing::TestWithParam<Transport> {};

TEST_P(VoiceAudioTest, BurstsIntoAnnsMicrophoneComeOutOfBobsSpeaker) {
    const Transport t = GetParam();
    const int mediaPort = FreeLoopbackPort();
    AudioCall call({"--media-port", std::to_string(mediaPort)});
    ASSERT_TRUE(call.Ready()) << "a server did not start";
    std::unique_ptr<ImpairedRelay> relay;
    if (t.relay) {
        relay = std::make_unique<ImpairedRelay>(static_cast<std::uint16_t>(mediaPort),
                                                Impairment{10, 30, 5.0, 7});
    }
    const EngineTuner tune = [&](net::SonaroNetTuning& tuning, SonaroControl& control) {
        if (relay) {
            tuning.SetMediaRelay("127.0.0.1", relay->Port());
        }
        control.SetParameter(1, t.behindFirewall ? 1 : 0);
    };
    std::unique_ptr<AudioParty> ann = call.LogIn("Ann", tune);
    std::unique_ptr<AudioParty> bob = call.LogIn("Bob", tune);
    ASSERT_TRUE(ann && bob);
    ASSERT_NE(call.Call(*ann, *bob), 0);

    const auto bursts = BurstTrain(1000, 400, 12, 500);
    const std::string annMic = call.rig.folder.File("ann-mic.wav");
    const std::string bobMic = call.rig.folder.File("bob-mic.wav");
    const std::string annHears = call.rig.folder.File("ann-hears.wav");
    const std::string bobHears = call.rig.folder.File("bob-hears.wav");
    ASSERT_TRUE(audio::testing::WriteToneBursts(annMic, bursts, 6500));
    ASSERT_TRUE(audio::testing::WriteToneBursts(bobMic, {}, 6500));
    ASSERT_TRUE(call.StartOnFiles(*bob, bobMic, bobHears));
    ASSERT_TRUE(call.StartOnFiles(*ann, annMic, annHears));
    call.Drive(*ann, *bob, 7500);
    AudioCall::StopAudio(*ann);
    AudioCall::StopAudio(*bob);

    const TripSummary trips =
        MeasureTrips(annMic, ann->audioStartNs, bobHears, bob->audioStartNs, Frequencies(bursts));
    ASSERT_EQ(trips.trips.size(), bursts.size()) << "the microphone file's own bursts";
    EXPECT_GE(trips.found, t.minFound);
    EXPECT_LT(trips.p95, kWideLatencyMs);
    for (const BurstTrip& trip : trips.trips) {
        SCOPED_TRACE(trip.freqHz);
        if (trip.latency) {
            EXPECT_GT(*trip.latency, 0);
        }
    }
    // Bob's silence made no bursts at Ann's end.
    EXPECT_TRUE(audio::testing::FindBursts(annHears, Frequencies(bursts)).empty());
    if (relay) {
        EXPECT_GT(relay->Forwarded(), 0u);
        EXPECT_GT(relay->Lost(), 0u);
    }
    std::printf("[ %s ] found %d of %zu, p50 %.0f ms, p95 %.0f ms, max %.0f ms\n", t.name,
                trips.found, trips.trips.size(), trips.p50, trips.p95, trips.max);
}

INSTANTIATE_TEST_SUITE_P(Transports, VoiceAudioTest,
                         ::testing::Values(Transport{"Udp"},
                                           Transport{"UdpThroughALossyRelay", false, true, 9},
                                           Transport{"TcpBehindAFirewall", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VoiceHoldTest, HoldStopsVoiceBothWaysAndResumeBringsItBack) {
    AudioCall call;
    ASSERT_TRUE(call.Ready()) << "a server did not start";
    std::unique_ptr<AudioParty> ann = call.LogIn("Ann");
    std::unique_ptr<AudioParty> bob = call.LogIn("Bob");
    ASSERT_TRUE(ann && bob);
    const std::int32_t c = call.Call(*ann, *bob);
    ASSERT_NE(c, 0);

    // Active 0-3 s, held 3-7 s, active again from 7 s on.
    const std::vector<audio::testing::ToneBurst> annBursts = {
        {1000, 500, 60},  {1500, 625, 60},  {4000, 750, 60}, {4500, 875, 60},
        {5500, 1000, 60}, {8500, 1125, 60}, {9000, 1250, 60}};
    const std::vector<audio::testing::ToneBurst> bobBursts = {
        {1200, 1500, 60}, {1700, 1625, 60}, {4200, 1750, 60}, {4700, 1875, 60},
        {5700, 2000, 60}, {8700, 2125, 60}, {9200, 2250, 60}};
    const std::string annMic = call.rig.folder.File("ann-mic.wav");
    const std::string bobMic = call.rig.folder.File("bob-mic.wav");
    const std::string annHears = call.rig.folder.File("ann-hears.wav");
    const std::string bobHears = call.rig.folder.File("bob-hears.wav");
    ASSERT_TRUE(audio::testing::WriteToneBursts(annMic, annBursts, 10000));
    ASSERT_TRUE(audio::testing::WriteToneBursts(bobMic, bobBursts, 10000));
    ASSERT_TRUE(call.StartOnFiles(*bob, bobMic, bobHears));
    ASSERT_TRUE(call.StartOnFiles(*ann, annMic, annHears));
    const std::int64_t start = ann->audioStartNs;
    const auto driveTo = [&](int ms) {
        const std::int64_t left = start + std::int64_t{ms} * 1'000'000 - MonotonicNs();
        call.Drive(*ann, *bob, static_cast<int>(std::max<std::int64_t>(0, left / 1'000'000)));
    };
    driveTo(3000);
    ASSERT_TRUE(ann->M().HoldConference(c, 0, ""));
    driveTo(7000);
    ASSERT_TRUE(ann->M().AcceptConference(c));
    ASSERT_TRUE(
        ann->user->DriveUntil([&] { return ann->M().UserListText() == ann->Row() + bob->Row(); }));
    driveTo(10500);
    AudioCall::StopAudio(*ann);
    AudioCall::StopAudio(*bob);

    const auto heard = [](const std::string& mic, std::int64_t micStart, const std::string& out,
                          std::int64_t outStart, const std::vector<audio::testing::ToneBurst>& b) {
        std::vector<bool> found;
        for (const BurstTrip& trip :
             MeasureTrips(mic, micStart, out, outStart, Frequencies(b)).trips) {
            found.push_back(trip.latency.has_value() && *trip.latency < kWideLatencyMs);
        }
        return found;
    };
    const std::vector<bool> expected = {true, true, false, false, false, true, true};
    EXPECT_EQ(heard(annMic, ann->audioStartNs, bobHears, bob->audioStartNs, annBursts), expected)
        << "Ann to Bob";
    EXPECT_EQ(heard(bobMic, bob->audioStartNs, annHears, ann->audioStartNs, bobBursts), expected)
        << "Bob to Ann";
}

}  // namespace
}  // namespace qv::test
