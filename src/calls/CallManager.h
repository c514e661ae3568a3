#pragma once

// The single owner of everything the user talks in: the active slot (the call or forum the user
// is talking in) and the second slot (a ringing incoming call, or a call on hold). It places,
// screens, answers, holds, switches, ends and declines calls through the engine manager, keeps
// why a called user declined until that user drops out, and tells the two call panes and the
// text chat whenever a slot changes. Everything runs on the user-interface thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "calls/CallRecord.h"

namespace qv {

class ActiveCallPane;
class CallChatLines;
class CallEventLog;
class CallSurroundings;
class CSonaroManager;
class ForumModeration;
class IncomingCallPane;
class Options;
class Screen;
class SystemNotices;
class TickClock;

class CallManager {
  public:
    // Decline reasons, sent and received.
    static constexpr std::int16_t kDeclined = 0;
    static constexpr std::int16_t kDoNotDisturb = 1;
    static constexpr std::int16_t kAllLinesBusy = 2;
    static constexpr std::int16_t kNoAnswer = 3;
    static constexpr std::int16_t kOccupied = 4;

    // Presence modes read here.
    static constexpr std::int16_t kPresenceAway = 2;
    static constexpr std::int16_t kPresenceDoNotDisturb = 4;
    static constexpr std::int16_t kPresenceOccupied = 8;

    // The automatic reply to a caller while away.
    static constexpr std::int16_t kAutomaticReply = 13;

    // A ringing call is declined once its start lies strictly more than this far back.
    static constexpr std::uint32_t kRingTimeoutMs = 60000;

    static constexpr const char* kCannotCallYourself = "You cannot call yourself.";
    static constexpr const char* kBlockedFormat =
        "User \"%s\" is currently blocked. To remove this user from your block list, select "
        "\"Block List\" from the View menu.";
    static constexpr const char* kAwayFormat = "%s (%s) is currently away:\r\n\r\n";

    // Sound events.
    static constexpr const char* kOutgoingCallSound = "OutgoingCall";
    static constexpr const char* kPlaceOnHoldSound = "PlaceOnHold";
    static constexpr const char* kIncomingCallSound = "IncomingCall";
    static constexpr const char* kCallWaitingSound = "CallWaiting";
    static constexpr const char* kHoldReminderSound = "HoldReminder";
    static constexpr const char* kRemovedFromCallSound = "RemovedFromCall";

    // Subscribes to the engine events it handles; the destructor unsubscribes.
    CallManager(CSonaroManager& engine, const Options& options, SystemNotices& notices,
                Screen& screen, const TickClock& clock);
    ~CallManager();
    CallManager(const CallManager&) = delete;
    CallManager& operator=(const CallManager&) = delete;

    // Collaborators that may be absent (then what they would do is skipped).
    void SetActivePane(ActiveCallPane* pane) { activePane_ = pane; }
    void SetIncomingPane(IncomingCallPane* pane) { incomingPane_ = pane; }
    void SetEventLog(CallEventLog* log) { eventLog_ = log; }
    void SetChatLines(CallChatLines* chat) { chat_ = chat; }
    void SetSurroundings(CallSurroundings* surroundings) { surroundings_ = surroundings; }
    // Seconds since 1970 for the event log and the notices; the system's clock by default.
    void SetWallClock(std::function<std::uint32_t()> now) { wallClock_ = std::move(now); }
    // Stops voice-mail recording and playback whose windows are open, before a forum join.
    void SetVoiceMailStop(std::function<void()> stop) { stopVoiceMail_ = std::move(stop); }

    // ---- operations -------------------------------------------------------------------------

    // Every "Call" command. False when nothing new was placed (not connected, oneself, a
    // blocked user, or the call of a ringing caller answered instead).
    bool PlaceCall(const std::string& userId, const std::string& nickname);

    // The engine's Invitation: screens the call by presence and by the second slot, registers
    // it, queues its notice and draws the user's attention. time: seconds since 1970.
    void IncomingCallHandler(std::int32_t conferenceId, const std::string& userId,
                             const std::string& nickname, std::uint32_t time);

    struct Offer {
        bool registered = false;
        // The record now in the second slot (the new one, or the one that was there).
        CallRecord* record = nullptr;
    };
    Offer OfferIncoming(std::int32_t conferenceId, const std::string& userId,
                        const std::string& nickname);

    // Answers the ringing call or takes the held call off hold (holding a call in the active
    // slot, leaving a forum there).
    void PickUp();
    // Holds the active call, or switches when the second slot is taken.
    void HoldOrSwitch();
    // The Hang Up command: ends the active slot, else declines or ends the second slot.
    void HangUp();
    // Ends the active slot; with onlyWebTour it acts only on a web-tour forum.
    void EndActive(bool onlyWebTour);
    // Declines a ringing call with that reason and text, or leaves a held one.
    void EndSecond(std::int16_t reason, const std::string& text);
    // Drops the slot that holds that conference, without telling the engine.
    void ForgetConference(std::int32_t conferenceId);
    // The presence became Do Not Disturb (reason 1) or Occupied (4): a ringing call is
    // declined with the text; a held call stays.
    void DeclineRingingCall(std::int16_t reason, const std::string& text);
    // The ring timeout: true when a call rings and its start lies more than 60 s back.
    bool RingTimedOut() const;
    // Ends a ringing call with reason 3 once RingTimedOut; true when it did.
    bool CheckRingTimeout();

    // Puts a forum record into the empty active slot and tells the active-call pane (the forum
    // join of the forum list). False, and the record is dropped, when the slot is taken or the
    // record is not a forum.
    bool FillActiveForum(std::unique_ptr<CallRecord> forum);

    // ---- forums (CallManagerForums.cpp) -------------------------------------------------------

    // The notice shown when a forum with controlled microphones is joined.
    static constexpr const char* kControlledMicrophonesNotice =
        "This forum uses Controlled Microphones. Only Owners, Moderators, and those who have been "
        "handed a microphone may speak. To receive a microphone, you may request it via the Text "
        "Chat window, or by Instant Messaging a moderator. You can read more about forums at "
        "https://quorvane.net/help/forums.html";
    static constexpr const char* kGrantedSpeaking =
        "You have been granted speaking privileges in this forum.";
    static constexpr const char* kNoSpeaking =
        "You do not currently have speaking privileges in this forum.";

    // Joins a listed forum (engine flags 2). False when refused here (path too long, not
    // logged in); then a forum record is not made. True, and nothing more, when the active slot
    // already holds that path.
    bool JoinExistingForum(const std::string& path, const std::string& password,
                           std::int32_t firstOption, bool moderated, bool ignored, bool webTour,
                           bool controlledMicrophones, bool blockListBan);
    // Creates or joins (engine flags hidden 1 + secondFlag 2 + moderated 4 + controlled
    // microphones 8); otherwise as JoinExistingForum.
    bool CreateOrJoinForum(const std::string& path, const std::string& password, bool hidden,
                           bool moderated, bool secondFlag, bool webTour,
                           bool controlledMicrophones, bool blockListBan);
    // The active-call pane's participant count changed: forced push-to-talk follows (the pane
    // hears ForcedPushToTalkChanged, the user the system message while PushToTalk is off).
    void ParticipantCountChanged(int participants);
    bool ForcedPushToTalkOn() const { return forcedPushToTalk_; }
    // The moderation commands of the participant menu, on this manager's engine and notices.
    ForumModeration& Moderation();
    // The engine's canTalkEvent.
    void OnCanTalk(bool onOff);

    // ---- queries ----------------------------------------------------------------------------

    bool IsIdle() const;
    bool ActiveIsCall() const;
    bool ActiveIsForum() const;
    bool ActiveIsWebTourForum() const;
    bool ActiveHasControlledMicrophones() const;
    // The second slot holds a call that is not connected.
    bool IsRinging() const;
    // The second slot holds a connected call (on hold).
    bool IsHolding() const;
    // Either slot's forum name equals name.
    bool InForum(const std::string& name) const;
    std::string ActiveForumName() const;
    std::string ActiveForumPassword() const;
    std::int32_t ActiveForumFirstOption() const;
    std::int32_t ActiveForumOptionWord1() const;
    std::int32_t ActiveForumOptionWord2() const;
    std::string SecondUserId() const;
    std::string SecondNickname() const;
    // The records in the slots, or null.
    CallRecord* Active() { return active_.get(); }
    const CallRecord* Active() const { return active_.get(); }
    CallRecord* Second() { return second_.get(); }
    const CallRecord* Second() const { return second_.get(); }
    // Nickname -> the last decline reason reported for it (empty when none).
    const std::map<std::string, std::string>& DeclineReasons() const { return declineReasons_; }

    // The text of a decline the engine reported, chosen by the low 16 bits of msgNum.
    static std::string DeclineText(std::int32_t msgNum, const std::string& fromAlias,
                                   const std::string& fromId, const std::string& msgText);

    // ---- engine events (public so the notices can hand an invitation over) -----------------

    void OnJoinedConference(std::int32_t id, bool joined, bool deleted);
    void OnJoinedGroup(const std::string& groupName);
    void OnAcceptedConference(bool flag, const std::string& fromAlias, const std::string& fromId,
                              std::int16_t msgNum, const std::string& msgText);
    void OnUserChange(const std::string& name, const std::string& second, std::int16_t changeType,
                      bool existing);
    void OnInvitationCancel(std::int32_t id, const std::string& fromAlias,
                            const std::string& fromId, std::int16_t msgNum,
                            const std::string& msgText);
    void OnConnectionState(std::int32_t state);
    void OnServerMessage(std::int16_t type, std::int16_t msgNum, const std::string& msgText);
    void OnInvitation(std::int32_t id, const std::string& fromAlias, const std::string& fromId,
                      std::int16_t msgNum, const std::string& msgText);

  private:
    struct Impl;

    // Empties the active slot for a record that takes it right after (nothing is answered into
    // it).
    void EndActiveToFill();
    void SubscribeForums();
    void UnsubscribeForums();
    bool JoinForumSlot(const std::string& path, const std::string& password,
                       std::int32_t firstOption, std::int32_t flags, bool moderated, bool webTour,
                       bool controlledMicrophones, bool blockListBan);
    void ForumJoined(const std::string& groupName);
    // JoinedGroup("") while in a forum: the server ended it (kicked, banned, disbanded).
    void ForumEndedByServer();
    void SetForced(bool on);

    CSonaroManager& engine_;
    const Options& options_;
    SystemNotices& notices_;
    Screen& screen_;
    const TickClock& clock_;
    std::function<std::uint32_t()> wallClock_;

    // In the order of the slots and their panes.
    std::unique_ptr<CallRecord> active_;
    ActiveCallPane* activePane_ = nullptr;
    std::unique_ptr<CallRecord> second_;
    IncomingCallPane* incomingPane_ = nullptr;
    std::map<std::string, std::string> declineReasons_;

    CallEventLog* eventLog_ = nullptr;
    CallChatLines* chat_ = nullptr;
    CallSurroundings* surroundings_ = nullptr;

    std::function<void()> stopVoiceMail_;
    std::unique_ptr<ForumModeration> moderation_;
    // The controlled-microphone notice went out as a system message once in this run.
    bool controlledNoticeShown_ = false;
    bool forcedPushToTalk_ = false;
};

}  // namespace qv
