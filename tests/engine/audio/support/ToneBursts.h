#pragma once

// Reference sounds for voice tests: tone bursts of distinct frequencies written to a wave file,
// and a finder that locates each burst again (its onset and frequency) in whatever came out at
// the other end, after coding, loss and mixing changed the waveform.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::audio::testing {

struct ToneBurst {
    int startMs = 0;
    double freqHz = 0;
    int lengthMs = 60;
};

struct ToneOptions {
    int sampleRate = 48000;
    double amplitudeDbfs = -12;  // each burst's peak level
    double noiseDbfs = -70;      // low background noise between bursts; below -120: none
    std::uint32_t noiseSeed = 1;
};

// 16-bit mono PCM RIFF/WAVE of totalMs milliseconds with the bursts in it (short ramps so no
// click spreads a burst's spectrum). False when the file cannot be written.
bool WriteToneBursts(const std::string& path, const std::vector<ToneBurst>& bursts, int totalMs,
                     const ToneOptions& options = {});

// The same samples, for tests that feed a device directly.
std::vector<std::int16_t> MakeToneBursts(const std::vector<ToneBurst>& bursts, int totalMs,
                                         const ToneOptions& options = {});

struct FoundBurst {
    double freqHz = 0;   // the expected frequency it matched
    double onsetMs = 0;  // from the first sample of the file
    double lengthMs = 0;
};

// Mono 16-bit samples of a PCM wave file (stereo is mixed down); nullopt when unreadable.
struct MonoWave {
    int sampleRate = 0;
    std::vector<std::int16_t> samples;
};
std::optional<MonoWave> ReadMonoWave(const std::string& path);

// Every burst in the file whose frequency is one of expected, in time order. A burst is a stretch
// whose energy (1 ms windows) stands 10 dB above the noise floor (and above -50 dBFS), and whose
// first 20 ms hold most of their energy at one expected frequency; the parts of one burst cut by
// a lost stretch (under 100 ms) count once. Empty when unreadable.
std::vector<FoundBurst> FindBursts(const std::string& path, const std::vector<double>& expected);
std::vector<FoundBurst> FindBursts(const MonoWave& wave, const std::vector<double>& expected);

}  // namespace qv::audio::testing
