// Mouth to ear: two networked engines in a call on the real voice server (and directory
// service), on loopback, each on the file device. Tone bursts go into Ann's microphone file;
// each burst's time is read from its onset in her file to its onset in Bob's playback file, on
// the monotonic clock both devices run by. 10 ms frames. Prints one line for the plain loopback
// and one through a relay that adds 30 ms of jitter and loses 5% of the datagrams.
//
//   qv_mouth_to_ear_bench [bursts]
//   qv_mouth_to_ear_bench --play SPEECH.wav HEARD.wav   (a listening check: SPEECH.wav, 48 kHz
//                                                       mono, into Ann's microphone; what Bob
//                                                       heard into HEARD.wav)

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "AudioCall.h"
#include "ImpairedRelay.h"
#include "support/VoiceServerProcess.h"

namespace {

using qv::test::AudioCall;
using qv::test::AudioParty;

constexpr int kPeriodMs = 250;
constexpr int kFirstMs = 1000;

bool Run(const char* label, int bursts, const qv::test::Impairment* impairment) {
    const int mediaPort = qv::test::FreeLoopbackPort();
    AudioCall call({"--media-port", std::to_string(mediaPort)});
    if (!call.Ready()) {
        std::fprintf(stderr, "a server did not start\n");
        return false;
    }
    std::unique_ptr<qv::test::ImpairedRelay> relay;
    if (impairment != nullptr) {
        relay = std::make_unique<qv::test::ImpairedRelay>(static_cast<std::uint16_t>(mediaPort),
                                                          *impairment);
    }
    const qv::test::EngineTuner tune = [&](qv::net::SonaroNetTuning& tuning, qv::SonaroControl&) {
        if (relay) {
            tuning.SetMediaRelay("127.0.0.1", relay->Port());
        }
    };
    std::unique_ptr<AudioParty> ann = call.LogIn("Ann", tune);
    std::unique_ptr<AudioParty> bob = call.LogIn("Bob", tune);
    if (!ann || !bob || call.Call(*ann, *bob) == 0) {
        std::fprintf(stderr, "the call did not come up\n");
        return false;
    }
    const auto train = qv::test::BurstTrain(kFirstMs, kPeriodMs, bursts, 500, 60, 16);
    const int totalMs = kFirstMs + bursts * kPeriodMs + 500;
    const std::string annMic = call.rig.folder.File("ann-mic.wav");
    const std::string bobMic = call.rig.folder.File("bob-mic.wav");
    const std::string annHears = call.rig.folder.File("ann-hears.wav");
    const std::string bobHears = call.rig.folder.File("bob-hears.wav");
    if (!qv::audio::testing::WriteToneBursts(annMic, train, totalMs) ||
        !qv::audio::testing::WriteToneBursts(bobMic, {}, totalMs) ||
        !call.StartOnFiles(*bob, bobMic, bobHears) || !call.StartOnFiles(*ann, annMic, annHears)) {
        std::fprintf(stderr, "audio did not start on the files\n");
        return false;
    }
    call.Drive(*ann, *bob, totalMs + 500);
    const float loss = bob->control->GetPacketLoss();
    AudioCall::StopAudio(*ann);
    AudioCall::StopAudio(*bob);
    const qv::test::TripSummary trips = qv::test::MeasureTrips(
        annMic, ann->audioStartNs, bobHears, bob->audioStartNs, qv::test::Frequencies(train));
    std::printf("%s: p50 %.0f ms, p95 %.0f ms, max %.0f ms, lost %.0f%%\n", label, trips.p50,
                trips.p95, trips.max, trips.lostPercent);
    std::fprintf(stderr, "  (%d of %zu bursts found; receivers' packet loss %.1f%%)\n", trips.found,
                 trips.trips.size(), static_cast<double>(loss));
    std::fflush(stdout);
    return true;
}

bool Play(const std::string& speech, const std::string& heard) {
    AudioCall call;
    if (!call.Ready()) {
        std::fprintf(stderr, "a server did not start\n");
        return false;
    }
    std::unique_ptr<AudioParty> ann = call.LogIn("Ann");
    std::unique_ptr<AudioParty> bob = call.LogIn("Bob");
    if (!ann || !bob || call.Call(*ann, *bob) == 0) {
        std::fprintf(stderr, "the call did not come up\n");
        return false;
    }
    const std::optional<qv::audio::testing::MonoWave> wave =
        qv::audio::testing::ReadMonoWave(speech);
    if (!wave || wave->sampleRate <= 0) {
        std::fprintf(stderr, "cannot read %s\n", speech.c_str());
        return false;
    }
    const int lengthMs = static_cast<int>(wave->samples.size() * 1000 / wave->sampleRate);
    const std::string bobMic = call.rig.folder.File("bob-mic.wav");
    if (!qv::audio::testing::WriteToneBursts(bobMic, {}, lengthMs + 1000) ||
        !call.StartOnFiles(*bob, bobMic, heard) ||
        !call.StartOnFiles(*ann, speech, call.rig.folder.File("ann-hears.wav"))) {
        std::fprintf(stderr, "audio did not start on the files\n");
        return false;
    }
    call.Drive(*ann, *bob, lengthMs + 800);
    AudioCall::StopAudio(*ann);
    AudioCall::StopAudio(*bob);
    std::printf("played %d ms of %s; Bob heard it in %s\n", lengthMs, speech.c_str(),
                heard.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--play") {
        return Play(argv[2], argv[3]) ? 0 : 1;
    }
    const int bursts = argc > 1 ? std::max(4, std::atoi(argv[1])) : 40;
    bool ok = Run("mouth-to-ear", bursts, nullptr);
    const qv::test::Impairment bad{0, 30, 5.0, 11};
    ok = Run("mouth-to-ear (30 ms jitter, 5% loss)", bursts, &bad) && ok;
    return ok ? 0 : 1;
}
