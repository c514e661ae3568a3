#include "NetControl.h"

#include <algorithm>
#include <chrono>

namespace qv::net {

namespace {

bool Carries(const std::string& text, std::size_t limit) {
    return text.size() <= limit && text.find('\0') == std::string::npos;
}

bool IsListOp(std::int16_t op) {
    return op >= sonaro_list_op::kReplace && op <= sonaro_list_op::kRemove;
}

// SetParameter's kinds.
constexpr std::int16_t kLocalEcho = 0;
constexpr std::int16_t kBehindFirewall = 1;
constexpr std::int16_t kConnectionSpeed = 2;

// ConnectionSpeed 0 (and below) is the slow class: a lower bit rate, one speaker forwarded.
bool IsSlowLink(std::int32_t connectionSpeed) {
    return connectionSpeed < 1;
}

// Frames of calls; forums, where hundreds listen, send half as many packets.
constexpr int kCallFrameMs = 10;
constexpr int kForumFrameMs = 20;

// SendUserMessage's text chat numbers that a local echo shows back (lines and emotes; a
// whisper 5 goes to one member by name).
bool IsEchoedChat(std::int16_t number) {
    return number == 4 || number == 6;
}

// An id list as the member operations carry it: each id ended by a line feed.
std::string AsIdLines(const std::string& ids) {
    if (!ids.empty() && ids.back() != '\n') {
        return ids + '\n';
    }
    return ids;
}

bool IsOp(std::int16_t op) {
    return op == 1 || op == 2;
}

// Voice counts as flowing while a packet came this recently; GetPacketLoss then reads the
// receivers' statistics instead of the pings'.
constexpr std::int64_t kVoiceFlowingNs = 2'000'000'000;

std::int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

NetControl::NetControl(SonaroEventSink& sink, std::uint32_t build) : sink_(sink), build_(build) {}

NetControl::~NetControl() {
    Disconnect();
    std::vector<std::unique_ptr<NetSession>> stopped;
    {
        std::lock_guard lock(mutex_);
        stopped.swap(stopped_);
    }
    stopped.clear();
    {
        // Stops the devices and finishes a recording.
        std::lock_guard lock(audioMutex_);
        audio_.reset();
    }
    std::lock_guard lock(soundMutex_);
    player_.reset();
}

void* NetControl::QueryExtension(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    const std::string wanted = name;
    if (wanted == kSonaroCredentialsExtension) {
        return static_cast<SonaroCredentials*>(this);
    }
    if (wanted == kSonaroTransportExtension) {
        return static_cast<SonaroTransport*>(this);
    }
    if (wanted == kSonaroNetTuningExtension) {
        return static_cast<SonaroNetTuning*>(this);
    }
    return nullptr;
}

void NetControl::SetVoiceTicket(const std::string& ticket) {
    std::lock_guard lock(mutex_);
    ticket_ = ticket;
    if (session_) {
        session_->SetVoiceTicket(ticket);
    }
}

void NetControl::SetTrustedAuthorities(const std::string& caFile) {
    std::lock_guard lock(mutex_);
    caFile_ = caFile;
}

void NetControl::SetWelcomeTimeout(std::int32_t milliseconds) {
    std::lock_guard lock(mutex_);
    welcomeTimeoutMs_ = std::max<std::int32_t>(1, milliseconds);
}

void NetControl::SetSilenceTimeout(std::int32_t milliseconds) {
    std::lock_guard lock(mutex_);
    silenceTimeoutMs_ = std::max<std::int32_t>(1, milliseconds);
}

bool NetControl::SetAudioDevice(const std::string& text) {
    std::optional<audio::AudioDeviceChoice> choice = audio::ParseAudioDeviceChoice(text);
    if (!choice) {
        return false;
    }
    std::lock_guard lock(audioMutex_);
    device_ = std::move(choice);
    if (audio_ && !audio_->Running()) {
        // Made anew with this device on its next use.
        audio_.reset();
        recording_.clear();
    }
    return true;
}

void NetControl::SetMediaBindTimeout(std::int32_t milliseconds) {
    std::lock_guard lock(mutex_);
    mediaBindTimeoutMs_ = std::max<std::int32_t>(1, milliseconds);
}

void NetControl::SetMediaRelay(const std::string& host, std::uint16_t port) {
    std::lock_guard lock(mutex_);
    mediaRelayHost_ = host;
    mediaRelayPort_ = port;
}

std::int64_t NetControl::AudioDeviceEpochNs() {
    std::lock_guard lock(audioMutex_);
    return audio_ ? audio_->DeviceEpochNs() : 0;
}

audio::AudioEngine& NetControl::Audio() {
    if (!audio_) {
        audio::AudioEvents events;
        events.frame = [this](const audio::EncodedFrame& frame) { bridge_.Frame(frame); };
        events.mikeActive = [this](bool on) { bridge_.MikeActive(on); };
        events.talking = [this](std::uint32_t streamId, bool on) { bridge_.Talking(streamId, on); };
        audio_ = std::make_unique<audio::AudioEngine>(
            device_ ? *device_ : audio::AudioDeviceChoiceFromEnvironment(), std::move(events));
        std::int16_t codec = 0;
        std::int32_t squelch = 0;
        std::int32_t muteVolume = 0;
        bool localEcho = false;
        bool slowLink = false;
        {
            std::lock_guard lock(mutex_);
            codec = codec_;
            squelch = squelch_;
            muteVolume = muteVolume_;
            const auto echo = parameters_.find(kLocalEcho);
            localEcho = echo != parameters_.end() && echo->second != 0;
            const auto speed = parameters_.find(kConnectionSpeed);
            slowLink = speed != parameters_.end() && IsSlowLink(speed->second);
        }
        audio_->SetCodec(codec);
        audio_->SetSquelch(squelch);
        audio_->SetMuteVolume(muteVolume);
        audio_->SetLocalEcho(localEcho);
        audio_->SetSlowLink(slowLink);
        audio_->SetFrameMs(frameMs_);
        audio_->SetTalk(Transmit());
        audio_->SetConversation(conversation_);
    }
    return *audio_;
}

void NetControl::SetSampleRate(std::int32_t value) {
    std::lock_guard lock(mutex_);
    sampleRate_ = value;
}

void NetControl::SetUserName(const std::string& value) {
    std::lock_guard lock(mutex_);
    userName_ = value;
    if (session_) {
        session_->SetNickname(value);
    }
}

void NetControl::SetCodec(std::int16_t value) {
    {
        std::lock_guard lock(mutex_);
        codec_ = value;
    }
    std::lock_guard lock(audioMutex_);
    if (audio_) {
        audio_->SetCodec(value);  // from the next StartAudio on
    }
}

void NetControl::SetSquelch(std::int32_t value) {
    {
        std::lock_guard lock(mutex_);
        squelch_ = value;
    }
    std::lock_guard lock(audioMutex_);
    if (audio_) {
        audio_->SetSquelch(value);
    }
}

void NetControl::SetModeFlags(std::int32_t value) {
    std::lock_guard lock(mutex_);
    modeFlags_ = value;
    if (NetSession* session = Live()) {
        session->RefreshGroups();
    }
}

void NetControl::SetUserId(const std::string& value) {
    std::lock_guard lock(mutex_);
    userId_ = value;
    if (session_) {
        session_->SetUserId(value);
    }
}

std::int32_t NetControl::RequiredVersions() {
    std::lock_guard lock(mutex_);
    return requiredVersions_;
}

void NetControl::SetMuteVolume(std::int32_t value) {
    {
        std::lock_guard lock(mutex_);
        muteVolume_ = value;
    }
    std::lock_guard lock(audioMutex_);
    if (audio_) {
        audio_->SetMuteVolume(value);
    }
}

Bool32 NetControl::Talk(Bool32 on) {
    std::lock_guard lock(audioMutex_);
    talk_ = on != 0;
    if (audio_) {
        audio_->SetTalk(Transmit());
    }
    return 1;
}

std::int32_t NetControl::StartAudio() {
    std::lock_guard lock(audioMutex_);
    audio::AudioEngine& engine = Audio();
    if (engine.Running()) {
        return 0;
    }
    return engine.Start();
}

Bool32 NetControl::StopAudio() {
    std::lock_guard lock(audioMutex_);
    if (audio_) {
        if (!recording_.empty()) {
            audio_->RecordWave(recording_, false);
            recording_.clear();
        }
        audio_->Stop();
    }
    return 1;
}

Bool32 NetControl::SetStandby(Bool32 standby) {
    std::lock_guard lock(audioMutex_);
    if (!audio_ || !audio_->Running()) {
        // Nothing is held; taking the devices again is StartAudio's.
        return 1;
    }
    return audio_->SetStandby(standby != 0) ? 1 : 0;
}

Bool32 NetControl::RecordWave(const std::string& path, std::int16_t on) {
    std::lock_guard lock(audioMutex_);
    if (on != 0) {
        if (path.empty()) {
            return 0;
        }
        if (!Audio().RecordWave(path, true)) {
            return 0;
        }
        recording_ = path;
        return 1;
    }
    if (!audio_) {
        return 0;
    }
    const bool ok = audio_->RecordWave(path.empty() ? recording_ : path, false);
    recording_.clear();
    return ok ? 1 : 0;
}

std::int16_t NetControl::PlayFile(const std::string& path, std::int32_t volume) {
    if (path.empty()) {
        return -1;
    }
    std::lock_guard lock(audioMutex_);
    return Audio().PlayFile(path, volume);
}

Bool32 NetControl::StopFile(std::int16_t handle) {
    std::lock_guard lock(audioMutex_);
    return audio_ && handle > 0 && audio_->StopFile(handle) ? 1 : 0;
}

Bool32 NetControl::PauseFile(std::int16_t handle, Bool32 pause) {
    std::lock_guard lock(audioMutex_);
    return audio_ && handle > 0 && audio_->PauseFile(handle, pause != 0) ? 1 : 0;
}

Bool32 NetControl::Connect(const std::string& server, std::int16_t port) {
    const auto wirePort = static_cast<std::uint16_t>(port);
    std::unique_ptr<NetSession> finished;
    {
        std::lock_guard lock(mutex_);
        if (server.empty() || wirePort == 0 || Live() != nullptr) {
            return 0;
        }
        finished = std::move(session_);
        NextGeneration();
        requiredControlBuild_ = 0;
        requiredVersions_ = 0;
        SessionSettings settings;
        settings.server = server;
        settings.port = wirePort;
        settings.controlBuild = build_;
        settings.generation = generation_;
        settings.welcomeTimeout = std::chrono::milliseconds(welcomeTimeoutMs_);
        settings.silenceTimeout = std::chrono::milliseconds(silenceTimeoutMs_);
        settings.userId = userId_;
        settings.ticket = ticket_;
        settings.caFile = caFile_;
        settings.bridge = &bridge_;
        const auto firewall = parameters_.find(kBehindFirewall);
        settings.behindFirewall = firewall != parameters_.end() && firewall->second != 0;
        const auto speed = parameters_.find(kConnectionSpeed);
        settings.slowLink = speed != parameters_.end() && IsSlowLink(speed->second);
        settings.media.bindTimeout = std::chrono::milliseconds(mediaBindTimeoutMs_);
        settings.media.udpHost = mediaRelayHost_;
        settings.media.udpPort = mediaRelayPort_;
        settings.media.timeline = &timeline_;
        session_ =
            std::make_unique<NetSession>(std::move(settings), static_cast<SessionHost&>(*this));
        session_->Start();
    }
    Retire(std::move(finished));
    return 1;
}

Bool32 NetControl::Disconnect() {
    std::unique_ptr<NetSession> ended;
    {
        std::lock_guard lock(mutex_);
        NextGeneration();
        ended = std::move(session_);
    }
    Retire(std::move(ended));
    // The session's own end is no longer heard: no conversation, and the recording is finished.
    std::lock_guard lock(audioMutex_);
    conversation_ = false;
    mayTalk_ = true;
    frameMs_ = kCallFrameMs;
    if (audio_) {
        audio_->SetConversation(false);
        audio_->SetTalk(Transmit());
        audio_->SetFrameMs(frameMs_);
        audio_->ResetReceivers();
        if (!recording_.empty()) {
            audio_->RecordWave(recording_, false);
            recording_.clear();
        }
    }
    return 1;
}

void NetControl::NextGeneration() {
    ++generation_;
    liveGeneration_ = generation_;
}

std::int16_t NetControl::PlayWave(const std::string& path, std::int32_t volume) {
    {
        // While audio runs, sounds are mixed into the engine's own output.
        std::lock_guard lock(audioMutex_);
        if (audio_ && audio_->Running()) {
            audio_->PlayWave(path, volume);
            if (!path.empty()) {
                return 0;
            }
        } else if (audio_ && path.empty()) {
            audio_->PlayWave(path, volume);
        }
    }
    std::lock_guard lock(soundMutex_);
    if (path.empty()) {
        if (player_) {
            player_->Stop();
        }
        return 0;
    }
    if (!player_) {
        player_ = MakeWavePlayer();
    }
    player_->Play(path, volume);
    return 0;
}

Bool32 NetControl::SendUserMessage(const std::string& alias, std::int16_t number,
                                   std::int16_t parameter, const std::string& text) {
    // The alias goes as it is: a user id, a nickname (a whisper) or empty (the conversation).
    if (!Carries(alias, voice::kMaxAlias) || !Carries(text, voice::kMaxMessageText)) {
        return 0;
    }
    std::string frame = voice::Encode(voice::SendUserMessage{alias, number, parameter, text});
    if (!alias.empty()) {
        return Request(std::move(frame));
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Live();
    if (session == nullptr) {
        return 0;
    }
    const auto echo = parameters_.find(kLocalEcho);
    const bool echoed = IsEchoedChat(number) && echo != parameters_.end() && echo->second != 0;
    session->RequestChat(std::move(frame), echoed, number, parameter, text);
    return 1;
}

Bool32 NetControl::IsCurrentVersion() {
    std::lock_guard lock(mutex_);
    return build_ >= requiredControlBuild_ ? 1 : 0;
}

std::int32_t NetControl::SetParameter(std::int16_t kind, std::int32_t value) {
    {
        std::lock_guard lock(mutex_);
        parameters_[kind] = value;
        if (NetSession* session = Live()) {
            if (kind == kBehindFirewall) {
                session->SetBehindFirewall(value != 0);
            } else if (kind == kConnectionSpeed) {
                session->SetSlowLink(IsSlowLink(value));
            }
        }
    }
    std::lock_guard lock(audioMutex_);
    if (audio_) {
        if (kind == kLocalEcho) {
            audio_->SetLocalEcho(value != 0);
        } else if (kind == kConnectionSpeed) {
            audio_->SetSlowLink(IsSlowLink(value));
        }
    }
    return 0;
}

Bool32 NetControl::SetBlockList(const std::string& list, std::int16_t op) {
    return RequestList(ListKind::kBlock, list, op);
}

Bool32 NetControl::SetWatchList(const std::string& list, std::int16_t op) {
    return RequestList(ListKind::kWatch, list, op);
}

Bool32 NetControl::RequestList(ListKind kind, const std::string& list, std::int16_t op) {
    // Longer lists go in pieces; the whole is bounded by what the server holds for one list.
    if (!IsListOp(op) || !Carries(list, voice::kMaxWholeList)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Live();
    if (session == nullptr) {
        return 0;
    }
    session->RequestList(kind, static_cast<std::uint8_t>(op), list);
    return 1;
}

std::string NetControl::GetUserList() {
    std::lock_guard lock(mutex_);
    NetSession* session = Live();
    if (session == nullptr) {
        return {};
    }
    // The forum's roster, else the active call's.
    if (session->Forums().In()) {
        return session->Forums().UserList();
    }
    return session->Forums().MarkMuted(session->Conferences().UserList());
}

std::string NetControl::GetGroupList() {
    std::lock_guard lock(mutex_);
    NetSession* session = Live();
    return session != nullptr ? session->Forums().GroupList() : std::string();
}

Bool32 NetControl::JoinGroup(const std::string& path, const std::string& password,
                             std::int32_t flags) {
    if (!Carries(path, voice::kMaxForumPath) || !Carries(password, voice::kMaxForumPassword)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Foruming();
    if (session == nullptr) {
        return 0;
    }
    session->Request(voice::Encode(voice::JoinGroup{++joinRequest_, path, password, flags}));
    return 1;
}

Bool32 NetControl::MemberRequest(const std::string& ids,
                                 const std::function<std::string(std::string)>& encode) {
    const std::string lines = AsIdLines(ids);
    if (lines.empty() || !Carries(lines, voice::kMaxWholeList)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Foruming();
    if (session == nullptr) {
        return 0;
    }
    // Each id is acted on by itself, so cutting at line feeds changes nothing.
    for (std::string& piece : voice::SplitList(lines)) {
        session->Request(encode(std::move(piece)));
    }
    return 1;
}

Bool32 NetControl::BanMember(const std::string& ids, std::int16_t op) {
    if (!IsOp(op)) {
        return 0;
    }
    return MemberRequest(ids, [op](std::string piece) {
        return voice::EncodeBanMember(voice::MemberOperation{std::move(piece), op});
    });
}

Bool32 NetControl::SetMemberMicrophone(const std::string& ids, std::int16_t op) {
    if (!IsOp(op)) {
        return 0;
    }
    return MemberRequest(ids, [op](std::string piece) {
        return voice::EncodeSetMemberMicrophone(voice::MemberOperation{std::move(piece), op});
    });
}

Bool32 NetControl::SetMemberRole(const std::string& ids, std::int16_t owner, std::int16_t op) {
    if ((owner != 0 && owner != 1) || !IsOp(op)) {
        return 0;
    }
    return MemberRequest(ids, [owner, op](std::string piece) {
        return voice::Encode(voice::SetMemberRole{std::move(piece), owner, op});
    });
}

Bool32 NetControl::DisbandGroup() {
    std::lock_guard lock(mutex_);
    NetSession* session = Foruming();
    if (session == nullptr) {
        return 0;
    }
    session->Request(voice::Encode(voice::DisbandGroup{}));
    return 1;
}

Bool32 NetControl::RenameGroup(const std::string& path) {
    if (path.empty() || !Carries(path, voice::kMaxForumPath)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Foruming();
    if (session == nullptr) {
        return 0;
    }
    session->Request(voice::Encode(voice::RenameGroup{path}));
    return 1;
}

Bool32 NetControl::MuteMember(const std::string& ids, Bool32 mute) {
    const std::string lines = AsIdLines(ids);
    if (lines.empty() || !Carries(lines, voice::kMaxWholeList)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Live();
    if (session == nullptr) {
        return 0;
    }
    // Only this listener's: the member's voice is not played and its row carries X.
    bool changed = false;
    std::size_t pos = 0;
    while (pos < lines.size()) {
        const std::size_t end = lines.find('\n', pos);
        const std::string id = lines.substr(pos, end - pos);
        pos = end + 1;
        if (!id.empty()) {
            changed = session->Forums().SetMuted(id, mute != 0) || changed;
        }
    }
    if (changed) {
        session->ListChangedLater();
    }
    return 1;
}

Bool32 NetControl::InviteUser(const std::string& alias, std::int16_t kind,
                              const std::string& text) {
    if (alias.empty() || !Carries(alias, voice::kMaxAlias) ||
        !Carries(text, voice::kMaxMessageText)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Conferencing();
    if (session == nullptr) {
        return 0;
    }
    session->Conferences().Inviting();
    session->Request(voice::Encode(voice::InviteUser{alias, kind, text}));
    return 1;
}

Bool32 NetControl::AcceptConference(std::int32_t id) {
    std::lock_guard lock(mutex_);
    NetSession* session = Conferencing();
    if (session == nullptr || !session->Conferences().MayAccept(id)) {
        return 0;
    }
    session->Request(voice::Encode(voice::AcceptConference{id}));
    return 1;
}

Bool32 NetControl::DeclineConference(std::int32_t id, std::int16_t reason,
                                     const std::string& text) {
    if (!Carries(text, voice::kMaxMessageText)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Conferencing();
    if (session == nullptr || !session->Conferences().MayDecline(id)) {
        return 0;
    }
    session->Request(voice::EncodeDecline(voice::ConferenceRequest{id, reason, text}));
    return 1;
}

Bool32 NetControl::LeaveConference(std::int32_t id, std::int16_t reason, const std::string& text) {
    if (!Carries(text, voice::kMaxMessageText)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Conferencing();
    if (session == nullptr) {
        return 0;
    }
    ConferenceBook& book = session->Conferences();
    if (id == 0) {
        // A call hung up before its conference was joined: that conference is left all the same,
        // or the next call would be made inside it.
        bool armed = false;
        id = book.HangUpUnjoined(armed);
        if (armed) {
            session->FenceUnjoined();
            return 1;
        }
        if (id == 0) {
            return 0;
        }
    } else if (!book.MayLeave(id)) {
        return 0;
    }
    session->Request(voice::EncodeLeave(voice::ConferenceRequest{id, reason, text}));
    return 1;
}

Bool32 NetControl::HoldConference(std::int32_t id, std::int16_t reason, const std::string& text) {
    if (!Carries(text, voice::kMaxMessageText)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Conferencing();
    if (session == nullptr || !session->Conferences().MayHold(id)) {
        return 0;
    }
    session->Request(voice::EncodeHold(voice::ConferenceRequest{id, reason, text}));
    return 1;
}

Bool32 NetControl::CancelInvitations(const std::string& aliases, std::int16_t reason,
                                     const std::string& text) {
    if (aliases.empty() || !Carries(aliases, voice::kMaxWholeList) ||
        !Carries(text, voice::kMaxMessageText)) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    NetSession* session = Conferencing();
    if (session == nullptr) {
        return 0;
    }
    // Each piece is applied by itself, so cutting at line feeds changes nothing.
    for (std::string& ids : voice::SplitList(aliases, voice::kMaxCancelList)) {
        session->Request(voice::Encode(voice::CancelInvitations{std::move(ids), reason, text}));
    }
    return 1;
}

std::int32_t NetControl::GetPing() {
    std::lock_guard lock(mutex_);
    NetSession* session = Live();
    return session != nullptr ? session->PingMs() : 0;
}

float NetControl::GetPacketLoss() {
    bool voiceFlowing = false;
    float pingLoss = 0.0f;
    {
        std::lock_guard lock(mutex_);
        NetSession* session = Live();
        if (session == nullptr) {
            return 0.0f;
        }
        pingLoss = session->LossPercent();
        const std::int64_t lastVoice = session->LastVoiceNs();
        voiceFlowing = lastVoice != 0 && MonotonicNs() - lastVoice < kVoiceFlowingNs;
    }
    if (voiceFlowing) {
        std::lock_guard lock(audioMutex_);
        if (audio_) {
            return audio_->PacketLoss();
        }
    }
    return pingLoss;
}

Bool32 NetControl::SetStatus(std::int16_t mode) {
    if (!voice::IsPresenceMode(mode)) {
        return 0;
    }
    return Request(voice::Encode(voice::SetStatus{mode}));
}

void NetControl::RaiseEvent(std::uint64_t generation, const Raise& raise) {
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_) {
            return;
        }
    }
    // Not under the lock: the sink may call straight back into this instance.
    raise(sink_);
}

void NetControl::VoiceArrived(std::uint64_t generation, audio::ReceivedFrame frame) {
    if (generation != liveGeneration_.load()) {
        return;
    }
    std::lock_guard lock(audioMutex_);
    if (audio_ && conversation_) {
        audio_->Receive(std::move(frame));
    }
}

void NetControl::ConversationChanged(std::uint64_t generation, const ConversationState& state) {
    if (generation != liveGeneration_.load()) {
        return;
    }
    std::lock_guard lock(audioMutex_);
    const bool switched =
        state.active != conversation_ || (state.forum ? kForumFrameMs : kCallFrameMs) != frameMs_;
    conversation_ = state.active;
    mayTalk_ = state.mayTalk;
    frameMs_ = state.forum ? kForumFrameMs : kCallFrameMs;
    if (audio_) {
        if (switched) {
            // What the speakers of the old conversation left in their buffers is not played.
            audio_->ResetReceivers();
        }
        audio_->SetFrameMs(frameMs_);
        audio_->SetTalk(Transmit());
        audio_->SetConversation(state.active);
    }
}

void NetControl::Welcomed(std::uint64_t generation, const voice::Welcome& welcome) {
    std::lock_guard lock(mutex_);
    if (generation == generation_) {
        requiredControlBuild_ = welcome.requiredControlBuild;
        requiredVersions_ = welcome.requiredVersions;
    }
}

NetSession* NetControl::Live() {
    return session_ && !session_->Over() ? session_.get() : nullptr;
}

NetSession* NetControl::Foruming() {
    NetSession* session = Live();
    return session != nullptr && session->Protocol() >= voice::kForumVersion ? session : nullptr;
}

NetSession* NetControl::Conferencing() {
    NetSession* session = Live();
    return session != nullptr && session->Protocol() >= voice::kConferenceVersion ? session
                                                                                  : nullptr;
}

bool NetControl::Request(std::string frame) {
    std::lock_guard lock(mutex_);
    NetSession* session = Live();
    if (session == nullptr) {
        return false;
    }
    session->Request(std::move(frame));
    return true;
}

void NetControl::Retire(std::unique_ptr<NetSession> session) {
    if (session) {
        session->Stop();
        if (session->OnOwnThread()) {
            std::lock_guard lock(mutex_);
            stopped_.push_back(std::move(session));
        } else {
            session.reset();
        }
    }
    std::vector<std::unique_ptr<NetSession>> joinable;
    {
        std::lock_guard lock(mutex_);
        auto own = std::stable_partition(stopped_.begin(), stopped_.end(),
                                         [](const auto& s) { return s->OnOwnThread(); });
        std::move(own, stopped_.end(), std::back_inserter(joinable));
        stopped_.erase(own, stopped_.end());
    }
    joinable.clear();
}

}  // namespace qv::net
