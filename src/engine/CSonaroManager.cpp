#include "engine/CSonaroManager.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "app/StringTable.h"
#include "engine/EngineUi.h"
#include "engine/IdList.h"
#include "engine/IncomingMessageLog.h"
#include "engine/SonaroCredentials.h"
#include "engine/SonaroLibrary.h"
#include "engine/SonaroRegistration.h"
#include "engine/SonaroTransport.h"
#include "messaging/SystemNotices.h"
#include "platform/FileIo.h"
#include "platform/Registry.h"
#include "platform/Screen.h"
#include "platform/TickClock.h"
#include "platform/Trace.h"
#include "platform/WavePlayer.h"
#include "settings/IniFile.h"
#include "settings/Options.h"

namespace qv {

namespace ee = engine_event;

namespace {

constexpr const char* kClass = "CSonaroManager";
constexpr const char* kInstallFailed = "Failed to install Sonaro Control.";
constexpr const char* kInstallFailedCaption = "Error...";
constexpr const char* kDisconnectingCaption = "Disconnecting...";
constexpr const char* kDisconnectingText =
    "Attempting to abort the connection in progress.  This may take several seconds.";
constexpr const char* kTraceSeparator = "<----------------------->";
constexpr std::uint32_t kStandbyRetryWaitMs = 300;
constexpr std::size_t kMaxTraceMessage = 1023;

// Sounds that play even when the user turned minor sounds off.
constexpr const char* kAlwaysSounding[] = {
    "IncomingInstantMessage",    "IncomingVoiceMail",        "IncomingCall", "CallWaiting",
    "IncomingWebsiteInvitation", "IncomingWebtourInvitation"};

std::string TrimTrailingBlanks(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

bool IsProgramRelative(const std::string& path) {
    return path.size() >= 2 && path[0] == '.' && (path[1] == '\\' || path[1] == '/');
}

std::uint32_t SecondsSince1970() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

}  // namespace

CSonaroManager::CSonaroManager(Registry& registry, Screen& screen, const Options& options,
                               const IniFile& machineSettings, const IniFile& soundSettings,
                               const TickClock& clock, std::string programFolder,
                               std::string systemFolder, std::unique_ptr<SonaroFactory> factory)
    : registry_(registry),
      screen_(screen),
      options_(options),
      soundSettings_(soundSettings),
      clock_(clock),
      programFolder_(std::move(programFolder)),
      factory_(factory ? std::move(factory) : std::make_unique<RegisteredSonaroFactory>(registry)),
      installer_(registry, screen, machineSettings, programFolder_, std::move(systemFolder)),
      wavePlayer_(MakeWavePlayer()),
      wait_([](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      leaveTime_(clock.Now()) {
    installer_.SetDestroyControl([this] { DestroyControl(); });
    Trace(kClass, "CSonaroManager");
}

CSonaroManager::~CSonaroManager() {
    DestroyControl();
    if (wavePlayer_) {
        wavePlayer_->Stop();
    }
}

void CSonaroManager::SetWavePlayer(std::unique_ptr<WavePlayer> player) {
    wavePlayer_ = player ? std::move(player) : MakeNullWavePlayer();
}

namespace {

// Marks the manager busy for a scope, and leaves it as it found it.
class BusyScope {
  public:
    explicit BusyScope(bool& busy) : busy_(busy), was_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = was_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    bool& busy_;
    bool was_;
};

}  // namespace

std::size_t CSonaroManager::DrainEvents() {
    if (busy_) {
        return 0;
    }
    BusyScope busy(busy_);
    return events_.Drain(*this);
}

SonaroControl* CSonaroManager::Alive() {
    return instance_ ? &instance_->Control() : nullptr;
}

SonaroControl* CSonaroManager::Connected() {
    return state_ >= kConnected ? Alive() : nullptr;
}

bool CSonaroManager::PushToTalkInEffect() const {
    return options_.PushToTalk() != 0 || (pushToTalkSwitch_ && pushToTalkSwitch_());
}

void CSonaroManager::NotifyState(std::int32_t state) {
    Trace(kClass, "ConnectionState", std::to_string(state));
    std::get<ee::ConnectionState::kIndex>(subscribers_).Deliver(state);
}

void CSonaroManager::Alert(const std::string& text) {
    Trace(kClass, "Alert", text);
    if (notices_ != nullptr) {
        notices_->AddSystemNotice(text, false, SecondsSince1970());
    }
}

void CSonaroManager::AudioAlert(std::int32_t result) {
    // The engine promises 1 to 9; anything else still gets a text rather than an empty alert.
    const int id = result >= 1 && result <= 9 ? str::kAudioErrorBase + result : 137;
    Alert(std::string(LoadString(id)));
}

void CSonaroManager::AppendTrace(const std::string& message) {
    std::FILE* file = OpenPrivateFile(TraceFilePath(), true);
    if (file == nullptr) {
        return;
    }
    if (!traceStarted_) {
        std::fprintf(file, "%s\r\n", kTraceSeparator);
        traceStarted_ = true;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%m/%d/%y %H:%M:%S", &local);
    const std::string text = message.substr(0, kMaxTraceMessage);
    std::fprintf(file, "%s: %s\r\n", stamp, text.c_str());
    std::fclose(file);
}

std::string CSonaroManager::ProgramPath(const std::string& path) const {
    if (!IsProgramRelative(path)) {
        return path;
    }
    std::string rest = path.substr(2);
    for (char& c : rest) {
        if (c == '\\') {
            c = '/';
        }
    }
    return programFolder_ + rest;
}

// ---- Connection ----

bool CSonaroManager::Connect(const std::string& server, int port, const std::string& nickname,
                             const std::string& userId) {
    Trace(kClass, "Connect", server + ":" + std::to_string(port));
    Disconnect(true);
    endedInGroupOrConference_ = false;
    if (!IsControlCurrent() && !InstallControl()) {
        screen_.MessageBox(kInstallFailed, kInstallFailedCaption, mb::kOk | mb::kIconExclamation);
        return false;
    }
    if (!instance_) {
        instance_ = factory_->Create(events_);
        if (!instance_) {
            screen_.MessageBox(kInstallFailed, kInstallFailedCaption,
                               mb::kOk | mb::kIconExclamation);
            return false;
        }
    }
    SonaroControl& control = instance_->Control();
    // The pair the first SetPushToTalk would give for the mode now in effect.
    if (PushToTalkInEffect()) {
        control.SetSquelch(0);
        control.SetMuteVolume(1);
    } else {
        control.SetSquelch(options_.Squelch());
        control.SetMuteVolume(options_.MuteVolume());
    }
    control.SetParameter(sonaro_parameter::kBehindFirewall, options_.BehindFirewall());
    control.SetCodec(static_cast<std::int16_t>(options_.Codec()));
    control.SetSampleRate(options_.VoiceSampleRate());
    control.SetParameter(sonaro_parameter::kConnectionSpeed, options_.ConnectionSpeed());
    PassVoiceTicket();
    if (auto* transport = instance_->Extension<SonaroTransport>(kSonaroTransportExtension)) {
        transport->SetTrustedAuthorities(voiceAuthorities_);
    }

    const auto wirePort = static_cast<std::int16_t>(static_cast<std::uint16_t>(port));
    if (control.Connect(server, wirePort) == 0) {
        Disconnect(true);
        return false;
    }
    nickname_ = TrimTrailingBlanks(nickname);
    userId_ = TrimTrailingBlanks(userId);
    state_ = kConnecting;
    NotifyState(kConnecting);
    return true;
}

void CSonaroManager::SetVoiceTicket(const std::string& ticket) {
    ticket_ = ticket;
    PassVoiceTicket();
}

void CSonaroManager::PassVoiceTicket() {
    if (!instance_) {
        return;
    }
    if (auto* credentials = instance_->Extension<SonaroCredentials>(kSonaroCredentialsExtension)) {
        credentials->SetVoiceTicket(ticket_);
    }
}

bool CSonaroManager::Disconnect(bool notify) {
    if (state_ == kIdle) {
        return false;
    }
    Trace(kClass, "Disconnect");
    BusyScope busy(busy_);
    if (state_ >= kConnected && notify) {
        NotifyState(kDisconnecting);
    }
    const bool showNotice = state_ == kConnecting && ui_ != nullptr;
    if (showNotice) {
        ui_->ShowNotice(kDisconnectingCaption, kDisconnectingText);
    }
    if (SonaroControl* control = Alive()) {
        if (audioStarted_) {
            control->StopAudio();
            audioStarted_ = false;
            standby_ = true;
        }
        control->Disconnect();
        nickname_.clear();
        userId_.clear();
        currentGroup_.clear();
        conferenceId_ = 0;
    }
    // What the engine said about the session before it ended no longer applies: a late
    // connectionEvent or Registered would bring a dead session back.
    events_.DropSessionEvents();
    if (showNotice) {
        ui_->CloseNotice();
    }
    state_ = kIdle;
    NotifyState(kIdle);
    return true;
}

void CSonaroManager::DestroyControl() {
    Disconnect(true);
    if (instance_) {
        Trace(kClass, "DestroyControl");
        // Destroying the last instance unloads the component file.
        instance_.reset();
    }
}

bool CSonaroManager::GetRegisteredControlPath(std::string& path) const {
    return installer_.GetRegisteredControlPath(path);
}

bool CSonaroManager::IsControlCurrent() {
    return installer_.IsControlCurrent();
}

bool CSonaroManager::InstallControl() {
    return installer_.InstallControl();
}

// ---- Forums, audio and the microphone ----

bool CSonaroManager::JoinForum(const std::string& name, const std::string& password,
                               std::int32_t flags) {
    SonaroControl* control = Connected();
    if (control == nullptr || name == currentGroup_) {
        return false;
    }
    Bool32 result = 0;
    try {
        result = control->JoinGroup(name, password, flags);
    } catch (...) {
        result = 0;
    }
    if (name.empty()) {
        currentGroup_.clear();
    }
    return result != 0;
}

bool CSonaroManager::StartAudio() {
    SonaroControl* control = Connected();
    if (control == nullptr || audioStarted_) {
        return false;
    }
    const std::int32_t result = control->StartAudio();
    if (result == 0) {
        audioStarted_ = true;
        standby_ = false;
        return true;
    }
    AudioAlert(result);
    return false;
}

bool CSonaroManager::SetStandby(bool standby) {
    SonaroControl* control = Connected();
    if (control == nullptr) {
        return false;
    }
    if (standby) {
        state_ = kLoggedIn;
        control->SetStandby(1);
        standby_ = true;
        return true;
    }
    if (!audioStarted_) {
        return StartAudio();
    }
    if (control->SetStandby(0) == 0) {
        control->PlayWave(kStopAllSounds, 0);
        wait_(kStandbyRetryWaitMs);
        if (control->SetStandby(0) == 0) {
            Alert(std::string(LoadString(str::kAudioOutputOpenFailed)));
            return false;
        }
    }
    standby_ = false;
    return true;
}

bool CSonaroManager::SetTalk(bool mute) {
    SonaroControl* control = Connected();
    if (control == nullptr || !IsInGroupOrConference() || standby_) {
        return false;
    }
    return control->Talk(mute ? 0 : 1) != 0;
}

bool CSonaroManager::SetPushToTalk(bool on) {
    SonaroControl* control = Connected();
    if (control == nullptr) {
        return false;
    }
    if (IsInGroupOrConference() && !standby_) {
        control->Talk(on ? 0 : 1);
    }
    if (on) {
        control->SetSquelch(0);
        control->SetMuteVolume(1);
    } else {
        control->SetSquelch(options_.Squelch());
        control->SetMuteVolume(options_.MuteVolume());
    }
    return true;
}

bool CSonaroManager::SetSquelch(std::int32_t value) {
    SonaroControl* control = Alive();
    if (control == nullptr) {
        return false;
    }
    control->SetSquelch(value);
    return true;
}

bool CSonaroManager::SetTalkDirect(bool on) {
    SonaroControl* control = Alive();
    return control != nullptr && control->Talk(on ? 1 : 0) != 0;
}

bool CSonaroManager::SetCodec(std::int16_t value) {
    SonaroControl* control = Alive();
    if (control == nullptr) {
        return false;
    }
    if (!audioStarted_) {
        control->SetCodec(value);
        return true;
    }
    control->StopAudio();
    control->SetCodec(value);
    const std::int32_t result = control->StartAudio();
    if (result != 0) {
        // The devices are closed now; the next join must open them again.
        audioStarted_ = false;
        standby_ = true;
        AudioAlert(result);
        return false;
    }
    return true;
}

bool CSonaroManager::SetBehindFirewall(std::int32_t value) {
    SonaroControl* control = Alive();
    if (control == nullptr) {
        return false;
    }
    control->SetParameter(sonaro_parameter::kBehindFirewall, value);
    return true;
}

bool CSonaroManager::SetLocalEcho(std::int32_t value) {
    SonaroControl* control = Alive();
    if (control == nullptr) {
        return false;
    }
    control->SetParameter(sonaro_parameter::kLocalEcho, value);
    return true;
}

bool CSonaroManager::ClearModeFlags() {
    SonaroControl* control = Alive();
    if (control == nullptr) {
        return false;
    }
    control->SetModeFlags(0);
    return true;
}

bool CSonaroManager::IsInGroupOrConference() const {
    return conferenceId_ != 0 || !currentGroup_.empty();
}

// ---- Presence, watch list and block list ----

bool CSonaroManager::SetStatus(std::int16_t mode) {
    // Kept even without an engine: login sends the stored mode, so a mode chosen before the
    // first connection (Invisible, say) is what the others see.
    presenceMode_ = mode;
    SonaroControl* control = Alive();
    if (control == nullptr) {
        return false;
    }
    return state_ == kLoggedIn && control->SetStatus(mode) != 0;
}

bool CSonaroManager::ReplaceList(std::string& list, const std::string& text, bool block) {
    list = text;
    SonaroControl* control = Alive();
    if (control == nullptr || state_ != kLoggedIn) {
        return false;
    }
    // An empty replacement goes too: it is how the engine learns the last entry went.
    return (block ? control->SetBlockList(list, sonaro_list_op::kReplace)
                  : control->SetWatchList(list, sonaro_list_op::kReplace)) != 0;
}

bool CSonaroManager::ChangeList(std::string& list, const std::string& id, bool add, bool block) {
    if (id.empty()) {
        return false;
    }
    const std::string entry = AsListEntry(id);
    if (add) {
        if (!HasListEntry(list, entry)) {
            list += entry;
        }
    } else {
        RemoveListEntry(list, entry);
    }
    SonaroControl* control = Alive();
    if (control == nullptr || state_ != kLoggedIn) {
        return false;
    }
    const std::int16_t op = add ? sonaro_list_op::kAdd : sonaro_list_op::kRemove;
    return (block ? control->SetBlockList(entry, op) : control->SetWatchList(entry, op)) != 0;
}

bool CSonaroManager::SetWatchList(const std::string& list) {
    return ReplaceList(watchList_, list, false);
}

bool CSonaroManager::AddWatch(const std::string& id) {
    return ChangeList(watchList_, id, true, false);
}

bool CSonaroManager::RemoveWatch(const std::string& id) {
    return ChangeList(watchList_, id, false, false);
}

bool CSonaroManager::SetBlockList(const std::string& list) {
    return ReplaceList(blockList_, list, true);
}

bool CSonaroManager::AddBlock(const std::string& id) {
    return ChangeList(blockList_, id, true, true);
}

bool CSonaroManager::RemoveBlock(const std::string& id) {
    return ChangeList(blockList_, id, false, true);
}

// ---- Calls ----

bool CSonaroManager::InviteUser(const std::string& alias, std::int16_t kind,
                                const std::string& text) {
    SonaroControl* control = Connected();
    return control != nullptr && control->InviteUser(alias, kind, text) != 0;
}

bool CSonaroManager::AcceptConference(std::int32_t id) {
    SonaroControl* control = Connected();
    return control != nullptr && control->AcceptConference(id) != 0;
}

bool CSonaroManager::DeclineConference(std::int32_t id, std::int16_t reason,
                                       const std::string& text) {
    SonaroControl* control = Connected();
    return control != nullptr && control->DeclineConference(id, reason, text) != 0;
}

bool CSonaroManager::LeaveConference(std::int32_t id, std::int16_t reason,
                                     const std::string& text) {
    SonaroControl* control = Connected();
    return control != nullptr && control->LeaveConference(id, reason, text) != 0;
}

bool CSonaroManager::HoldConference(std::int32_t id, std::int16_t reason, const std::string& text) {
    SonaroControl* control = Connected();
    return control != nullptr && control->HoldConference(id, reason, text) != 0;
}

bool CSonaroManager::CancelInvitations(const std::string& aliases, std::int16_t reason,
                                       const std::string& text) {
    SonaroControl* control = Connected();
    return control != nullptr && !aliases.empty() &&
           control->CancelInvitations(aliases, reason, text) != 0;
}

// ---- User messages ----

bool CSonaroManager::SendUserMessage(const std::string& alias, const std::string& secondId,
                                     std::int16_t number, std::int16_t parameter,
                                     const std::string& text) {
    (void)secondId;
    SonaroControl* control = Connected();
    return control != nullptr &&
           control->SendUserMessage(alias, number, parameter, text.substr(0, kMaxMessageText)) != 0;
}

bool CSonaroManager::SendTextChatMessage(const std::string& text) {
    return SendUserMessage("", "", 4, 0, text);
}

bool CSonaroManager::SendWhisper(const std::string& alias, const std::string& text) {
    return !alias.empty() && SendUserMessage(alias, "", 5, 0, text);
}

bool CSonaroManager::SendTextChatCommand(const std::string& text) {
    return SendUserMessage("", "", 6, 0, text);
}

// ---- Forum moderation ----

bool CSonaroManager::MemberOperation(
    const std::string& alias,
    const std::function<Bool32(SonaroControl&, const std::string&)>& call) {
    SonaroControl* control = Connected();
    return control != nullptr && call(*control, AsListEntry(alias)) != 0;
}

bool CSonaroManager::MuteMember(const std::string& alias, bool mute) {
    return MemberOperation(alias, [mute](SonaroControl& c, const std::string& a) {
        return c.MuteMember(a, mute ? 1 : 0);
    });
}

bool CSonaroManager::BanMember(const std::string& alias, std::int16_t op) {
    return MemberOperation(
        alias, [op](SonaroControl& c, const std::string& a) { return c.BanMember(a, op); });
}

bool CSonaroManager::SetMemberMicrophone(const std::string& alias, std::int16_t op) {
    return MemberOperation(alias, [op](SonaroControl& c, const std::string& a) {
        return c.SetMemberMicrophone(a, op);
    });
}

bool CSonaroManager::SetMemberRole(const std::string& alias, std::int16_t owner, std::int16_t op) {
    return MemberOperation(alias, [owner, op](SonaroControl& c, const std::string& a) {
        return c.SetMemberRole(a, owner, op);
    });
}

bool CSonaroManager::DisbandGroup() {
    SonaroControl* control = Alive();
    return control != nullptr && control->DisbandGroup() != 0;
}

bool CSonaroManager::RenameGroup(const std::string& newName) {
    SonaroControl* control = Alive();
    return control != nullptr && control->RenameGroup(newName) != 0;
}

// ---- Voice mail and sounds ----

bool CSonaroManager::RecordWave(const std::string& path, std::int16_t on) {
    SonaroControl* control = Alive();
    return control != nullptr && control->RecordWave(path, on) != 0;
}

std::int16_t CSonaroManager::PlayFile(const std::string& path, std::int32_t volume) {
    SonaroControl* control = Alive();
    return control != nullptr ? control->PlayFile(path, volume) : std::int16_t{-1};
}

bool CSonaroManager::StopFile(std::int16_t handle) {
    SonaroControl* control = Alive();
    return control != nullptr && control->StopFile(handle) != 0;
}

bool CSonaroManager::PauseFile(std::int16_t handle, bool pause) {
    SonaroControl* control = Alive();
    return control != nullptr && control->PauseFile(handle, pause ? 1 : 0) != 0;
}

std::int16_t CSonaroManager::PlayWave(const std::string& path, std::int32_t volume) {
    SonaroControl* control = Alive();
    return control != nullptr ? control->PlayWave(ProgramPath(path), volume) : std::int16_t{0};
}

void CSonaroManager::PlaySoundEvent(const std::string& name) {
    const std::string path = soundSettings_.GetString("General", name + "Wav", "default.wav");
    const std::int32_t volume = soundSettings_.GetInt("General", name + "Vol", 100);
    if (path.size() < 2) {
        return;
    }
    bool always = false;
    for (const char* event : kAlwaysSounding) {
        always = always || name == event;
    }
    if (!always && options_.PlaySounds() != 1) {
        return;
    }
    const std::string file = ProgramPath(path);
    Trace(kClass, "PlaySoundEvent", name + " " + file);
    if (SonaroControl* control = Alive()) {
        control->PlayWave(file, volume);
        return;
    }
    if (wavePlayer_) {
        // The engine would look in the current directory, which is the program folder.
        wavePlayer_->Play(file.front() == '/' ? file : programFolder_ + file, volume);
    }
}

// ---- Pass-through reads ----

std::string CSonaroManager::GetUserList() {
    SonaroControl* control = Alive();
    return control != nullptr ? control->GetUserList() : std::string();
}

std::int32_t CSonaroManager::GetPing() {
    SonaroControl* control = Alive();
    return control != nullptr ? control->GetPing() : 0;
}

float CSonaroManager::GetPacketLoss() {
    SonaroControl* control = Alive();
    return control != nullptr ? control->GetPacketLoss() : 0.0f;
}

bool CSonaroManager::IsCurrentVersion() {
    SonaroControl* control = Alive();
    return control != nullptr && control->IsCurrentVersion() != 0;
}

std::int32_t CSonaroManager::RequiredVersions() {
    SonaroControl* control = Alive();
    return control != nullptr ? control->RequiredVersions() : 0;
}

std::int32_t CSonaroManager::StatusCode() {
    SonaroControl* control = Alive();
    return control != nullptr ? control->StatusCode() : 0;
}

// ---- Engine events ----

void CSonaroManager::TalkAfterJoin() {
    if (SonaroControl* control = Alive(); control != nullptr && SetStandby(false)) {
        control->Talk(PushToTalkInEffect() ? 0 : 1);
    }
}

void CSonaroManager::connectionEvent(std::int16_t state, const std::string& msg) {
    Trace(kClass, "OnConnectionEvent", std::to_string(state) + " " + msg);
    if (SonaroControl* control = Alive()) {
        if (state != 0) {
            char line[64];
            std::snprintf(line, sizeof line,
                          "Connection Error: State=%ld Msg=", static_cast<long>(state));
            AppendTrace(line + msg);
            const bool inProgress = IsInGroupOrConference();
            Disconnect(false);
            endedInGroupOrConference_ = endedInGroupOrConference_ || inProgress;
        } else {
            state_ = kConnected;
            NotifyState(kConnected);
            control->SetUserId(userId_);
            control->SetUserName(nickname_);
            StartAudio();
            control->SetParameter(sonaro_parameter::kLocalEcho, options_.LocalEcho());
            control->SetModeFlags(0);
        }
    }
    std::get<ee::connectionEvent::kIndex>(subscribers_).Deliver(state, msg);
}

void CSonaroManager::Registered(const std::string& name) {
    Trace(kClass, "OnRegistered", name);
    SonaroControl* control = Alive();
    if (control == nullptr) {
        return;
    }
    state_ = kLoggedIn;
    NotifyState(kLoggedIn);
    // The engine answers every non-empty line it was handed but our own id; a burst is that
    // long. A list it refused is answered by nothing, and the burst would never end.
    const bool watchSent = control->SetWatchList(watchList_, sonaro_list_op::kReplace) != 0;
    pendingWatchReplies_ = watchSent ? static_cast<int>(CountListEntries(watchList_, userId_)) : 0;
    control->SetBlockList(blockList_, sonaro_list_op::kReplace);
    control->SetStatus(presenceMode_);
    if (!standby_) {
        if (options_.BehindFirewall() != 0) {
            control->Talk(1);
        }
        control->Talk(0);
    }
}

void CSonaroManager::JoinedGroup(const std::string& groupName) {
    Trace(kClass, "OnJoinedGroup", groupName);
    if (SonaroControl* control = Alive()) {
        currentGroup_ = groupName;
        if (!groupName.empty()) {
            TalkAfterJoin();
        } else {
            if (!standby_) {
                control->Talk(0);
            }
            leaveTime_ = clock_.Now();
        }
    }
    std::get<ee::JoinedGroup::kIndex>(subscribers_).Deliver(groupName);
}

void CSonaroManager::JoinedConference(std::int32_t id, Bool32 joined, Bool32 deleted) {
    Trace(kClass, "OnJoinedConference", std::to_string(id));
    if (SonaroControl* control = Alive()) {
        if (joined != 0) {
            conferenceId_ = id;
            TalkAfterJoin();
        }
        if (deleted != 0) {
            if (id == conferenceId_ || id == 0) {
                conferenceId_ = 0;
                if (!standby_) {
                    control->Talk(0);
                }
            }
            leaveTime_ = clock_.Now();
        }
    }
    std::get<ee::JoinedConference::kIndex>(subscribers_).Deliver(id, joined != 0, deleted != 0);
}

void CSonaroManager::Watch(const std::string& name, std::int16_t status) {
    Trace(kClass, "OnWatch", name);
    bool initial = false;
    bool last = false;
    if (pendingWatchReplies_ > 0) {
        initial = true;
        --pendingWatchReplies_;
        last = pendingWatchReplies_ == 0;
    }
    std::get<ee::Watch::kIndex>(subscribers_).Deliver(name, status, initial, last);
}

void CSonaroManager::userListUpdate() {
    Trace(kClass, "OnUserListUpdate");
    SonaroControl* control = Alive();
    userListText_ = control != nullptr ? control->GetUserList() : std::string();
    std::get<ee::userListUpdate::kIndex>(subscribers_).Deliver(userListText_);
}

void CSonaroManager::groupListUpdate() {
    Trace(kClass, "OnGroupListUpdate");
    SonaroControl* control = Alive();
    groupListText_ = control != nullptr ? control->GetGroupList() : std::string();
    std::get<ee::groupListUpdate::kIndex>(subscribers_).Deliver(groupListText_);
}

void CSonaroManager::UserMessage(const std::string& alias, const std::string& uid,
                                 std::int16_t msgNum, std::int16_t msgParam,
                                 const std::string& msgText) {
    Trace(kClass, "OnUserMessage", std::to_string(msgNum));
    std::get<ee::UserMessage::kIndex>(subscribers_).Deliver(alias, uid, msgNum, msgParam, msgText);
    if (msgNum == 8 && options_.LogEvents() != 0 && eventLog_ != nullptr && eventLog_->IsOpen()) {
        eventLog_->LogIncomingMessage(SecondsSince1970(), uid, alias, msgText);
    }
}

void CSonaroManager::userTalking(const std::string& name, const std::string& second,
                                 Bool32 startStop) {
    Trace(kClass, "OnUserTalking", name);
    std::get<ee::userTalking::kIndex>(subscribers_).Deliver(name, second, startStop != 0);
}

void CSonaroManager::canTalkEvent(Bool32 onOff) {
    Trace(kClass, "OnCanTalkEvent");
    std::get<ee::canTalkEvent::kIndex>(subscribers_).Deliver(onOff != 0);
}

void CSonaroManager::mikeActive(std::int16_t state) {
    Trace(kClass, "OnMikeActive");
    std::get<ee::mikeActive::kIndex>(subscribers_).Deliver(state);
}

void CSonaroManager::serverMessage(std::int16_t type, std::int16_t msgNum,
                                   const std::string& msgText) {
    Trace(kClass, "OnServerMessage", std::to_string(msgNum));
    std::get<ee::serverMessage::kIndex>(subscribers_).Deliver(type, msgNum, msgText);
}

void CSonaroManager::Found(const std::string& alias, Bool32 online, const std::string& group) {
    Trace(kClass, "OnFound", alias);
    std::get<ee::Found::kIndex>(subscribers_).Deliver(alias, online != 0, group);
}

void CSonaroManager::UserChange(const std::string& name, const std::string& second,
                                std::int16_t changeType, Bool32 existing) {
    Trace(kClass, "OnUserChange", name);
    std::get<ee::UserChange::kIndex>(subscribers_).Deliver(name, second, changeType, existing != 0);
}

void CSonaroManager::Invitation(std::int32_t id, const std::string& fromAlias,
                                const std::string& fromId, std::int16_t msgNum,
                                const std::string& msgText) {
    Trace(kClass, "OnInvitation", std::to_string(id));
    std::get<ee::Invitation::kIndex>(subscribers_).Deliver(id, fromAlias, fromId, msgNum, msgText);
}

void CSonaroManager::AcceptedConference(Bool32 flag, const std::string& fromAlias,
                                        const std::string& fromId, std::int16_t msgNum,
                                        const std::string& msgText) {
    Trace(kClass, "OnAcceptedConference", fromId);
    std::get<ee::AcceptedConference::kIndex>(subscribers_)
        .Deliver(flag != 0, fromAlias, fromId, msgNum, msgText);
}

void CSonaroManager::ConferenceMessage(const std::string& fromAlias, const std::string& fromId,
                                       std::int16_t msgNum, const std::string& msgText) {
    Trace(kClass, "OnConferenceMessage", fromId);
    std::get<ee::ConferenceMessage::kIndex>(subscribers_)
        .Deliver(fromAlias, fromId, msgNum, msgText);
}

void CSonaroManager::InvitationCancel(std::int32_t id, const std::string& fromAlias,
                                      const std::string& fromId, std::int16_t msgNum,
                                      const std::string& msgText) {
    Trace(kClass, "OnInvitationCancel", std::to_string(id));
    std::get<ee::InvitationCancel::kIndex>(subscribers_)
        .Deliver(id, fromAlias, fromId, msgNum, msgText);
}

void CSonaroManager::FirewallNotify(std::int32_t code) {
    Trace(kClass, "OnFirewallNotify", std::to_string(code));
}

}  // namespace qv
