#include "WaveRecorder.h"

#include <speex/speex_resampler.h>

namespace qv::audio {

void WaveRecorder::ResamplerCloser::operator()(SpeexResamplerState_* s) const {
    speex_resampler_destroy(s);
}

WaveRecorder::WaveRecorder() {
    int error = 0;
    resampler_.reset(speex_resampler_init(1, kSampleRate, kRecordRate, 5, &error));
}

WaveRecorder::~WaveRecorder() {
    Finish();
}

bool WaveRecorder::Start(const std::string& path) {
    Finish();
    if (!resampler_ || !writer_.Open(path, kRecordRate)) {
        return false;
    }
    speex_resampler_reset_mem(resampler_.get());
    return true;
}

void WaveRecorder::Append(std::span<const std::int16_t> period) {
    if (!writer_.IsOpen()) {
        return;
    }
    spx_uint32_t inLength = static_cast<spx_uint32_t>(period.size());
    spx_uint32_t outLength = static_cast<spx_uint32_t>(out_.size());
    speex_resampler_process_int(resampler_.get(), 0, period.data(), &inLength, out_.data(),
                                &outLength);
    writer_.Append(out_.data(), outLength);
}

void WaveRecorder::Finish() {
    writer_.Close();
}

}  // namespace qv::audio
