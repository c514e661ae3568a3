#include "login/Session.h"

#include <cstdio>
#include <ctime>

#include "app/CommandIds.h"
#include "app/ProgramFolders.h"
#include "app/StringTable.h"
#include "app/TimerScheduler.h"
#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"
#include "engine/CSonaroManager.h"
#include "login/SessionSubsystems.h"
#include "messaging/SystemNotices.h"
#include "platform/DialUp.h"
#include "platform/FileIo.h"
#include "platform/FileVersion.h"
#include "platform/Screen.h"
#include "platform/TickClock.h"
#include "platform/Trace.h"
#include "platform/UiQueue.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/LoginKey.h"
#include "settings/Options.h"
#include "settings/RegistryKey.h"

namespace qv {

namespace {

constexpr const char* kServer = "Server";
constexpr const char* kCustomMessages = "Custom Messages";
constexpr int kDefaultVoicePort = 12011;
constexpr const char* kDefaultVoiceServer = "127.0.0.1";

constexpr const char* kWelcomeText =
    "In order to use Quorvane, you must first create an account. If you already have an "
    "existing Quorvane account, choose \"Cancel\" and enter your existing Quorvane Number and "
    "password in the Login screen.";
constexpr const char* kNoAccountText =
    "You did not create new Quorvane account! In order to use Quorvane, you must first create "
    "an account! Choose \"Cancel\" if you do not want to create new account this time.";
constexpr const char* kForumJoinError =
    "Error joining forum \"%s\". Possible reasons:\n\nYou must enter the entire path of the "
    "forum (i.e. If attempting to join a forum named \"Friends\" which is within the "
    "\"General\" category you would type: General/Friends.\n\n- IF the forum requires a "
    "password you may have entered it incorrectly.\n\n- The forum you attempted to enter "
    "contained invalid characters or inappropriate language in its title.\r\n\r\n-You were "
    "banned from the forum.\r\n\r\n-The forum you are attempting to join no longer exists or "
    "has too many users in it.";
constexpr const char* kDisconnectWarning =
    "Disconnecting will terminate any open calls.  Still Disconnect?";

std::uint32_t Now() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

std::string Format(const char* pattern, const std::string& value) {
    std::string out(pattern);
    auto at = out.find("%s");
    if (at != std::string::npos) {
        out.replace(at, 2, value);
    }
    return out;
}

std::string FailedUserInfo(const std::string& id, const std::string& error) {
    return "Failed to get user info for " + id + " (" + error + ").";
}

// The text after the first " - ", or nullopt when there is none.
std::optional<std::string> PartAfter(const std::string& text) {
    auto at = text.find(" - ");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return text.substr(at + 3);
}

struct ModeEntry {
    std::int16_t mode;
    int command;
    const char* menuText;
};

constexpr ModeEntry kModes[] = {
    {Session::kNormal, cmd::kStatusNormal, "&Status: Normal"},
    {Session::kAway, cmd::kStatusAway, "&Status: Away"},
    {Session::kDoNotDisturb, cmd::kStatusDoNotDisturb, "&Status: Do Not Disturb"},
    {Session::kOccupied, cmd::kStatusOccupied, "&Status: Occupied"},
    {Session::kAvailableForChat, cmd::kStatusAvailableForChat, "&Status: Available For Chat"},
    {Session::kInvisible, cmd::kStatusInvisible, "&Status: Invisible"},
};

// Subscription trampolines: the manager calls plain functions with the session as context.
void ConnectionStateThunk(std::int32_t state, void* self) {
    static_cast<Session*>(self)->OnConnectionState(state);
}
void ConnectionEventThunk(std::int16_t state, const std::string& msg, void* self) {
    static_cast<Session*>(self)->OnConnectionEvent(state, msg);
}
void JoinedGroupThunk(const std::string& group, void* self) {
    static_cast<Session*>(self)->OnJoinedGroup(group);
}
void ServerMessageThunk(std::int16_t type, std::int16_t num, const std::string& text, void* self) {
    static_cast<Session*>(self)->OnServerMessage(type, num, text);
}

}  // namespace

Session::Session(SessionServices services) : s_(std::move(services)) {
    voiceServer_ = s_.serverSettings.GetString(kServer, "VoiceServer", kDefaultVoiceServer);
}

Session::~Session() {
    if (started_) {
        s_.manager.Unsubscribe<engine_event::ConnectionState>(&ConnectionStateThunk, this);
        s_.manager.Unsubscribe<engine_event::connectionEvent>(&ConnectionEventThunk, this);
        s_.manager.Unsubscribe<engine_event::JoinedGroup>(&JoinedGroupThunk, this);
        s_.manager.Unsubscribe<engine_event::serverMessage>(&ServerMessageThunk, this);
    }
    s_.scheduler.Remove(standbyEntry_);
    CancelReconnect();
    if (s_.directory != nullptr) {
        s_.directory->Cancel(this);
    }
}

void Session::Start() {
    if (started_) {
        return;
    }
    started_ = true;
    s_.manager.Subscribe<engine_event::serverMessage>(&ServerMessageThunk, this);
    s_.manager.Subscribe<engine_event::ConnectionState>(&ConnectionStateThunk, this);
    s_.manager.Subscribe<engine_event::connectionEvent>(&ConnectionEventThunk, this);
    s_.manager.Subscribe<engine_event::JoinedGroup>(&JoinedGroupThunk, this);
    standbyEntry_ = s_.scheduler.Add([this](const std::string&, std::uintptr_t) { CheckStandby(); },
                                     0, kStandbyCheckMs, TimerScheduler::kRepeat);
    s_.ui.SetStatusMenuText(StatusMenuText(mode_));
}

// ---- login key --------------------------------------------------------------------------------

std::string Session::ReadLoginString(const char* name, bool* present) const {
    std::string value;
    bool ok = s_.loginKey.GetString(name, value);
    if (present != nullptr) {
        *present = ok;
    }
    return value;
}

std::uint32_t Session::ReadLoginId(bool* present) const {
    std::uint32_t id = 0;
    bool ok = s_.loginKey.GetDword(login_key::kQuorvaneId, id);
    if (present != nullptr) {
        *present = ok;
    }
    return id;
}

void Session::ClearStoredPassword() {
    s_.loginKey.SetString(login_key::kPassword, "");
}

void Session::Alert(const std::string& text, bool showNow) {
    s_.notices.AddSystemNotice(text, showNow, Now());
}

// ---- connect ----------------------------------------------------------------------------------

void Session::Connect(bool newUser) {
    Trace("CQuorvaneView", "Connect");
    if (updateFlags_ != 0) {
        // Not silently: the update window says what has to be updated first.
        s_.ui.ShowUpdateWindow(updateFlags_, patchFile_);
        return;
    }
    if (nesting_++ != 0) {
        --nesting_;
        return;
    }
    const std::string loginName = ReadLoginString(login_key::kLoginName);
    if (!s_.systemUserName.empty()) {
        if (loginName.empty()) {
            // The first user of this computer to log in owns the stored login.
            s_.loginKey.SetString(login_key::kLoginName, s_.systemUserName);
        } else if (loginName != s_.systemUserName) {
            s_.loginKey.SetString(login_key::kLoginName, s_.systemUserName);
            s_.loginKey.SetString(login_key::kPassword, "");
            s_.loginKey.SetString(login_key::kNickName, "");
            s_.loginKey.SetDword(login_key::kQuorvaneId, 0);
            newUser = true;
        }
    }
    // No account, or a password the service refused: the Login dialog asks for it.
    if (ReadLoginId() == 0 || ReadLoginString(login_key::kPassword).empty()) {
        newUser = true;
    }
    if (newUser) {
        Disconnect();
    }
    s_.ui.SetWaitCursor(true);
    waitCursor_ = true;
    StandardLogin(newUser);
    waitCursor_ = false;
    s_.ui.SetWaitCursor(false);
    --nesting_;
}

bool Session::UserDialog(const std::function<bool()>& show) {
    // Connect shows the wait cursor; the user reads and types in these, so it goes meanwhile.
    if (waitCursor_) {
        s_.ui.SetWaitCursor(false);
    }
    const bool result = show();
    if (waitCursor_) {
        s_.ui.SetWaitCursor(true);
    }
    return result;
}

void Session::StandardLogin(bool newUser) {
    std::uint32_t flags = 0;
    s_.loginKey.GetDword(login_key::kGlobalFlags, flags);
    const bool neverSetUp = (flags & login_key::kUserSetUp) == 0;
    const bool noAccount = ReadLoginId() == 0;
    if (noAccount && neverSetUp) {
        if (UserDialog([&] { return s_.ui.WelcomeDialog(kWelcomeText); }) &&
            !UserDialog([&] { return s_.ui.NewAccountDialog(); })) {
            return;
        }
    }
    if (newUser) {
        if (!UserDialog([&] { return s_.ui.LoginDialog(); })) {
            if (ReadLoginId() != 0 || !neverSetUp) {
                return;
            }
            if (!UserDialog([&] { return s_.ui.WelcomeDialog(kNoAccountText); }) ||
                !UserDialog([&] { return s_.ui.NewAccountDialog(); })) {
                return;
            }
        }
        bool hasId = false;
        bool hasNick = false;
        bool hasPassword = false;
        const std::uint32_t id = ReadLoginId(&hasId);
        const std::string nick = ReadLoginString(login_key::kNickName, &hasNick);
        const std::string password = ReadLoginString(login_key::kPassword, &hasPassword);
        if (!hasId || !hasNick || !hasPassword) {
            return;
        }
        // The Login dialog has logged in to the directory already.
        ConnectEngine(nick, std::to_string(id), password,
                      s_.directory != nullptr ? s_.directory->VoiceTicket() : "");
        return;
    }
    bool hasId = false;
    bool hasNick = false;
    const std::uint32_t id = ReadLoginId(&hasId);
    const std::string nick = ReadLoginString(login_key::kNickName, &hasNick);
    const std::string stored = ReadLoginString(login_key::kPassword);
    if (!hasId || !hasNick || stored.empty()) {
        return;
    }
    SetUpUser(id);
    const std::string password = login_key::DecodePassword(stored);
    if (s_.directory != nullptr) {
        LoginEx2(
            *s_.directory, std::to_string(id), password,
            [this](const std::string& text, const std::string& nickname, long contacts, long blocks,
                   long partners, long params, int status, RequestContext) {
                OnLoginReply(text, nickname, contacts, blocks, partners, params, status);
            },
            this);
    }
    // Not the ticket of an earlier login: a ticket logs in once and lives minutes; the login
    // reply brings a fresh one.
    ConnectEngine(nick, std::to_string(id), stored, "");
}

void Session::ConnectEngine(const std::string& nickname, const std::string& id,
                            const std::string& storedPassword, const std::string& voiceTicket) {
    voiceServer_ = s_.serverSettings.GetString(kServer, "VoiceServer", kDefaultVoiceServer);
    const int port = s_.serverSettings.GetInt(kServer, "VoicePort", kDefaultVoicePort);
    if (storedPassword.empty()) {
        UserDialog([&] {
            s_.screen.MessageBox(
                "Unable to connect. Choose \"Login as new user\" from the File menu.", "Quorvane",
                mb::kOk | mb::kIconExclamation);
            return true;
        });
        return;
    }
    s_.manager.SetVoiceTicket(voiceTicket);
    s_.manager.SetVoiceAuthorities(s_.serverSettings.GetString(kServer, "VoiceCaFile", ""));
    s_.manager.Connect(voiceServer_, port, nickname, id);
}

void Session::OnLoginReply(const std::string&, const std::string& nickname, long contacts,
                           long blocks, long partners, long partnerParams, int status) {
    if (status == 1) {
        if (s_.directory != nullptr) {
            s_.manager.SetVoiceTicket(s_.directory->VoiceTicket());
        }
        s_.subsystems.ContactListVersion(contacts);
        s_.subsystems.BlockListVersion(blocks);
        s_.subsystems.PartnerListVersion(partners);
        if (ReadLoginString(login_key::kNickName) != nickname) {
            s_.loginKey.SetString(login_key::kNickName, "");
            ClearStoredPassword();
            Disconnect();
        }
        if (partnerParams != s_.customization.Get().version) {
            s_.subsystems.RequestPartnerParameters();
        }
    } else if (status == -8) {
        ClearStoredPassword();
        Disconnect();
    }
}

// ---- commands ---------------------------------------------------------------------------------

void Session::Disconnect() {
    s_.manager.Disconnect(true);
    s_.subsystems.CloseForumList();
    s_.subsystems.StopVoiceMailPlaybackAndRecording();
}

void Session::DisconnectCommand() {
    if (s_.subsystems.CallOrForumInProgress() &&
        s_.screen.MessageBox(kDisconnectWarning, "Disconnect Warning",
                             mb::kYesNo | mb::kIconExclamation) != mb::kIdYes) {
        return;
    }
    EndReconnecting();
    Disconnect();
}

void Session::EndReconnecting() {
    // The user asked to be offline: no poll, no engine retry may bring the session back.
    CancelReconnect();
    pollTries_ = kPollTries;
    engineRetries_ = kEngineRetries;
    ++retryGeneration_;
}

void Session::LogoffCommand() {
    if (s_.subsystems.CallOrForumInProgress() &&
        s_.screen.MessageBox(kDisconnectWarning, "Disconnect Warning",
                             mb::kYesNo | mb::kIconExclamation) != mb::kIdYes) {
        return;
    }
    EndReconnecting();
    // A login still on its way belongs to the account that is leaving: its reply must not hand
    // that account's connection id to the engine again.
    if (s_.directory != nullptr) {
        s_.directory->Cancel(this);
    }
    Disconnect();
    RegistryKey& key = s_.loginKey;
    for (const char* name :
         {login_key::kNickName, login_key::kPassword, login_key::kFirstName, login_key::kLastName,
          login_key::kEmail, login_key::kCompany, login_key::kComment}) {
        key.SetString(name, "");
    }
    key.SetDword(login_key::kQuorvaneId, 0);
    key.SetDword(login_key::kEmailPublic, 1);
    key.SetDword(login_key::kAllowSpam, 1);
    s_.manager.SetVoiceTicket("");
    SetUpUser(0);
    s_.subsystems.ClearContactList();
}

std::string Session::CustomMessageKey(std::int16_t mode) const {
    switch (mode) {
        case kAway:
            return "Away Message";
        case kDoNotDisturb:
            return "DND Message";
        case kOccupied:
            return "Occupied Message";
        default:
            return {};
    }
}

void Session::StatusCommand(int commandId) {
    auto mode = ModeOfCommand(commandId);
    if (!mode) {
        return;
    }
    const std::string key = CustomMessageKey(*mode);
    if (key.empty() || s_.userSettings.GetInt(kCustomMessages, key + " Dialog", 0) != 0) {
        SetPresence(*mode);
        return;
    }
    const std::string current = *mode == kAway           ? s_.options.AwayMessage()
                                : *mode == kDoNotDisturb ? s_.options.DndMessage()
                                                         : s_.options.OccupiedMessage();
    auto answer = s_.ui.CustomMessageDialog(key, current);
    if (!answer) {
        return;
    }
    if (*mode == kAway) {
        s_.options.SetAwayMessage(answer->message);
    } else if (*mode == kDoNotDisturb) {
        s_.options.SetDndMessage(answer->message);
    } else {
        s_.options.SetOccupiedMessage(answer->message);
    }
    s_.userSettings.WriteInt(kCustomMessages, key + " Dialog", answer->doNotShowAgain ? 1 : 0);
    SetPresence(*mode);
}

void Session::SetPresence(std::int16_t mode) {
    mode_ = mode;
    s_.manager.SetStatus(mode);
    if (engineState_ >= 3) {
        s_.subsystems.UpdateOwnPresence(static_cast<std::int16_t>(mode | 1));
    }
    if (mode == kDoNotDisturb || mode == kOccupied) {
        s_.manager.PlayWave("", 0);  // stops every sound
        s_.subsystems.DeclineRingingCall(
            mode == kDoNotDisturb ? 1 : 4,
            mode == kDoNotDisturb ? s_.options.DndMessage() : s_.options.OccupiedMessage());
    }
    s_.ui.SetStatusMenuText(StatusMenuText(mode));
}

std::string Session::StatusMenuText(std::int16_t mode) {
    for (const ModeEntry& e : kModes) {
        if (e.mode == mode) {
            return e.menuText;
        }
    }
    return kModes[0].menuText;
}

int Session::StatusCommandOf(std::int16_t mode) {
    for (const ModeEntry& e : kModes) {
        if (e.mode == mode) {
            return e.command;
        }
    }
    return -1;
}

std::optional<std::int16_t> Session::ModeOfCommand(int commandId) {
    for (const ModeEntry& e : kModes) {
        if (e.command == commandId) {
            return e.mode;
        }
    }
    return std::nullopt;
}

bool Session::VoiceServerSelectable() const {
    return s_.machineSettings.GetInt("Internal", "SelectVoiceServer", 0) != 0;
}

std::vector<VoiceServerEntry> Session::VoiceServers() const {
    std::vector<VoiceServerEntry> list;
    for (const char* kind : {"Internal", "External"}) {
        for (int i = 1;; ++i) {
            const std::string key = std::string(kind) + std::to_string(i);
            const std::string host = s_.serverSettings.GetString("VoiceServers", key, "");
            if (host.empty()) {
                break;
            }
            const std::string alias =
                s_.serverSettings.GetString("VoiceServers", key + "Alias", "");
            list.push_back({key, host, alias.empty() ? std::string(kind) + ": " + host : alias});
        }
    }
    return list;
}

void Session::SelectVoiceServerCommand() {
    const std::vector<VoiceServerEntry> list = VoiceServers();
    std::size_t current = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].host == voiceServer_) {
            current = i;
        }
    }
    auto chosen = s_.ui.SelectVoiceServer(list, current);
    if (!chosen || *chosen >= list.size()) {
        return;
    }
    voiceServer_ = list[*chosen].host;
    s_.serverSettings.WriteString(kServer, "VoiceServer", voiceServer_);
    const int state = s_.manager.State();
    if (state == 2 || state == 3 || state == 4) {
        Connect(false);
    }
}

// ---- per-user setup ---------------------------------------------------------------------------

void Session::SetUpUser(std::uint32_t id) {
    if (setUpUser_ && *setUpUser_ == id) {
        return;
    }
    std::uint32_t flags = 0;
    s_.loginKey.GetDword(login_key::kGlobalFlags, flags);
    if (id != 0 && (flags & login_key::kUserSetUp) == 0) {
        s_.loginKey.SetDword(login_key::kGlobalFlags, flags | login_key::kUserSetUp);
    }
    setUpUser_ = id;
    const std::string folder = s_.folders.UserFolder(id == 0 ? std::string() : std::to_string(id));
    s_.userSettings.SetPath(id == 0 ? std::string() : folder + "Options.ini");
    s_.options.Load();
    s_.subsystems.OpenEventLog(folder + "Quorvane.log");
    if (id != 0) {
        s_.subsystems.LoadVoiceMailStore(folder + "QVEvents.log");
    }
    s_.subsystems.ResetVoiceMailWindows(id);
    if (id != 0) {
        MakeFolders(folder + "Voice Mail");
    }
    s_.subsystems.OpenBlockList(folder + "Blocked.dat");
    s_.subsystems.ReloadContactList();
    SetPresence(kNormal);
    s_.subsystems.RestartAlerts(id);
    const std::string outgoing = folder + "Outgoing";
    MakeFolders(outgoing);
    s_.subsystems.SetOfflineQueueFolder(outgoing);
    s_.subsystems.CloseVoiceMailCompose();
    s_.subsystems.RefreshUserWindows();
    s_.ui.RefreshMainWindow();
}

// ---- engine events ----------------------------------------------------------------------------

void Session::ProblemAlert(const std::string& msg) {
    Alert(
        Format("There was a problem connecting to the voice server.  The server returned the "
               "following error: %s",
               msg));
}

void Session::VersionCheck() {
    if (s_.machineSettings.GetInt("Internal", "DisablePatcher", 0) != 0) {
        return;
    }
    if (!s_.manager.IsCurrentVersion()) {
        updateFlags_ |= kUpdateEngine;
    }
    const auto required = static_cast<std::uint32_t>(s_.manager.RequiredVersions());
    const std::uint32_t program = ReadFileBuild(s_.programFile) & 0xFFFF;
    const std::uint32_t patcher =
        ReadFileBuild(s_.folders.ProgramFolder() + "Patcher.exe") & 0xFFFF;
    if (patcher < (required & 0xFFFF)) {
        updateFlags_ |= kUpdatePatcher;
    }
    if (program < (required >> 16)) {
        updateFlags_ |= kUpdateProgram;
        char name[32];
        std::snprintf(name, sizeof name, "%04ld.rtp", static_cast<long>(program));
        patchFile_ = name;
    } else if (program > (required >> 16)) {
        Alert(std::string(LoadString(str::kOldVoiceServer)));
        Disconnect();
        updateFlags_ = 0;
    }
}

void Session::OnConnectionEvent(std::int16_t state, const std::string& msg) {
    if (state != 7) {
        engineRetries_ = kEngineRetries;
    }
    const bool patcherOn = s_.machineSettings.GetInt("Internal", "DisablePatcher", 0) == 0;
    switch (state) {
        case 0:
            VersionCheck();
            break;
        case 11:
        case 12:
        case 13:
            if (!s_.manager.IsCurrentVersion() && patcherOn) {
                char name[32];
                std::snprintf(name, sizeof name, "%04ld.rtp",
                              static_cast<long>(ReadFileBuild(s_.programFile) & 0xFFFF));
                patchFile_ = name;
                updateFlags_ = kUpdateEngine | kUpdateProgram;
            } else {
                ProblemAlert(msg);
            }
            break;
        case 5:
            // The manager has left the forum and conference already; it remembers them.
            if (s_.options.ShowDisconnectMsg() != 0 &&
                (s_.subsystems.CallOrForumInProgress() || s_.manager.EndedInGroupOrConference() ||
                 s_.ui.MainWindowVisible())) {
                Alert(std::string(LoadString(str::kLostConnection)));
            }
            if (s_.options.AutoReconnect() != 0) {
                s_.scheduler.Remove(reconnectStart_);
                reconnectStart_ = s_.scheduler.Add(
                    [this](const std::string&, std::uintptr_t) { StartReconnectPoll(); }, 0,
                    kReconnectStartMs, TimerScheduler::kOnce);
            }
            break;
        case 7:
            if (engineRetries_ > 0) {
                --engineRetries_;
                s_.uiQueue.Post([this, generation = retryGeneration_] {
                    if (generation == retryGeneration_) {
                        ReconnectMessage();
                    }
                });
            } else {
                ProblemAlert(msg);
            }
            break;
        default:
            ProblemAlert(msg);
            break;
    }
    if (updateFlags_ != 0 && !s_.ui.UpdateWindowOpen()) {
        Disconnect();
        s_.ui.ShowUpdateWindow(updateFlags_, patchFile_);
    }
}

void Session::StartReconnectPoll() {
    s_.scheduler.Remove(reconnectStart_);
    reconnectStart_ = 0;
    s_.scheduler.Remove(reconnectPoll_);
    reconnectPoll_ = 0;
    if (s_.options.AutoReconnect() == 0) {
        return;
    }
    std::uint32_t wait = kSlowPollMs;
    if (pollTries_ > 0) {
        --pollTries_;
        wait = kFastPollMs;
    }
    reconnectPoll_ = s_.scheduler.Add(
        [this](const std::string&, std::uintptr_t) {
            reconnectPoll_ = 0;
            ReconnectPoll();
        },
        0, wait, TimerScheduler::kOnce);
}

void Session::ReconnectPoll() {
    if (s_.options.UsingModem() == 0) {
        Connect(false);
        return;
    }
    if (!s_.dialUp.Available()) {
        Alert(
            "Error attempting to reconnect to the Quorvane server. \t\t\t\t\t\t   Please ensure "
            "that Dialup Networking is installed on your machine.");
        return;
    }
    auto links = s_.dialUp.Connections();
    if (!links.empty() && links.front().status == DialUpConnection::kConnected) {
        Connect(false);
        return;
    }
    StartReconnectPoll();
}

void Session::UpdateWindowClosed() {
    // Nothing updates the program yet; the user has read what is needed and may try again.
    updateFlags_ = 0;
    patchFile_.clear();
}

void Session::CancelReconnect() {
    s_.scheduler.Remove(reconnectStart_);
    s_.scheduler.Remove(reconnectPoll_);
    reconnectStart_ = 0;
    reconnectPoll_ = 0;
}

void Session::OnConnectionState(int state) {
    engineState_ = state;
    if (state == 4) {
        const std::uint32_t id = ReadLoginId();
        if (!welcomedUser_ || *welcomedUser_ != id) {
            welcomedUser_ = id;
            const bool show = s_.customization.Get().disableNewUserDlg == 0 &&
                              s_.userSettings.GetInt("New User Welcome", "Show at StartUp", 1) != 0;
            if (show) {
                s_.ui.ShowNewUserWelcome(s_.ui.MainWindowMinimized());
            } else if (s_.ui.MainWindowVisible()) {
                s_.ui.ShowTipOfTheDay();
            }
        }
        CancelReconnect();
        pollTries_ = kPollTries;
        RunOldestPendingCommand();
    } else if (state == 3 && s_.options.UsingLan() != 0) {
        auto links = s_.dialUp.Connections();
        if (!links.empty() && links.front().status == DialUpConnection::kConnected) {
            s_.options.SetUsingModem(1);
            s_.options.SetUsingLan(0);
        }
    }
}

void Session::OnJoinedGroup(const std::string&) {
    if (!firstGroupJoined_) {
        firstGroupJoined_ = true;
        RunOldestPendingCommand();
    }
}

void Session::OnServerMessage(std::int16_t type, std::int16_t msgNum, const std::string& text) {
    const bool now = type == 3;
    const auto after = PartAfter(text);
    switch (msgNum) {
        case 1:
            if (after) {
                Alert(Format(kForumJoinError, *after), now);
            }
            break;
        case 2:
            break;
        case 3:
            if (after) {
                Alert(Format("Error setting Alias: %s is already logged into Quorvane. "
                             "\t\t\t\t\t\t\t If you have recently disconnected from the Quorvane "
                             "server, \t\t\t\t\t\t\t please allow at least 30 seconds before "
                             "attempting to reconnect.",
                             *after),
                      now);
                Disconnect();
            }
            break;
        case 4:
            if (after) {
                Alert(Format("The account %s is already logged in elsewhere.", *after) +
                          " If you have recently logged in on another computer please log off "
                          "from that computer before logging into this one." +
                          "\r\rIf you were recently disconnected from the Quorvane server, it may "
                          "take up to a minute before you are able to login again.",
                      now);
                Disconnect();
            }
            break;
        case 5:
            if (after) {
                Alert("User is offline.", now);
            }
            break;
        case 8:
            Alert(text, now);
            ClearStoredPassword();
            s_.loginKey.SetDword(login_key::kQuorvaneId, 0);
            break;
        case 9:
            s_.subsystems.HangUp();
            break;
        default:
            Alert(text, now);
            break;
    }
}

void Session::CheckStandby() {
    if (s_.subsystems.VoiceMailWindowOpen()) {
        return;
    }
    if (s_.manager.IsInGroupOrConference()) {
        return;
    }
    // Fresh from a forum or call: keep the sound device a little longer.
    if (static_cast<std::uint32_t>(s_.clock.Now() - s_.manager.LeaveTime()) < 20001) {
        return;
    }
    s_.manager.SetStandby(true);
}

// ---- command files ----------------------------------------------------------------------------

void Session::RunOldestPendingCommand() {
    auto record = s_.pending.TakeOldest();
    if (record) {
        RunCommand(*record);
    }
}

void Session::RunCommand(const CommandRecord& record) {
    switch (record.letter) {
        case 'F':
        case 'G':
        case 'H':
        case 'I':
            s_.subsystems.JoinForum(record);
            break;
        case 'S':
        case 'T':
            s_.subsystems.RunWebTour(record);
            break;
        case 'L':
            if (s_.directory == nullptr) {
                Alert(FailedUserInfo(record.a,
                                     std::string(LoadString(str::kNotConnectedToDatabase))));
                break;
            }
            GetUserProfile(
                *s_.directory, record.a,
                [this, id = record.a](const UserProfile* profile, const std::string& error,
                                      int status, RequestContext) {
                    if (status == 1 && profile != nullptr) {
                        s_.subsystems.CallUser(*profile);
                    } else {
                        Alert(FailedUserInfo(id, error));
                    }
                },
                this);
            break;
        default:
            break;
    }
}

}  // namespace qv
