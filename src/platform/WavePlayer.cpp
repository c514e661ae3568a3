#include "platform/WavePlayer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qv {

namespace {

std::uint32_t Le32(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t Le16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

class NullWavePlayer final : public WavePlayer {
  public:
    void Play(const std::string&, int) override {}
    void Stop() override {}
};

}  // namespace

std::optional<PcmWave> ParsePcmWave(std::string_view bytes) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        return std::nullopt;
    }
    // Chunks beyond the RIFF size, or beyond the file, are not trusted.
    const std::uint64_t riffEnd = std::min<std::uint64_t>(8ull + Le32(bytes, 4), bytes.size());
    PcmWave wave;
    bool haveFormat = false;
    bool haveData = false;
    std::uint64_t pos = 12;
    while (pos + 8 <= riffEnd) {
        const std::string_view id = bytes.substr(pos, 4);
        const std::uint64_t size = Le32(bytes, pos + 4);
        const std::uint64_t body = pos + 8;
        if (body + size > riffEnd) {
            return std::nullopt;
        }
        if (id == "fmt ") {
            if (size < 16) {
                return std::nullopt;
            }
            const std::uint16_t tag = Le16(bytes, body);
            wave.channels = Le16(bytes, body + 2);
            wave.sampleRate = Le32(bytes, body + 4);
            const std::uint16_t blockAlign = Le16(bytes, body + 12);
            wave.bitsPerSample = Le16(bytes, body + 14);
            if (tag != 1 || (wave.channels != 1 && wave.channels != 2) ||
                (wave.bitsPerSample != 8 && wave.bitsPerSample != 16) || wave.sampleRate == 0 ||
                wave.sampleRate > 192000 ||
                blockAlign != wave.channels * (wave.bitsPerSample / 8)) {
                return std::nullopt;
            }
            haveFormat = true;
        } else if (id == "data" && !haveData) {
            wave.samples.assign(bytes.substr(body, size));
            haveData = true;
        }
        pos = body + size + (size & 1);  // chunks are padded to even sizes
    }
    if (!haveFormat || !haveData) {
        return std::nullopt;
    }
    const std::size_t frame = wave.channels * (wave.bitsPerSample / 8);
    wave.samples.resize(wave.samples.size() - wave.samples.size() % frame);
    return wave;
}

void ScalePcmVolume(PcmWave& wave, int volume) {
    volume = std::clamp(volume, 0, 100);
    if (volume == 100) {
        return;
    }
    std::string& s = wave.samples;
    if (wave.bitsPerSample == 8) {
        for (char& c : s) {
            const int centred = static_cast<unsigned char>(c) - 128;
            c = static_cast<char>(centred * volume / 100 + 128);
        }
        return;
    }
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        const auto raw = static_cast<std::uint16_t>(static_cast<unsigned char>(s[i]) |
                                                    static_cast<unsigned char>(s[i + 1]) << 8);
        const int scaled = static_cast<std::int16_t>(raw) * volume / 100;
        const auto out = static_cast<std::uint16_t>(scaled);
        s[i] = static_cast<char>(out & 0xFF);
        s[i + 1] = static_cast<char>(out >> 8);
    }
}

std::unique_ptr<WavePlayer> MakeNullWavePlayer() {
    return std::make_unique<NullWavePlayer>();
}

std::unique_ptr<WavePlayer> MakeWavePlayer() {
    const char* choice = std::getenv("QUORVANE_SOUND");
    if (choice != nullptr && std::strcmp(choice, "null") == 0) {
        return MakeNullWavePlayer();
    }
    return MakeAlsaWavePlayer();
}

}  // namespace qv
