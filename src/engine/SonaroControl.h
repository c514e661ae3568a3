#pragma once

// The voice engine's contract: the properties, methods and events through which the client drives
// the engine, with their dispatch ids. Text is bytes in the system code page; a truth value is a
// 32-bit integer (0 false, anything else true), as the engine's callers have always passed it.
//
// Events never come back from inside a method call: an engine hands them to its sink, which the
// host queues and delivers later on its user-interface thread. So every method may be called from
// inside any event handler.

#include <cstdint>
#include <string>

namespace qv {

using Bool32 = std::int32_t;

// Dispatch ids of the properties and methods.
namespace sonaro_id {
// Properties (written unless marked read)
inline constexpr int kSampleRate = 1;
inline constexpr int kUserName = 2;
inline constexpr int kCodec = 4;
inline constexpr int kSquelch = 5;
inline constexpr int kModeFlags = 6;
inline constexpr int kStatusCode = 10;  // read
inline constexpr int kUserId = 11;
inline constexpr int kRequiredVersions = 12;  // read
inline constexpr int kMuteVolume = 13;
// Methods
inline constexpr int kConnect = 16;
inline constexpr int kDisconnect = 17;
inline constexpr int kPlayWave = 18;
inline constexpr int kTalk = 19;
inline constexpr int kGetUserList = 20;
inline constexpr int kGetGroupList = 24;
inline constexpr int kSendUserMessage = 25;
inline constexpr int kStartAudio = 26;
inline constexpr int kStopAudio = 27;
inline constexpr int kJoinGroup = 28;
inline constexpr int kSetStandby = 30;
inline constexpr int kIsCurrentVersion = 31;
inline constexpr int kSetParameter = 33;
inline constexpr int kInviteUser = 34;
inline constexpr int kAcceptConference = 35;
inline constexpr int kDeclineConference = 36;
inline constexpr int kLeaveConference = 37;
inline constexpr int kHoldConference = 38;
inline constexpr int kSetBlockList = 39;
inline constexpr int kCancelInvitations = 40;
inline constexpr int kSetWatchList = 41;
inline constexpr int kGetPing = 42;
inline constexpr int kGetPacketLoss = 43;
inline constexpr int kMuteMember = 44;
inline constexpr int kSetStatus = 45;
inline constexpr int kBanMember = 46;
inline constexpr int kSetMemberMicrophone = 47;
inline constexpr int kSetMemberRole = 48;
inline constexpr int kRecordWave = 49;
inline constexpr int kPlayFile = 50;
inline constexpr int kStopFile = 51;
inline constexpr int kPauseFile = 52;
inline constexpr int kDisbandGroup = 54;
inline constexpr int kRenameGroup = 55;
}  // namespace sonaro_id

// Dispatch ids of the events; all come from control id 1002.
namespace sonaro_event_id {
inline constexpr int kControlId = 1002;
inline constexpr int kUserListUpdate = 1;
inline constexpr int kUserTalking = 2;
inline constexpr int kCanTalkEvent = 3;
inline constexpr int kMikeActive = 4;
inline constexpr int kServerMessage = 5;
inline constexpr int kUserMessage = 6;
inline constexpr int kGroupListUpdate = 7;
inline constexpr int kConnectionEvent = 8;
inline constexpr int kJoinedGroup = 9;
inline constexpr int kFound = 10;
inline constexpr int kWatch = 11;
inline constexpr int kUserChange = 12;
inline constexpr int kJoinedConference = 13;
inline constexpr int kInvitation = 14;
inline constexpr int kAcceptedConference = 15;
inline constexpr int kConferenceMessage = 16;
inline constexpr int kInvitationCancel = 17;
inline constexpr int kRegistered = 18;
inline constexpr int kFirewallNotify = 19;
}  // namespace sonaro_event_id

// PlayWave's path that stops every sound (the contract's null path).
inline constexpr const char* kStopAllSounds = "";

// SetParameter kinds.
namespace sonaro_parameter {
inline constexpr std::int16_t kLocalEcho = 0;
inline constexpr std::int16_t kBehindFirewall = 1;
inline constexpr std::int16_t kConnectionSpeed = 2;
}  // namespace sonaro_parameter

// SetWatchList / SetBlockList operations.
namespace sonaro_list_op {
inline constexpr std::int16_t kReplace = 0;
inline constexpr std::int16_t kAdd = 1;
inline constexpr std::int16_t kRemove = 2;
}  // namespace sonaro_list_op

// Where an engine sends its events. An engine may call it from any of its threads; the host's
// implementation queues them for its user-interface thread.
class SonaroEventSink {
  public:
    virtual ~SonaroEventSink() = default;

    virtual void userListUpdate() = 0;  // 1
    virtual void userTalking(const std::string& name, const std::string& second,
                             Bool32 startStop) = 0;   // 2
    virtual void canTalkEvent(Bool32 onOff) = 0;      // 3
    virtual void mikeActive(std::int16_t state) = 0;  // 4
    virtual void serverMessage(std::int16_t type, std::int16_t msgNum,
                               const std::string& msgText) = 0;  // 5
    virtual void UserMessage(const std::string& alias, const std::string& uid, std::int16_t msgNum,
                             std::int16_t msgParam,
                             const std::string& msgText) = 0;                      // 6
    virtual void groupListUpdate() = 0;                                            // 7
    virtual void connectionEvent(std::int16_t state, const std::string& msg) = 0;  // 8
    virtual void JoinedGroup(const std::string& groupName) = 0;                    // 9
    virtual void Found(const std::string& alias, Bool32 online,
                       const std::string& group) = 0;                      // 10
    virtual void Watch(const std::string& name, std::int16_t status) = 0;  // 11
    virtual void UserChange(const std::string& name, const std::string& second,
                            std::int16_t changeType, Bool32 existing) = 0;              // 12
    virtual void JoinedConference(std::int32_t id, Bool32 joined, Bool32 deleted) = 0;  // 13
    virtual void Invitation(std::int32_t id, const std::string& fromAlias,
                            const std::string& fromId, std::int16_t msgNum,
                            const std::string& msgText) = 0;  // 14
    virtual void AcceptedConference(Bool32 flag, const std::string& fromAlias,
                                    const std::string& fromId, std::int16_t msgNum,
                                    const std::string& msgText) = 0;  // 15
    virtual void ConferenceMessage(const std::string& fromAlias, const std::string& fromId,
                                   std::int16_t msgNum, const std::string& msgText) = 0;  // 16
    virtual void InvitationCancel(std::int32_t id, const std::string& fromAlias,
                                  const std::string& fromId, std::int16_t msgNum,
                                  const std::string& msgText) = 0;  // 17
    virtual void Registered(const std::string& name) = 0;           // 18
    virtual void FirewallNotify(std::int32_t code) = 0;             // 19
};

// One engine instance.
class SonaroControl {
  public:
    virtual ~SonaroControl() = default;

    // Properties
    virtual void SetSampleRate(std::int32_t value) = 0;      // 1
    virtual void SetUserName(const std::string& value) = 0;  // 2
    virtual void SetCodec(std::int16_t value) = 0;           // 4
    virtual void SetSquelch(std::int32_t value) = 0;         // 5
    virtual void SetModeFlags(std::int32_t value) = 0;       // 6
    virtual std::int32_t StatusCode() = 0;                   // 10
    virtual void SetUserId(const std::string& value) = 0;    // 11
    virtual std::int32_t RequiredVersions() = 0;             // 12
    virtual void SetMuteVolume(std::int32_t value) = 0;      // 13

    // Methods
    virtual Bool32 Connect(const std::string& server, std::int16_t port) = 0;  // 16
    virtual Bool32 Disconnect() = 0;                                           // 17
    // kStopAllSounds with volume 0 stops every sound.
    virtual std::int16_t PlayWave(const std::string& path, std::int32_t volume) = 0;  // 18
    virtual Bool32 Talk(Bool32 on) = 0;                                               // 19
    virtual std::string GetUserList() = 0;                                            // 20
    virtual std::string GetGroupList() = 0;                                           // 24
    virtual Bool32 SendUserMessage(const std::string& alias, std::int16_t number,
                                   std::int16_t parameter, const std::string& text) = 0;  // 25
    virtual std::int32_t StartAudio() = 0;                                                // 26
    virtual Bool32 StopAudio() = 0;                                                       // 27
    virtual Bool32 JoinGroup(const std::string& name, const std::string& password,
                             std::int32_t flags) = 0;                              // 28
    virtual Bool32 SetStandby(Bool32 standby) = 0;                                 // 30
    virtual Bool32 IsCurrentVersion() = 0;                                         // 31
    virtual std::int32_t SetParameter(std::int16_t kind, std::int32_t value) = 0;  // 33
    virtual Bool32 InviteUser(const std::string& alias, std::int16_t kind,
                              const std::string& text) = 0;  // 34
    virtual Bool32 AcceptConference(std::int32_t id) = 0;    // 35
    virtual Bool32 DeclineConference(std::int32_t id, std::int16_t reason,
                                     const std::string& text) = 0;  // 36
    virtual Bool32 LeaveConference(std::int32_t id, std::int16_t reason,
                                   const std::string& text) = 0;  // 37
    virtual Bool32 HoldConference(std::int32_t id, std::int16_t reason,
                                  const std::string& text) = 0;                 // 38
    virtual Bool32 SetBlockList(const std::string& list, std::int16_t op) = 0;  // 39
    virtual Bool32 CancelInvitations(const std::string& aliases, std::int16_t reason,
                                     const std::string& text) = 0;                      // 40
    virtual Bool32 SetWatchList(const std::string& list, std::int16_t op) = 0;          // 41
    virtual std::int32_t GetPing() = 0;                                                 // 42
    virtual float GetPacketLoss() = 0;                                                  // 43
    virtual Bool32 MuteMember(const std::string& alias, Bool32 mute) = 0;               // 44
    virtual Bool32 SetStatus(std::int16_t mode) = 0;                                    // 45
    virtual Bool32 BanMember(const std::string& alias, std::int16_t op) = 0;            // 46
    virtual Bool32 SetMemberMicrophone(const std::string& alias, std::int16_t op) = 0;  // 47
    virtual Bool32 SetMemberRole(const std::string& alias, std::int16_t owner,
                                 std::int16_t op) = 0;                                // 48
    virtual Bool32 RecordWave(const std::string& path, std::int16_t on) = 0;          // 49
    virtual std::int16_t PlayFile(const std::string& path, std::int32_t volume) = 0;  // 50
    virtual Bool32 StopFile(std::int16_t handle) = 0;                                 // 51
    virtual Bool32 PauseFile(std::int16_t handle, Bool32 pause) = 0;                  // 52
    virtual Bool32 DisbandGroup() = 0;                                                // 54
    virtual Bool32 RenameGroup(const std::string& newName) = 0;                       // 55

    // Further interfaces an engine offers beyond the contract (a test engine's script and
    // recording), looked up by name; null when the engine has none by that name.
    virtual void* QueryExtension(const char* name) {
        (void)name;
        return nullptr;
    }
};

}  // namespace qv
