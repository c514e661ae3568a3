#include "RemoteStream.h"

#include <algorithm>

namespace qv::audio {

std::unique_ptr<RemoteStream> RemoteStream::Create() {
    std::unique_ptr<RemoteStream> stream(new RemoteStream());
    stream->decoder_ = VoiceDecoder::Create();
    if (!stream->decoder_) {
        return nullptr;
    }
    return stream;
}

void RemoteStream::Assign(std::uint32_t streamId) {
    buffer_.Reset();
    decoder_->Reset();
    inUse_ = true;
    streamId_ = streamId;
    pcmStart_ = pcmEnd_ = 0;
    talking_ = false;
    heardVoice_ = false;
    lastArrivalNs_ = 0;
}

void RemoteStream::Release() {
    inUse_ = false;
    buffer_.Reset();
    pcmStart_ = pcmEnd_ = 0;
}

void RemoteStream::Push(const JitterPacket& packet) {
    lastArrivalNs_ = std::max(lastArrivalNs_, packet.arrivalNs);
    buffer_.Push(packet);
}

// Decodes one more frame behind what is left; false when the speaker is silent.
bool RemoteStream::Refill(std::int64_t nowNs) {
    const JitterOutput out = buffer_.Pull(nowNs);
    if (out.kind == JitterOutputKind::kNothing) {
        return false;
    }
    if (out.talkspurtStart) {
        decoder_->Reset();
    }
    // Keep what is left at the front, then decode behind it.
    const int left = pcmEnd_ - pcmStart_;
    std::copy(pcm_.begin() + pcmStart_, pcm_.begin() + pcmEnd_, pcm_.begin());
    pcmStart_ = 0;
    pcmEnd_ = left;
    std::int16_t* at = pcm_.data() + pcmEnd_;
    const int room = static_cast<int>(pcm_.size()) - pcmEnd_;
    const int samples = std::min(out.samples, room);
    int decoded = 0;
    switch (out.kind) {
        case JitterOutputKind::kPacket:
            decoded = room >= kMaxFrameSamples ? decoder_->Decode(out.payload, out.size, at) : -1;
            break;
        case JitterOutputKind::kFec:
            decoded = decoder_->DecodeFec(out.payload, out.size, samples, at);
            break;
        case JitterOutputKind::kConceal:
            decoded = decoder_->Conceal(samples, at);
            break;
        case JitterOutputKind::kSilence:
        case JitterOutputKind::kNothing:
            break;
    }
    if (decoded <= 0) {
        // Undecodable or silence: the frame's time passes quietly.
        std::fill(at, at + samples, std::int16_t{0});
        decoded = samples;
    }
    pcmEnd_ += decoded;
    if ((out.kind == JitterOutputKind::kPacket || out.kind == JitterOutputKind::kFec) &&
        out.level <= kTalkingLevel) {
        heardVoice_ = true;
        lastVoiceNs_ = nowNs;
    }
    return true;
}

void RemoteStream::MixInto(std::span<float> mix, float gain, std::int64_t nowNs) {
    if (!inUse_) {
        return;
    }
    while (pcmEnd_ - pcmStart_ < static_cast<int>(mix.size())) {
        if (!Refill(nowNs)) {
            break;
        }
    }
    const int n = std::min(pcmEnd_ - pcmStart_, static_cast<int>(mix.size()));
    for (int i = 0; i < n; ++i) {
        mix[static_cast<std::size_t>(i)] += gain * pcm_[static_cast<std::size_t>(pcmStart_ + i)];
    }
    pcmStart_ += n;
    if (n < static_cast<int>(mix.size())) {
        // A talkspurt ended inside this period: the rest of it is silence.
        pcmStart_ = pcmEnd_ = 0;
    }
}

TalkingChange RemoteStream::UpdateTalking(std::int64_t nowNs) {
    TalkingChange change;
    const bool talking =
        inUse_ && heardVoice_ && nowNs - lastVoiceNs_ <= std::int64_t{kHangoverMs} * 1'000'000;
    if (talking != talking_) {
        talking_ = talking;
        change.changed = true;
        change.talking = talking;
    }
    return change;
}

}  // namespace qv::audio
