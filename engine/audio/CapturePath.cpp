#include "CapturePath.h"

#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <algorithm>

namespace qv::audio {

namespace {

constexpr int kEchoTailSamples = kSampleRate / 10;  // 100 ms of room echo
// The preprocessor delays its output by one of its frames: half a period keeps that at 5 ms
// (the echo canceller must work in the same frames).
constexpr int kCleanSamples = kPeriodSamples / 2;

}  // namespace

void CapturePath::PreprocessCloser::operator()(SpeexPreprocessState_* s) const {
    speex_preprocess_state_destroy(s);
}
void CapturePath::EchoCloser::operator()(SpeexEchoState_* s) const {
    speex_echo_state_destroy(s);
}

CapturePath::~CapturePath() = default;

std::unique_ptr<CapturePath> CapturePath::Create() {
    std::unique_ptr<CapturePath> path(new CapturePath());
    path->preprocess_.reset(speex_preprocess_state_init(kCleanSamples, kSampleRate));
    path->echo_.reset(speex_echo_state_init(kCleanSamples, kEchoTailSamples));
    if (!path->preprocess_ || !path->echo_) {
        return nullptr;
    }
    int rate = kSampleRate;
    speex_echo_ctl(path->echo_.get(), SPEEX_ECHO_SET_SAMPLING_RATE, &rate);
    int on = 1;
    int off = 0;
    SpeexPreprocessState_* p = path->preprocess_.get();
    speex_preprocess_ctl(p, SPEEX_PREPROCESS_SET_DENOISE, &on);
    speex_preprocess_ctl(p, SPEEX_PREPROCESS_SET_AGC, &on);
    speex_preprocess_ctl(p, SPEEX_PREPROCESS_SET_DEREVERB, &off);
    path->out_.payload.reserve(kMaxPayloadBytes);
    return path;
}

void CapturePath::SetEncoder(std::unique_ptr<VoiceEncoder> encoder) {
    encoder_ = std::move(encoder);
    transmitting_ = false;
    frameFill_ = 0;
}

void CapturePath::Clean(std::span<std::int16_t> capture, std::span<const std::int16_t> played,
                        bool usingSpeakers) {
    if (capture.size() != kPeriodSamples) {
        return;
    }
    if (usingSpeakers != echoActive_) {
        echoActive_ = usingSpeakers;
        speex_echo_state_reset(echo_.get());
        speex_preprocess_ctl(preprocess_.get(), SPEEX_PREPROCESS_SET_ECHO_STATE,
                             usingSpeakers ? echo_.get() : nullptr);
    }
    for (int at = 0; at < kPeriodSamples; at += kCleanSamples) {
        std::int16_t* part = capture.data() + at;
        if (echoActive_ && played.size() == kPeriodSamples) {
            speex_echo_cancellation(echo_.get(), part, played.data() + at, echoOut_.data());
            std::copy_n(echoOut_.begin(), kCleanSamples, part);
        }
        speex_preprocess_run(preprocess_.get(), part);
    }
    levelDbfs_ = FrameLevelDbfs(capture.data(), kPeriodSamples);
    voice_ = activity_.Update(levelDbfs_);
}

void CapturePath::Emit(const std::int16_t* pcm, int samples, std::uint32_t timestamp, bool start,
                       std::int64_t captureEndNs,
                       const std::function<void(const EncodedFrame&)>& sink) {
    out_.payload.resize(kMaxPayloadBytes);
    const int size = encoder_->Encode(pcm, samples, out_.payload.data(), out_.payload.size());
    if (size <= 0) {
        return;
    }
    out_.payload.resize(static_cast<std::size_t>(size));
    out_.timestamp = timestamp;
    out_.talkspurtStart = start;
    // Frames without speech say so (silence), so listeners' talking indicators and the
    // server's choice of speakers follow voices, not open microphones.
    out_.level = frameVoice_ ? LevelByte(FrameLevelDbfs(pcm, samples)) : 127;
    out_.captureNs = captureEndNs;
    if (sink) {
        sink(out_);
    }
}

bool CapturePath::Transmit(std::span<const std::int16_t> cleaned, const CaptureControls& controls,
                           std::int64_t captureEndNs,
                           const std::function<void(const EncodedFrame&)>& sink) {
    const std::uint32_t timestamp = sampleClock_;
    sampleClock_ += kPeriodSamples;
    const bool gateOpen = gate_.Update(levelDbfs_, controls.squelch, 10);
    const bool transmit = encoder_ && controls.talk && controls.conversation && gateOpen &&
                          cleaned.size() == kPeriodSamples;
    if (transmit) {
        encoder_->SetSlowLink(controls.slowLink);
        encoder_->SetPacketLossPercent(controls.lossPercent);
        if (!transmitting_) {
            // A talkspurt: a clean encoder, the frame length now asked for, and the period
            // before as pre-roll.
            encoder_->Reset();
            frameSamples_ = controls.frameMs >= 20 ? 2 * kPeriodSamples : kPeriodSamples;
            std::copy(previous_.begin(), previous_.end(), frame_.begin());
            frameFill_ = kPeriodSamples;
            frameTimestamp_ = timestamp - kPeriodSamples;
            frameStartsSpurt_ = true;
            frameVoice_ = previousVoice_;
            if (frameFill_ >= frameSamples_) {
                Emit(frame_.data(), frameSamples_, frameTimestamp_, true, captureEndNs - 10'000'000,
                     sink);
                frameFill_ = 0;
                frameStartsSpurt_ = false;
            }
        }
        if (frameFill_ == 0) {
            // A new frame length (a forum joined mid-talkspurt) takes effect at a frame boundary.
            frameSamples_ = controls.frameMs >= 20 ? 2 * kPeriodSamples : kPeriodSamples;
            frameTimestamp_ = timestamp;
            frameVoice_ = false;
        }
        frameVoice_ = frameVoice_ || voice_;
        std::copy(cleaned.begin(), cleaned.end(), frame_.begin() + frameFill_);
        frameFill_ += kPeriodSamples;
        if (frameFill_ >= frameSamples_) {
            Emit(frame_.data(), frameSamples_, frameTimestamp_, frameStartsSpurt_, captureEndNs,
                 sink);
            frameFill_ = 0;
            frameStartsSpurt_ = false;
        }
    } else {
        frameFill_ = 0;
    }
    transmitting_ = transmit;
    if (cleaned.size() == kPeriodSamples) {
        std::copy(cleaned.begin(), cleaned.end(), previous_.begin());
        previousVoice_ = voice_;
    }
    return transmit;
}

}  // namespace qv::audio
