#pragma once

// Routes outgoing instant messages (live, stored for an offline contact, or queued while not
// connected), turns incoming user messages and the program's own notices into alerts, answers
// automatically by presence mode, and keeps the alerts until they have been shown and closed.
// Unseen incoming messages are kept in Alerts.dat over a logout or exit.
//
// Engine events, directory callbacks and scheduler jobs all arrive on the user-interface thread;
// the alert list is still guarded by a lock, held only while the list changes, and no callback
// runs under it.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "messaging/AlertQueue.h"
#include "messaging/ForumInvitation.h"
#include "messaging/SystemNotices.h"

namespace qv {

class MessageEventLog;
class OfflineQueue;
class TimerScheduler;

// Message flags.
namespace message_flag {
inline constexpr std::uint16_t kHighPriority = 1;
inline constexpr std::uint16_t kReceiptRequested = 2;
inline constexpr std::uint16_t kAutomatic = 4;
}  // namespace message_flag

// User-message numbers.
namespace user_message {
inline constexpr std::int16_t kInstantMessage = 8;
inline constexpr std::int16_t kForumInvitation = 11;
inline constexpr std::int16_t kWebsiteInvitation = 12;
inline constexpr std::int16_t kAutomaticReply = 13;
inline constexpr std::int16_t kKicked = 14;
inline constexpr std::int16_t kBanned = 15;
inline constexpr std::int16_t kWebTourInvitation = 16;
inline constexpr std::int16_t kStoredMessageWaiting = 17;
inline constexpr std::int16_t kForumDisbanded = 18;
}  // namespace user_message

// Own presence modes that change how messages are answered and announced.
namespace presence_mode {
inline constexpr std::int16_t kAway = 2;
inline constexpr std::int16_t kDoNotDisturb = 4;
inline constexpr std::int16_t kOccupied = 8;
}  // namespace presence_mode

// What the center needs around it: the engine, the contact list, the settings, the directory
// service. The program wires the real parts; tests fake it.
class MessageLinks {
  public:
    virtual ~MessageLinks() = default;
    virtual int ConnectionState() const = 0;
    virtual std::int16_t PresenceMode() const = 0;
    virtual std::string OwnNickname() const = 0;
    virtual std::string OwnId() const = 0;
    virtual bool SendUserMessage(const std::string& id, const std::string& nickname,
                                 std::int16_t number, std::int16_t parameter,
                                 const std::string& text) = 0;
    virtual void PlaySoundEvent(const std::string& name) = 0;
    // The contact's presence flags; nullopt when the ID is not in the contact list.
    virtual std::optional<std::uint32_t> ContactPresence(const std::string& id) const = 0;
    // "Away Message", "Occupied Message", "DND Message" as set (may be empty).
    virtual std::string CustomMessage(const std::string& key) const = 0;
    virtual bool InForum(const std::string& /*forum*/) const { return false; }
    // Stores a text for an offline user; done(status, error text) when the service answered.
    virtual void SendStoredMessage(
        const std::string& to, const std::string& text, std::int32_t priority,
        std::function<void(int status, const std::string& error)> done) = 0;
    virtual void ShowMessageBox(const std::string& /*text*/) {}
    // Seconds since 1970, and the tick count in ms.
    virtual std::uint32_t Now() const = 0;
    virtual std::uint32_t Ticks() const = 0;
    // The contact list marks the sender of a waiting alert (kind 0: none waits any more).
    virtual void ShowWaitingAlert(const std::string& /*id*/, std::int32_t /*kind*/,
                                  std::uint16_t /*flags*/, std::uint32_t /*time*/) {}
    // The stored-message poll (GetMessagesEx and what follows).
    virtual void PollStoredMessages() {}
    // The LogEvents setting: messages and invitations go to the event log.
    virtual bool LogEvents() const { return false; }
};

class MessageCenter;

// The windows of the alerts: one per shown alert, owned by the main window.
class AlertWindows {
  public:
    virtual ~AlertWindows() = default;
    // Creates and shows the alert's window.
    virtual void OpenAlertWindow(MessageCenter& center, std::uint64_t alertId) = 0;
    // Brings an open window of that kind for that sender to the front; false when none is open.
    virtual bool RaiseAlertWindow(std::int32_t kind, const std::string& senderId) = 0;
    virtual void CloseAlertWindow(std::uint64_t alertId) = 0;
};

class MessageCenter final : public SystemNotices, public AlertQueue {
  public:
    struct Notice {
        std::uint64_t id = 0;
        std::string text;
        std::uint32_t time = 0;
        // Derived from state for the older readers: shown is state 1 or 2, closed is state 2.
        bool shown = false;
        std::int32_t kind = notice_kind::kSystem;
        std::string senderId;
        std::string senderNickname;
        bool activateApp = false;
        bool closed = false;
        std::int32_t state = 0;  // 0 new, 1 shown, 2 to be closed
        std::uint32_t soundFlags = 0;
        std::string soundEvent;
        std::int32_t icon = 0;
        std::uint16_t flags = 0;
        bool windowOpen = false;
        std::uint32_t lastSoundTick = 0;
    };
    using Listener = std::function<void(const Notice& notice, bool showNow)>;

    static constexpr const char* kIncomingCallFormat = "Incoming call from %s (%s)";
    static constexpr const char* kQueuedText =
        "Your message will be sent the next time you connect to the Quorvane server.";
    static constexpr const char* kStoreErrorFormat =
        "There was an error sending your message to (%s) : %s.";
    static constexpr const char* kAwayFormat = "%s (%s) is currently away:\r\n\r\n";
    static constexpr const char* kOccupiedFormat = "%s (%s) is currently occupied:\r\n\r\n";
    static constexpr const char* kDndFormat =
        "%s (%s) is currently in Do Not Disturb mode:\r\n\r\n";
    static constexpr const char* kKickedFormat =
        "You have been kicked from forum \"%s\" by %s (%s):\r\n\r\n%s";
    static constexpr const char* kBannedFormat =
        "You have been banned from forum \"%s\" by %s (%s):\r\n\r\n%s";
    static constexpr const char* kDisbandedFormat =
        "The forum \"%s\" has been disbanded by %s (%s).";
    static constexpr std::uint32_t kFallbackWindowMs = 30000;
    static constexpr std::uint32_t kDisplayTickMs = 500;
    static constexpr std::uint32_t kRemovalTickMs = 5000;
    static constexpr std::uint32_t kRepeatSoundMs = 5000;
    static constexpr std::uint32_t kBlinkMs = 350;
    static constexpr std::size_t kCustomMessageMax = 99;

    // Sound flags and icons of the alerts.
    static constexpr std::uint32_t kSoundOnce = 8;
    static constexpr std::uint32_t kSoundRepeat = 4;
    static constexpr std::uint32_t kOpenedAtOnce = 1;
    static constexpr std::int32_t kNormalMessageIcon = 193;
    static constexpr std::int32_t kHighPriorityIcon = 318;
    static constexpr std::int32_t kSystemIcon = 191;
    static constexpr std::int32_t kForumIcon = 194;
    static constexpr std::int32_t kWebsiteIcon = 349;
    static constexpr std::int32_t kWebTourIcon = 368;

    MessageCenter() = default;
    ~MessageCenter() override;
    MessageCenter(const MessageCenter&) = delete;
    MessageCenter& operator=(const MessageCenter&) = delete;

    void SetLinks(MessageLinks* links) { links_ = links; }
    void SetWindows(AlertWindows* windows) { windows_ = windows; }
    void SetOfflineQueue(OfflineQueue* queue) { queue_ = queue; }
    void SetTraySurface(TraySurface* tray) { tray_ = tray; }
    // Where sent messages and invitations are recorded (null: nowhere).
    void SetEventLog(MessageEventLog* log) { eventLog_ = log; }
    // The forums that invitations name (null: forum invitations cannot be accepted or sent).
    void SetForumAccess(ForumAccess* forums) { forums_ = forums; }

    // SystemNotices
    void AddSystemNotice(const std::string& text, bool showNow, std::uint32_t time) override;
    void AddNotice(const NoticeRequest& notice) override;
    bool CloseNotice(std::int32_t kind) override;

    // The system-notice window's view: notices and ringing calls.
    static std::string TextOf(const Notice& notice);
    std::vector<Notice> Notices() const;
    // System notices and calls not yet closed, in order.
    std::vector<Notice> OpenNotices() const;
    // System notices and calls neither shown nor closed.
    std::size_t Unseen() const;
    // The system-notice window has shown every system notice.
    void MarkAllShown();
    void SetListener(Listener listener);

    // AlertQueue
    std::optional<PendingAlert> OldestPending() const override;
    void OpenOldest() override;
    void AddObserver(std::function<void()> changed) override;
    static std::string TipOf(const Notice& alert);

    // Sending: 1 when the message was sent, stored or queued; 0 when it could not be.
    int Send(const std::string& id, const std::string& nickname, const std::string& text,
             std::uint16_t flags);
    // The send dialog's Send for every recipient line (IDs and nicknames split at line feeds).
    void SendToRecipients(const std::string& ids, const std::string& nicknames,
                          const std::string& text, std::uint16_t flags);
    static std::string ReceiptText(const std::string& received);
    // Sends an invitation (forum 11, website 12, web tour 16) and records it as an outgoing
    // invitation with its name: the forum name, the address, or the web tour's text.
    bool SendInvitation(const std::string& id, const std::string& nickname, std::int16_t number,
                        std::int16_t parameter, const std::string& text);

    // Forum invitations. Inviting works while the user is in a forum: message 11 for that
    // forum. Accepting joins the forum an invitation alert names, through the forum entry (which
    // asks the adult check first); false when the alert names no forum or the join refused.
    bool CanInviteToForum() const;
    bool InviteToForum(const std::string& id, const std::string& nickname);
    bool CanAcceptForumInvitations() const { return forums_ != nullptr; }
    bool AcceptForumInvitation(std::uint64_t alertId);

    // Engine events.
    void OnUserMessage(const std::string& nickname, const std::string& id, std::int16_t number,
                       std::int16_t parameter, const std::string& text);
    void OnServerMessage(std::int16_t type, std::int16_t number, const std::string& text);
    void OnConnectionState(std::int32_t state);

    // An instant message arrived (live, stored or reloaded): the automatic reply, then a
    // waiting alert at time.
    void ReceiveInstantMessage(const std::string& id, const std::string& nickname,
                               const std::string& text, std::uint16_t flags, std::uint32_t time);

    // A text kept on the directory service arrived: as ReceiveInstantMessage, unless an alert for
    // the same message (sender, time, text) is already held, as after a restart that came
    // before the service deleted it. False for such a repeat.
    bool ReceiveStoredMessage(const std::string& id, const std::string& nickname,
                              const std::string& text, std::uint16_t flags, std::uint32_t time);

    // Alerts and their windows.
    std::optional<Notice> Find(std::uint64_t alertId) const;
    void ShowAlert(std::uint64_t alertId, bool forced);
    // The alert's window was closed by the user.
    void AlertWindowClosed(std::uint64_t alertId);
    // The oldest waiting alert from that sender (the contact list's entry opens it).
    bool OpenFromSender(const std::string& senderId);

    // The three display jobs.
    void SoundTick();
    void TrayTick();
    void RemovalTick();

    // Login: the user's folder (ending in '/') or empty for no known user. Registers the jobs
    // with scheduler (may be null) and loads Alerts.dat.
    void Attach(const std::string& userFolder, TimerScheduler* scheduler);
    // Logout and exit: saves, closes every window, forgets the alerts, removes the jobs.
    void Detach();
    bool SaveAlerts() const;
    void LoadAlerts();
    const std::string& AlertsPath() const { return alertsPath_; }
    // The offline queue's flush (after the presence burst, or at login without contacts).
    int FlushOfflineQueue();

  private:
    struct SentRecord {
        std::string id;
        std::string nickname;
        std::string text;
        std::uint32_t tick = 0;
    };

    std::uint64_t AddAlert(Notice alert, bool showNow);
    void AutomaticReply(const std::string& id, const std::string& nickname, std::uint16_t flags);
    void AddInvitation(const std::string& id, const std::string& nickname, std::int32_t kind,
                       std::int32_t icon, const char* sound, const std::string& text);
    void SendStored(const std::string& id, const std::string& text, std::int32_t priority);
    void NotifyChanged();
    void MarkSender(const std::string& senderId);
    std::int16_t Mode() const;
    std::uint32_t Now() const;
    bool Logging() const;
    static Notice Snapshot(Notice n);
    static bool Announced(const Notice& alert, std::int16_t mode);

    MessageLinks* links_ = nullptr;
    AlertWindows* windows_ = nullptr;
    OfflineQueue* queue_ = nullptr;
    TraySurface* tray_ = nullptr;
    MessageEventLog* eventLog_ = nullptr;
    ForumAccess* forums_ = nullptr;
    TimerScheduler* scheduler_ = nullptr;
    std::uint32_t jobs_[3] = {};

    mutable std::mutex mutex_;
    std::vector<Notice> alerts_;
    std::uint64_t nextId_ = 1;
    Listener listener_;
    std::vector<std::function<void()>> observers_;
    std::vector<SentRecord> sent_;
    std::string alertsPath_;
    bool blinkOn_ = false;
    std::uint32_t lastBlink_ = 0;
};

}  // namespace qv
