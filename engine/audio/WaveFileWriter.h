#pragma once

// Writes 16-bit mono PCM RIFF/WAVE as the samples come. The RIFF and data sizes are rewritten
// every second of sound and on Close, so a file cut off at any moment (the program killed, the
// machine switched off) still reads as a valid wave of what was written up to the last rewrite.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace qv::audio {

class WaveFileWriter {
  public:
    WaveFileWriter() = default;
    ~WaveFileWriter();
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;

    // Creates or truncates path (0600 when new) with an empty wave; false when it cannot.
    bool Open(const std::string& path, int sampleRate);
    // False once the file failed or reached the format's 4 GB limit (the rest is dropped).
    bool Append(const std::int16_t* samples, std::size_t count);
    // Rewrites the sizes now (and keeps writing after).
    void Sync();
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    std::uint64_t Samples() const { return samples_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    int sampleRate_ = 0;
    std::uint64_t samples_ = 0;
    std::uint64_t sinceSync_ = 0;
    bool failed_ = false;
};

}  // namespace qv::audio
