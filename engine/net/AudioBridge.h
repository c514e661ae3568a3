#pragma once

// Between the audio thread and the session's thread: the frames the microphone produced and the
// audio engine's notices (microphone on, a remote speaker talking) wait here, in bounded rings,
// until the session's thread takes them. The audio thread only copies into slots made
// beforehand and wakes the session once per batch; when the session falls behind the oldest
// frame goes, since late voice is worth nothing.

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "AudioEngine.h"

namespace qv::net {

class AudioBridge {
  public:
    // Frames held for the session at most (80 ms of 10 ms frames).
    static constexpr std::size_t kFrameSlots = 8;
    static constexpr std::size_t kNoticeSlots = 64;
    static constexpr std::size_t kMaxPayload = 1275;  // the largest Opus packet

    struct Notice {
        enum class Kind { kMikeActive, kTalking } kind = Kind::kMikeActive;
        std::uint32_t streamId = 0;
        bool on = false;
    };
    struct Batch {
        std::vector<audio::EncodedFrame> frames;
        std::vector<Notice> notices;
    };
    using Wake = std::function<void()>;

    AudioBridge();

    // The audio thread's side (the audio engine's events).
    void Frame(const audio::EncodedFrame& frame);
    void MikeActive(bool on);
    void Talking(std::uint32_t streamId, bool on);

    // The session's side. Attach: from now on wake is called (from the audio thread, under the
    // bridge's lock, so it must only post) when something waits; what waited before is dropped. The
    // ticket given back detaches only that attachment, so an old session cannot detach a newer one.
    std::uint64_t Attach(Wake wake);
    void Detach(std::uint64_t ticket);
    // Moves out what waits; the next item wakes the session again.
    void Take(Batch& batch);
    // Frames dropped because the session did not take them in time.
    std::uint64_t Dropped() const;

  private:
    struct Slot {
        audio::EncodedFrame frame;
    };
    // Call with mutex_ held: wakes the session unless it is woken already.
    void WakeLocked();

    mutable std::mutex mutex_;
    std::array<Slot, kFrameSlots> frames_{};
    std::size_t frameHead_ = 0;
    std::size_t frameCount_ = 0;
    std::array<Notice, kNoticeSlots> notices_{};
    std::size_t noticeHead_ = 0;
    std::size_t noticeCount_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t ticket_ = 0;
    bool attached_ = false;
    bool woken_ = false;
    Wake wake_;
};

}  // namespace qv::net
