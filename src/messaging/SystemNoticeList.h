#pragma once

// The system notices of this run, in arrival order, until the full alerts store takes over.
// Engine events and directory replies reach it on the UI thread; the lock is for the workers
// that may report through it later.

#include <functional>
#include <mutex>
#include <vector>

#include "messaging/SystemNotices.h"

namespace qv {

class SystemNoticeList final : public SystemNotices {
  public:
    struct Notice {
        std::string text;
        std::uint32_t time = 0;
        bool shown = false;
    };
    // Told of every new notice (on the thread that added it).
    using Listener = std::function<void(const Notice& notice, bool showNow)>;

    void AddSystemNotice(const std::string& text, bool showNow, std::uint32_t time) override;

    std::vector<Notice> Notices() const;
    std::size_t Unseen() const;
    void MarkAllShown();
    void SetListener(Listener listener);

  private:
    mutable std::mutex mutex_;
    std::vector<Notice> notices_;
    Listener listener_;
};

}  // namespace qv
