#include "ToneBursts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "platform/FileIo.h"
#include "platform/WavePlayer.h"

namespace qv::audio::testing {

namespace {

void PutLe16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void PutLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

double FromDbfs(double dbfs) {
    return 32767.0 * std::pow(10.0, dbfs / 20.0);
}

// Power of one frequency in a stretch, relative to the stretch's whole energy: about 1 for a
// pure tone at that frequency, near 0 for a tone well away from it.
double ToneShare(const std::int16_t* x, std::size_t n, double freq, int rate) {
    const double w = 2 * std::numbers::pi * freq / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    double energy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = x[i];
        energy += v * v;
        const double s0 = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    if (energy <= 0) {
        return 0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2 * power / (static_cast<double>(n) * energy);
}

}  // namespace

std::vector<std::int16_t> MakeToneBursts(const std::vector<ToneBurst>& bursts, int totalMs,
                                         const ToneOptions& options) {
    const int rate = options.sampleRate;
    const std::size_t total = static_cast<std::size_t>(std::max(totalMs, 0)) * rate / 1000;
    std::vector<double> mix(total, 0.0);
    if (options.noiseDbfs > -120) {
        std::mt19937 random(options.noiseSeed);
        std::normal_distribution<double> noise(0.0, FromDbfs(options.noiseDbfs));
        for (double& v : mix) {
            v = noise(random);
        }
    }
    const double amplitude = FromDbfs(options.amplitudeDbfs);
    const std::size_t ramp = static_cast<std::size_t>(rate) / 1000;  // 1 ms
    for (const ToneBurst& burst : bursts) {
        const std::size_t first =
            static_cast<std::size_t>(std::max(burst.startMs, 0)) * rate / 1000;
        const std::size_t length =
            static_cast<std::size_t>(std::max(burst.lengthMs, 0)) * rate / 1000;
        for (std::size_t i = 0; i < length && first + i < total; ++i) {
            const double edge = std::min(
                {1.0, static_cast<double>(i) / ramp, static_cast<double>(length - i) / ramp});
            mix[first + i] +=
                edge * amplitude * std::sin(2 * std::numbers::pi * burst.freqHz * i / rate);
        }
    }
    std::vector<std::int16_t> samples(total);
    for (std::size_t i = 0; i < total; ++i) {
        samples[i] = static_cast<std::int16_t>(std::clamp(std::lround(mix[i]), -32768L, 32767L));
    }
    return samples;
}

bool WriteToneBursts(const std::string& path, const std::vector<ToneBurst>& bursts, int totalMs,
                     const ToneOptions& options) {
    const std::vector<std::int16_t> samples = MakeToneBursts(bursts, totalMs, options);
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    PutLe32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    PutLe32(out, 16);
    PutLe16(out, 1);
    PutLe16(out, 1);
    PutLe32(out, static_cast<std::uint32_t>(options.sampleRate));
    PutLe32(out, static_cast<std::uint32_t>(options.sampleRate) * 2);
    PutLe16(out, 2);
    PutLe16(out, 16);
    out += "data";
    PutLe32(out, dataBytes);
    for (std::int16_t s : samples) {
        PutLe16(out, static_cast<std::uint16_t>(s));
    }
    return WriteFileAtomically(path, out);
}

std::optional<MonoWave> ReadMonoWave(const std::string& path) {
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    std::optional<PcmWave> pcm = ParsePcmWave(*bytes);
    if (!pcm) {
        return std::nullopt;
    }
    MonoWave wave;
    wave.sampleRate = static_cast<int>(pcm->sampleRate);
    const std::string& s = pcm->samples;
    const std::size_t width = pcm->bitsPerSample / 8;
    const std::size_t frame = width * pcm->channels;
    for (std::size_t at = 0; at + frame <= s.size(); at += frame) {
        int sum = 0;
        for (std::size_t c = 0; c < pcm->channels; ++c) {
            const std::size_t p = at + c * width;
            if (width == 1) {
                sum += (static_cast<unsigned char>(s[p]) - 128) * 256;
            } else {
                sum += static_cast<std::int16_t>(static_cast<std::uint16_t>(
                    static_cast<unsigned char>(s[p]) | static_cast<unsigned char>(s[p + 1]) << 8));
            }
        }
        wave.samples.push_back(static_cast<std::int16_t>(sum / pcm->channels));
    }
    return wave;
}

std::vector<FoundBurst> FindBursts(const std::string& path, const std::vector<double>& expected) {
    std::optional<MonoWave> wave = ReadMonoWave(path);
    if (!wave) {
        return {};
    }
    return FindBursts(*wave, expected);
}

std::vector<FoundBurst> FindBursts(const MonoWave& wave, const std::vector<double>& expected) {
    std::vector<FoundBurst> found;
    if (wave.sampleRate <= 0 || expected.empty()) {
        return found;
    }
    const std::size_t window = static_cast<std::size_t>(wave.sampleRate) / 1000;  // 1 ms
    const std::size_t windows = wave.samples.size() / window;
    if (windows == 0) {
        return found;
    }
    std::vector<double> energy(windows);
    for (std::size_t w = 0; w < windows; ++w) {
        double sum = 0;
        for (std::size_t i = 0; i < window; ++i) {
            const double v = wave.samples[w * window + i];
            sum += v * v;
        }
        energy[w] = sum / window;
    }
    // The floor is a low percentile: bursts cover far less than a fifth of any sensible file.
    std::vector<double> sorted = energy;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(windows / 5), sorted.end());
    const double floor = sorted[windows / 5];
    const double minimum = std::pow(FromDbfs(-50), 2) / 2;
    const double threshold = std::max(floor * 10, minimum);

    constexpr std::size_t kJoinGapMs = 10;
    constexpr std::size_t kMinLengthMs = 10;
    constexpr std::size_t kAnalysisMs = 20;
    constexpr double kRejoinMs = 100;
    std::size_t w = 0;
    while (w < windows) {
        if (energy[w] <= threshold) {
            ++w;
            continue;
        }
        const std::size_t start = w;
        std::size_t end = w + 1;  // one past the last loud window
        std::size_t quiet = 0;
        for (std::size_t v = w + 1; v < windows && quiet < kJoinGapMs; ++v) {
            if (energy[v] > threshold) {
                end = v + 1;
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        w = end + quiet;
        if (end - start < kMinLengthMs) {
            continue;
        }
        // Classify on the burst's steady part, after its onset.
        const std::size_t from = (start + 2) * window;
        const std::size_t count = std::min(kAnalysisMs, end - start - 2) * window;
        double best = 0;
        double bestFreq = 0;
        for (double freq : expected) {
            const double share = ToneShare(&wave.samples[from], count, freq, wave.sampleRate);
            if (share > best) {
                best = share;
                bestFreq = freq;
            }
        }
        if (best < 0.5) {
            continue;
        }
        // Onset to the sample: the first sample of the first loud window that is itself loud.
        std::size_t onset = start * window;
        const double peak = std::sqrt(threshold);
        for (std::size_t i = 0; i < window; ++i) {
            if (std::abs(static_cast<double>(wave.samples[start * window + i])) > peak) {
                onset = start * window + i;
                break;
            }
        }
        FoundBurst burst;
        burst.freqHz = bestFreq;
        burst.onsetMs = 1000.0 * static_cast<double>(onset) / wave.sampleRate;
        burst.lengthMs = static_cast<double>(end - start);
        // A burst cut in two by a lost stretch is still one burst.
        if (!found.empty() && found.back().freqHz == bestFreq &&
            burst.onsetMs - (found.back().onsetMs + found.back().lengthMs) < kRejoinMs) {
            found.back().lengthMs = burst.onsetMs + burst.lengthMs - found.back().onsetMs;
            continue;
        }
        found.push_back(burst);
    }
    return found;
}

}  // namespace qv::audio::testing
