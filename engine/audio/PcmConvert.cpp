#include "PcmConvert.h"

#include <speex/speex_resampler.h>

#include <memory>

#include "OpusCoder.h"
#include "platform/FileIo.h"

namespace qv::audio {

namespace {

// Voice mail is about a minute; sounds are short. Larger files are refused, not read.
constexpr std::size_t kMaxWaveBytes = 64u * 1024u * 1024u;

struct ResamplerCloser {
    void operator()(SpeexResamplerState* s) const { speex_resampler_destroy(s); }
};

}  // namespace

std::vector<std::int16_t> ToMono48k(const PcmWave& wave) {
    std::vector<std::int16_t> mono;
    const std::size_t width = wave.bitsPerSample / 8;
    const std::size_t frame = width * wave.channels;
    if (frame == 0) {
        return mono;
    }
    mono.reserve(wave.samples.size() / frame);
    const std::string& s = wave.samples;
    for (std::size_t at = 0; at + frame <= s.size(); at += frame) {
        int sum = 0;
        for (std::size_t c = 0; c < wave.channels; ++c) {
            const std::size_t p = at + c * width;
            if (width == 1) {
                sum += (static_cast<unsigned char>(s[p]) - 128) * 256;
            } else {
                sum += static_cast<std::int16_t>(static_cast<std::uint16_t>(
                    static_cast<unsigned char>(s[p]) | static_cast<unsigned char>(s[p + 1]) << 8));
            }
        }
        mono.push_back(static_cast<std::int16_t>(sum / static_cast<int>(wave.channels)));
    }
    if (wave.sampleRate == static_cast<std::uint32_t>(kSampleRate) || mono.empty()) {
        return mono;
    }
    int error = 0;
    std::unique_ptr<SpeexResamplerState, ResamplerCloser> resampler(
        speex_resampler_init(1, wave.sampleRate, kSampleRate, 5, &error));
    if (!resampler) {
        return {};
    }
    std::vector<std::int16_t> out(static_cast<std::size_t>(
        static_cast<std::uint64_t>(mono.size()) * kSampleRate / wave.sampleRate + 64));
    spx_uint32_t inLength = static_cast<spx_uint32_t>(mono.size());
    spx_uint32_t outLength = static_cast<spx_uint32_t>(out.size());
    speex_resampler_process_int(resampler.get(), 0, mono.data(), &inLength, out.data(), &outLength);
    out.resize(outLength);
    return out;
}

std::optional<std::vector<std::int16_t>> LoadWave48k(const std::string& path, int volume) {
    std::optional<std::string> bytes = ReadWholeFile(path, kMaxWaveBytes);
    if (!bytes) {
        return std::nullopt;
    }
    std::optional<PcmWave> wave = ParsePcmWave(*bytes);
    if (!wave) {
        return std::nullopt;
    }
    ScalePcmVolume(*wave, volume);
    return ToMono48k(*wave);
}

}  // namespace qv::audio
