#pragma once

// A button that blinks: every period the scheduler flips its phase and the owner repaints it.
// Stopping puts it back to its plain look at once.

#include <cstdint>
#include <functional>

namespace qv {

class TimerScheduler;

class ButtonBlinker {
  public:
    // paint(lit): lit is the highlighted phase; false is the plain look. scheduler may be null
    // (then nothing blinks).
    ButtonBlinker(TimerScheduler* scheduler, std::function<void(bool lit)> paint,
                  std::uint32_t periodMs);
    ~ButtonBlinker();
    ButtonBlinker(const ButtonBlinker&) = delete;
    ButtonBlinker& operator=(const ButtonBlinker&) = delete;

    void Start();
    void Stop();
    bool Blinking() const { return entry_ != 0; }
    bool Lit() const { return lit_; }

  private:
    TimerScheduler* scheduler_;
    std::function<void(bool)> paint_;
    std::uint32_t periodMs_;
    std::uint32_t entry_ = 0;
    bool lit_ = false;
};

}  // namespace qv
