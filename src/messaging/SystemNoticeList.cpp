#include "messaging/SystemNoticeList.h"

#include <algorithm>

namespace qv {

void SystemNoticeList::AddSystemNotice(const std::string& text, bool showNow, std::uint32_t time) {
    Notice notice{text, time, showNow};
    Listener listener;
    {
        std::lock_guard lock(mutex_);
        notices_.push_back(notice);
        listener = listener_;
    }
    if (listener) {
        listener(notice, showNow);
    }
}

std::vector<SystemNoticeList::Notice> SystemNoticeList::Notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
}

std::size_t SystemNoticeList::Unseen() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(notices_.begin(), notices_.end(), [](const Notice& n) { return !n.shown; }));
}

void SystemNoticeList::MarkAllShown() {
    std::lock_guard lock(mutex_);
    for (Notice& n : notices_) {
        n.shown = true;
    }
}

void SystemNoticeList::SetListener(Listener listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

}  // namespace qv
