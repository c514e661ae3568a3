#include "AudioCall.h"

#include <time.h>

#include <algorithm>
#include <cmath>

namespace qv::test {

std::int64_t MonotonicNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

AudioCall::AudioCall(std::vector<std::string> serverOptions) : rig(std::move(serverOptions)) {}

std::unique_ptr<AudioParty> AudioCall::LogIn(const std::string& nick, const EngineTuner& tune,
                                             std::int32_t squelch) {
    auto party = std::make_unique<AudioParty>();
    party->account = rig.Register(nick);
    party->user = rig.NewUser();
    AudioParty* p = party.get();
    std::shared_ptr<SonaroLibrary> engine = rig.engine;
    party->user->h.factory->replacement = [engine, p, tune](SonaroEventSink& sink) {
        std::unique_ptr<SonaroInstance> instance = SonaroLibrary::CreateInstance(engine, sink);
        if (instance) {
            p->control = &instance->Control();
            p->tuning = instance->Extension<net::SonaroNetTuning>(net::kSonaroNetTuningExtension);
            if (p->tuning != nullptr) {
                p->tuning->SetAudioDevice("null");
                if (tune) {
                    tune(*p->tuning, *p->control);
                }
            }
        }
        return instance;
    };
    const std::string ticket = rig.LogInToDirectory(party->account);
    if (ticket.empty() || !rig.LogIn(*party->user, party->account, ticket) ||
        party->tuning == nullptr) {
        return nullptr;
    }
    party->M().SetSquelch(squelch);
    return party;
}

std::int32_t AudioCall::Call(AudioParty& a, AudioParty& b) {
    if (!a.M().InviteUser(b.account.id, 0, "")) {
        return 0;
    }
    std::int32_t c = 0;
    if (!b.user->DriveUntil([&] {
            const auto invitations = b.user->Events("Invitation ");
            if (invitations.empty()) {
                return false;
            }
            c = std::stoi(invitations.front().substr(11));
            return true;
        })) {
        return 0;
    }
    if (!b.M().AcceptConference(c)) {
        return 0;
    }
    const std::string both = a.Row() + b.Row();
    const bool up = a.user->DriveUntil([&] { return a.M().UserListText() == both; }) &&
                    b.user->DriveUntil([&] { return b.M().UserListText() == both; });
    return up ? c : 0;
}

bool AudioCall::StartOnFiles(AudioParty& party, const std::string& capture,
                             const std::string& playback) {
    party.control->StopAudio();
    if (!party.tuning->SetAudioDevice("file:" + capture + "," + playback)) {
        return false;
    }
    const std::int32_t result = party.control->StartAudio();
    party.audioStartNs = party.tuning->AudioDeviceEpochNs();
    party.control->Talk(1);
    return result == 0 && party.audioStartNs != 0;
}

void AudioCall::Drive(AudioParty& a, AudioParty& b, int ms) {
    const std::int64_t end = MonotonicNs() + std::int64_t{ms} * 1'000'000;
    while (MonotonicNs() < end) {
        a.user->DriveFor(10);
        b.user->DriveFor(10);
    }
}

void AudioCall::StopAudio(AudioParty& party) {
    if (party.control != nullptr) {
        party.control->StopAudio();
    }
}

TripSummary MeasureTrips(const std::string& capture, std::int64_t captureStartNs,
                         const std::string& playback, std::int64_t playbackStartNs,
                         const std::vector<double>& freqs, double maxLatencyMs) {
    TripSummary summary;
    const std::vector<audio::testing::FoundBurst> sent = audio::testing::FindBursts(capture, freqs);
    const std::vector<audio::testing::FoundBurst> heard =
        audio::testing::FindBursts(playback, freqs);
    const double offsetMs = static_cast<double>(playbackStartNs - captureStartNs) / 1e6;
    std::vector<double> latencies;
    for (const audio::testing::FoundBurst& s : sent) {
        BurstTrip trip{s.freqHz, s.onsetMs, std::nullopt};
        for (const audio::testing::FoundBurst& h : heard) {
            if (h.freqHz != s.freqHz) {
                continue;
            }
            const double latency = offsetMs + h.onsetMs - s.onsetMs;
            if (latency >= 0 && latency <= maxLatencyMs &&
                (!trip.latency || latency < *trip.latency)) {
                trip.latency = latency;
            }
        }
        if (trip.latency) {
            latencies.push_back(*trip.latency);
        }
        summary.trips.push_back(trip);
    }
    summary.found = static_cast<int>(latencies.size());
    if (!summary.trips.empty()) {
        summary.lostPercent = 100.0 * static_cast<double>(summary.trips.size() - latencies.size()) /
                              static_cast<double>(summary.trips.size());
    }
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double q) {
            const auto i =
                static_cast<std::size_t>(std::ceil(q * static_cast<double>(latencies.size())) - 1);
            return latencies[std::min(i, latencies.size() - 1)];
        };
        summary.p50 = at(0.50);
        summary.p95 = at(0.95);
        summary.max = latencies.back();
    }
    return summary;
}

std::vector<audio::testing::ToneBurst> BurstTrain(int firstMs, int periodMs, int count,
                                                  double baseHz, int lengthMs, int cycle) {
    std::vector<audio::testing::ToneBurst> bursts;
    for (int i = 0; i < count; ++i) {
        bursts.push_back({firstMs + i * periodMs, baseHz + 125.0 * (i % cycle), lengthMs});
    }
    return bursts;
}

std::vector<double> Frequencies(const std::vector<audio::testing::ToneBurst>& bursts) {
    std::vector<double> freqs;
    for (const audio::testing::ToneBurst& b : bursts) {
        if (std::find(freqs.begin(), freqs.end(), b.freqHz) == freqs.end()) {
            freqs.push_back(b.freqHz);
        }
    }
    return freqs;
}

}  // namespace qv::test
