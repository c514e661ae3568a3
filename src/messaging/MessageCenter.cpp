#include "messaging/MessageCenter.h"

#include <algorithm>
#include <iterator>

#include "app/TimerScheduler.h"
#include "messaging/MessageEventLog.h"
#include "stores/MessageFiles.h"

namespace qv {

namespace {

// Fills each "%s" left to right; a "%s" inside an argument stays text.
std::string Fill(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    auto arg = args.begin();
    std::size_t at = 0;
    while (at < format.size()) {
        const std::size_t mark = format.find("%s", at);
        if (mark == std::string_view::npos || arg == args.end()) {
            out.append(format.substr(at));
            break;
        }
        out.append(format.substr(at, mark - at));
        out.append(*arg++);
        at = mark + 2;
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

std::string BeforeTab(const std::string& text) {
    return text.substr(0, text.find('\t'));
}

std::string AfterTab(const std::string& text) {
    const std::size_t tab = text.find('\t');
    return tab == std::string::npos ? std::string{} : text.substr(tab + 1);
}

bool IsNoticeListKind(std::int32_t kind) {
    return kind == notice_kind::kSystem || kind == notice_kind::kIncomingCall;
}

constexpr std::uint32_t kOnline = 0x01;
constexpr std::uint32_t kHidesOnline = 0x20;
constexpr std::size_t kReceiptQuote = 20;

}  // namespace

MessageCenter::~MessageCenter() {
    if (scheduler_ != nullptr) {
        for (std::uint32_t& job : jobs_) {
            scheduler_->Remove(job);
            job = 0;
        }
    }
}

std::int16_t MessageCenter::Mode() const {
    return links_ != nullptr ? links_->PresenceMode() : 0;
}

std::uint32_t MessageCenter::Now() const {
    return links_ != nullptr ? links_->Now() : 0;
}

bool MessageCenter::Logging() const {
    return eventLog_ != nullptr && links_ != nullptr && links_->LogEvents() && eventLog_->IsOpen();
}

MessageCenter::Notice MessageCenter::Snapshot(Notice n) {
    n.shown = n.state >= 1;
    n.closed = n.state == 2;
    return n;
}

void MessageCenter::NotifyChanged() {
    std::vector<std::function<void()>> observers;
    {
        std::lock_guard lock(mutex_);
        observers = observers_;
    }
    if (tray_ != nullptr) {
        const std::optional<PendingAlert> oldest = OldestPending();
        tray_->SetTip(oldest ? oldest->tip : std::string("Quorvane"));
    }
    for (const auto& observer : observers) {
        observer();
    }
}

std::uint64_t MessageCenter::AddAlert(Notice alert, bool showNow) {
    Listener listener;
    {
        std::lock_guard lock(mutex_);
        alert.id = nextId_++;
        alerts_.push_back(alert);
        listener = listener_;
    }
    if (listener) {
        listener(Snapshot(alert), showNow);
    }
    if (alert.state == 0 && !alert.senderId.empty()) {
        MarkSender(alert.senderId);
    }
    NotifyChanged();
    return alert.id;
}

void MessageCenter::AddSystemNotice(const std::string& text, bool showNow, std::uint32_t time) {
    Notice notice;
    notice.kind = notice_kind::kSystem;
    notice.text = text;
    notice.time = time;
    notice.state = showNow ? 1 : 0;
    notice.soundFlags = showNow ? kOpenedAtOnce : 0;
    notice.soundEvent = "SystemMessageHighPriority";
    notice.icon = kSystemIcon;
    AddAlert(std::move(notice), showNow);
}

void MessageCenter::AddNotice(const NoticeRequest& request) {
    Notice notice;
    notice.text = request.text;
    notice.time = request.time;
    notice.kind = request.kind;
    notice.senderId = request.senderId;
    notice.senderNickname = request.senderNickname;
    notice.activateApp = request.activateApp;
    AddAlert(std::move(notice), false);
}

bool MessageCenter::CloseNotice(std::int32_t kind) {
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(alerts_.begin(), alerts_.end(),
                               [kind](const Notice& n) { return n.kind == kind && n.state != 2; });
        if (it == alerts_.end()) {
            return false;
        }
        it->state = 2;
    }
    NotifyChanged();
    return true;
}

std::string MessageCenter::TextOf(const Notice& notice) {
    if (notice.kind != notice_kind::kIncomingCall) {
        return notice.text;
    }
    return Fill(kIncomingCallFormat, {notice.senderNickname, notice.senderId});
}

std::vector<MessageCenter::Notice> MessageCenter::Notices() const {
    std::lock_guard lock(mutex_);
    std::vector<Notice> all;
    std::transform(alerts_.begin(), alerts_.end(), std::back_inserter(all), Snapshot);
    return all;
}

std::vector<MessageCenter::Notice> MessageCenter::OpenNotices() const {
    std::lock_guard lock(mutex_);
    std::vector<Notice> open;
    for (const Notice& n : alerts_) {
        if (IsNoticeListKind(n.kind) && n.state != 2) {
            open.push_back(Snapshot(n));
        }
    }
    return open;
}

std::size_t MessageCenter::Unseen() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(alerts_.begin(), alerts_.end(),
                      [](const Notice& n) { return IsNoticeListKind(n.kind) && n.state == 0; }));
}

void MessageCenter::MarkAllShown() {
    {
        std::lock_guard lock(mutex_);
        for (Notice& n : alerts_) {
            if (IsNoticeListKind(n.kind) && n.state == 0) {
                n.state = 1;
            }
        }
    }
    NotifyChanged();
}

void MessageCenter::SetListener(Listener listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

std::string MessageCenter::TipOf(const Notice& alert) {
    switch (alert.kind) {
        case notice_kind::kIncomingCall:
            return Fill(kIncomingCallFormat, {alert.senderNickname, alert.senderId});
        case notice_kind::kIncomingMessage:
            return Fill("Instant Message from %s (%s)", {alert.senderNickname, alert.senderId});
        case notice_kind::kForumInvitation:
        case notice_kind::kWebsiteInvitation:
            return Fill("%s (%s) has invited you to \"%s\"",
                        {alert.senderNickname, alert.senderId, BeforeTab(alert.text)});
        case notice_kind::kWebTourInvitation:
            return Fill("%s (%s) has invited you to a web tour starting at \"%s\"",
                        {alert.senderNickname, alert.senderId, BeforeTab(alert.text)});
        case notice_kind::kVoiceMail:
            return Fill("Voice Mail from %s (%s)", {alert.senderNickname, alert.senderId});
        default:
            return "System Message";
    }
}

std::optional<PendingAlert> MessageCenter::OldestPending() const {
    std::lock_guard lock(mutex_);
    for (const Notice& n : alerts_) {
        if (n.state == 0) {
            return PendingAlert{n.kind, TipOf(n), n.senderNickname};
        }
    }
    return std::nullopt;
}

void MessageCenter::OpenOldest() {
    std::optional<std::uint64_t> id;
    {
        std::lock_guard lock(mutex_);
        for (const Notice& n : alerts_) {
            if (n.state == 0) {
                id = n.id;
                break;
            }
        }
    }
    if (id) {
        ShowAlert(*id, true);
    }
}

void MessageCenter::AddObserver(std::function<void()> changed) {
    std::lock_guard lock(mutex_);
    observers_.push_back(std::move(changed));
}

std::string MessageCenter::ReceiptText(const std::string& received) {
    // Characters, not bytes: a UTF-8 character is never cut in two.
    std::size_t end = 0;
    std::size_t characters = 0;
    while (end < received.size()) {
        if ((static_cast<unsigned char>(received[end]) & 0xC0u) != 0x80u) {
            if (characters == kReceiptQuote) {
                break;
            }
            ++characters;
        }
        ++end;
    }
    return "Your message: \"" + received.substr(0, end) + "...\" received.";
}

void MessageCenter::SendStored(const std::string& id, const std::string& text,
                               std::int32_t priority) {
    if (links_ == nullptr) {
        return;
    }
    links_->SendStoredMessage(id, text, priority, [this, id](int status, const std::string& error) {
        if (status != 1) {
            AddSystemNotice(Fill(kStoreErrorFormat, {id, error}), false, Now());
        }
    });
}

int MessageCenter::Send(const std::string& id, const std::string& nickname, const std::string& text,
                        std::uint16_t flags) {
    if (links_ == nullptr) {
        return 0;
    }
    if (links_->ConnectionState() < 3) {
        if (queue_ == nullptr) {
            return 0;
        }
        if (queue_->Enqueue({id, nickname, text, flags}).empty()) {
            links_->ShowMessageBox("Failed to write msg file");
            return 0;
        }
        return 1;
    }
    // Sent live or stored: recorded either way, receipts excepted.
    if ((flags & message_flag::kAutomatic) == 0 && Logging()) {
        eventLog_->LogOutgoingMessage(Now(), id, nickname, text);
    }
    const std::optional<std::uint32_t> presence = links_->ContactPresence(id);
    if (presence && (*presence & (kOnline | kHidesOnline)) == 0) {
        SendStored(id, text, flags);
        return 1;
    }
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(sent_.begin(), sent_.end(),
                               [&](const SentRecord& r) { return r.id == id; });
        if (it == sent_.end()) {
            it = sent_.insert(sent_.end(), SentRecord{id, {}, {}, 0});
        }
        it->nickname = nickname;
        it->text = text;
        it->tick = links_->Ticks();
    }
    links_->SendUserMessage(id, nickname, user_message::kInstantMessage,
                            static_cast<std::int16_t>(flags), text);
    return 1;
}

void MessageCenter::SendToRecipients(const std::string& ids, const std::string& nicknames,
                                     const std::string& text, std::uint16_t flags) {
    const std::vector<std::string> idLines = Lines(ids);
    const std::vector<std::string> nickLines = Lines(nicknames);
    for (std::size_t i = 0; i < idLines.size(); ++i) {
        if (idLines[i].empty()) {
            continue;
        }
        Send(idLines[i], i < nickLines.size() ? nickLines[i] : std::string{}, text, flags);
    }
    if (links_ != nullptr && links_->ConnectionState() < 3) {
        AddSystemNotice(kQueuedText, true, Now());
    }
    if (links_ != nullptr) {
        links_->PlaySoundEvent("OutgoingInstantMessage");
    }
}

void MessageCenter::OnServerMessage(std::int16_t /*type*/, std::int16_t number,
                                    const std::string& text) {
    if (number != 2 || links_ == nullptr) {
        return;
    }
    const std::size_t dash = text.find(" - ");
    if (dash == std::string::npos) {
        return;
    }
    const std::string id = text.substr(dash + 3);
    std::string resend;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(sent_.begin(), sent_.end(),
                               [&](const SentRecord& r) { return r.id == id; });
        if (it != sent_.end() && !it->text.empty() &&
            links_->Ticks() - it->tick < kFallbackWindowMs) {
            resend = it->text;
            it->text.clear();  // at most once
        }
    }
    if (!resend.empty()) {
        SendStored(id, resend, 0);
    }
}

void MessageCenter::AutomaticReply(const std::string& id, const std::string& nickname,
                                   std::uint16_t flags) {
    if (links_ == nullptr || (flags & message_flag::kAutomatic) != 0) {
        return;
    }
    const char* format = nullptr;
    const char* key = nullptr;
    switch (Mode()) {
        case presence_mode::kDoNotDisturb:
            format = kDndFormat;
            key = "DND Message";
            break;
        case presence_mode::kOccupied:
            if ((flags & message_flag::kHighPriority) != 0) {
                return;
            }
            format = kOccupiedFormat;
            key = "Occupied Message";
            break;
        case presence_mode::kAway:
            format = kAwayFormat;
            key = "Away Message";
            break;
        default:
            return;
    }
    std::string configured = links_->CustomMessage(key);
    if (configured.size() > kCustomMessageMax) {
        configured.resize(kCustomMessageMax);
    }
    if (configured.empty()) {
        return;
    }
    links_->SendUserMessage(id, nickname, user_message::kAutomaticReply, 1,
                            Fill(format, {links_->OwnNickname(), links_->OwnId()}) + configured);
}

void MessageCenter::ReceiveInstantMessage(const std::string& id, const std::string& nickname,
                                          const std::string& text, std::uint16_t flags,
                                          std::uint32_t time) {
    AutomaticReply(id, nickname, flags);
    Notice alert;
    alert.kind = notice_kind::kIncomingMessage;
    alert.senderId = id;
    alert.senderNickname = nickname;
    alert.time = time;
    alert.text = text;
    alert.flags = flags;
    alert.state = 0;
    alert.soundFlags = kSoundOnce;
    alert.soundEvent = "IncomingInstantMessage";
    alert.icon =
        (flags & message_flag::kHighPriority) != 0 ? kHighPriorityIcon : kNormalMessageIcon;
    AddAlert(std::move(alert), false);
}

bool MessageCenter::ReceiveStoredMessage(const std::string& id, const std::string& nickname,
                                         const std::string& text, std::uint16_t flags,
                                         std::uint32_t time) {
    {
        std::lock_guard lock(mutex_);
        for (const Notice& n : alerts_) {
            if (n.kind == notice_kind::kIncomingMessage && n.senderId == id && n.time == time &&
                n.text == text) {
                return false;
            }
        }
    }
    ReceiveInstantMessage(id, nickname, text, flags, time);
    return true;
}

void MessageCenter::AddInvitation(const std::string& id, const std::string& nickname,
                                  std::int32_t kind, std::int32_t icon, const char* sound,
                                  const std::string& text) {
    AutomaticReply(id, nickname, 0);
    Notice alert;
    alert.kind = kind;
    alert.senderId = id;
    alert.senderNickname = nickname;
    alert.time = Now();
    alert.text = text;
    alert.soundFlags = kSoundOnce;
    alert.soundEvent = sound;
    alert.icon = icon;
    const std::uint32_t time = alert.time;
    AddAlert(std::move(alert), false);
    if (Logging()) {
        eventLog_->LogIncomingInvitation(
            time, id, nickname, kind == notice_kind::kWebTourInvitation ? text : BeforeTab(text));
    }
}

bool MessageCenter::SendInvitation(const std::string& id, const std::string& nickname,
                                   std::int16_t number, std::int16_t parameter,
                                   const std::string& text) {
    if (links_ == nullptr || !links_->SendUserMessage(id, nickname, number, parameter, text)) {
        return false;
    }
    if (Logging()) {
        eventLog_->LogOutgoingInvitation(
            Now(), id, nickname,
            number == user_message::kWebTourInvitation ? text : BeforeTab(text));
    }
    return true;
}

bool MessageCenter::CanInviteToForum() const {
    return forums_ != nullptr && forums_->CurrentForum().has_value();
}

bool MessageCenter::InviteToForum(const std::string& id, const std::string& nickname) {
    if (forums_ == nullptr || id.empty()) {
        return false;
    }
    const std::optional<ForumInvitation> forum = forums_->CurrentForum();
    if (!forum) {
        return false;
    }
    return SendInvitation(id, nickname, user_message::kForumInvitation, 0,
                          FormatForumInvitation(*forum));
}

bool MessageCenter::AcceptForumInvitation(std::uint64_t alertId) {
    if (forums_ == nullptr) {
        return false;
    }
    const std::optional<Notice> alert = Find(alertId);
    if (!alert || alert->kind != notice_kind::kForumInvitation) {
        return false;
    }
    const std::optional<ForumInvitation> forum = ParseForumInvitation(alert->text);
    return forum && forums_->JoinInvitedForum(*forum);
}

void MessageCenter::OnUserMessage(const std::string& nickname, const std::string& id,
                                  std::int16_t number, std::int16_t parameter,
                                  const std::string& text) {
    switch (number) {
        case user_message::kInstantMessage:
            ReceiveInstantMessage(id, nickname, text, static_cast<std::uint16_t>(parameter), Now());
            break;
        case user_message::kForumInvitation:
            AddInvitation(id, nickname, notice_kind::kForumInvitation, kForumIcon,
                          "IncomingForumInvitation", text);
            break;
        case user_message::kWebsiteInvitation:
            AddInvitation(id, nickname, notice_kind::kWebsiteInvitation, kWebsiteIcon,
                          "IncomingWebsiteInvitation", text);
            break;
        case user_message::kAutomaticReply:
            AddSystemNotice(text, parameter == 1, Now());
            break;
        case user_message::kKicked:
        case user_message::kBanned: {
            const std::string forum = BeforeTab(text);
            if (links_ != nullptr && links_->InForum(forum)) {
                AddSystemNotice(
                    Fill(number == user_message::kKicked ? kKickedFormat : kBannedFormat,
                         {forum, nickname, id, AfterTab(text)}),
                    true, Now());
            }
            break;
        }
        case user_message::kWebTourInvitation:
            if (parameter == 1) {
                AddInvitation(id, nickname, notice_kind::kWebTourInvitation, kWebTourIcon,
                              "IncomingWebtourInvitation", text);
            }
            break;
        case user_message::kStoredMessageWaiting:
            if (links_ != nullptr) {
                links_->PollStoredMessages();
            }
            break;
        case user_message::kForumDisbanded:
            AddSystemNotice(Fill(kDisbandedFormat, {BeforeTab(text), nickname, id}), true, Now());
            break;
        default:
            break;  // 9, 10 and anything outside 8 to 18 are not ours
    }
}

void MessageCenter::OnConnectionState(std::int32_t state) {
    if (state != 0 && state != 1) {
        return;
    }
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        for (Notice& n : alerts_) {
            if (n.kind == notice_kind::kIncomingCall && n.state != 2) {
                n.state = 2;
                changed = true;
            }
        }
    }
    if (changed) {
        NotifyChanged();
    }
}

std::optional<MessageCenter::Notice> MessageCenter::Find(std::uint64_t alertId) const {
    std::lock_guard lock(mutex_);
    for (const Notice& n : alerts_) {
        if (n.id == alertId) {
            return Snapshot(n);
        }
    }
    return std::nullopt;
}

void MessageCenter::MarkSender(const std::string& senderId) {
    if (links_ == nullptr || senderId.empty()) {
        return;
    }
    // The contact shows the newest alert from it that still waits.
    std::optional<Notice> waiting;
    {
        std::lock_guard lock(mutex_);
        for (const Notice& n : alerts_) {
            if (n.senderId == senderId && n.state == 0 && n.kind != notice_kind::kIncomingCall) {
                waiting = n;
            }
        }
    }
    if (waiting) {
        links_->ShowWaitingAlert(senderId, waiting->kind, waiting->flags, waiting->time);
    } else {
        links_->ShowWaitingAlert(senderId, 0, 0, 0);
    }
}

void MessageCenter::ShowAlert(std::uint64_t alertId, bool forced) {
    const std::optional<Notice> alert = Find(alertId);
    if (!alert) {
        return;
    }
    if (IsNoticeListKind(alert->kind)) {
        // The system-notice window lists them; a ringing call is answered in its own pane.
        Listener listener;
        {
            std::lock_guard lock(mutex_);
            listener = listener_;
        }
        if (alert->kind == notice_kind::kSystem && listener) {
            listener(*alert, true);
        }
        if (alert->kind == notice_kind::kSystem) {
            MarkAllShown();
        }
        return;
    }
    if (windows_ != nullptr && windows_->RaiseAlertWindow(alert->kind, alert->senderId)) {
        return;
    }
    if (Mode() == presence_mode::kDoNotDisturb && !forced) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        for (Notice& n : alerts_) {
            if (n.id == alertId) {
                n.state = 1;
                n.windowOpen = windows_ != nullptr;
            }
        }
    }
    if (windows_ != nullptr) {
        windows_->OpenAlertWindow(*this, alertId);
    }
    if (alert->kind == notice_kind::kIncomingMessage &&
        (alert->flags & message_flag::kReceiptRequested) != 0 &&
        (alert->flags & message_flag::kAutomatic) == 0) {
        Send(alert->senderId, alert->senderNickname, ReceiptText(alert->text),
             message_flag::kAutomatic);
    }
    MarkSender(alert->senderId);
    NotifyChanged();
}

void MessageCenter::AlertWindowClosed(std::uint64_t alertId) {
    {
        std::lock_guard lock(mutex_);
        for (Notice& n : alerts_) {
            if (n.id == alertId) {
                n.state = 2;
                n.windowOpen = false;
            }
        }
    }
    NotifyChanged();
}

bool MessageCenter::OpenFromSender(const std::string& senderId) {
    std::optional<std::uint64_t> id;
    {
        std::lock_guard lock(mutex_);
        for (const Notice& n : alerts_) {
            if (n.senderId == senderId && n.state == 0 && n.kind != notice_kind::kIncomingCall) {
                id = n.id;
                break;
            }
        }
    }
    if (id) {
        ShowAlert(*id, true);
    }
    return id.has_value();
}

bool MessageCenter::Announced(const Notice& alert, std::int16_t mode) {
    if (mode == presence_mode::kDoNotDisturb) {
        return false;
    }
    if (mode == presence_mode::kOccupied) {
        return (alert.kind == notice_kind::kIncomingMessage &&
                (alert.flags & message_flag::kHighPriority) != 0) ||
               alert.kind == notice_kind::kVoiceMail;
    }
    return true;
}

void MessageCenter::SoundTick() {
    if (links_ == nullptr) {
        return;
    }
    const std::int16_t mode = Mode();
    const std::uint32_t now = links_->Ticks();
    std::vector<std::string> play;
    {
        std::lock_guard lock(mutex_);
        for (Notice& n : alerts_) {
            if (n.soundEvent.empty() || !Announced(n, mode)) {
                continue;
            }
            if ((n.soundFlags & kSoundOnce) != 0) {
                n.soundFlags &= ~kSoundOnce;
                n.lastSoundTick = now;
                play.push_back(n.soundEvent);
            } else if ((n.soundFlags & kSoundRepeat) != 0 && n.state == 0 &&
                       now - n.lastSoundTick >= kRepeatSoundMs) {
                n.lastSoundTick = now;
                play.push_back(n.soundEvent);
            }
        }
    }
    for (const std::string& sound : play) {
        links_->PlaySoundEvent(sound);
    }
}

void MessageCenter::TrayTick() {
    if (tray_ == nullptr) {
        return;
    }
    const std::int16_t mode = Mode();
    std::optional<Notice> waiting;
    {
        std::lock_guard lock(mutex_);
        for (const Notice& n : alerts_) {
            if (n.state == 0 && n.icon != 0 && Announced(n, mode)) {
                waiting = n;
                break;
            }
        }
    }
    const std::uint32_t now = links_ != nullptr ? links_->Ticks() : 0;
    if (!waiting) {
        if (blinkOn_) {
            blinkOn_ = false;
            tray_->ShowAlertIcon(0, false);
        }
        return;
    }
    if (now - lastBlink_ < kBlinkMs) {
        return;
    }
    lastBlink_ = now;
    blinkOn_ = !blinkOn_;
    tray_->ShowAlertIcon(waiting->icon, blinkOn_);
}

void MessageCenter::RemovalTick() {
    std::vector<std::uint64_t> closing;
    {
        std::lock_guard lock(mutex_);
        for (const Notice& n : alerts_) {
            if (n.state == 2) {
                closing.push_back(n.id);
            }
        }
        std::erase_if(alerts_, [](const Notice& n) { return n.state == 2; });
    }
    if (closing.empty()) {
        return;
    }
    if (windows_ != nullptr) {
        for (std::uint64_t id : closing) {
            windows_->CloseAlertWindow(id);
        }
    }
    NotifyChanged();
}

bool MessageCenter::SaveAlerts() const {
    std::vector<SavedAlert> unseen;
    {
        std::lock_guard lock(mutex_);
        for (const Notice& n : alerts_) {
            if (n.kind == notice_kind::kIncomingMessage && n.state == 0) {
                unseen.push_back({174, n.time, n.senderNickname, n.senderId, n.text, n.flags});
            }
        }
    }
    return alerts_file::Save(alertsPath_, unseen);
}

void MessageCenter::LoadAlerts() {
    for (const SavedAlert& saved : alerts_file::Load(alertsPath_)) {
        ReceiveInstantMessage(saved.senderId, saved.senderNickname, saved.text, saved.flags,
                              saved.time);
    }
}

void MessageCenter::Attach(const std::string& userFolder, TimerScheduler* scheduler) {
    Detach();
    alertsPath_ = userFolder.empty() ? std::string{} : userFolder + alerts_file::kFileName;
    scheduler_ = scheduler;
    if (scheduler_ != nullptr) {
        jobs_[0] = scheduler_->Add([this](const std::string&, std::uintptr_t) { SoundTick(); }, 0,
                                   kDisplayTickMs, TimerScheduler::kRepeat);
        jobs_[1] = scheduler_->Add([this](const std::string&, std::uintptr_t) { TrayTick(); }, 0,
                                   kDisplayTickMs, TimerScheduler::kRepeat);
        jobs_[2] = scheduler_->Add([this](const std::string&, std::uintptr_t) { RemovalTick(); }, 0,
                                   kRemovalTickMs, TimerScheduler::kRepeat);
    }
    LoadAlerts();
}

void MessageCenter::Detach() {
    if (!alertsPath_.empty()) {
        SaveAlerts();
    }
    std::vector<Notice> gone;
    {
        std::lock_guard lock(mutex_);
        gone.swap(alerts_);
        sent_.clear();
    }
    if (windows_ != nullptr) {
        for (const Notice& n : gone) {
            windows_->CloseAlertWindow(n.id);
        }
    }
    for (const Notice& n : gone) {
        if (n.state == 0 && !n.senderId.empty() && links_ != nullptr) {
            links_->ShowWaitingAlert(n.senderId, 0, 0, 0);
        }
    }
    if (scheduler_ != nullptr) {
        for (std::uint32_t& job : jobs_) {
            scheduler_->Remove(job);
            job = 0;
        }
    }
    scheduler_ = nullptr;
    alertsPath_.clear();
    if (tray_ != nullptr && blinkOn_) {
        tray_->ShowAlertIcon(0, false);
    }
    blinkOn_ = false;
    if (!gone.empty()) {
        NotifyChanged();
    }
}

int MessageCenter::FlushOfflineQueue() {
    if (queue_ == nullptr) {
        return 0;
    }
    return queue_->Flush([this](const QueuedMessage& m) {
        Send(m.recipientId, m.recipientNickname, m.text, m.flags);
    });
}

}  // namespace qv
