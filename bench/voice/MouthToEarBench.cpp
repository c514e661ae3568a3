// Mouth to ear: two networked engines in a call on the real voice server (and directory
// service), on loopback, each on the file device. Tone bursts go into Ann's microphone file;
// each burst's time is read from its onset in her file to its onset in Bob's playback file, on
// the monotonic clock both devices run by. 10 ms frames. Prints one line for the plain loopback
// and one through a relay that adds 30 ms of jitter and loses 5% of the datagrams, then (unless
// the gate is already off) the plain loopback again with no gate.
//
//   qv_mouth_to_ear_bench [bursts [squelch]]
//   qv_mouth_to_ear_bench --play SPEECH.wav HEARD.wav   (a listening check: SPEECH.wav, 48 kHz
//                                                       mono, into Ann's microphone; what Bob
//                                                       heard into HEARD.wav)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "AudioCall.h"
#include "ImpairedRelay.h"
#include "support/VoiceServerProcess.h"

namespace {

using qv::test::AudioCall;
using qv::test::AudioParty;

// Not a multiple of the 10 ms frame, so onsets fall anywhere in a frame, as speech does.
constexpr int kPeriodMs = 253;
// The program's voice gate unless told (each burst its own talkspurt, as speech is); 0 makes
// the whole run one talkspurt.
constexpr std::int32_t kDefaultSquelch = 9;

struct SentTimes {
    std::int64_t captureNs = 0;
    std::int64_t sentNs = 0;
};

double Median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Where the time of each found burst went: from its onset to the end of the frame that holds
// it, on to the moment that frame was sent, then received at Bob's engine (the server
// included), then heard (jitter buffer, decoding, mixing and the output's buffer).
void PrintStages(const std::string& annTimes, const std::string& bobTimes,
                 const qv::test::TripSummary& trips, std::int64_t annStartNs) {
    std::map<std::uint64_t, SentTimes> sent;
    std::istringstream a(annTimes);
    std::string kind;
    while (a >> kind) {
        if (kind == "sent") {
            std::uint64_t seq = 0;
            SentTimes t;
            a >> seq >> t.captureNs >> t.sentNs;
            sent[seq] = t;
        } else {
            std::string rest;
            std::getline(a, rest);
        }
    }
    std::map<std::uint64_t, std::int64_t> arrived;
    std::istringstream b(bobTimes);
    while (b >> kind) {
        if (kind == "arrived") {
            std::uint32_t ssrc = 0;
            std::uint64_t seq = 0;
            std::int64_t at = 0;
            b >> ssrc >> seq >> at;
            arrived[seq] = at;
        } else {
            std::string rest;
            std::getline(b, rest);
        }
    }
    std::vector<double> toFrameEnd, toSent, toArrived, toHeard;
    for (const qv::test::BurstTrip& trip : trips.trips) {
        if (!trip.latency) {
            continue;
        }
        const std::int64_t onsetNs = annStartNs + static_cast<std::int64_t>(trip.sentMs * 1e6);
        // The first frame that ends at or after the onset carries it.
        const SentTimes* frame = nullptr;
        std::uint64_t seq = 0;
        for (const auto& [s, t] : sent) {
            if (t.captureNs >= onsetNs && (frame == nullptr || t.captureNs < frame->captureNs)) {
                frame = &t;
                seq = s;
            }
        }
        const auto in = arrived.find(seq);
        if (frame == nullptr || in == arrived.end()) {
            continue;
        }
        toFrameEnd.push_back(static_cast<double>(frame->captureNs - onsetNs) / 1e6);
        toSent.push_back(static_cast<double>(frame->sentNs - frame->captureNs) / 1e6);
        toArrived.push_back(static_cast<double>(in->second - frame->sentNs) / 1e6);
        toHeard.push_back(*trip.latency - static_cast<double>(in->second - onsetNs) / 1e6);
    }
    std::fprintf(stderr,
                 "  stages (median of %zu bursts): onset to frame end %.1f ms, to sent %.2f ms, "
                 "to Bob's engine %.2f ms, to heard %.1f ms\n",
                 toHeard.size(), Median(toFrameEnd), Median(toSent), Median(toArrived),
                 Median(toHeard));
}
constexpr int kFirstMs = 1000;

bool Run(const char* label, int bursts, const qv::test::Impairment* impairment,
         std::int32_t squelch) {
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
    std::unique_ptr<AudioParty> ann = call.LogIn("Ann", tune, squelch);
    std::unique_ptr<AudioParty> bob = call.LogIn("Bob", tune, squelch);
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
    const std::string annTimes = ann->tuning->MediaTimings();
    const std::string bobTimes = bob->tuning->MediaTimings();
    AudioCall::StopAudio(*ann);
    AudioCall::StopAudio(*bob);
    const qv::test::TripSummary trips = qv::test::MeasureTrips(
        annMic, ann->audioStartNs, bobHears, bob->audioStartNs, qv::test::Frequencies(train));
    std::printf("%s: p50 %.0f ms, p95 %.0f ms, max %.0f ms, lost %.0f%%\n", label, trips.p50,
                trips.p95, trips.max, trips.lostPercent);
    std::fflush(stdout);
    std::fprintf(stderr, "  (%d of %zu bursts found; receivers' packet loss %.1f%%)\n", trips.found,
                 trips.trips.size(), static_cast<double>(loss));
    PrintStages(annTimes, bobTimes, trips, ann->audioStartNs);
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
    const std::int32_t squelch = argc > 2 ? std::atoi(argv[2]) : kDefaultSquelch;
    bool ok = Run("mouth-to-ear", bursts, nullptr, squelch);
    const qv::test::Impairment bad{0, 30, 5.0, 11};
    ok = Run("mouth-to-ear (30 ms jitter, 5% loss)", bursts, &bad, squelch) && ok;
    // No gate, as push-to-talk sends: one talkspurt for the whole run.
    if (squelch != 0) {
        ok = Run("mouth-to-ear (squelch 0)", bursts, nullptr, 0) && ok;
    }
    return ok ? 0 : 1;
}
