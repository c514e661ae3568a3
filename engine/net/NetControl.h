#pragma once

// The networked engine instance: keeps the properties across connections and runs one session
// with the voice server at a time. Events are raised from the session's thread only, each
// checked against the session generation, which Connect and Disconnect move on: once Disconnect
// has returned, nothing of the old session reaches the sink. The instance owns the audio engine
// (made on first use, kept across connections); the live session carries its frames.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AudioBridge.h"
#include "AudioEngine.h"
#include "MediaTimeline.h"
#include "NetSession.h"
#include "SessionHost.h"
#include "SonaroNetTuning.h"
#include "engine/SonaroControl.h"
#include "engine/SonaroCredentials.h"
#include "engine/SonaroTransport.h"
#include "platform/WavePlayer.h"

namespace qv::net {

class NetControl final : public SonaroControl,
                         public SonaroCredentials,
                         public SonaroTransport,
                         public SonaroNetTuning,
                         private SessionHost {
  public:
    NetControl(SonaroEventSink& sink, std::uint32_t build);
    ~NetControl() override;
    NetControl(const NetControl&) = delete;
    NetControl& operator=(const NetControl&) = delete;

    // SonaroCredentials
    void SetVoiceTicket(const std::string& ticket) override;
    // SonaroTransport
    void SetTrustedAuthorities(const std::string& caFile) override;
    // SonaroNetTuning
    void SetWelcomeTimeout(std::int32_t milliseconds) override;
    void SetSilenceTimeout(std::int32_t milliseconds) override;
    bool SetAudioDevice(const std::string& text) override;
    void SetMediaBindTimeout(std::int32_t milliseconds) override;
    void SetMediaRelay(const std::string& host, std::uint16_t port) override;
    std::string MediaTimings() override { return timeline_.Text(); }
    std::int64_t AudioDeviceEpochNs() override;

    // SonaroControl
    void* QueryExtension(const char* name) override;
    void SetSampleRate(std::int32_t value) override;
    void SetUserName(const std::string& value) override;
    void SetCodec(std::int16_t value) override;
    void SetSquelch(std::int32_t value) override;
    void SetModeFlags(std::int32_t value) override;
    std::int32_t StatusCode() override { return 0; }
    void SetUserId(const std::string& value) override;
    std::int32_t RequiredVersions() override;
    void SetMuteVolume(std::int32_t value) override;
    Bool32 Connect(const std::string& server, std::int16_t port) override;
    Bool32 Disconnect() override;
    std::int16_t PlayWave(const std::string& path, std::int32_t volume) override;
    Bool32 Talk(Bool32 on) override;
    std::string GetUserList() override;
    std::string GetGroupList() override;
    Bool32 SendUserMessage(const std::string& alias, std::int16_t number, std::int16_t parameter,
                           const std::string& text) override;
    std::int32_t StartAudio() override;
    Bool32 StopAudio() override;
    Bool32 JoinGroup(const std::string& path, const std::string& password,
                     std::int32_t flags) override;
    Bool32 SetStandby(Bool32 standby) override;
    Bool32 IsCurrentVersion() override;
    std::int32_t SetParameter(std::int16_t kind, std::int32_t value) override;
    Bool32 InviteUser(const std::string& alias, std::int16_t kind,
                      const std::string& text) override;
    Bool32 AcceptConference(std::int32_t id) override;
    Bool32 DeclineConference(std::int32_t id, std::int16_t reason,
                             const std::string& text) override;
    Bool32 LeaveConference(std::int32_t id, std::int16_t reason, const std::string& text) override;
    Bool32 HoldConference(std::int32_t id, std::int16_t reason, const std::string& text) override;
    Bool32 SetBlockList(const std::string& list, std::int16_t op) override;
    Bool32 CancelInvitations(const std::string& aliases, std::int16_t reason,
                             const std::string& text) override;
    Bool32 SetWatchList(const std::string& list, std::int16_t op) override;
    std::int32_t GetPing() override;
    float GetPacketLoss() override;
    Bool32 MuteMember(const std::string& ids, Bool32 mute) override;
    Bool32 SetStatus(std::int16_t mode) override;
    Bool32 BanMember(const std::string& ids, std::int16_t op) override;
    Bool32 SetMemberMicrophone(const std::string& ids, std::int16_t op) override;
    Bool32 SetMemberRole(const std::string& ids, std::int16_t owner, std::int16_t op) override;
    Bool32 RecordWave(const std::string& path, std::int16_t on) override;
    std::int16_t PlayFile(const std::string& path, std::int32_t volume) override;
    Bool32 StopFile(std::int16_t handle) override;
    Bool32 PauseFile(std::int16_t handle, Bool32 pause) override;
    Bool32 DisbandGroup() override;
    Bool32 RenameGroup(const std::string& path) override;

  private:
    // SessionHost
    void RaiseEvent(std::uint64_t generation, const Raise& raise) override;
    void Welcomed(std::uint64_t generation, const voice::Welcome& welcome) override;
    void VoiceArrived(std::uint64_t generation, audio::ReceivedFrame frame) override;
    void ConversationChanged(std::uint64_t generation, const ConversationState& state) override;

    // The audio engine, made with the chosen device and the current settings when there is
    // none; call with audioMutex_ held.
    audio::AudioEngine& Audio();
    // Moves the session generation on (mutex_ held).
    void NextGeneration();
    // The live session, or null; call with mutex_ held.
    NetSession* Live();
    // The live session when its version has conferences; call with mutex_ held.
    NetSession* Conferencing();
    // The live session when its version has forums; call with mutex_ held.
    NetSession* Foruming();
    // Sends a member operation for each piece of an id list (each ended by a line feed);
    // encode makes one piece's frame.
    Bool32 MemberRequest(const std::string& ids,
                         const std::function<std::string(std::string)>& encode);
    // Talk as the audio engine gets it: nothing while the forum takes the right to speak away.
    bool Transmit() const { return talk_ && mayTalk_; }
    // Hands a request frame to the live session; false when there is none.
    bool Request(std::string frame);
    Bool32 RequestList(ListKind kind, const std::string& list, std::int16_t op);
    // Stops a session taken out of session_, and joins what can be joined.
    void Retire(std::unique_ptr<NetSession> session);

    SonaroEventSink& sink_;
    const std::uint32_t build_;

    std::mutex mutex_;
    std::uint64_t generation_ = 0;
    std::int32_t sampleRate_ = 0;
    std::string userName_;
    std::int16_t codec_ = 0;
    std::int32_t squelch_ = 0;
    std::uint32_t joinRequest_ = 0;
    std::int32_t modeFlags_ = 0;
    std::string userId_;
    std::int32_t muteVolume_ = 0;
    std::string ticket_;
    std::string caFile_;
    std::map<std::int16_t, std::int32_t> parameters_;
    std::uint32_t requiredControlBuild_ = 0;
    std::int32_t requiredVersions_ = 0;
    std::int32_t welcomeTimeoutMs_ = 10000;
    std::int32_t silenceTimeoutMs_ = 20000;
    std::unique_ptr<NetSession> session_;
    // Sessions stopped from their own thread, joined later from another one.
    std::vector<std::unique_ptr<NetSession>> stopped_;

    std::int32_t mediaBindTimeoutMs_ = 2000;
    std::string mediaRelayHost_;
    std::uint16_t mediaRelayPort_ = 0;
    // generation_, readable without the lock by the voice path.
    std::atomic<std::uint64_t> liveGeneration_{0};

    MediaTimeline timeline_;
    // First, so it outlives the audio engine whose events it takes.
    AudioBridge bridge_;
    // Held while the audio engine is made, changed or used; never while raising events.
    std::mutex audioMutex_;
    std::optional<audio::AudioDeviceChoice> device_;
    std::unique_ptr<audio::AudioEngine> audio_;
    bool talk_ = false;
    bool conversation_ = false;
    bool mayTalk_ = true;
    int frameMs_ = 10;
    std::string recording_;  // the file being recorded, empty when none

    std::mutex soundMutex_;
    std::unique_ptr<WavePlayer> player_;
};

}  // namespace qv::net
