#pragma once

// Stores the main frame's Top, Left and Height in the machine settings. A drag moves the window
// many times a second: the values are kept and written once the window has been still for a
// moment (or at once by Flush), not rewritten for every pixel.

#include <cstdint>
#include <optional>

namespace qv {

class IniFile;
class TimerScheduler;

class PlacementSaver {
  public:
    static constexpr std::uint32_t kSettleMs = 500;

    // Without a scheduler every change is written at once.
    PlacementSaver(IniFile& machine, TimerScheduler* scheduler);
    ~PlacementSaver();
    PlacementSaver(const PlacementSaver&) = delete;
    PlacementSaver& operator=(const PlacementSaver&) = delete;

    // The frame moved: Top, Left and an ExpandOffset of 0 are due.
    void Moved(int left, int top);
    // The frame's height changed.
    void Sized(int height);
    // Writes what is due now.
    void Flush();
    bool Pending() const { return position_.has_value() || height_.has_value(); }

  private:
    void Arm();

    struct Position {
        int left;
        int top;
    };
    IniFile& machine_;
    TimerScheduler* scheduler_;
    std::uint32_t entry_ = 0;
    std::optional<Position> position_;
    std::optional<int> height_;
};

}  // namespace qv
