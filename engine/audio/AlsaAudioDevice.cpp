#include <alsa/asoundlib.h>
#include <pthread.h>
#include <sched.h>

#include <array>
#include <cerrno>

#include "AudioDevice.h"
#include "OpusCoder.h"

namespace qv::audio {

namespace {

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using Pcm = std::unique_ptr<snd_pcm_t, PcmCloser>;

constexpr const char* kDeviceName = "default";
constexpr snd_pcm_uframes_t kPeriod = kPeriodSamples;
constexpr snd_pcm_uframes_t kPlaybackBuffer = 3 * kPeriod;
constexpr snd_pcm_uframes_t kCaptureBuffer = 6 * kPeriod;
constexpr int kPrefillPeriods = 2;

// Opened without blocking (a busy device fails at once instead of hanging), then used blocking.
Pcm OpenPcm(snd_pcm_stream_t stream, int& error) {
    snd_pcm_t* raw = nullptr;
    error = snd_pcm_open(&raw, kDeviceName, stream, SND_PCM_NONBLOCK);
    if (error < 0) {
        return nullptr;
    }
    snd_pcm_nonblock(raw, 0);
    return Pcm(raw);
}

int Configure(snd_pcm_t* pcm, snd_pcm_uframes_t buffer) {
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = kSampleRate;
    snd_pcm_uframes_t period = kPeriod;
    int dir = 0;
    int r = snd_pcm_hw_params_any(pcm, hw);
    if (r >= 0)
        r = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (r >= 0)
        r = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE);
    if (r >= 0)
        r = snd_pcm_hw_params_set_channels(pcm, hw, 1);
    if (r >= 0)
        r = snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
    if (r >= 0)
        r = snd_pcm_hw_params_set_rate(pcm, hw, rate, 0);
    if (r >= 0)
        r = snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir);
    if (r >= 0)
        r = snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer);
    if (r >= 0)
        r = snd_pcm_hw_params(pcm, hw);
    if (r < 0) {
        return r;
    }
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    r = snd_pcm_sw_params_current(pcm, sw);
    if (r >= 0)
        r = snd_pcm_sw_params_set_avail_min(pcm, sw, kPeriod);
    if (r >= 0)
        r = snd_pcm_sw_params_set_start_threshold(pcm, sw, kPeriod);
    if (r >= 0)
        r = snd_pcm_sw_params(pcm, sw);
    return r;
}

// The audio thread asks for real-time scheduling where it is allowed; elsewhere it runs as is.
void TryRealtime() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

class AlsaAudioDevice final : public AudioDevice {
  public:
    AlsaAudioDevice() { snd_lib_error_set_handler(SilentAlsaError); }

    std::int32_t Open() override {
        Close();
        int error = 0;
        playback_ = OpenPcm(SND_PCM_STREAM_PLAYBACK, error);
        if (!playback_) {
            error_ = std::string("playback \"default\": ") + snd_strerror(error);
            return 1;
        }
        capture_ = OpenPcm(SND_PCM_STREAM_CAPTURE, error);
        if (!capture_) {
            error_ = std::string("capture \"default\": ") + snd_strerror(error);
            // Each direction alone, but not both together: a half-duplex card.
            playback_.reset();
            Pcm alone = OpenPcm(SND_PCM_STREAM_CAPTURE, error);
            return alone ? 2 : 3;
        }
        if (Configure(playback_.get(), kPlaybackBuffer) < 0 ||
            Configure(capture_.get(), kCaptureBuffer) < 0) {
            error_ = "the device refuses 48 kHz mono 16-bit with 10 ms periods";
            Close();
            return 5;
        }
        if (!Prime()) {
            Close();
            return 5;
        }
        realtimeTried_ = false;
        error_.clear();
        return 0;
    }

    void Close() override {
        if (playback_) {
            snd_pcm_drop(playback_.get());
        }
        if (capture_) {
            snd_pcm_drop(capture_.get());
        }
        playback_.reset();
        capture_.reset();
    }

    bool Exchange(std::span<std::int16_t> capture, std::span<const std::int16_t> playback,
                  std::int64_t& captureEndNs) override {
        if (!playback_ || !capture_) {
            return false;
        }
        if (!realtimeTried_) {
            realtimeTried_ = true;
            TryRealtime();
        }
        std::size_t got = 0;
        while (got < capture.size()) {
            const snd_pcm_sframes_t n =
                snd_pcm_readi(capture_.get(), capture.data() + got, capture.size() - got);
            if (n < 0) {
                if (snd_pcm_recover(capture_.get(), static_cast<int>(n), 1) < 0) {
                    error_ = std::string("capture: ") + snd_strerror(static_cast<int>(n));
                    return false;
                }
                snd_pcm_start(capture_.get());
                continue;
            }
            got += static_cast<std::size_t>(n);
        }
        captureEndNs = MonotonicNowNs();
        snd_pcm_sframes_t waiting = 0;
        if (snd_pcm_delay(capture_.get(), &waiting) == 0 && waiting > 0) {
            captureEndNs -= static_cast<std::int64_t>(waiting) * 1'000'000'000 / kSampleRate;
        }
        const snd_pcm_sframes_t written =
            snd_pcm_writei(playback_.get(), playback.data(), playback.size());
        if (written < 0) {
            // An underrun: start again with the buffer's worth of silence ahead.
            if (snd_pcm_recover(playback_.get(), static_cast<int>(written), 1) < 0) {
                error_ = std::string("playback: ") + snd_strerror(static_cast<int>(written));
                return false;
            }
            Prefill();
            snd_pcm_writei(playback_.get(), playback.data(), playback.size());
        }
        return true;
    }

    std::string LastError() const override { return error_; }

  private:
    void Prefill() {
        static constexpr std::array<std::int16_t, kPeriodSamples> kSilence{};
        for (int i = 0; i < kPrefillPeriods; ++i) {
            snd_pcm_writei(playback_.get(), kSilence.data(), kSilence.size());
        }
    }

    bool Prime() {
        if (snd_pcm_prepare(playback_.get()) < 0 || snd_pcm_prepare(capture_.get()) < 0) {
            error_ = "the device cannot be prepared";
            return false;
        }
        Prefill();
        snd_pcm_start(capture_.get());
        return true;
    }

    Pcm playback_;
    Pcm capture_;
    bool realtimeTried_ = false;
    std::string error_;
};

}  // namespace

std::unique_ptr<AudioDevice> MakeAlsaAudioDevice() {
    return std::make_unique<AlsaAudioDevice>();
}

}  // namespace qv::audio
