#pragma once

// The engine manager: the single owner of the voice engine. It keeps the connection state, turns
// the program's requests into engine calls (refusing them when the engine is not ready), fans the
// engine's events out to the windows and stores that subscribe, and plays the program's sound
// events. Everything runs on the user-interface thread; the engine's events wait in a queue until
// the main view's timer calls DrainEvents.
//
// Commands return false (0, -1 for PlayFile, 0.0 for GetPacketLoss) and do nothing when the
// engine is not alive; "connected" below means state 3 or 4.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/SonaroControl.h"
#include "engine/SonaroEventQueue.h"
#include "engine/SonaroInstaller.h"
#include "engine/SonaroSubscriptions.h"

namespace qv {

class EngineUi;
class IncomingMessageLog;
class IniFile;
class Options;
class Registry;
class Screen;
class SonaroFactory;
class SonaroInstance;
class SystemNotices;
class TickClock;
class WavePlayer;

class CSonaroManager : private SonaroEventSink {
  public:
    // Connection states; there is no state 1 (the notification carries it while disconnecting).
    static constexpr int kIdle = 0;
    static constexpr int kDisconnecting = 1;
    static constexpr int kConnecting = 2;
    static constexpr int kConnected = 3;
    static constexpr int kLoggedIn = 4;

    static constexpr std::size_t kMaxMessageText = 1023;
    static constexpr const char* kTraceFileName = "RTraceTS.log";

    // factory: where engines come from; null for the one registered on this machine.
    CSonaroManager(Registry& registry, Screen& screen, const Options& options,
                   const IniFile& machineSettings, const IniFile& soundSettings,
                   const TickClock& clock, std::string programFolder, std::string systemFolder,
                   std::unique_ptr<SonaroFactory> factory = nullptr);
    ~CSonaroManager() override;
    CSonaroManager(const CSonaroManager&) = delete;
    CSonaroManager& operator=(const CSonaroManager&) = delete;

    // Collaborators that may be absent (then what they would do is skipped).
    void SetSystemNotices(SystemNotices* notices) { notices_ = notices; }
    void SetUi(EngineUi* ui) { ui_ = ui; }
    void SetEventLog(IncomingMessageLog* log) { eventLog_ = log; }
    // Our own player for sounds while no engine is alive; the default plays through ALSA.
    void SetWavePlayer(std::unique_ptr<WavePlayer> player);
    // The active-call pane's push-to-talk switch (push-to-talk is also in effect when it is on).
    void SetPushToTalkSwitch(std::function<bool()> isOn) { pushToTalkSwitch_ = std::move(isOn); }
    // How the standby retry waits (tests do not really wait).
    void SetWait(std::function<void(std::uint32_t ms)> wait) { wait_ = std::move(wait); }

    // The main view's timer: delivers the engine events queued so far. Returns how many. Nothing
    // is delivered from inside a delivery or a disconnect (a window's event loop running there):
    // the events keep their order and the subscribers see the states in theirs.
    std::size_t DrainEvents();
    std::size_t PendingEvents() const { return events_.Pending(); }

    // Subscriptions, one context per callback and event.
    template <typename Event>
    void Subscribe(typename Event::Registry::Callback callback, void* context) {
        std::get<Event::kIndex>(subscribers_).Subscribe(callback, context);
    }
    template <typename Event>
    void Unsubscribe(typename Event::Registry::Callback callback, void* context) {
        std::get<Event::kIndex>(subscribers_).Unsubscribe(callback, context);
    }
    template <typename Event>
    const typename Event::Registry& Subscribers() const {
        return std::get<Event::kIndex>(subscribers_);
    }

    // Connection
    bool Connect(const std::string& server, int port, const std::string& nickname,
                 const std::string& userId);
    // False when there was nothing to disconnect.
    bool Disconnect(bool notify);
    // The voice ticket of the user's latest directory login, which the voice server checks
    // before it registers the user; handed to the engine now when one is alive and at every
    // Connect. Engines that need none ignore it.
    void SetVoiceTicket(const std::string& ticket);
    const std::string& VoiceTicket() const { return ticket_; }
    // The file of certificate authorities the engine trusts for the voice server besides the
    // system's store (from the server settings); handed to the engine at every Connect.
    void SetVoiceAuthorities(const std::string& caFile) { voiceAuthorities_ = caFile; }
    // Disconnects and unloads the engine (at exit and before its file is replaced).
    void DestroyControl();

    // Installation of the engine component.
    bool GetRegisteredControlPath(std::string& path) const;
    bool IsControlCurrent();
    bool InstallControl();

    // Forums, audio and the microphone
    bool JoinForum(const std::string& name, const std::string& password, std::int32_t flags);
    bool SetStandby(bool standby);
    bool StartAudio();
    bool SetTalk(bool mute);
    bool SetPushToTalk(bool on);
    bool SetSquelch(std::int32_t value);
    bool SetTalkDirect(bool on);
    bool SetCodec(std::int16_t value);
    bool SetBehindFirewall(std::int32_t value);
    bool SetLocalEcho(std::int32_t value);
    bool ClearModeFlags();
    bool IsInGroupOrConference() const;
    // Whether a forum or conference was in progress when an engine failure ended the session:
    // the failure clears both before the subscribers hear of it. False again at Connect.
    bool EndedInGroupOrConference() const { return endedInGroupOrConference_; }

    // Presence, watch list and block list
    bool SetStatus(std::int16_t mode);
    bool SetWatchList(const std::string& list);
    bool AddWatch(const std::string& id);
    bool RemoveWatch(const std::string& id);
    bool SetBlockList(const std::string& list);
    bool AddBlock(const std::string& id);
    bool RemoveBlock(const std::string& id);

    // Calls
    bool InviteUser(const std::string& alias, std::int16_t kind, const std::string& text);
    bool AcceptConference(std::int32_t id);
    bool DeclineConference(std::int32_t id, std::int16_t reason, const std::string& text);
    bool LeaveConference(std::int32_t id, std::int16_t reason, const std::string& text);
    bool HoldConference(std::int32_t id, std::int16_t reason, const std::string& text);
    bool CancelInvitations(const std::string& aliases, std::int16_t reason,
                           const std::string& text);

    // User messages; secondId is not passed on.
    bool SendUserMessage(const std::string& alias, const std::string& secondId, std::int16_t number,
                         std::int16_t parameter, const std::string& text);
    bool SendTextChatMessage(const std::string& text);
    bool SendWhisper(const std::string& alias, const std::string& text);
    bool SendTextChatCommand(const std::string& text);

    // Forum moderation
    bool MuteMember(const std::string& alias, bool mute);
    bool BanMember(const std::string& alias, std::int16_t op);
    bool SetMemberMicrophone(const std::string& alias, std::int16_t op);
    bool SetMemberRole(const std::string& alias, std::int16_t owner, std::int16_t op);
    bool DisbandGroup();
    bool RenameGroup(const std::string& newName);

    // Voice mail and sounds
    bool RecordWave(const std::string& path, std::int16_t on);
    std::int16_t PlayFile(const std::string& path, std::int32_t volume);
    bool StopFile(std::int16_t handle);
    bool PauseFile(std::int16_t handle, bool pause);
    std::int16_t PlayWave(const std::string& path, std::int32_t volume);
    void PlaySoundEvent(const std::string& name);

    // Pass-through reads
    std::string GetUserList();
    std::int32_t GetPing();
    float GetPacketLoss();
    bool IsCurrentVersion();
    std::int32_t RequiredVersions();
    std::int32_t StatusCode();

    // What the manager holds
    bool IsAlive() const { return instance_ != nullptr; }
    int State() const { return state_; }
    const std::string& NickName() const { return nickname_; }
    const std::string& UserId() const { return userId_; }
    const std::string& WatchList() const { return watchList_; }
    const std::string& BlockList() const { return blockList_; }
    const std::string& CurrentGroup() const { return currentGroup_; }
    std::int32_t ConferenceId() const { return conferenceId_; }
    bool InStandby() const { return standby_; }
    bool AudioStarted() const { return audioStarted_; }
    std::uint32_t LeaveTime() const { return leaveTime_; }
    int PendingWatchReplies() const { return pendingWatchReplies_; }
    std::int16_t PresenceMode() const { return presenceMode_; }
    // The texts of the last list updates, as handed to the subscribers.
    const std::string& UserListText() const { return userListText_; }
    const std::string& GroupListText() const { return groupListText_; }
    // The engine, while alive (for its extensions); null otherwise.
    SonaroInstance* Instance() { return instance_.get(); }
    std::string TraceFilePath() const { return programFolder_ + kTraceFileName; }

  private:
    // Engine events, delivered by DrainEvents.
    void userListUpdate() override;
    void userTalking(const std::string& name, const std::string& second, Bool32 startStop) override;
    void canTalkEvent(Bool32 onOff) override;
    void mikeActive(std::int16_t state) override;
    void serverMessage(std::int16_t type, std::int16_t msgNum, const std::string& msgText) override;
    void UserMessage(const std::string& alias, const std::string& uid, std::int16_t msgNum,
                     std::int16_t msgParam, const std::string& msgText) override;
    void groupListUpdate() override;
    void connectionEvent(std::int16_t state, const std::string& msg) override;
    void JoinedGroup(const std::string& groupName) override;
    void Found(const std::string& alias, Bool32 online, const std::string& group) override;
    void Watch(const std::string& name, std::int16_t status) override;
    void UserChange(const std::string& name, const std::string& second, std::int16_t changeType,
                    Bool32 existing) override;
    void JoinedConference(std::int32_t id, Bool32 joined, Bool32 deleted) override;
    void Invitation(std::int32_t id, const std::string& fromAlias, const std::string& fromId,
                    std::int16_t msgNum, const std::string& msgText) override;
    void AcceptedConference(Bool32 flag, const std::string& fromAlias, const std::string& fromId,
                            std::int16_t msgNum, const std::string& msgText) override;
    void ConferenceMessage(const std::string& fromAlias, const std::string& fromId,
                           std::int16_t msgNum, const std::string& msgText) override;
    void InvitationCancel(std::int32_t id, const std::string& fromAlias, const std::string& fromId,
                          std::int16_t msgNum, const std::string& msgText) override;
    void Registered(const std::string& name) override;
    void FirewallNotify(std::int32_t code) override;

    SonaroControl* Alive();
    void PassVoiceTicket();
    SonaroControl* Connected();
    bool PushToTalkInEffect() const;
    void TalkAfterJoin();
    void NotifyState(std::int32_t state);
    void AudioAlert(std::int32_t result);
    void Alert(const std::string& text);
    void AppendTrace(const std::string& message);
    std::string ProgramPath(const std::string& path) const;
    bool ReplaceList(std::string& list, const std::string& text, bool block);
    bool ChangeList(std::string& list, const std::string& id, bool add, bool block);
    bool MemberOperation(const std::string& alias,
                         const std::function<Bool32(SonaroControl&, const std::string&)>& call);

    Registry& registry_;
    Screen& screen_;
    const Options& options_;
    const IniFile& soundSettings_;
    const TickClock& clock_;
    std::string programFolder_;
    std::unique_ptr<SonaroFactory> factory_;
    SonaroInstaller installer_;
    SystemNotices* notices_ = nullptr;
    EngineUi* ui_ = nullptr;
    IncomingMessageLog* eventLog_ = nullptr;
    std::unique_ptr<WavePlayer> wavePlayer_;
    std::function<bool()> pushToTalkSwitch_;
    std::function<void(std::uint32_t)> wait_;

    // The queue outlives the engine, which raises into it until it is destroyed.
    SonaroEventQueue events_;
    std::unique_ptr<SonaroInstance> instance_;
    std::string nickname_;
    std::string userId_;
    std::string ticket_;
    std::string voiceAuthorities_;
    std::string watchList_;
    std::string blockList_;
    std::string currentGroup_;
    std::int32_t conferenceId_ = 0;
    bool endedInGroupOrConference_ = false;
    int state_ = kIdle;
    bool standby_ = true;
    bool audioStarted_ = false;
    std::uint32_t leaveTime_ = 0;
    int pendingWatchReplies_ = 0;
    std::int16_t presenceMode_ = 0;
    std::string userListText_;
    std::string groupListText_;
    bool traceStarted_ = false;
    bool busy_ = false;

    engine_event::Registries subscribers_;
};

}  // namespace qv
