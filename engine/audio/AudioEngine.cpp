#include "AudioEngine.h"

namespace qv::audio {

// A first stand-in: no device is opened yet.
struct AudioEngine::Impl {
    AudioDeviceChoice device;
    AudioEvents events;
    bool running = false;
};

AudioEngine::AudioEngine(AudioDeviceChoice device, AudioEvents events)
    : impl_(std::make_unique<Impl>()) {
    impl_->device = std::move(device);
    impl_->events = std::move(events);
}

AudioEngine::~AudioEngine() = default;

std::int32_t AudioEngine::Start() {
    if (impl_->running) {
        return 9;
    }
    impl_->running = true;
    return 0;
}

void AudioEngine::Stop() {
    impl_->running = false;
}
bool AudioEngine::Running() const {
    return impl_->running;
}
bool AudioEngine::SetStandby(bool) {
    return true;
}
void AudioEngine::SetTalk(bool) {}
void AudioEngine::SetConversation(bool) {}
void AudioEngine::SetSquelch(std::int32_t) {}
void AudioEngine::SetMuteVolume(std::int32_t) {}
void AudioEngine::SetUsingSpeakers(bool) {}
void AudioEngine::SetLocalEcho(bool) {}
void AudioEngine::SetCodec(std::int16_t) {}
void AudioEngine::SetFrameMs(int) {}
void AudioEngine::SetSlowLink(bool) {}
void AudioEngine::Receive(ReceivedFrame) {}
void AudioEngine::ResetReceivers() {}
float AudioEngine::PacketLoss() const {
    return 0.0f;
}
std::int16_t AudioEngine::PlayFile(const std::string&, std::int32_t) {
    return -1;
}
bool AudioEngine::PauseFile(std::int16_t, bool) {
    return false;
}
bool AudioEngine::StopFile(std::int16_t) {
    return false;
}
std::int16_t AudioEngine::PlayWave(const std::string&, std::int32_t) {
    return 0;
}
bool AudioEngine::RecordWave(const std::string&, bool) {
    return false;
}

}  // namespace qv::audio
