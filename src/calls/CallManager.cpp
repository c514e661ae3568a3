#include "calls/CallManager.h"

#include <ctime>
#include <initializer_list>
#include <utility>

#include "calls/ActiveCallPane.h"
#include "calls/CallChatLines.h"
#include "calls/CallEventLog.h"
#include "calls/CallSurroundings.h"
#include "calls/ForumModeration.h"
#include "calls/IncomingCallPane.h"
#include "engine/CSonaroManager.h"
#include "messaging/SystemNotices.h"
#include "platform/Screen.h"
#include "platform/TickClock.h"
#include "platform/Trace.h"
#include "settings/Options.h"

namespace qv {

namespace {

// Replaces each "%s" of format, in order, by the next value.
std::string Fill(const std::string& format, std::initializer_list<std::string> values) {
    std::string out;
    auto value = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' &&
            value != values.end()) {
            out += *value++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

constexpr const char* kDndFormat =
    "%s (%s) is currently in Do Not Disturb mode. Recipient will receive messages when they "
    "disable Do Not Disturb mode.";
constexpr const char* kOwnTextFormat = "%s (%s): %s.";
constexpr const char* kBusyFormat = "All of %s (%s)'s lines are busy.";
constexpr const char* kNoAnswerFormat = "%s (%s) did not answer.";
constexpr const char* kOccupiedFormat =
    "%s (%s) is in occupied mode.  You can send a high priority instant message if you need to "
    "reach them immediately.";
constexpr const char* kDeclinedWithTextFormat =
    "%s (%s) has declined your call, with the following message: %s";
constexpr const char* kDeclinedFormat = "%s (%s) has declined your call.";

}  // namespace

// The engine's events reach the manager through these plain callbacks.
struct CallManager::Impl {
    static CallManager& Of(void* context) { return *static_cast<CallManager*>(context); }

    static void JoinedConference(std::int32_t id, bool joined, bool deleted, void* c) {
        Of(c).OnJoinedConference(id, joined, deleted);
    }
    static void JoinedGroup(const std::string& name, void* c) { Of(c).OnJoinedGroup(name); }
    static void AcceptedConference(bool flag, const std::string& alias, const std::string& id,
                                   std::int16_t num, const std::string& text, void* c) {
        Of(c).OnAcceptedConference(flag, alias, id, num, text);
    }
    static void UserChange(const std::string& name, const std::string& second, std::int16_t type,
                           bool existing, void* c) {
        Of(c).OnUserChange(name, second, type, existing);
    }
    static void InvitationCancel(std::int32_t id, const std::string& alias, const std::string& from,
                                 std::int16_t num, const std::string& text, void* c) {
        Of(c).OnInvitationCancel(id, alias, from, num, text);
    }
    static void ConnectionState(std::int32_t state, void* c) { Of(c).OnConnectionState(state); }
    static void ServerMessage(std::int16_t type, std::int16_t num, const std::string& text,
                              void* c) {
        Of(c).OnServerMessage(type, num, text);
    }
    static void Invitation(std::int32_t id, const std::string& alias, const std::string& from,
                           std::int16_t num, const std::string& text, void* c) {
        Of(c).OnInvitation(id, alias, from, num, text);
    }

    static bool LogEvents(const CallManager& m) {
        return m.eventLog_ != nullptr && m.options_.LogEvents() != 0 && m.eventLog_->IsOpen();
    }
    static void ShowActive(CallManager& m) {
        if (m.activePane_ != nullptr) {
            m.activePane_->ShowActive(m.active_.get());
        }
    }
    static void ShowSecond(CallManager& m) {
        if (m.incomingPane_ != nullptr) {
            m.incomingPane_->ShowSecond(m.second_.get());
        }
    }
    static void StopTextChatBlink(CallManager& m) {
        if (m.activePane_ != nullptr) {
            m.activePane_->StopTextChatBlink();
        }
    }
    static void StopPickupBlink(CallManager& m) {
        if (m.activePane_ != nullptr) {
            m.activePane_->StopPickupBlink();
        }
    }
    static void VoiceLinkOff(CallManager& m) {
        if (m.surroundings_ != nullptr) {
            m.surroundings_->WebTourVoiceLinkOff();
        }
    }
    static void SystemMessage(CallManager& m, const std::string& text) {
        m.notices_.AddSystemNotice(text, true, m.wallClock_());
    }
    // Holds the call in the active slot (it stays a record; the caller moves it).
    static void Hold(CallManager& m, const CallRecord& call) {
        m.engine_.HoldConference(call.conferenceId, 0, "");
        if (m.chat_ != nullptr) {
            m.chat_->PlacedOnHold(call.nickname, call.userId);
        }
    }
    // Ends the active slot. autoAnswer: a waiting or held call is taken afterwards when the
    // AutoAnswer setting is on (not while the caller is itself about to fill the slot).
    static void EndActive(CallManager& m, bool onlyWebTour, bool autoAnswer) {
        m.screen_.FlashMainWindow(false);
        if (!m.active_) {
            if (m.activePane_ != nullptr) {
                m.activePane_->ShowActive(nullptr);
            }
        } else {
            StopTextChatBlink(m);
            if (onlyWebTour && !(m.active_->IsForum() && m.active_->webTourForum)) {
                return;
            }
            if (m.incomingPane_ != nullptr) {
                m.incomingPane_->ResetRingCounter();
            }
            // Out of the slot before the pane and the engine hear of it.
            std::unique_ptr<CallRecord> record = std::move(m.active_);
            // Forced push-to-talk belongs to the forum that forced it.
            if (m.forcedPushToTalk_) {
                m.SetForced(false);
            }
            if (m.activePane_ != nullptr) {
                m.activePane_->ShowActive(nullptr);
            }
            if (record->IsCall()) {
                if (!record->invitedIds.empty()) {
                    m.engine_.CancelInvitations(record->invitedIds, 0, "");
                }
                m.engine_.LeaveConference(record->conferenceId, 0, "");
                if (m.chat_ != nullptr) {
                    m.chat_->EndedCall(record->nickname, record->userId);
                }
            } else {
                m.engine_.JoinForum("", "", 0);
                if (record->connected && !record->webTourForum && m.chat_ != nullptr) {
                    m.chat_->LeftForum(record->forumName);
                }
            }
            record.reset();
            if (autoAnswer && m.second_ && m.options_.AutoAnswer() != 0) {
                m.PickUp();
            }
        }
        if (!m.active_ && m.chat_ != nullptr) {
            m.chat_->NoConversation();
        }
    }
};

CallManager::CallManager(CSonaroManager& engine, const Options& options, SystemNotices& notices,
                         Screen& screen, const TickClock& clock)
    : engine_(engine),
      options_(options),
      notices_(notices),
      screen_(screen),
      clock_(clock),
      wallClock_([] { return static_cast<std::uint32_t>(std::time(nullptr)); }) {
    engine_.Subscribe<engine_event::JoinedConference>(&Impl::JoinedConference, this);
    engine_.Subscribe<engine_event::JoinedGroup>(&Impl::JoinedGroup, this);
    engine_.Subscribe<engine_event::AcceptedConference>(&Impl::AcceptedConference, this);
    engine_.Subscribe<engine_event::UserChange>(&Impl::UserChange, this);
    engine_.Subscribe<engine_event::InvitationCancel>(&Impl::InvitationCancel, this);
    engine_.Subscribe<engine_event::ConnectionState>(&Impl::ConnectionState, this);
    engine_.Subscribe<engine_event::serverMessage>(&Impl::ServerMessage, this);
    engine_.Subscribe<engine_event::Invitation>(&Impl::Invitation, this);
    SubscribeForums();
}

CallManager::~CallManager() {
    engine_.Unsubscribe<engine_event::JoinedConference>(&Impl::JoinedConference, this);
    engine_.Unsubscribe<engine_event::JoinedGroup>(&Impl::JoinedGroup, this);
    engine_.Unsubscribe<engine_event::AcceptedConference>(&Impl::AcceptedConference, this);
    engine_.Unsubscribe<engine_event::UserChange>(&Impl::UserChange, this);
    engine_.Unsubscribe<engine_event::InvitationCancel>(&Impl::InvitationCancel, this);
    engine_.Unsubscribe<engine_event::ConnectionState>(&Impl::ConnectionState, this);
    engine_.Unsubscribe<engine_event::serverMessage>(&Impl::ServerMessage, this);
    engine_.Unsubscribe<engine_event::Invitation>(&Impl::Invitation, this);
    UnsubscribeForums();
}

// ---- operations -------------------------------------------------------------------------------

bool CallManager::PlaceCall(const std::string& userId, const std::string& nickname) {
    Trace("CallManager", "PlaceCall");
    if (engine_.State() < CSonaroManager::kConnected || userId.empty()) {
        return false;
    }
    if (userId == engine_.UserId()) {
        Impl::SystemMessage(*this, kCannotCallYourself);
        return false;
    }
    if (!active_ && second_ && !second_->connected && second_->userId == userId) {
        PickUp();
        return false;
    }
    Impl::VoiceLinkOff(*this);
    if (surroundings_ != nullptr && surroundings_->IsBlocked(userId)) {
        Impl::SystemMessage(*this, Fill(kBlockedFormat, {userId}));
        return false;
    }
    if (active_ && active_->IsForum()) {
        if (active_->webTourForum) {
            Impl::VoiceLinkOff(*this);
        }
        // The slot is filled with the new call right after: nothing may be picked up into it.
        Impl::EndActive(*this, false, false);
    }
    if (!active_) {
        auto record = std::make_unique<CallRecord>();
        record->invitedIds = userId + "\n";
        record->userId = userId;
        record->nickname = nickname;
        record->startTime = clock_.Now();
        active_ = std::move(record);
        Impl::ShowActive(*this);
    } else {
        active_->invitedIds += userId + "\n";
    }
    declineReasons_[nickname].clear();
    engine_.InviteUser(userId, 0, "");
    engine_.PlaySoundEvent(kOutgoingCallSound);
    if (Impl::LogEvents(*this)) {
        eventLog_->LogOutgoingCall(wallClock_(), userId, nickname);
    }
    return true;
}

void CallManager::IncomingCallHandler(std::int32_t conferenceId, const std::string& userId,
                                      const std::string& nickname, std::uint32_t time) {
    Trace("CallManager", "IncomingCallHandler");
    if (userId.empty()) {
        return;
    }
    if (Impl::LogEvents(*this)) {
        eventLog_->LogIncomingCall(time, userId, nickname);
    }
    // The invitation of the call already being talked in changes nothing.
    if (active_ && active_->IsCall() && conferenceId != 0 &&
        active_->conferenceId == conferenceId) {
        return;
    }
    const std::int16_t presence = engine_.PresenceMode();
    if (presence == kPresenceDoNotDisturb) {
        engine_.DeclineConference(conferenceId, kDoNotDisturb, options_.DndMessage());
        return;
    }
    if (presence == kPresenceOccupied) {
        engine_.DeclineConference(conferenceId, kOccupied, options_.OccupiedMessage());
        return;
    }
    if (presence == kPresenceAway && !options_.AwayMessage().empty()) {
        engine_.SendUserMessage(
            userId, nickname, kAutomaticReply, 1,
            Fill(kAwayFormat, {engine_.NickName(), engine_.UserId()}) + options_.AwayMessage());
    }
    const Offer offer = OfferIncoming(conferenceId, userId, nickname);
    if (!offer.registered) {
        if (offer.record == nullptr || offer.record->conferenceId != conferenceId) {
            engine_.DeclineConference(conferenceId, kAllLinesBusy, "");
        }
        return;
    }
    // Answered at once (AutoAnswer): nothing rings, so there is nothing to announce.
    const bool ringing = second_ && second_.get() == offer.record && !second_->connected;
    if (ringing) {
        const bool activate = options_.AutoActivateAppOnCall() != 0;
        NoticeRequest notice;
        notice.kind = notice_kind::kIncomingCall;
        notice.senderId = userId;
        notice.senderNickname = nickname;
        notice.time = time;
        notice.activateApp = activate;
        notices_.AddNotice(notice);
        if (activate && surroundings_ != nullptr) {
            surroundings_->BringMainWindowForward();
        }
    }
    if (surroundings_ != nullptr) {
        surroundings_->OfferCaller(userId, nickname);
    }
    if (ringing && !active_ && (surroundings_ == nullptr || !surroundings_->MainWindowInFront())) {
        screen_.FlashMainWindow(true);
    }
}

CallManager::Offer CallManager::OfferIncoming(std::int32_t conferenceId, const std::string& userId,
                                              const std::string& nickname) {
    if (second_) {
        return {false, second_.get()};
    }
    auto record = std::make_unique<CallRecord>();
    record->conferenceId = conferenceId;
    record->userId = userId;
    record->nickname = nickname;
    record->startTime = clock_.Now();
    second_ = std::move(record);
    CallRecord* offered = second_.get();
    Impl::ShowSecond(*this);
    if (options_.AutoAnswer() != 0 && !active_) {
        PickUp();
    }
    return {true, offered};
}

void CallManager::PickUp() {
    Trace("CallManager", "PickUp");
    notices_.CloseNotice(notice_kind::kIncomingCall);
    Impl::StopPickupBlink(*this);
    if (!second_) {
        return;
    }
    Impl::VoiceLinkOff(*this);
    if (active_) {
        if (active_->IsCall() && active_->connected) {
            Impl::Hold(*this, *active_);
        } else {
            // A forum is left; so is a call the engine never joined (there is nothing to hold,
            // and held it would look like a call ringing in). The answered call takes the slot
            // right after.
            Impl::EndActive(*this, false, false);
        }
    }
    std::swap(active_, second_);
    // Connected before the panes see it, so that they show it as the call it now is.
    if (!active_->connected) {
        active_->connected = true;
        active_->startTime = clock_.Now();
    }
    Impl::ShowActive(*this);
    Impl::ShowSecond(*this);
    engine_.AcceptConference(active_->conferenceId);
}

void CallManager::HoldOrSwitch() {
    Trace("CallManager", "HoldOrSwitch");
    if (second_) {
        PickUp();
    } else if (active_ && active_->IsCall()) {
        // A call the engine has not joined yet has nothing to hold.
        if (!active_->connected) {
            return;
        }
        second_ = std::move(active_);
        Impl::ShowActive(*this);
        Impl::ShowSecond(*this);
        Impl::Hold(*this, *second_);
        engine_.PlaySoundEvent(kPlaceOnHoldSound);
    } else if (active_) {
        return;  // a forum is not put on hold
    }
    Impl::StopTextChatBlink(*this);
    if (activePane_ != nullptr) {
        activePane_->Refresh();
    }
}

void CallManager::HangUp() {
    Trace("CallManager", "HangUp");
    Impl::StopTextChatBlink(*this);
    if (active_) {
        Impl::VoiceLinkOff(*this);
        EndActive(false);
    } else if (second_) {
        EndSecond(kDeclined, "");
    }
}

void CallManager::EndActive(bool onlyWebTour) {
    Trace("CallManager", "EndActive");
    Impl::EndActive(*this, onlyWebTour, true);
}

void CallManager::EndSecond(std::int16_t reason, const std::string& text) {
    Trace("CallManager", "EndSecond");
    notices_.CloseNotice(notice_kind::kIncomingCall);
    screen_.FlashMainWindow(false);
    Impl::StopPickupBlink(*this);
    if (!second_) {
        return;
    }
    std::unique_ptr<CallRecord> record = std::move(second_);
    Impl::ShowSecond(*this);
    if (record->IsCall()) {
        if (record->connected) {
            if (!record->invitedIds.empty()) {
                engine_.CancelInvitations(record->invitedIds, 0, "");
            }
            engine_.LeaveConference(record->conferenceId, 0, "");
            if (chat_ != nullptr) {
                chat_->EndedCall(record->nickname, record->userId);
            }
        } else {
            engine_.DeclineConference(record->conferenceId, reason, text);
        }
    }
}

void CallManager::ForgetConference(std::int32_t conferenceId) {
    screen_.FlashMainWindow(false);
    if (conferenceId == 0) {
        return;  // no conference has id 0; a call not yet joined is not the one meant
    }
    if (active_ && active_->IsCall() && active_->conferenceId == conferenceId) {
        std::unique_ptr<CallRecord> record = std::move(active_);
        if (activePane_ != nullptr) {
            activePane_->ShowActive(nullptr);
        }
        if (chat_ != nullptr) {
            chat_->NoConversation();
        }
    } else if (second_ && second_->conferenceId == conferenceId) {
        // Only that call's notice: another conference's cancel leaves the ringing one alone.
        if (!second_->connected) {
            notices_.CloseNotice(notice_kind::kIncomingCall);
            Impl::StopPickupBlink(*this);
        }
        second_.reset();
        Impl::ShowSecond(*this);
    }
}

void CallManager::DeclineRingingCall(std::int16_t reason, const std::string& text) {
    if (IsRinging()) {
        EndSecond(reason, text);
    }
}

bool CallManager::RingTimedOut() const {
    return IsRinging() &&
           static_cast<std::uint32_t>(clock_.Now() - second_->startTime) > kRingTimeoutMs;
}

bool CallManager::CheckRingTimeout() {
    if (!RingTimedOut()) {
        return false;
    }
    EndSecond(kNoAnswer, "");
    return true;
}

void CallManager::EndActiveToFill() {
    // An empty slot has nothing to end, and the record that comes next is shown at once.
    if (active_) {
        Impl::EndActive(*this, false, false);
    }
}

bool CallManager::FillActiveForum(std::unique_ptr<CallRecord> forum) {
    if (active_ || !forum || !forum->IsForum()) {
        return false;
    }
    forum->startTime = clock_.Now();
    active_ = std::move(forum);
    Impl::ShowActive(*this);
    return true;
}

// ---- queries ----------------------------------------------------------------------------------

bool CallManager::IsIdle() const {
    return !active_ && !second_;
}
bool CallManager::ActiveIsCall() const {
    return active_ && active_->IsCall();
}
bool CallManager::ActiveIsForum() const {
    return active_ && active_->IsForum();
}
bool CallManager::ActiveIsWebTourForum() const {
    return ActiveIsForum() && active_->webTourForum;
}
bool CallManager::ActiveHasControlledMicrophones() const {
    return ActiveIsForum() && active_->controlledMicrophones;
}
bool CallManager::IsRinging() const {
    return second_ && !second_->connected;
}
bool CallManager::IsHolding() const {
    return second_ && second_->connected;
}
bool CallManager::InForum(const std::string& name) const {
    return (active_ && active_->forumName == name) || (second_ && second_->forumName == name);
}
std::string CallManager::ActiveForumName() const {
    return ActiveIsForum() ? active_->forumName : std::string();
}
std::string CallManager::ActiveForumPassword() const {
    return ActiveIsForum() ? active_->forumPassword : std::string();
}
std::int32_t CallManager::ActiveForumFirstOption() const {
    return ActiveIsForum() ? active_->forumFirstOption : 0;
}
std::int32_t CallManager::ActiveForumOptionWord1() const {
    return ActiveIsForum() ? active_->forumOptionWord1 : 0;
}
std::int32_t CallManager::ActiveForumOptionWord2() const {
    return ActiveIsForum() ? active_->forumOptionWord2 : 0;
}
std::string CallManager::SecondUserId() const {
    return second_ ? second_->userId : std::string();
}
std::string CallManager::SecondNickname() const {
    return second_ ? second_->nickname : std::string();
}

std::string CallManager::DeclineText(std::int32_t msgNum, const std::string& fromAlias,
                                     const std::string& fromId, const std::string& msgText) {
    switch (static_cast<std::uint16_t>(msgNum & 0xFFFF)) {
        case kDoNotDisturb:
            return msgText.size() < 2 ? Fill(kDndFormat, {fromAlias, fromId})
                                      : Fill(kOwnTextFormat, {fromAlias, fromId, msgText});
        case kAllLinesBusy:
            return Fill(kBusyFormat, {fromAlias, fromId});
        case kNoAnswer:
            return Fill(kNoAnswerFormat, {fromAlias, fromId});
        case kOccupied:
            return msgText.size() < 2 ? Fill(kOccupiedFormat, {fromAlias, fromId})
                                      : Fill(kOwnTextFormat, {fromAlias, fromId, msgText});
        default:
            return msgText.empty() ? Fill(kDeclinedFormat, {fromAlias, fromId})
                                   : Fill(kDeclinedWithTextFormat, {fromAlias, fromId, msgText});
    }
}

// ---- engine events ----------------------------------------------------------------------------

void CallManager::OnJoinedConference(std::int32_t id, bool joined, bool /*deleted*/) {
    Trace("CallManager", "OnJoinedConference");
    if (!joined) {
        return;
    }
    if (!active_ || !active_->IsCall() || active_->connected) {
        // A conference no slot holds: the call placed for it was ended before the engine had
        // joined it. Left, or the user would sit in it unseen.
        const auto holds = [id](const std::unique_ptr<CallRecord>& r) {
            return r && r->IsCall() && r->conferenceId == id;
        };
        if (id != 0 && !holds(active_) && !holds(second_)) {
            engine_.LeaveConference(id, 0, "");
        }
        return;
    }
    // The first join after placing is the call's, whatever its id.
    active_->conferenceId = id;
    active_->connected = true;
    active_->startTime = clock_.Now();
    if (chat_ != nullptr) {
        chat_->JoinedCall(active_->nickname, active_->userId);
    }
}

void CallManager::OnJoinedGroup(const std::string& groupName) {
    Trace("CallManager", "OnJoinedGroup");
    if (groupName.empty()) {
        ForumEndedByServer();
    } else {
        ForumJoined(groupName);
    }
}

void CallManager::OnAcceptedConference(bool flag, const std::string& fromAlias,
                                       const std::string& fromId, std::int16_t msgNum,
                                       const std::string& msgText) {
    Trace("CallManager", "OnAcceptedConference");
    if (flag) {
        return;
    }
    declineReasons_[fromAlias] = DeclineText(msgNum, fromAlias, fromId, msgText);
}

void CallManager::OnUserChange(const std::string& name, const std::string& /*second*/,
                               std::int16_t changeType, bool /*existing*/) {
    Trace("CallManager", "OnUserChange");
    if (changeType != 0) {
        return;
    }
    auto it = declineReasons_.find(name);
    if (it == declineReasons_.end()) {
        return;
    }
    const std::string text = std::exchange(it->second, std::string());
    if (!text.empty()) {
        Impl::SystemMessage(*this, text);
    }
}

void CallManager::OnInvitationCancel(std::int32_t id, const std::string&, const std::string&,
                                     std::int16_t, const std::string&) {
    Trace("CallManager", "OnInvitationCancel");
    ForgetConference(id);
}

void CallManager::OnConnectionState(std::int32_t state) {
    if (state != CSonaroManager::kIdle && state != CSonaroManager::kDisconnecting) {
        return;
    }
    Trace("CallManager", "OnConnectionState");
    // Both slots end: a held call has no session to come back to. The second goes first so
    // that nothing is answered into the slot the active call leaves.
    if (second_) {
        EndSecond(kDeclined, "");
    }
    HangUp();
}

void CallManager::OnServerMessage(std::int16_t /*type*/, std::int16_t msgNum,
                                  const std::string& msgText) {
    if (msgNum != 1) {
        return;
    }
    const std::size_t at = msgText.find(" - ");
    if (at == std::string::npos) {
        return;
    }
    // A refused join names the forum after the separator: only that half-made slot goes (a
    // forum the user is already in was not the one refused).
    if (ActiveIsForum() && !active_->connected && active_->forumName == msgText.substr(at + 3)) {
        EndActive(false);
    }
}

void CallManager::OnInvitation(std::int32_t id, const std::string& fromAlias,
                               const std::string& fromId, std::int16_t /*msgNum*/,
                               const std::string& /*msgText*/) {
    Trace("CallManager", "OnInvitation");
    IncomingCallHandler(id, fromId, fromAlias, wallClock_());
}

}  // namespace qv
