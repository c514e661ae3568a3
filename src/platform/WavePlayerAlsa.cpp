#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/FileIo.h"
#include "platform/WavePlayer.h"

namespace qv {

namespace {

constexpr std::size_t kMaxWaveBytes = 32u * 1024u * 1024u;
constexpr unsigned kLatencyUs = 200000;

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};

// One sound at a time on its own thread; a new sound or Stop ends the one playing.
class AlsaWavePlayer final : public WavePlayer {
  public:
    ~AlsaWavePlayer() override { Stop(); }

    void Play(const std::string& path, int volume) override {
        std::lock_guard lock(mutex_);
        EndCurrent();
        stop_.store(false);
        worker_ = std::thread([this, path, volume] { Run(path, volume); });
    }

    void Stop() override {
        std::lock_guard lock(mutex_);
        EndCurrent();
    }

  private:
    void EndCurrent() {
        if (worker_.joinable()) {
            stop_.store(true);
            worker_.join();
        }
    }

    void Run(const std::string& path, int volume) {
        std::optional<std::string> bytes = ReadWholeFile(path, kMaxWaveBytes);
        if (!bytes) {
            return;
        }
        std::optional<PcmWave> wave = ParsePcmWave(*bytes);
        if (!wave || wave->samples.empty()) {
            return;
        }
        bytes.reset();
        ScalePcmVolume(*wave, volume);

        // ALSA reports a missing device on stderr; the sound is simply not heard.
        snd_lib_error_set_handler(&SilentAlsaError);
        snd_pcm_t* raw = nullptr;
        if (snd_pcm_open(&raw, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
            return;
        }
        std::unique_ptr<snd_pcm_t, PcmCloser> pcm(raw);
        snd_pcm_nonblock(pcm.get(), 0);
        const snd_pcm_format_t format =
            wave->bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
        if (snd_pcm_set_params(pcm.get(), format, SND_PCM_ACCESS_RW_INTERLEAVED, wave->channels,
                               wave->sampleRate, 1, kLatencyUs) < 0) {
            return;
        }
        const std::size_t frameBytes = wave->channels * (wave->bitsPerSample / 8);
        const snd_pcm_uframes_t total = wave->samples.size() / frameBytes;
        // Small pieces so Stop is noticed quickly.
        const snd_pcm_uframes_t piece = std::max<snd_pcm_uframes_t>(wave->sampleRate / 20, 1);
        snd_pcm_uframes_t done = 0;
        while (done < total && !stop_.load()) {
            const snd_pcm_uframes_t count = std::min(piece, total - done);
            snd_pcm_sframes_t n =
                snd_pcm_writei(pcm.get(), wave->samples.data() + done * frameBytes, count);
            if (n < 0) {
                n = snd_pcm_recover(pcm.get(), static_cast<int>(n), 1);
                if (n < 0) {
                    return;
                }
                continue;
            }
            done += static_cast<snd_pcm_uframes_t>(n);
        }
        if (stop_.load()) {
            snd_pcm_drop(pcm.get());
        } else {
            snd_pcm_drain(pcm.get());
        }
    }

    std::mutex mutex_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
};

}  // namespace

std::unique_ptr<WavePlayer> MakeAlsaWavePlayer() {
    return std::make_unique<AlsaWavePlayer>();
}

}  // namespace qv
