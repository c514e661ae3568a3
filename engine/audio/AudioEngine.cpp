#include "AudioEngine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "AudioDevice.h"
#include "CapturePath.h"
#include "CodecProfiles.h"
#include "OpusCoder.h"
#include "OutputMixer.h"
#include "RemoteStream.h"
#include "Sound.h"
#include "SpscRing.h"
#include "WaveRecorder.h"

namespace qv::audio {

namespace {

// Calls have at most 16 members; forums forward three speakers.
constexpr std::size_t kMaxStreams = 16;
constexpr std::int64_t kStreamIdleNs = 10'000'000'000;
// About a second of three speakers: more is a backlog not worth playing.
constexpr std::size_t kReceiveSlots = 256;
constexpr std::size_t kSoundSlots = 64;
constexpr std::int16_t kMaxHandle = 32767;
constexpr float kDuckGain = 0.1f;      // -20 dB while the user talks with MuteVolume
constexpr float kSidetoneGain = 0.5f;  // the user's own voice, a little below the others

struct ReceiveSlot {
    std::uint32_t generation = 0;
    std::uint32_t streamId = 0;
    std::uint64_t sequence = 0;
    std::uint32_t timestamp = 0;
    bool marker = false;
    std::uint8_t level = 127;
    std::int64_t arrivalNs = 0;
    std::size_t size = 0;
    std::array<std::uint8_t, kMaxPayloadBytes> payload{};
};

enum class Op { kNone, kStart, kStop, kStandbyOn, kStandbyOff, kRecordOn, kRecordOff, kQuit };

}  // namespace

struct AudioEngine::Impl {
    Impl(AudioDeviceChoice choice, AudioEvents ev, std::shared_ptr<MonotonicClock> c)
        : events(std::move(ev)), clock(std::move(c)) {
        device = MakeAudioDevice(choice, clock);
        fallback = MakeNullAudioDevice(clock);
        try {
            thread = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            threadFailed = true;
        }
    }

    ~Impl() {
        if (!threadFailed) {
            Request(Op::kQuit, {});
            thread.join();
        }
    }

    // ---- caller side ----

    struct Result {
        std::int32_t code = 0;
        bool ok = false;
    };

    Result Request(Op op, const std::string& path, std::int16_t codec = 0) {
        if (threadFailed) {
            return Result{7, false};
        }
        std::unique_lock lock(control);
        request.op = op;
        request.path = path;
        request.codec = codec;
        const std::uint64_t serial = ++request.serial;
        dirty.store(true, std::memory_order_release);
        wake.notify_one();
        ack.wait(lock, [&] { return ackSerial >= serial; });
        return request.result;
    }

    void Nudge() {
        std::lock_guard lock(control);
        dirty.store(true, std::memory_order_release);
        wake.notify_one();
    }

    // Frees the sounds the audio thread let go of.
    void Reap() {
        std::erase_if(waves, [](const std::unique_ptr<Sound>& s) {
            return s->released.load(std::memory_order_acquire);
        });
        std::erase_if(retired, [](const std::unique_ptr<Sound>& s) {
            return s->released.load(std::memory_order_acquire);
        });
    }

    bool HandOver(Sound* sound) {
        if (threadFailed || !soundRing.TryPush([&](Sound*& slot) { slot = sound; })) {
            return false;
        }
        Nudge();
        return true;
    }

    std::int16_t NextHandle() {
        for (int tries = 0; tries < kMaxHandle; ++tries) {
            const std::int16_t handle = nextHandle;
            nextHandle = nextHandle == kMaxHandle ? 1 : static_cast<std::int16_t>(nextHandle + 1);
            if (!files.contains(handle)) {
                return handle;
            }
        }
        return -1;
    }

    // ---- audio thread ----

    void Run() {
        for (;;) {
            if (dirty.exchange(false, std::memory_order_acq_rel) || !deviceOpen) {
                std::unique_lock lock(control);
                const bool quit = Service();
                ackSerial = request.serial;
                ack.notify_all();
                lock.unlock();
                FlushEvents();
                if (quit) {
                    break;
                }
                if (!deviceOpen) {
                    lock.lock();
                    wake.wait(lock, [&] { return dirty.load(std::memory_order_acquire); });
                    continue;
                }
            }
            RunPeriod();
            if (!NeedDevice()) {
                CloseDevice();
            }
        }
        FlushEvents();
    }

    // Under the control lock; events found here go out after it is released.
    bool Service() {
        const Op op = request.op;
        request.op = Op::kNone;
        Result result{0, true};
        switch (op) {
            case Op::kNone:
                break;
            case Op::kStart:
                result.code = DoStart(request.codec);
                result.ok = result.code == 0;
                break;
            case Op::kStop:
                DoStop();
                break;
            case Op::kStandbyOn:
                standby = true;
                voiceActive.store(false, std::memory_order_release);
                ResetVoice();
                break;
            case Op::kStandbyOff:
                standby = false;
                if (started) {
                    result.code = EnsureDevice(true);
                    result.ok = result.code == 0;
                    voiceActive.store(true, std::memory_order_release);
                }
                break;
            case Op::kRecordOn:
                if (!EnsureCapture()) {
                    result.ok = false;
                    break;
                }
                result.ok = recorder.Start(request.path);
                break;
            case Op::kRecordOff:
                result.ok = recorder.Recording();
                recorder.Finish();
                break;
            case Op::kQuit:
                recorder.Finish();
                DoStop();
                DrainSounds();
                mixer.ReleaseAll();
                CloseDevice();
                request.result = result;
                return true;
        }
        if (op != Op::kNone) {
            request.result = result;
        }
        // Sounds waiting, a recording, or voice: take the device on demand.
        if (NeedDevice() && !deviceOpen) {
            EnsureDevice(false);
        } else if (!NeedDevice() && deviceOpen) {
            CloseDevice();
        }
        return false;
    }

    bool NeedDevice() const {
        return (started && !standby) || recorder.Recording() || mixer.HasSounds() ||
               soundRing.Size() > 0;
    }

    bool EnsureCapture() {
        if (!capture) {
            capture = CapturePath::Create();
        }
        return capture != nullptr;
    }

    // Opens the device (retry: the card again even when the fallback runs). The code of what
    // failed; the null device runs instead.
    std::int32_t EnsureDevice(bool retry) {
        if (deviceOpen && !(retry && onFallback)) {
            return 0;
        }
        CloseDevice();
        const std::int32_t code = device->Open();
        if (code == 0) {
            active = device.get();
            onFallback = false;
            deviceError.clear();
        } else {
            deviceError = device->LastError() + "; running without a sound device";
            fallback->Open();
            active = fallback.get();
            onFallback = true;
        }
        deviceOpen = true;
        if (epochNs.load(std::memory_order_relaxed) == 0) {
            epochNs.store(active->EpochNs(), std::memory_order_relaxed);
        }
        return code;
    }

    void CloseDevice() {
        if (deviceOpen) {
            active->Close();
            deviceOpen = false;
            active = nullptr;
        }
    }

    std::int32_t DoStart(std::int16_t codec) {
        if (started) {
            // Already running: only a card that failed is worth another try.
            return onFallback ? EnsureDevice(true) : 0;
        }
        const std::optional<CodecProfile> profile = FindCodecProfile(codec);
        if (!profile) {
            return 4;
        }
        if (!CodecSelfTest(*profile)) {
            return 6;
        }
        std::unique_ptr<VoiceEncoder> encoder = VoiceEncoder::Create(*profile);
        if (!encoder) {
            return 6;
        }
        if (!EnsureCapture()) {
            return 8;
        }
        for (std::unique_ptr<RemoteStream>& stream : streams) {
            if (!stream) {
                stream = RemoteStream::Create();
                if (!stream) {
                    return 6;
                }
            }
        }
        capture->SetEncoder(std::move(encoder));
        started = true;
        standby = false;
        seenGeneration = resetGeneration.load(std::memory_order_acquire);
        const std::int32_t code = EnsureDevice(true);
        voiceActive.store(true, std::memory_order_release);
        running.store(true, std::memory_order_release);
        return code;
    }

    void DoStop() {
        // A recording never outlives the audio: its file is complete when Stop returns.
        recorder.Finish();
        if (!started) {
            return;
        }
        started = false;
        voiceActive.store(false, std::memory_order_release);
        running.store(false, std::memory_order_release);
        if (capture) {
            capture->SetEncoder(nullptr);
        }
        ResetVoice();
    }

    // Nobody hears or is heard: the microphone and every remote speaker fall silent.
    void ResetVoice() {
        SetMike(false);
        for (std::unique_ptr<RemoteStream>& stream : streams) {
            if (stream && stream->InUse()) {
                const std::uint32_t id = stream->StreamId();
                const bool wasTalking = stream->Talking();
                stream->Release();
                stream->UpdateTalking(0);
                if (wasTalking) {
                    QueueTalking(id, false);
                }
            }
        }
        packetLoss.store(0.0f, std::memory_order_relaxed);
        // What is queued belongs to the conversation that ended.
        while (receiveRing.TryPop([](ReceiveSlot&) {})) {
        }
    }

    // Events raised while the control lock is held wait here (a caller blocked on that lock
    // may hold locks of its own that the handlers take).
    void SetMike(bool on) {
        if (on != mikeOn) {
            mikeOn = on;
            pendingMike = on ? 1 : 0;
        }
    }
    void QueueTalking(std::uint32_t id, bool on) {
        if (pendingTalkingCount < pendingTalking.size()) {
            pendingTalking[pendingTalkingCount++] = {id, on};
        }
    }
    void FlushEvents() {
        if (pendingMike >= 0) {
            if (events.mikeActive) {
                events.mikeActive(pendingMike == 1);
            }
            pendingMike = -1;
        }
        for (std::size_t i = 0; i < pendingTalkingCount; ++i) {
            if (events.talking) {
                events.talking(pendingTalking[i].first, pendingTalking[i].second);
            }
        }
        pendingTalkingCount = 0;
    }

    void DrainSounds() {
        while (soundRing.TryPop([&](Sound*& sound) { mixer.AddSound(sound); })) {
        }
    }

    RemoteStream* StreamFor(std::uint32_t id, std::int64_t nowNs) {
        for (std::unique_ptr<RemoteStream>& stream : streams) {
            if (stream && stream->InUse() && stream->StreamId() == id) {
                return stream.get();
            }
        }
        RemoteStream* free = nullptr;
        for (std::unique_ptr<RemoteStream>& stream : streams) {
            if (stream && !stream->InUse()) {
                free = stream.get();
                break;
            }
        }
        // All taken: a speaker silent for long makes room; otherwise the newcomer waits.
        for (std::size_t i = 0; free == nullptr && i < streams.size(); ++i) {
            RemoteStream* stream = streams[i].get();
            if (stream && !stream->Talking() && nowNs - stream->LastArrivalNs() > kStreamIdleNs) {
                free = stream;
            }
        }
        if (free != nullptr) {
            free->Assign(id);
        }
        return free;
    }

    void DrainReceive(std::int64_t nowNs) {
        const std::uint32_t generation = resetGeneration.load(std::memory_order_acquire);
        if (generation != seenGeneration) {
            seenGeneration = generation;
            ResetVoiceStreams();
        }
        while (receiveRing.TryPop([&](ReceiveSlot& slot) {
            if (slot.generation != generation || !started) {
                return;
            }
            const int samples = OpusPacketSamples(slot.payload.data(), slot.size);
            if (samples <= 0) {
                return;
            }
            RemoteStream* stream = StreamFor(slot.streamId, nowNs);
            if (stream == nullptr) {
                return;
            }
            JitterPacket packet;
            packet.sequence = slot.sequence;
            packet.timestamp = slot.timestamp;
            packet.marker = slot.marker;
            packet.level = slot.level;
            packet.samples = samples;
            packet.payload = slot.payload.data();
            packet.size = slot.size;
            packet.arrivalNs = slot.arrivalNs;
            stream->Push(packet);
        })) {
        }
    }

    void ResetVoiceStreams() {
        for (std::unique_ptr<RemoteStream>& stream : streams) {
            if (stream && stream->InUse()) {
                const bool wasTalking = stream->Talking();
                const std::uint32_t id = stream->StreamId();
                stream->Release();
                stream->UpdateTalking(0);
                if (wasTalking && events.talking) {
                    events.talking(id, false);
                }
            }
        }
        packetLoss.store(0.0f, std::memory_order_relaxed);
    }

    void RunPeriod() {
        DrainSounds();
        std::int64_t captureEndNs = 0;
        if (!active->Exchange(captureBuffer, playbackBuffer, captureEndNs)) {
            // The card went away mid-call: carry on silently and say why.
            std::lock_guard lock(control);
            deviceError = device->LastError() + "; running without a sound device";
            active->Close();
            fallback->Open();
            active = fallback.get();
            onFallback = true;
            return;
        }
        bool transmitting = false;
        if (capture) {
            const bool speakers = usingSpeakers.load(std::memory_order_relaxed);
            capture->Clean(captureBuffer, playbackBuffer, speakers);
            if (recorder.Recording()) {
                recorder.Append(captureBuffer);
            }
            CaptureControls controls;
            controls.talk = talk.load(std::memory_order_relaxed);
            controls.conversation =
                started && !standby && conversation.load(std::memory_order_relaxed);
            controls.usingSpeakers = speakers;
            controls.slowLink = slowLink.load(std::memory_order_relaxed);
            controls.squelch = squelch.load(std::memory_order_relaxed);
            controls.frameMs = frameMs.load(std::memory_order_relaxed);
            controls.lossPercent =
                static_cast<int>(packetLoss.load(std::memory_order_relaxed) + 0.5f);
            transmitting = capture->Transmit(captureBuffer, controls, captureEndNs, events.frame);
            if (transmitting != mikeOn) {
                mikeOn = transmitting;
                if (events.mikeActive) {
                    events.mikeActive(transmitting);
                }
            }
        }

        const std::int64_t nowNs = clock->NowNs();
        DrainReceive(nowNs);
        mixer.Begin();
        const float voiceGain =
            transmitting && muteVolume.load(std::memory_order_relaxed) != 0 ? kDuckGain : 1.0f;
        double lost = 0;
        double weight = 0;
        for (std::unique_ptr<RemoteStream>& stream : streams) {
            if (!stream || !stream->InUse()) {
                continue;
            }
            stream->MixInto(mixer.Mix(), voiceGain, nowNs);
            const TalkingChange change = stream->UpdateTalking(nowNs);
            if (change.changed && events.talking) {
                events.talking(stream->StreamId(), change.talking);
            }
            lost += stream->Buffer().LossPercent();
            weight += 1;
        }
        packetLoss.store(weight > 0 ? static_cast<float>(lost / weight) : 0.0f,
                         std::memory_order_relaxed);
        mixer.MixSounds();
        if (capture && localEcho.load(std::memory_order_relaxed) &&
            talk.load(std::memory_order_relaxed) && capture->GateOpen()) {
            mixer.Add(captureBuffer, kSidetoneGain);
        }
        mixer.Render(playbackBuffer);
    }

    AudioEvents events;
    std::shared_ptr<MonotonicClock> clock;
    std::unique_ptr<AudioDevice> device;
    std::unique_ptr<AudioDevice> fallback;
    std::thread thread;
    bool threadFailed = false;

    // Requests from callers: one at a time (callers hold apiMutex), answered through ack.
    struct Pending {
        Op op = Op::kNone;
        std::string path;
        std::int16_t codec = 0;
        std::uint64_t serial = 0;
        Result result;
    };
    std::mutex control;
    std::condition_variable wake;
    std::condition_variable ack;
    Pending request;              // under control
    std::uint64_t ackSerial = 0;  // under control
    std::string deviceError;      // under control
    std::atomic<bool> dirty{false};

    // Settings, read by the audio thread every period.
    std::atomic<bool> talk{false};
    std::atomic<bool> conversation{false};
    std::atomic<std::int32_t> squelch{0};
    std::atomic<std::int32_t> muteVolume{0};
    std::atomic<bool> usingSpeakers{false};
    std::atomic<bool> localEcho{false};
    std::atomic<bool> slowLink{false};
    std::atomic<int> frameMs{10};
    std::atomic<std::int16_t> codec{kDefaultCodec};
    std::atomic<std::uint32_t> resetGeneration{0};
    std::atomic<float> packetLoss{0.0f};
    std::atomic<bool> voiceActive{false};
    std::atomic<bool> running{false};
    std::atomic<std::int64_t> epochNs{0};

    // Receive: any thread produces, one at a time (a second one drops rather than waits).
    std::mutex receiveProducer;
    SpscRing<ReceiveSlot, kReceiveSlots> receiveRing;
    SpscRing<Sound*, kSoundSlots> soundRing;  // produced under apiMutex

    // Caller side, under apiMutex.
    std::mutex apiMutex;
    std::map<std::int16_t, std::unique_ptr<Sound>> files;
    std::vector<std::unique_ptr<Sound>> waves;
    std::vector<std::unique_ptr<Sound>> retired;  // stopped files the audio thread may still hold
    std::int16_t nextHandle = 1;

    // Audio thread only.
    AudioDevice* active = nullptr;
    bool deviceOpen = false;
    bool onFallback = false;
    bool started = false;
    bool standby = false;
    bool mikeOn = false;
    int pendingMike = -1;
    std::array<std::pair<std::uint32_t, bool>, kMaxStreams> pendingTalking{};
    std::size_t pendingTalkingCount = 0;
    std::uint32_t seenGeneration = 0;
    std::unique_ptr<CapturePath> capture;
    std::array<std::unique_ptr<RemoteStream>, kMaxStreams> streams;
    OutputMixer mixer;
    WaveRecorder recorder;
    std::array<std::int16_t, kPeriodSamples> captureBuffer{};
    std::array<std::int16_t, kPeriodSamples> playbackBuffer{};
};

AudioEngine::AudioEngine(AudioDeviceChoice device, AudioEvents events)
    : AudioEngine(std::move(device), std::move(events), SystemMonotonicClock()) {}

AudioEngine::AudioEngine(AudioDeviceChoice device, AudioEvents events,
                         std::shared_ptr<MonotonicClock> clock)
    : impl_(std::make_unique<Impl>(std::move(device), std::move(events), std::move(clock))) {}

AudioEngine::~AudioEngine() = default;

std::int32_t AudioEngine::Start() {
    std::lock_guard lock(impl_->apiMutex);
    return impl_->Request(Op::kStart, {}, impl_->codec.load()).code;
}

void AudioEngine::Stop() {
    std::lock_guard lock(impl_->apiMutex);
    impl_->Request(Op::kStop, {});
    impl_->Reap();
}

bool AudioEngine::Running() const {
    return impl_->running.load(std::memory_order_acquire);
}

bool AudioEngine::SetStandby(bool on) {
    std::lock_guard lock(impl_->apiMutex);
    return impl_->Request(on ? Op::kStandbyOn : Op::kStandbyOff, {}).ok;
}

void AudioEngine::SetTalk(bool on) {
    impl_->talk.store(on);
}
void AudioEngine::SetConversation(bool active) {
    impl_->conversation.store(active);
}
void AudioEngine::SetSquelch(std::int32_t value) {
    impl_->squelch.store(std::max(value, 0));
}
void AudioEngine::SetMuteVolume(std::int32_t value) {
    impl_->muteVolume.store(value);
}
void AudioEngine::SetUsingSpeakers(bool on) {
    impl_->usingSpeakers.store(on);
}
void AudioEngine::SetLocalEcho(bool on) {
    impl_->localEcho.store(on);
}
void AudioEngine::SetCodec(std::int16_t codec) {
    impl_->codec.store(codec);
}
void AudioEngine::SetFrameMs(int ms) {
    impl_->frameMs.store(ms >= 20 ? 20 : 10);
}
void AudioEngine::SetSlowLink(bool on) {
    impl_->slowLink.store(on);
}

void AudioEngine::Receive(ReceivedFrame frame) {
    Impl& impl = *impl_;
    if (!impl.voiceActive.load(std::memory_order_acquire) || frame.payload.empty() ||
        frame.payload.size() > kMaxPayloadBytes) {
        return;
    }
    std::unique_lock producer(impl.receiveProducer, std::try_to_lock);
    if (!producer) {
        return;
    }
    const std::uint32_t generation = impl.resetGeneration.load(std::memory_order_acquire);
    impl.receiveRing.TryPush([&](ReceiveSlot& slot) {
        slot.generation = generation;
        slot.streamId = frame.streamId;
        slot.sequence = frame.sequence;
        slot.timestamp = frame.timestamp;
        slot.marker = frame.marker;
        slot.level = frame.level;
        slot.arrivalNs = frame.arrivalNs;
        slot.size = frame.payload.size();
        std::copy(frame.payload.begin(), frame.payload.end(), slot.payload.begin());
    });
}

void AudioEngine::ResetReceivers() {
    impl_->resetGeneration.fetch_add(1);
}

float AudioEngine::PacketLoss() const {
    return impl_->packetLoss.load();
}

std::int16_t AudioEngine::PlayFile(const std::string& path, std::int32_t volume) {
    std::lock_guard lock(impl_->apiMutex);
    impl_->Reap();
    std::unique_ptr<Sound> sound = LoadSound(path, volume, Sound::Kind::kFile);
    if (!sound) {
        return -1;
    }
    const std::int16_t handle = impl_->NextHandle();
    if (handle < 0) {
        return -2;
    }
    if (!impl_->HandOver(sound.get())) {
        return -3;
    }
    impl_->files.emplace(handle, std::move(sound));
    return handle;
}

bool AudioEngine::PauseFile(std::int16_t handle, bool pause) {
    std::lock_guard lock(impl_->apiMutex);
    const auto it = impl_->files.find(handle);
    if (it == impl_->files.end()) {
        return false;
    }
    it->second->paused.store(pause, std::memory_order_release);
    return true;
}

bool AudioEngine::StopFile(std::int16_t handle) {
    std::lock_guard lock(impl_->apiMutex);
    const auto it = impl_->files.find(handle);
    if (it == impl_->files.end()) {
        return false;
    }
    it->second->stopRequested.store(true, std::memory_order_release);
    impl_->retired.push_back(std::move(it->second));
    impl_->files.erase(it);
    impl_->Nudge();
    impl_->Reap();
    return true;
}

std::int16_t AudioEngine::PlayWave(const std::string& path, std::int32_t volume) {
    std::lock_guard lock(impl_->apiMutex);
    impl_->Reap();
    if (path.empty()) {
        for (std::unique_ptr<Sound>& wave : impl_->waves) {
            wave->stopRequested.store(true, std::memory_order_release);
        }
        impl_->Nudge();
        return 0;
    }
    std::unique_ptr<Sound> sound = LoadSound(path, volume, Sound::Kind::kWave);
    if (!sound || !impl_->HandOver(sound.get())) {
        return -1;
    }
    impl_->waves.push_back(std::move(sound));
    return 0;
}

bool AudioEngine::RecordWave(const std::string& path, bool on) {
    std::lock_guard lock(impl_->apiMutex);
    if (on && path.empty()) {
        return false;
    }
    return impl_->Request(on ? Op::kRecordOn : Op::kRecordOff, path).ok;
}

std::string AudioEngine::DeviceError() const {
    std::lock_guard lock(impl_->control);
    return impl_->deviceError;
}

std::int64_t AudioEngine::DeviceEpochNs() const {
    return impl_->epochNs.load();
}

}  // namespace qv::audio
