#include "messaging/SystemNoticeList.h"

#include "messaging/AlertQueue.h"

#include <algorithm>
#include <iterator>

namespace qv {

void SystemNoticeList::AddSystemNotice(const std::string& text, bool showNow, std::uint32_t time) {
    Notice notice;
    notice.text = text;
    notice.time = time;
    notice.shown = showNow;
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

void SystemNoticeList::AddNotice(const NoticeRequest& request) {
    Notice notice;
    notice.text = request.text;
    notice.time = request.time;
    notice.kind = request.kind;
    notice.senderId = request.senderId;
    notice.senderNickname = request.senderNickname;
    notice.activateApp = request.activateApp;
    Listener listener;
    {
        std::lock_guard lock(mutex_);
        notices_.push_back(notice);
        listener = listener_;
    }
    if (listener) {
        listener(notice, false);
    }
}

bool SystemNoticeList::CloseNotice(std::int32_t kind) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(notices_.begin(), notices_.end(),
                           [kind](const Notice& n) { return n.kind == kind && !n.closed; });
    if (it == notices_.end()) {
        return false;
    }
    it->closed = true;
    return true;
}

std::string SystemNoticeList::TextOf(const Notice& notice) {
    if (notice.kind != notice_kind::kIncomingCall) {
        return notice.text;
    }
    // Filled left to right: a "%s" in the nickname stays text.
    const std::string format = kIncomingCallFormat;
    const std::size_t first = format.find("%s");
    const std::size_t second = format.find("%s", first + 2);
    return format.substr(0, first) + notice.senderNickname +
           format.substr(first + 2, second - first - 2) + notice.senderId +
           format.substr(second + 2);
}

std::vector<SystemNoticeList::Notice> SystemNoticeList::OpenNotices() const {
    std::lock_guard lock(mutex_);
    std::vector<Notice> open;
    std::copy_if(notices_.begin(), notices_.end(), std::back_inserter(open),
                 [](const Notice& n) { return !n.closed; });
    return open;
}

std::vector<SystemNoticeList::Notice> SystemNoticeList::Notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
}

std::size_t SystemNoticeList::Unseen() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        notices_.begin(), notices_.end(), [](const Notice& n) { return !n.shown && !n.closed; }));
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
