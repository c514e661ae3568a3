#pragma once

// Where failures that need no decision go: a system notice the user sees in the notice window
// (the alerts store keeps it until it has been shown). Besides system notices it queues the
// notices of other kinds that the program raises itself (an incoming call), and closes them.

#include <cstdint>
#include <string>

namespace qv {

// The kinds of notices: the window template each is shown with.
namespace notice_kind {
inline constexpr std::int32_t kIncomingMessage = 174;
inline constexpr std::int32_t kSystem = 186;
inline constexpr std::int32_t kForumInvitation = 189;
inline constexpr std::int32_t kWebsiteInvitation = 347;
inline constexpr std::int32_t kWebTourInvitation = 366;
inline constexpr std::int32_t kVoiceMail = 383;
// An incoming call. It lives only while the call rings: it is never saved with the alerts
// (only incoming messages are), and a lost connection closes it.
inline constexpr std::int32_t kIncomingCall = 147;
}  // namespace notice_kind

struct NoticeRequest {
    std::int32_t kind = notice_kind::kSystem;
    std::string senderId;
    std::string senderNickname;
    // Seconds since 1970 when it happened.
    std::uint32_t time = 0;
    std::string text;
    // Opening it brings the application to the front (AutoActivateAppOnCall for calls).
    bool activateApp = false;
};

class SystemNotices {
  public:
    virtual ~SystemNotices() = default;
    // time: seconds since 1970 when it happened; showNow opens its window at once.
    virtual void AddSystemNotice(const std::string& text, bool showNow, std::uint32_t time) = 0;
    // Queues a notice behind the ones already queued; it waits until the user opens it.
    virtual void AddNotice(const NoticeRequest& /*notice*/) {}
    // Marks the first queued notice of that kind that is still open as closed. False when there
    // was none.
    virtual bool CloseNotice(std::int32_t /*kind*/) { return false; }
};

}  // namespace qv
