#pragma once

// The voice-activated gate on the microphone: Squelch 0 is no gate (always open); otherwise it
// opens on a frame louder than -70 + 3 x Squelch dBFS (higher is stronger) and closes 300 ms
// after the last such frame, so pauses between words do not chop the speech.

#include <cstdint>

namespace qv::audio {

class SquelchGate {
  public:
    static constexpr int kHangoverMs = 300;

    static double ThresholdDbfs(std::int32_t squelch) { return -70.0 + 3.0 * squelch; }

    // One frame of periodMs at levelDbfs; true while the gate is open.
    bool Update(double levelDbfs, std::int32_t squelch, int periodMs) {
        if (squelch <= 0) {
            // No gate; a gate set later judges the sound from then on, not from now.
            open_ = false;
            quietMs_ = 0;
            result_ = true;
            return true;
        }
        if (levelDbfs >= ThresholdDbfs(squelch)) {
            open_ = true;
            quietMs_ = 0;
        } else if (open_) {
            quietMs_ += periodMs;
            if (quietMs_ > kHangoverMs) {
                open_ = false;
            }
        }
        result_ = open_;
        return open_;
    }

    bool Open() const { return result_; }
    void Reset() {
        open_ = false;
        result_ = false;
        quietMs_ = 0;
    }

  private:
    bool open_ = false;
    bool result_ = false;
    int quietMs_ = 0;
};

// dBFS of the frame's RMS; -120 for digital silence.
double FrameLevelDbfs(const std::int16_t* samples, int count);
// The level byte of the packet: dBov 0..126, 127 for silence.
std::uint8_t LevelByte(double levelDbfs);

}  // namespace qv::audio
