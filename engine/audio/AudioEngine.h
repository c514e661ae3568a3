#pragma once

// The engine's sound: microphone capture, processing and Opus coding for the network, a jitter
// buffer and decoder per remote speaker, the mix of voices and sounds into the speaker, voice
// mail recording and file playback. No networking here: frames go out through AudioEvents and
// come in through Receive.
//
// Start's result codes (the host shows its message for each):
//   0  ok
//   1  playback device could not be opened ("Audio output open failed.")
//   2  both devices open, but not together: no full duplex
//   3  capture device could not be opened ("Audio input open failed.")
//   4  the Codec value names no profile ("Codec isn't available.")
//   5  the devices refused 48 kHz mono 16-bit with 10 ms periods ("Audio Playback setup failed.")
//   6  the Opus encode/decode self-test failed ("Codec Test Failed.")
//   7  the audio thread could not be started ("Unknown Audio Error.")
//   8  the speech processing (speexdsp) could not be set up ("Unknown Audio Error.")
//   9  any other device failure ("Unknown Audio Error.")
// Starting again while started answers 0. When the sound card cannot be opened (none, or busy)
// the engine still runs, on the null device, so calls, sounds and recordings keep their timing;
// the code says what failed and DeviceError() says why. The next Start or SetStandby(false)
// tries the card again.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AudioDeviceChoice.h"
#include "MonotonicClock.h"

namespace qv::audio {

struct EncodedFrame {  // one Opus packet the user's microphone produced
    std::vector<std::uint8_t> payload;
    std::uint32_t timestamp = 0;  // 48 kHz sample clock of capture
    bool talkspurtStart = false;
    std::uint8_t level = 127;    // dBov of the frame, 127 = silence
    std::int64_t captureNs = 0;  // monotonic time the frame's last sample was captured
};

struct ReceivedFrame {  // one opened voice packet from a remote speaker
    std::uint32_t streamId = 0;
    std::uint64_t sequence = 0;
    std::uint32_t timestamp = 0;
    bool marker = false;
    std::uint8_t level = 127;
    std::vector<std::uint8_t> payload;
    std::int64_t arrivalNs = 0;  // monotonic
};

// The handlers must not wait for a lock that a caller of AudioEngine holds while it calls in
// (Start, Stop, SetStandby and RecordWave wait for the audio thread): hand the data to a queue.
struct AudioEvents {  // called from the audio thread; must return quickly, never call back in
    std::function<void(const EncodedFrame&)> frame;             // only while transmitting
    std::function<void(bool)> mikeActive;                       // on changes
    std::function<void(std::uint32_t streamId, bool)> talking;  // a remote speaker starts/stops
                                                                // (with hangover)
};

class AudioEngine {
  public:
    AudioEngine(AudioDeviceChoice device, AudioEvents events);
    // The same, with the clock the file and null devices pace by (tests: one that jumps).
    AudioEngine(AudioDeviceChoice device, AudioEvents events,
                std::shared_ptr<MonotonicClock> clock);
    ~AudioEngine();  // stops, finishes a recording
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // The codes in the comment at the top of this file.
    std::int32_t Start();
    void Stop();
    bool Running() const;
    bool SetStandby(bool on);  // releases / retakes both devices; false when cannot retake
    void SetTalk(bool on);     // transmission on/off at the next frame boundary
    void SetConversation(
        bool active);  // false: nothing is encoded for the network (held / no call)
    void SetSquelch(std::int32_t value);  // 0 = no gate
    void SetMuteVolume(std::int32_t value);
    void SetUsingSpeakers(bool on);     // echo cancellation
    void SetLocalEcho(bool on);         // sidetone
    void SetCodec(std::int16_t codec);  // applied at the next Start
    void SetFrameMs(int ms);            // 10 calls, 20 forums
    void SetSlowLink(bool on);
    void Receive(ReceivedFrame frame);  // any thread; never blocks
    void ResetReceivers();              // conversation switch
    float PacketLoss() const;           // percent, receivers' statistics
    // Handle >= 1, < 0 failure; works in standby / not started.
    std::int16_t PlayFile(const std::string& path, std::int32_t volume);
    bool PauseFile(std::int16_t handle, bool pause);
    bool StopFile(std::int16_t handle);
    // Mixed into the output; "" stops PlayWave sounds.
    std::int16_t PlayWave(const std::string& path, std::int32_t volume);
    // PCM RIFF/WAVE valid however it ends; works in standby.
    bool RecordWave(const std::string& path, bool on);

    // Why the device last failed ("" when it did not), for the log.
    std::string DeviceError() const;
    // File device: the monotonic time of sample 0 of both files (capture sample n was taken,
    // and playback sample n is heard, at this + n / 48 kHz); 0 before the device first opened.
    std::int64_t DeviceEpochNs() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qv::audio
