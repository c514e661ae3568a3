#include "AudioBridge.h"

namespace qv::net {

AudioBridge::AudioBridge() {
    // The audio thread copies into these; it never grows them.
    for (Slot& slot : frames_) {
        slot.frame.payload.reserve(kMaxPayload);
    }
}

void AudioBridge::Frame(const audio::EncodedFrame& frame) {
    if (frame.payload.size() > kMaxPayload) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (!attached_) {
        return;
    }
    if (frameCount_ == kFrameSlots) {
        frameHead_ = (frameHead_ + 1) % kFrameSlots;
        --frameCount_;
        ++dropped_;
    }
    audio::EncodedFrame& slot = frames_[(frameHead_ + frameCount_) % kFrameSlots].frame;
    slot.payload.assign(frame.payload.begin(), frame.payload.end());
    slot.timestamp = frame.timestamp;
    slot.talkspurtStart = frame.talkspurtStart;
    slot.level = frame.level;
    slot.captureNs = frame.captureNs;
    ++frameCount_;
    WakeLocked();
}

void AudioBridge::MikeActive(bool on) {
    std::lock_guard lock(mutex_);
    if (!attached_) {
        return;
    }
    if (noticeCount_ == kNoticeSlots) {
        noticeHead_ = (noticeHead_ + 1) % kNoticeSlots;
        --noticeCount_;
    }
    notices_[(noticeHead_ + noticeCount_) % kNoticeSlots] =
        Notice{Notice::Kind::kMikeActive, 0, on};
    ++noticeCount_;
    WakeLocked();
}

void AudioBridge::Talking(std::uint32_t streamId, bool on) {
    std::lock_guard lock(mutex_);
    if (!attached_) {
        return;
    }
    if (noticeCount_ == kNoticeSlots) {
        noticeHead_ = (noticeHead_ + 1) % kNoticeSlots;
        --noticeCount_;
    }
    notices_[(noticeHead_ + noticeCount_) % kNoticeSlots] =
        Notice{Notice::Kind::kTalking, streamId, on};
    ++noticeCount_;
    WakeLocked();
}

std::uint64_t AudioBridge::Attach(Wake wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
    attached_ = true;
    woken_ = false;
    frameCount_ = 0;
    noticeCount_ = 0;
    return ++ticket_;
}

void AudioBridge::Detach(std::uint64_t ticket) {
    std::lock_guard lock(mutex_);
    if (ticket != ticket_ || !attached_) {
        return;
    }
    attached_ = false;
    wake_ = nullptr;
    frameCount_ = 0;
    noticeCount_ = 0;
}

void AudioBridge::Take(Batch& batch) {
    batch.frames.clear();
    batch.notices.clear();
    std::lock_guard lock(mutex_);
    woken_ = false;
    for (std::size_t i = 0; i < frameCount_; ++i) {
        batch.frames.push_back(frames_[(frameHead_ + i) % kFrameSlots].frame);
    }
    frameHead_ = (frameHead_ + frameCount_) % kFrameSlots;
    frameCount_ = 0;
    for (std::size_t i = 0; i < noticeCount_; ++i) {
        batch.notices.push_back(notices_[(noticeHead_ + i) % kNoticeSlots]);
    }
    noticeHead_ = (noticeHead_ + noticeCount_) % kNoticeSlots;
    noticeCount_ = 0;
}

std::uint64_t AudioBridge::Dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void AudioBridge::WakeLocked() {
    if (!woken_ && wake_) {
        woken_ = true;
        wake_();
    }
}

}  // namespace qv::net
