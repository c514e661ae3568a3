#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "WaveFileWriter.h"
#include "WaveRecorder.h"
#include "platform/WavePlayer.h"
#include "support/TempFolder.h"

namespace qv::audio {
namespace {

std::uint32_t Le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t Le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

// What the voice mail player's reader demands: a RIFF/WAVE whose chunks all lie inside the
// RIFF size (no "might be corrupt" question), a PCM "fmt " (no "fact" needed) with non-zero
// rate, block alignment and byte rate. The number of samples it would report, or -1.
long long ReaderSamples(const std::string& b) {
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
        return -1;
    }
    const std::uint64_t riffEnd = 8ull + Le32(b, 4);
    if (riffEnd > b.size()) {
        return -1;  // the header claims bytes the file does not have
    }
    std::uint64_t pos = 12;
    bool format = false;
    std::uint16_t align = 0;
    long long dataSize = -1;
    while (pos + 8 <= riffEnd) {
        const std::uint64_t size = Le32(b, pos + 4);
        if (pos + 8 + size > riffEnd) {
            return -1;
        }
        if (b.compare(pos, 4, "fmt ") == 0) {
            if (Le16(b, pos + 8) != 1 || Le32(b, pos + 12) == 0 || Le32(b, pos + 16) == 0) {
                return -1;
            }
            align = Le16(b, pos + 20);
            format = align != 0;
        } else if (b.compare(pos, 4, "data") == 0 && dataSize <= 0) {
            dataSize = static_cast<long long>(size);
        }
        pos += 8 + size + (size & 1);
    }
    if (!format) {
        return -1;
    }
    return dataSize < 0 ? 0 : dataSize / align;
}

std::string ReadBytes(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::string bytes;
    if (f == nullptr) {
        return bytes;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
        bytes.append(buffer.data(), n);
    }
    std::fclose(f);
    return bytes;
}

TEST(WaveFileWriter, TheFileIsValidAtEveryMomentAndCompleteAfterClose) {
    qv::test::TempFolder folder;
    const std::string path = folder.File("w.wav");
    WaveFileWriter writer;
    ASSERT_TRUE(writer.Open(path, 16000));
    EXPECT_EQ(ReaderSamples(ReadBytes(path)), 0) << "valid before any sound";
    std::vector<std::int16_t> samples(1600, 1234);
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(writer.Append(samples.data(), samples.size()));
        // Cut off here (the process killed): what the sizes cover is a valid wave, at most one
        // second behind.
        const long long seen = ReaderSamples(ReadBytes(path));
        ASSERT_GE(seen, 0) << i;
        EXPECT_GE(seen, static_cast<long long>((i + 1) * 1600) - 16000) << i;
    }
    writer.Close();
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(ReaderSamples(bytes), 25 * 1600);
    const std::optional<PcmWave> wave = ParsePcmWave(bytes);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->sampleRate, 16000u);
    EXPECT_EQ(wave->channels, 1);
    EXPECT_EQ(wave->bitsPerSample, 16);
    EXPECT_EQ(wave->samples.size(), 25u * 1600 * 2);
}

TEST(WaveFileWriter, RefusesAPlaceItCannotWrite) {
    WaveFileWriter writer;
    EXPECT_FALSE(writer.Open("/nonexistent/folder/w.wav", 16000));
    EXPECT_FALSE(writer.Append(nullptr, 0));
    qv::test::TempFolder folder;
    EXPECT_FALSE(writer.Open(folder.File("x.wav"), 0));
}

TEST(WaveRecorder, Writes16kMonoFromThe48kMicrophone) {
    qv::test::TempFolder folder;
    WaveRecorder recorder;
    ASSERT_TRUE(recorder.Start(folder.File("r.wav")));
    std::array<std::int16_t, 480> period{};
    period.fill(1000);
    for (int i = 0; i < 150; ++i) {
        recorder.Append(period);
    }
    recorder.Finish();
    EXPECT_FALSE(recorder.Recording());
    const long long samples = ReaderSamples(ReadBytes(folder.File("r.wav")));
    EXPECT_NEAR(static_cast<double>(samples), 150.0 * 160, 200.0);
}

}  // namespace
}  // namespace qv::audio
