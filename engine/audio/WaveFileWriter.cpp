#include "WaveFileWriter.h"

#include <algorithm>
#include <array>

#include "platform/FileIo.h"

namespace qv::audio {

namespace {

constexpr std::uint64_t kHeaderBytes = 44;
// The largest data chunk whose RIFF size still fits 32 bits.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - kHeaderBytes;

void PutLe32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
    }
}

void PutLe16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v & 0xFF);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

WaveFileWriter::~WaveFileWriter() {
    Close();
}

bool WaveFileWriter::Open(const std::string& path, int sampleRate) {
    Close();
    if (sampleRate <= 0) {
        return false;
    }
    file_.reset(OpenPrivateFile(path, false));
    if (!file_) {
        return false;
    }
    sampleRate_ = sampleRate;
    samples_ = 0;
    sinceSync_ = 0;
    failed_ = false;
    std::array<std::uint8_t, kHeaderBytes> header{};
    const auto rate = static_cast<std::uint32_t>(sampleRate);
    std::copy_n("RIFF", 4, header.begin());
    PutLe32(&header[4], 36);
    std::copy_n("WAVEfmt ", 8, header.begin() + 8);
    PutLe32(&header[16], 16);
    PutLe16(&header[20], 1);  // PCM
    PutLe16(&header[22], 1);  // mono
    PutLe32(&header[24], rate);
    PutLe32(&header[28], rate * 2);
    PutLe16(&header[32], 2);
    PutLe16(&header[34], 16);
    std::copy_n("data", 4, header.begin() + 36);
    PutLe32(&header[40], 0);
    if (std::fwrite(header.data(), 1, header.size(), file_.get()) != header.size() ||
        std::fflush(file_.get()) != 0) {
        file_.reset();
        return false;
    }
    return true;
}

bool WaveFileWriter::Append(const std::int16_t* samples, std::size_t count) {
    if (!file_ || failed_) {
        return false;
    }
    if ((samples_ + count) * 2 > kMaxDataBytes) {
        failed_ = true;
        Sync();
        return false;
    }
    std::array<std::uint8_t, 2 * 512> bytes{};
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min<std::size_t>(count - done, bytes.size() / 2);
        for (std::size_t i = 0; i < n; ++i) {
            PutLe16(&bytes[2 * i], static_cast<std::uint16_t>(samples[done + i]));
        }
        if (std::fwrite(bytes.data(), 2, n, file_.get()) != n) {
            failed_ = true;
            return false;
        }
        done += n;
    }
    samples_ += count;
    sinceSync_ += count;
    if (sinceSync_ >= static_cast<std::uint64_t>(sampleRate_)) {
        Sync();
    }
    return true;
}

void WaveFileWriter::Sync() {
    if (!file_) {
        return;
    }
    sinceSync_ = 0;
    std::FILE* f = file_.get();
    const auto data = static_cast<std::uint32_t>(samples_ * 2);
    std::array<std::uint8_t, 4> riff{};
    std::array<std::uint8_t, 4> size{};
    PutLe32(riff.data(), data + 36);
    PutLe32(size.data(), data);
    // The data first, then the sizes that cover it: a cut between the two leaves a file whose
    // sizes claim less than it holds, never more.
    std::fflush(f);
    if (std::fseek(f, 4, SEEK_SET) == 0) {
        std::fwrite(riff.data(), 1, riff.size(), f);
    }
    if (std::fseek(f, 40, SEEK_SET) == 0) {
        std::fwrite(size.data(), 1, size.size(), f);
    }
    std::fseek(f, 0, SEEK_END);
    std::fflush(f);
}

void WaveFileWriter::Close() {
    if (!file_) {
        return;
    }
    Sync();
    file_.reset();
}

}  // namespace qv::audio
