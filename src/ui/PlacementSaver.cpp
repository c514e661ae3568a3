#include "ui/PlacementSaver.h"

#include "app/TimerScheduler.h"
#include "settings/IniFile.h"

namespace qv {

namespace {
constexpr const char* kWindowRect = "WindowRect";
}

PlacementSaver::PlacementSaver(IniFile& machine, TimerScheduler* scheduler)
    : machine_(machine), scheduler_(scheduler) {}

PlacementSaver::~PlacementSaver() {
    if (scheduler_ != nullptr && entry_ != 0) {
        scheduler_->Remove(entry_);
    }
    Flush();
}

void PlacementSaver::Moved(int left, int top) {
    position_ = Position{left, top};
    Arm();
}

void PlacementSaver::Sized(int height) {
    height_ = height;
    Arm();
}

void PlacementSaver::Arm() {
    if (scheduler_ == nullptr) {
        Flush();
        return;
    }
    // Every change starts the wait again: the values go out once the drag has stopped.
    if (entry_ != 0) {
        scheduler_->Remove(entry_);
    }
    entry_ = scheduler_->Add(
        [this](const std::string&, std::uintptr_t) {
            entry_ = 0;
            Flush();
        },
        0, kSettleMs, TimerScheduler::kOnce);
}

void PlacementSaver::Flush() {
    if (position_) {
        machine_.WriteInt(kWindowRect, "Top", position_->top);
        machine_.WriteInt(kWindowRect, "Left", position_->left);
        machine_.WriteInt(kWindowRect, "ExpandOffset", 0);
        position_.reset();
    }
    if (height_) {
        machine_.WriteInt(kWindowRect, "Height", *height_);
        height_.reset();
    }
}

}  // namespace qv
