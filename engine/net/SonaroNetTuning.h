#pragma once

// Knobs of the networked engine that only tests turn, looked up through
// QueryExtension(kSonaroNetTuningExtension).

#include <cstdint>
#include <string>

namespace qv::net {

inline constexpr const char* kSonaroNetTuningExtension = "Quorvane.NetTuning.1";

class SonaroNetTuning {
  public:
    // How long a connection attempt waits for the server's Welcome (10 s unless changed); applies
    // to later Connects.
    virtual void SetWelcomeTimeout(std::int32_t milliseconds) = 0;
    // How long a welcomed session waits for any frame (the server answers a ping every second)
    // before it counts the connection as lost (20 s unless changed); applies to later Connects.
    virtual void SetSilenceTimeout(std::int32_t milliseconds) = 0;
    // The sound device: "alsa", "null" or "file:CAPTURE.wav,PLAYBACK.wav" (else QUORVANE_AUDIO,
    // else ALSA). False, and nothing changed, when the text names no device. Applies from the
    // next StartAudio (or file playback) on; a running device is kept until StopAudio.
    virtual bool SetAudioDevice(const std::string& text) = 0;
    // How long the UDP binding waits for the server's answer before voice goes over TCP (2 s
    // unless changed); applies to later Connects.
    virtual void SetMediaBindTimeout(std::int32_t milliseconds) = 0;
    // Sends UDP media to this address instead of the one the server offers (a relay between
    // engine and server); empty host: the offer's. Applies to later Connects.
    virtual void SetMediaRelay(const std::string& host, std::uint16_t port) = 0;
    // When the latest voice packets were captured and sent, and received, on the monotonic
    // clock (MediaTimeline's lines), for the mouth-to-ear benchmark's stages.
    virtual std::string MediaTimings() = 0;
    // File device: the monotonic time of sample 0 of its files; 0 before it first opened.
    virtual std::int64_t AudioDeviceEpochNs() = 0;

  protected:
    ~SonaroNetTuning() = default;
};

}  // namespace qv::net
