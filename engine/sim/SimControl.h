#pragma once

// The simulated engine instance: records, answers from its script, and in automatic mode plays
// a voice server on which the user is alone (see SonaroSimulation.h).

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "SimWorker.h"
#include "SonaroSimulation.h"
#include "engine/SonaroControl.h"

namespace qv::sim {

class SimControl final : public SonaroControl, public SonaroSimulation {
  public:
    SimControl(SonaroEventSink& sink, std::uint32_t build, std::int32_t requiredVersions);
    ~SimControl() override;

    // SonaroSimulation
    void SetMode(Mode mode) override;
    Mode GetMode() const override;
    std::vector<std::string> Calls() const override;
    void ClearCalls() override;
    void ScriptResults(int dispatchId, std::vector<Value> results) override;
    void SetDefaultResult(int dispatchId, Value result) override;
    SonaroEventSink& Raise() override { return sink_; }
    void WaitIdle() override { worker_.WaitIdle(); }
    std::uint32_t Build() const override { return build_; }
    void ScriptCallee(const std::string& userId, const SimCallee& callee) override;
    std::int32_t RingIn(const std::string& userId, const std::string& nickname) override;
    bool RemoteAnswer(const std::string& userId) override;
    bool RemoteDecline(const std::string& userId, std::int16_t reason,
                       const std::string& text) override;
    bool RemoteHold(const std::string& userId, bool hold) override;
    bool RemoteLeave(const std::string& userId) override;

    // SonaroControl
    void* QueryExtension(const char* name) override;
    void SetSampleRate(std::int32_t value) override;
    void SetUserName(const std::string& value) override;
    void SetCodec(std::int16_t value) override;
    void SetSquelch(std::int32_t value) override;
    void SetModeFlags(std::int32_t value) override;
    std::int32_t StatusCode() override;
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
    Bool32 JoinGroup(const std::string& name, const std::string& password,
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
    Bool32 MuteMember(const std::string& alias, Bool32 mute) override;
    Bool32 SetStatus(std::int16_t mode) override;
    Bool32 BanMember(const std::string& alias, std::int16_t op) override;
    Bool32 SetMemberMicrophone(const std::string& alias, std::int16_t op) override;
    Bool32 SetMemberRole(const std::string& alias, std::int16_t owner, std::int16_t op) override;
    Bool32 RecordWave(const std::string& path, std::int16_t on) override;
    std::int16_t PlayFile(const std::string& path, std::int32_t volume) override;
    Bool32 StopFile(std::int16_t handle) override;
    Bool32 PauseFile(std::int16_t handle, Bool32 pause) override;
    Bool32 DisbandGroup() override;
    Bool32 RenameGroup(const std::string& newName) override;

  private:
    struct Forum {
        std::string letters;
        bool hidden = false;
        bool owned = false;  // made by this user
    };

    // Another user in one of our conferences.
    struct Member {
        std::string id;
        std::string nickname;
        bool invited = false;  // rings and has not answered
        bool held = false;     // has us on hold
    };
    enum class Standing { Ringing, Active, Held };
    struct Conference {
        Standing standing = Standing::Active;
        std::vector<Member> members;
        bool ownRowFirst = true;  // our call; an incoming one lists the caller first
    };

    void Record(std::string entry);
    // The scripted result if one is queued, else automatic (in automatic mode) or the default.
    std::int32_t IntResult(int id, std::int32_t automatic);
    std::string TextResult(int id, const std::string& automatic);
    std::int32_t RecordingDefault(int id) const;
    bool Automatic() const { return mode_ == Mode::Automatic; }
    // Runs work on the simulated network for the current session.
    void Reply(std::function<void()> work);
    std::int16_t OwnStatus() const;
    bool Watched(const std::string& id) const;
    std::string OwnRow() const;
    std::string ConferenceRows(const Conference& conference) const;
    // The conference that has that user as a member, with the member; null when none.
    Conference* FindMember(const std::string& userId, std::int32_t& conference,
                           std::vector<Member>::iterator& member);

    SonaroEventSink& sink_;
    const std::uint32_t build_;
    const std::int32_t requiredVersions_;

    mutable std::mutex mutex_;
    Mode mode_ = Mode::Automatic;
    std::vector<std::string> calls_;
    std::map<int, std::deque<Value>> script_;
    std::map<int, Value> defaults_;

    // The simulated session
    std::uint64_t session_ = 0;
    bool connected_ = false;
    bool registered_ = false;
    std::string userId_;
    std::string userName_;
    std::vector<std::string> watchList_;
    std::int16_t status_ = 0;
    std::int32_t localEcho_ = 0;
    std::string group_;
    std::map<std::string, Forum> forums_;
    std::int32_t conference_ = 0;  // the active one
    std::map<std::int32_t, Conference> conferences_;
    std::map<std::string, SimCallee> callees_;
    std::int32_t nextConference_ = 1000;
    std::int16_t nextPlayHandle_ = 1;
    std::set<std::int16_t> playHandles_;
    std::string recordPath_;
    std::chrono::steady_clock::time_point recordStart_;

    // Last, so it stops before anything it could touch goes.
    SimWorker worker_;
};

}  // namespace qv::sim
