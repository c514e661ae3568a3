#pragma once

// Two users in a call on a real voice server, each engine with the file device: what one
// user's microphone file holds comes out in the other's playback file. Tone bursts of their own
// frequencies are put into a microphone, found again in the other side's playback, and the time
// each took is read on the monotonic clock both engines share.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SonaroNetTuning.h"
#include "ToneBursts.h"
#include "VoiceRig.h"

namespace qv::test {

// One user: the program's engine manager and, for the test, the engine itself.
struct AudioParty {
    Account account;
    std::unique_ptr<VoiceUser> user;
    SonaroControl* control = nullptr;
    net::SonaroNetTuning* tuning = nullptr;
    // Monotonic time of sample 0 of the current file device's files, as the engine tells it.
    std::int64_t audioStartNs = 0;

    CSonaroManager& M() { return *user->h.manager; }
    std::string Row() const { return account.nick + "\t" + account.id + "\t\n"; }
};

// Turns each engine's knobs once it is made (before it connects).
using EngineTuner = std::function<void(net::SonaroNetTuning&, SonaroControl&)>;

// Monotonic nanoseconds, the clock of the file devices.
std::int64_t MonotonicNs();

class AudioCall {
  public:
    explicit AudioCall(std::vector<std::string> serverOptions = {});

    bool Ready() const { return rig.Ready(); }
    // A registered user, logged in, with the null device until StartOnFiles, and the voice
    // gate at squelch (the program's default 9: each burst its own talkspurt, as speech is;
    // 0: none, every frame of the microphone goes out, as in push-to-talk).
    std::unique_ptr<AudioParty> LogIn(const std::string& nick, const EngineTuner& tune = {},
                                      std::int32_t squelch = 9);
    // a calls b and b answers; the conference, 0 when the call did not come up.
    std::int32_t Call(AudioParty& a, AudioParty& b);
    // Restarts the party's audio on these files; false when it did not start.
    bool StartOnFiles(AudioParty& party, const std::string& capture, const std::string& playback);
    // Delivers both users' events for that long.
    void Drive(AudioParty& a, AudioParty& b, int ms);
    static void StopAudio(AudioParty& party);

    VoiceRig rig;
};

// A burst put into a microphone and where it came out.
struct BurstTrip {
    double freqHz = 0;
    double sentMs = 0;              // from the capture file's start
    std::optional<double> latency;  // ms, when it was found
};

struct TripSummary {
    std::vector<BurstTrip> trips;
    int found = 0;
    double p50 = 0, p95 = 0, max = 0;  // of the found ones
    double lostPercent = 0;            // bursts not found
};

// Finds the capture file's bursts (their real onsets) and each in the playback file, matched by
// frequency; the latency is measured on the monotonic clock from both files' start times. A
// burst heard more than maxLatencyMs later counts as lost (a later burst of the same frequency).
TripSummary MeasureTrips(const std::string& capture, std::int64_t captureStartNs,
                         const std::string& playback, std::int64_t playbackStartNs,
                         const std::vector<double>& freqs, double maxLatencyMs = 1000);

// Bursts every periodMs from firstMs on, each of its own frequency (from baseHz in steps that
// the finder tells apart), the frequencies coming round again after cycle bursts.
std::vector<audio::testing::ToneBurst> BurstTrain(int firstMs, int periodMs, int count,
                                                  double baseHz, int lengthMs = 60,
                                                  int cycle = 1000);
// Each frequency once.
std::vector<double> Frequencies(const std::vector<audio::testing::ToneBurst>& bursts);

}  // namespace qv::test
