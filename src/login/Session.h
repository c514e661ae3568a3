#pragma once

// The main view's session: logs the user in to the directory service, connects the engine,
// reacts to its connection events, reconnects after a lost connection, keeps the presence mode,
// lets the user choose the voice server, and runs command files once the session is up.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandFile.h"
#include "login/SessionUi.h"

namespace qv {

class CSonaroManager;
class Customization;
class DialUp;
class DirectoryClient;
class IniFile;
class Options;
class ProgramFolders;
class RegistryKey;
class Screen;
class SessionSubsystems;
class SystemNotices;
class TickClock;
class TimerScheduler;
class UiQueue;
struct UserProfile;

struct SessionServices {
    CSonaroManager& manager;
    DirectoryClient* directory;  // null: every directory step fails as "not connected"
    RegistryKey& loginKey;
    IniFile& machineSettings;
    IniFile& userSettings;
    IniFile& serverSettings;
    Options& options;
    Customization& customization;
    TimerScheduler& scheduler;
    UiQueue& uiQueue;
    ProgramFolders& folders;
    PendingCommands& pending;
    SystemNotices& notices;
    DialUp& dialUp;
    SessionUi& ui;
    Screen& screen;
    SessionSubsystems& subsystems;
    const TickClock& clock;
    std::string systemUserName;  // who is logged in to this computer
    std::string programFile;     // the running program, whose build the voice server checks
};

class Session {
  public:
    // Presence modes (the value sent with SetStatus).
    static constexpr std::int16_t kNormal = 0;
    static constexpr std::int16_t kAway = 2;
    static constexpr std::int16_t kDoNotDisturb = 4;
    static constexpr std::int16_t kOccupied = 8;
    static constexpr std::int16_t kAvailableForChat = 16;
    static constexpr std::int16_t kInvisible = 32;

    // Update flags of the version check.
    static constexpr std::uint32_t kUpdateEngine = 1;
    static constexpr std::uint32_t kUpdatePatcher = 2;
    static constexpr std::uint32_t kUpdateProgram = 4;

    static constexpr int kPollTries = 10;
    static constexpr int kEngineRetries = 10;
    static constexpr std::uint32_t kReconnectStartMs = 5000;
    static constexpr std::uint32_t kFastPollMs = 1000;
    static constexpr std::uint32_t kSlowPollMs = 30000;
    static constexpr std::uint32_t kStandbyCheckMs = 5000;

    explicit Session(SessionServices services);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Subscribes to the engine manager and starts the standby check (the view's creation).
    void Start();

    // Commands of the File and Status menus.
    void Connect(bool newUser);
    void DisconnectCommand();
    void LogoffCommand();
    void StatusCommand(int commandId);
    void SelectVoiceServerCommand();
    // Window message 1025, posted by the engine retry.
    void ReconnectMessage() { Connect(false); }
    // The update window was closed: connecting is allowed again.
    void UpdateWindowClosed();

    void Disconnect();
    // Sets the mode at once (no custom message dialog).
    void SetPresence(std::int16_t mode);
    // Per-user setup; id 0 switches to no user. Nothing happens for the id set up last.
    void SetUpUser(std::uint32_t id);
    // Runs a command file's record (the user is logged in).
    void RunCommand(const CommandRecord& record);

    // Whether Select Voice Server belongs in the File menu.
    bool VoiceServerSelectable() const;
    static std::string StatusMenuText(std::int16_t mode);
    // The status command of a mode and back; -1 / nullopt when there is none.
    static int StatusCommandOf(std::int16_t mode);
    static std::optional<std::int16_t> ModeOfCommand(int commandId);

    int EngineState() const { return engineState_; }
    std::uint32_t UpdateFlags() const { return updateFlags_; }
    const std::string& PatchFile() const { return patchFile_; }
    std::int16_t PresenceMode() const { return mode_; }
    const std::string& VoiceServer() const { return voiceServer_; }
    int PollTriesLeft() const { return pollTries_; }
    int EngineRetriesLeft() const { return engineRetries_; }
    std::uint32_t ReconnectStartEntry() const { return reconnectStart_; }
    std::uint32_t ReconnectPollEntry() const { return reconnectPoll_; }
    std::optional<std::uint32_t> UserSetUp() const { return setUpUser_; }

    // The engine manager's events (public for the manager's subscriptions).
    void OnConnectionState(int state);
    void OnConnectionEvent(std::int16_t state, const std::string& msg);
    void OnJoinedGroup(const std::string& groupName);
    void OnServerMessage(std::int16_t type, std::int16_t msgNum, const std::string& msgText);

  private:
    void StandardLogin(bool newUser);
    // Shows a window the user answers, without the wait cursor over it.
    bool UserDialog(const std::function<bool()>& show);
    void EndReconnecting();
    // voiceTicket: the directory's ticket the voice server will check; empty while LoginEx2 is
    // still on its way (its reply hands the fresh one to the engine manager).
    void ConnectEngine(const std::string& nickname, const std::string& id,
                       const std::string& storedPassword, const std::string& voiceTicket);
    void OnLoginReply(const std::string& text, const std::string& nickname, long contacts,
                      long blocks, long partners, long partnerParams, int status);
    void StartReconnectPoll();
    void ReconnectPoll();
    void CancelReconnect();
    void CheckStandby();
    void RunOldestPendingCommand();
    void VersionCheck();
    void ProblemAlert(const std::string& msg);
    void Alert(const std::string& text, bool showNow = true);
    std::string ReadLoginString(const char* name, bool* present = nullptr) const;
    std::uint32_t ReadLoginId(bool* present = nullptr) const;
    void ClearStoredPassword();
    std::vector<VoiceServerEntry> VoiceServers() const;
    std::string CustomMessageKey(std::int16_t mode) const;

    SessionServices s_;
    int engineState_ = 0;
    std::string voiceServer_;
    std::uint32_t updateFlags_ = 0;
    std::string patchFile_;
    std::uint32_t reconnectStart_ = 0;
    std::uint32_t reconnectPoll_ = 0;
    std::uint32_t standbyEntry_ = 0;
    int nesting_ = 0;
    int pollTries_ = kPollTries;
    int engineRetries_ = kEngineRetries;
    bool firstGroupJoined_ = false;
    std::int16_t mode_ = kNormal;
    std::optional<std::uint32_t> setUpUser_;
    std::optional<std::uint32_t> welcomedUser_;
    bool started_ = false;
    bool waitCursor_ = false;
    // Engine retries posted before an explicit Disconnect or Logoff carry an older value.
    std::uint64_t retryGeneration_ = 0;
};

}  // namespace qv
