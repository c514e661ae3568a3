#pragma once

// The notices of this run, in arrival order, until the full alerts store takes over: system
// notices, and the incoming-call notices of ringing calls, which count only while open.
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
        std::int32_t kind = notice_kind::kSystem;
        std::string senderId;
        std::string senderNickname;
        bool activateApp = false;
        bool closed = false;
    };
    static constexpr const char* kIncomingCallFormat = "Incoming call from %s (%s)";
    // Told of every new notice (on the thread that added it).
    using Listener = std::function<void(const Notice& notice, bool showNow)>;

    void AddSystemNotice(const std::string& text, bool showNow, std::uint32_t time) override;
    void AddNotice(const NoticeRequest& notice) override;
    bool CloseNotice(std::int32_t kind) override;
    // What a notice's row says: its text, or who calls for an incoming call.
    static std::string TextOf(const Notice& notice);

    std::vector<Notice> Notices() const;
    // The notices not yet closed, in order.
    std::vector<Notice> OpenNotices() const;
    // Not yet shown and not closed.
    std::size_t Unseen() const;
    void MarkAllShown();
    void SetListener(Listener listener);

  private:
    mutable std::mutex mutex_;
    std::vector<Notice> notices_;
    Listener listener_;
};

}  // namespace qv
