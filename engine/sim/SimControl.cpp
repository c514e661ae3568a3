#include "SimControl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qv::sim {

namespace id = sonaro_id;

namespace {

constexpr const char* kOffline = "User is offline - ";
constexpr std::int16_t kTypeInformation = 1;
constexpr std::int16_t kJoinOnly = 2;
constexpr std::int32_t kHidden = 1;
constexpr std::int32_t kModerated = 4;
constexpr std::int32_t kControlledMicrophones = 8;
constexpr std::int16_t kInvisible = 32;
constexpr std::uint32_t kRecordRate = 8000;
constexpr std::uint32_t kMaxRecordMs = 61000;

std::string Arg(const std::string& text) {
    return QuoteForLog(text);
}
std::string Arg(std::int32_t value) {
    return std::to_string(value);
}
std::string Arg(std::int16_t value) {
    return std::to_string(value);
}

template <typename... Args>
std::string CallText(const char* name, const Args&... args) {
    std::string out = std::string(name) + "(";
    bool first = true;
    ((out += (first ? "" : ", ") + Arg(args), first = false), ...);
    return out + ")";
}

template <typename T>
std::string WriteText(const char* name, const T& value) {
    return std::string(name) + "=" + Arg(value);
}

std::vector<std::string> Lines(const std::string& list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        if (end > start) {
            out.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// Silence of that length in the format the engines exchange voice mail in.
bool WriteSilentWave(const std::string& path, std::uint32_t ms) {
    const std::uint32_t dataBytes = kRecordRate * 2 * ms / 1000;
    std::string file = "RIFF";
    PutLe(file, 36 + dataBytes, 4);
    file += "WAVEfmt ";
    PutLe(file, 16, 4);
    PutLe(file, 1, 2);                // PCM
    PutLe(file, 1, 2);                // mono
    PutLe(file, kRecordRate, 4);      // samples per second
    PutLe(file, kRecordRate * 2, 4);  // bytes per second
    PutLe(file, 2, 2);                // block alignment
    PutLe(file, 16, 2);               // bits per sample
    file += "data";
    PutLe(file, dataBytes, 4);
    file.append(dataBytes, '\0');
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

SimControl::SimControl(SonaroEventSink& sink, std::uint32_t build, std::int32_t requiredVersions)
    : sink_(sink), build_(build), requiredVersions_(requiredVersions) {
    forums_["Lobby"] = Forum{};
    forums_["Quorvane/General"] = Forum{};
    forums_["Quorvane/Help"] = Forum{"M", false, false};
}

SimControl::~SimControl() {
    worker_.Stop();
}

void* SimControl::QueryExtension(const char* name) {
    if (name != nullptr && std::strcmp(name, kSonaroSimulationExtension) == 0) {
        return static_cast<SonaroSimulation*>(this);
    }
    return nullptr;
}

// ---- Script and record ----

void SimControl::SetMode(Mode mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

Mode SimControl::GetMode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

std::vector<std::string> SimControl::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void SimControl::ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void SimControl::ScriptResults(int dispatchId, std::vector<Value> results) {
    std::lock_guard lock(mutex_);
    auto& queue = script_[dispatchId];
    queue.insert(queue.end(), results.begin(), results.end());
}

void SimControl::SetDefaultResult(int dispatchId, Value result) {
    std::lock_guard lock(mutex_);
    defaults_[dispatchId] = std::move(result);
}

void SimControl::Record(std::string entry) {
    calls_.push_back(std::move(entry));
}

std::int32_t SimControl::IntResult(int dispatchId, std::int32_t automatic) {
    auto scripted = script_.find(dispatchId);
    Value value;
    if (scripted != script_.end() && !scripted->second.empty()) {
        value = std::move(scripted->second.front());
        scripted->second.pop_front();
    } else if (Automatic()) {
        return automatic;
    } else if (auto d = defaults_.find(dispatchId); d != defaults_.end()) {
        value = d->second;
    } else {
        return RecordingDefault(dispatchId);
    }
    if (const auto* i = std::get_if<std::int32_t>(&value)) {
        return *i;
    }
    if (const auto* f = std::get_if<float>(&value)) {
        return static_cast<std::int32_t>(*f);
    }
    return 0;
}

std::int32_t SimControl::RecordingDefault(int dispatchId) const {
    switch (dispatchId) {
        case id::kPlayWave:
        case id::kStartAudio:
        case id::kSetParameter:
        case id::kGetPing:
        case id::kStatusCode:
            return 0;
        case id::kPlayFile:
            return 1;
        case id::kRequiredVersions:
            return requiredVersions_;
        default:
            return 1;  // the truth-valued methods: it worked
    }
}

std::string SimControl::TextResult(int dispatchId, const std::string& automatic) {
    auto scripted = script_.find(dispatchId);
    if (scripted != script_.end() && !scripted->second.empty()) {
        Value value = std::move(scripted->second.front());
        scripted->second.pop_front();
        const auto* text = std::get_if<std::string>(&value);
        return text != nullptr ? *text : std::string();
    }
    if (!Automatic()) {
        auto d = defaults_.find(dispatchId);
        const std::string* text =
            d != defaults_.end() ? std::get_if<std::string>(&d->second) : nullptr;
        return text != nullptr ? *text : std::string();
    }
    return automatic;
}

void SimControl::Reply(std::function<void()> work) {
    if (!Automatic()) {
        return;
    }
    const std::uint64_t session = session_;
    worker_.Post([this, session, work = std::move(work)] {
        std::lock_guard lock(mutex_);
        // A reply for a session that has ended is never raised.
        if (session == session_) {
            work();
        }
    });
}

std::int16_t SimControl::OwnStatus() const {
    return status_ == kInvisible ? kInvisible : static_cast<std::int16_t>(status_ | 1);
}

bool SimControl::Watched(const std::string& who) const {
    return std::find(watchList_.begin(), watchList_.end(), who) != watchList_.end();
}

std::string SimControl::OwnRow() const {
    const Forum* forum = nullptr;
    if (auto it = forums_.find(group_); !group_.empty() && it != forums_.end()) {
        forum = &it->second;
    }
    return userName_ + "\t" + userId_ + "\t" + (forum != nullptr && forum->owned ? "OM" : "") +
           "\n";
}

// ---- Properties ----

void SimControl::SetSampleRate(std::int32_t value) {
    std::lock_guard lock(mutex_);
    Record(WriteText("SampleRate", value));
}

void SimControl::SetUserName(const std::string& value) {
    std::lock_guard lock(mutex_);
    Record(WriteText("UserName", value));
    userName_ = value;
    if (connected_ && !registered_ && Automatic()) {
        registered_ = true;
        Reply([this, value] { sink_.Registered(value); });
    }
}

void SimControl::SetCodec(std::int16_t value) {
    std::lock_guard lock(mutex_);
    Record(WriteText("Codec", value));
}

void SimControl::SetSquelch(std::int32_t value) {
    std::lock_guard lock(mutex_);
    Record(WriteText("Squelch", value));
}

void SimControl::SetModeFlags(std::int32_t value) {
    std::lock_guard lock(mutex_);
    Record(WriteText("ModeFlags", value));
    if (connected_) {
        Reply([this] { sink_.groupListUpdate(); });
    }
}

std::int32_t SimControl::StatusCode() {
    std::lock_guard lock(mutex_);
    return IntResult(id::kStatusCode, 0);
}

void SimControl::SetUserId(const std::string& value) {
    std::lock_guard lock(mutex_);
    Record(WriteText("UserId", value));
    userId_ = value;
}

std::int32_t SimControl::RequiredVersions() {
    std::lock_guard lock(mutex_);
    return IntResult(id::kRequiredVersions, requiredVersions_);
}

void SimControl::SetMuteVolume(std::int32_t value) {
    std::lock_guard lock(mutex_);
    Record(WriteText("MuteVolume", value));
}

// ---- Connection ----

Bool32 SimControl::Connect(const std::string& server, std::int16_t port) {
    std::lock_guard lock(mutex_);
    Record(CallText("Connect", server, port));
    const Bool32 ok = IntResult(id::kConnect, server.empty() ? 0 : 1);
    if (ok != 0 && Automatic()) {
        ++session_;
        connected_ = true;
        registered_ = false;
        const std::string where = server + ":" + std::to_string(static_cast<std::uint16_t>(port));
        Reply([this, where] { sink_.connectionEvent(0, "Connected to " + where); });
    }
    return ok;
}

Bool32 SimControl::Disconnect() {
    std::lock_guard lock(mutex_);
    Record(CallText("Disconnect"));
    ++session_;
    worker_.Cancel();
    connected_ = false;
    registered_ = false;
    group_.clear();
    conference_ = 0;
    conferences_.clear();
    watchList_.clear();
    return IntResult(id::kDisconnect, 1);
}

// ---- Audio ----

std::int16_t SimControl::PlayWave(const std::string& path, std::int32_t volume) {
    std::lock_guard lock(mutex_);
    Record(CallText("PlayWave", path, volume));
    return static_cast<std::int16_t>(IntResult(id::kPlayWave, 0));
}

Bool32 SimControl::Talk(Bool32 on) {
    std::lock_guard lock(mutex_);
    Record(CallText("Talk", on));
    return IntResult(id::kTalk, 1);
}

std::int32_t SimControl::StartAudio() {
    std::lock_guard lock(mutex_);
    Record(CallText("StartAudio"));
    return IntResult(id::kStartAudio, 0);
}

Bool32 SimControl::StopAudio() {
    std::lock_guard lock(mutex_);
    Record(CallText("StopAudio"));
    return IntResult(id::kStopAudio, 1);
}

Bool32 SimControl::SetStandby(Bool32 standby) {
    std::lock_guard lock(mutex_);
    Record(CallText("SetStandby", standby));
    return IntResult(id::kSetStandby, 1);
}

Bool32 SimControl::IsCurrentVersion() {
    std::lock_guard lock(mutex_);
    Record(CallText("IsCurrentVersion"));
    return IntResult(id::kIsCurrentVersion, 1);
}

std::int32_t SimControl::SetParameter(std::int16_t kind, std::int32_t value) {
    std::lock_guard lock(mutex_);
    Record(CallText("SetParameter", kind, value));
    if (kind == sonaro_parameter::kLocalEcho) {
        localEcho_ = value;
    }
    return IntResult(id::kSetParameter, 0);
}

std::int32_t SimControl::GetPing() {
    std::lock_guard lock(mutex_);
    Record(CallText("GetPing"));
    return IntResult(id::kGetPing, connected_ ? 15 : 0);
}

float SimControl::GetPacketLoss() {
    std::lock_guard lock(mutex_);
    Record(CallText("GetPacketLoss"));
    auto scripted = script_.find(id::kGetPacketLoss);
    Value value = 0.0f;
    if (scripted != script_.end() && !scripted->second.empty()) {
        value = std::move(scripted->second.front());
        scripted->second.pop_front();
    } else if (auto d = defaults_.find(id::kGetPacketLoss); !Automatic() && d != defaults_.end()) {
        value = d->second;
    }
    if (const auto* f = std::get_if<float>(&value)) {
        return *f;
    }
    if (const auto* i = std::get_if<std::int32_t>(&value)) {
        return static_cast<float>(*i);
    }
    return 0.0f;
}

// ---- Lists and messages ----

std::string SimControl::GetUserList() {
    std::lock_guard lock(mutex_);
    Record(CallText("GetUserList"));
    std::string list;
    if (!group_.empty()) {
        list = OwnRow();
    } else if (auto it = conferences_.find(conference_);
               conference_ != 0 && it != conferences_.end()) {
        list = ConferenceRows(it->second);
    }
    return TextResult(id::kGetUserList, list);
}

std::string SimControl::GetGroupList() {
    std::lock_guard lock(mutex_);
    Record(CallText("GetGroupList"));
    std::string list;
    for (const auto& [name, forum] : forums_) {
        if (!forum.hidden) {
            list += name + "\t" + (name == group_ ? "1" : "0") + "\t" + forum.letters + "\n";
        }
    }
    return TextResult(id::kGetGroupList, list);
}

Bool32 SimControl::SendUserMessage(const std::string& alias, std::int16_t number,
                                   std::int16_t parameter, const std::string& text) {
    std::lock_guard lock(mutex_);
    Record(CallText("SendUserMessage", alias, number, parameter, text));
    const Bool32 ok = IntResult(id::kSendUserMessage, connected_ ? 1 : 0);
    if (ok == 0 || !connected_) {
        return ok;
    }
    const std::string name = userName_;
    const std::string self = userId_;
    if (alias.empty()) {
        if (!group_.empty() && localEcho_ != 0) {
            Reply([=, this] { sink_.UserMessage(name, self, number, parameter, text); });
        }
    } else if (alias == self || alias == name) {
        Reply([=, this] { sink_.UserMessage(name, self, number, parameter, text); });
    } else {
        Reply([=, this] { sink_.serverMessage(kTypeInformation, 2, kOffline + alias); });
    }
    return ok;
}

Bool32 SimControl::SetBlockList(const std::string& list, std::int16_t op) {
    std::lock_guard lock(mutex_);
    Record(CallText("SetBlockList", list, op));
    return IntResult(id::kSetBlockList, 1);
}

Bool32 SimControl::SetWatchList(const std::string& list, std::int16_t op) {
    std::lock_guard lock(mutex_);
    Record(CallText("SetWatchList", list, op));
    const Bool32 ok = IntResult(id::kSetWatchList, 1);
    if (ok == 0) {
        return ok;
    }
    const std::vector<std::string> entries = Lines(list);
    const std::string self = userId_;
    if (op == sonaro_list_op::kReplace) {
        watchList_ = entries;
        // Everyone else is offline here; the own id is never reported in the burst.
        for (const std::string& who : entries) {
            if (who != self && connected_) {
                Reply([this, who] { sink_.Watch(who, 0); });
            }
        }
    } else if (op == sonaro_list_op::kAdd) {
        for (const std::string& who : entries) {
            watchList_.push_back(who);
            if (connected_) {
                const std::int16_t status = who == self ? OwnStatus() : 0;
                Reply([this, who, status] { sink_.Watch(who, status); });
            }
        }
    } else if (op == sonaro_list_op::kRemove) {
        for (const std::string& who : entries) {
            auto it = std::find(watchList_.begin(), watchList_.end(), who);
            if (it != watchList_.end()) {
                watchList_.erase(it);
            }
        }
    }
    return ok;
}

Bool32 SimControl::SetStatus(std::int16_t mode) {
    std::lock_guard lock(mutex_);
    Record(CallText("SetStatus", mode));
    const Bool32 ok = IntResult(id::kSetStatus, 1);
    if (ok != 0) {
        status_ = mode;
        if (connected_ && Watched(userId_)) {
            const std::string self = userId_;
            const std::int16_t status = OwnStatus();
            Reply([this, self, status] { sink_.Watch(self, status); });
        }
    }
    return ok;
}

// ---- Forums ----

Bool32 SimControl::JoinGroup(const std::string& name, const std::string& password,
                             std::int32_t flags) {
    std::lock_guard lock(mutex_);
    Record(CallText("JoinGroup", name, password, flags));
    const Bool32 ok = IntResult(id::kJoinGroup, connected_ ? 1 : 0);
    if (ok == 0 || !connected_ || !Automatic()) {
        return ok;
    }
    if (name.empty()) {
        if (!group_.empty()) {
            group_.clear();
            Reply([this] {
                sink_.JoinedGroup("");
                sink_.userListUpdate();
            });
        }
        return ok;
    }
    if (forums_.count(name) == 0) {
        if ((flags & kJoinOnly) != 0) {
            Reply([this, name] {
                sink_.serverMessage(kTypeInformation, 1, "The forum does not exist - " + name);
            });
            return ok;
        }
        Forum forum;
        forum.hidden = (flags & kHidden) != 0;
        forum.owned = true;
        forum.letters = std::string(password.empty() ? "" : "P") +
                        ((flags & kModerated) != 0 ? "M" : "") +
                        ((flags & kControlledMicrophones) != 0 ? "T" : "");
        forums_[name] = forum;
    }
    group_ = name;
    Reply([this, name] {
        sink_.JoinedGroup(name);
        sink_.userListUpdate();
        sink_.canTalkEvent(1);
    });
    return ok;
}

Bool32 SimControl::MuteMember(const std::string& alias, Bool32 mute) {
    std::lock_guard lock(mutex_);
    Record(CallText("MuteMember", alias, mute));
    return IntResult(id::kMuteMember, 1);
}

Bool32 SimControl::BanMember(const std::string& alias, std::int16_t op) {
    std::lock_guard lock(mutex_);
    Record(CallText("BanMember", alias, op));
    return IntResult(id::kBanMember, 1);
}

Bool32 SimControl::SetMemberMicrophone(const std::string& alias, std::int16_t op) {
    std::lock_guard lock(mutex_);
    Record(CallText("SetMemberMicrophone", alias, op));
    return IntResult(id::kSetMemberMicrophone, 1);
}

Bool32 SimControl::SetMemberRole(const std::string& alias, std::int16_t owner, std::int16_t op) {
    std::lock_guard lock(mutex_);
    Record(CallText("SetMemberRole", alias, owner, op));
    return IntResult(id::kSetMemberRole, 1);
}

Bool32 SimControl::DisbandGroup() {
    std::lock_guard lock(mutex_);
    Record(CallText("DisbandGroup"));
    const Bool32 ok = IntResult(id::kDisbandGroup, group_.empty() ? 0 : 1);
    if (ok != 0 && Automatic() && !group_.empty()) {
        forums_.erase(group_);
        group_.clear();
        Reply([this] {
            sink_.JoinedGroup("");
            sink_.userListUpdate();
            sink_.groupListUpdate();
        });
    }
    return ok;
}

Bool32 SimControl::RenameGroup(const std::string& newName) {
    std::lock_guard lock(mutex_);
    Record(CallText("RenameGroup", newName));
    const bool possible = !group_.empty() && !newName.empty() && forums_.count(newName) == 0;
    const Bool32 ok = IntResult(id::kRenameGroup, possible ? 1 : 0);
    if (ok != 0 && Automatic() && possible) {
        auto node = forums_.extract(group_);
        if (!node.empty()) {
            node.key() = newName;
            forums_.insert(std::move(node));
        }
        group_ = newName;
        Reply([this, newName] {
            sink_.JoinedGroup(newName);
            sink_.groupListUpdate();
        });
    }
    return ok;
}

// ---- Calls ----

std::string SimControl::ConferenceRows(const Conference& conference) const {
    std::string others;
    for (const Member& m : conference.members) {
        others +=
            m.nickname + "\t" + m.id + "\t" + (m.held ? "H" : "") + (m.invited ? "I" : "") + "\n";
    }
    const std::string own = userName_ + "\t" + userId_ + "\t\n";
    return conference.ownRowFirst ? own + others : others + own;
}

SimControl::Conference* SimControl::FindMember(const std::string& userId, std::int32_t& conference,
                                               std::vector<Member>::iterator& member) {
    for (auto& [number, c] : conferences_) {
        auto it = std::find_if(c.members.begin(), c.members.end(),
                               [&](const Member& m) { return m.id == userId; });
        if (it != c.members.end()) {
            conference = number;
            member = it;
            return &c;
        }
    }
    return nullptr;
}

void SimControl::ScriptCallee(const std::string& userId, const SimCallee& callee) {
    std::lock_guard lock(mutex_);
    callees_[userId] = callee;
}

std::int32_t SimControl::RingIn(const std::string& userId, const std::string& nickname) {
    std::lock_guard lock(mutex_);
    if (!connected_ || !Automatic() || userId.empty()) {
        return 0;
    }
    const std::int32_t conference = nextConference_++;
    Conference& c = conferences_[conference];
    c.standing = Standing::Ringing;
    c.ownRowFirst = false;
    c.members.push_back(Member{userId, nickname, false, false});
    Reply([this, conference, userId, nickname] {
        sink_.Invitation(conference, nickname, userId, 0, "");
    });
    return conference;
}

bool SimControl::RemoteAnswer(const std::string& userId) {
    std::lock_guard lock(mutex_);
    std::int32_t conference = 0;
    std::vector<Member>::iterator member;
    Conference* c = FindMember(userId, conference, member);
    if (c == nullptr || !member->invited) {
        return false;
    }
    member->invited = false;
    const std::string nickname = member->nickname;
    const bool active = conference == conference_;
    Reply([this, userId, nickname, active] {
        sink_.AcceptedConference(1, nickname, userId, 0, "");
        sink_.UserChange(nickname, userId, 1, 0);
        if (active) {
            sink_.userListUpdate();
        }
    });
    return true;
}

bool SimControl::RemoteDecline(const std::string& userId, std::int16_t reason,
                               const std::string& text) {
    std::lock_guard lock(mutex_);
    std::int32_t conference = 0;
    std::vector<Member>::iterator member;
    Conference* c = FindMember(userId, conference, member);
    if (c == nullptr || !member->invited) {
        return false;
    }
    const std::string nickname = member->nickname;
    c->members.erase(member);
    const bool active = conference == conference_;
    Reply([this, userId, nickname, reason, text, active] {
        // The decline first, so its reason is known when the callee drops out.
        sink_.AcceptedConference(0, nickname, userId, reason, text);
        sink_.UserChange(nickname, userId, 0, 0);
        if (active) {
            sink_.userListUpdate();
        }
    });
    return true;
}

bool SimControl::RemoteHold(const std::string& userId, bool hold) {
    std::lock_guard lock(mutex_);
    std::int32_t conference = 0;
    std::vector<Member>::iterator member;
    Conference* c = FindMember(userId, conference, member);
    if (c == nullptr || member->invited || c->standing == Standing::Ringing) {
        return false;
    }
    member->held = hold;
    if (conference == conference_) {
        Reply([this] { sink_.userListUpdate(); });
    }
    return true;
}

bool SimControl::RemoteLeave(const std::string& userId) {
    std::lock_guard lock(mutex_);
    std::int32_t conference = 0;
    std::vector<Member>::iterator member;
    Conference* c = FindMember(userId, conference, member);
    if (c == nullptr) {
        return false;
    }
    const std::string nickname = member->nickname;
    if (c->standing == Standing::Ringing) {
        // The caller gave up before we answered.
        conferences_.erase(conference);
        Reply([this, conference, nickname, userId] {
            sink_.InvitationCancel(conference, nickname, userId, 0, "");
        });
        return true;
    }
    // The conference stays, with us alone in it when this was the last other member.
    c->members.erase(member);
    const bool active = conference == conference_;
    Reply([this, nickname, userId, active] {
        sink_.UserChange(nickname, userId, 0, 0);
        if (active) {
            sink_.userListUpdate();
        }
    });
    return true;
}

Bool32 SimControl::InviteUser(const std::string& alias, std::int16_t kind,
                              const std::string& text) {
    std::lock_guard lock(mutex_);
    Record(CallText("InviteUser", alias, kind, text));
    const Bool32 ok = IntResult(id::kInviteUser, connected_ && !alias.empty() ? 1 : 0);
    if (ok == 0 || !connected_ || !Automatic() || alias.empty()) {
        return ok;
    }
    const bool created = conference_ == 0;
    if (created) {
        conference_ = nextConference_++;
        conferences_[conference_] = Conference{};
    }
    const std::int32_t conference = conference_;
    Conference& c = conferences_[conference];
    const auto known = callees_.find(alias);
    const SimCallee callee = known != callees_.end() ? known->second : SimCallee{};
    const bool present =
        alias == userId_ || std::any_of(c.members.begin(), c.members.end(),
                                        [&](const Member& m) { return m.id == alias; });
    CalleeAnswer answer = callee.answer;
    if (present) {
        answer = CalleeAnswer::Offline;  // nothing to ring; only the list is sent again
    } else if (answer == CalleeAnswer::Ringing || answer == CalleeAnswer::Answering) {
        c.members.push_back(Member{alias, callee.nickname, answer == CalleeAnswer::Ringing, false});
    }
    Reply([this, created, present, conference, alias, callee, answer] {
        // Only a new conference is joined: a callee invited into a call joins that call.
        if (created) {
            sink_.JoinedConference(conference, 1, 0);
        }
        sink_.userListUpdate();
        switch (answer) {
            case CalleeAnswer::Offline:
                if (!present) {
                    sink_.serverMessage(kTypeInformation, 5, kOffline + alias);
                }
                break;
            case CalleeAnswer::Ringing:
                break;
            case CalleeAnswer::Answering:
                sink_.AcceptedConference(1, callee.nickname, alias, 0, "");
                sink_.UserChange(callee.nickname, alias, 1, 0);
                sink_.userListUpdate();
                break;
            case CalleeAnswer::Declining:
                sink_.AcceptedConference(0, callee.nickname, alias, callee.reason, callee.text);
                sink_.UserChange(callee.nickname, alias, 0, 0);
                sink_.userListUpdate();
                break;
        }
    });
    return ok;
}

Bool32 SimControl::AcceptConference(std::int32_t conference) {
    std::lock_guard lock(mutex_);
    Record(CallText("AcceptConference", conference));
    auto it = conferences_.find(conference);
    const bool possible = it != conferences_.end() && it->second.standing != Standing::Active;
    const Bool32 ok = IntResult(id::kAcceptConference, possible ? 1 : 0);
    if (ok == 0 || !possible || !Automatic()) {
        return ok;
    }
    if (conference_ != 0) {
        // Only one conference is active: the one we were in waits on hold.
        conferences_[conference_].standing = Standing::Held;
    }
    const bool answered = it->second.standing == Standing::Ringing;
    it->second.standing = Standing::Active;
    conference_ = conference;
    std::vector<Member> present;
    if (answered) {
        present = it->second.members;
    }
    Reply([this, conference, present] {
        sink_.JoinedConference(conference, 1, 0);
        for (const Member& m : present) {
            sink_.UserChange(m.nickname, m.id, 1, 1);
        }
        sink_.userListUpdate();
    });
    return ok;
}

Bool32 SimControl::DeclineConference(std::int32_t conference, std::int16_t reason,
                                     const std::string& text) {
    std::lock_guard lock(mutex_);
    Record(CallText("DeclineConference", conference, reason, text));
    // An invitation the test raised itself is unknown here and declined all the same.
    const Bool32 ok = IntResult(id::kDeclineConference, conference != 0 ? 1 : 0);
    if (ok != 0 && Automatic()) {
        auto it = conferences_.find(conference);
        if (it != conferences_.end() && it->second.standing == Standing::Ringing) {
            conferences_.erase(it);
        }
    }
    return ok;
}

Bool32 SimControl::LeaveConference(std::int32_t conference, std::int16_t reason,
                                   const std::string& text) {
    std::lock_guard lock(mutex_);
    Record(CallText("LeaveConference", conference, reason, text));
    const bool known = conference != 0 && conferences_.count(conference) != 0;
    const Bool32 ok = IntResult(id::kLeaveConference, known ? 1 : 0);
    if (ok != 0 && known && Automatic()) {
        const bool active = conference == conference_;
        conferences_.erase(conference);
        if (active) {
            conference_ = 0;
        }
        Reply([this, conference, active] {
            sink_.JoinedConference(conference, 0, 1);
            if (active) {
                sink_.userListUpdate();
            }
        });
    }
    return ok;
}

Bool32 SimControl::HoldConference(std::int32_t conference, std::int16_t reason,
                                  const std::string& text) {
    std::lock_guard lock(mutex_);
    Record(CallText("HoldConference", conference, reason, text));
    const bool active = conference != 0 && conference == conference_;
    const Bool32 ok = IntResult(id::kHoldConference, active ? 1 : 0);
    if (ok != 0 && active && Automatic()) {
        conferences_[conference].standing = Standing::Held;
        conference_ = 0;
        Reply([this] { sink_.userListUpdate(); });
    }
    return ok;
}

Bool32 SimControl::CancelInvitations(const std::string& aliases, std::int16_t reason,
                                     const std::string& text) {
    std::lock_guard lock(mutex_);
    Record(CallText("CancelInvitations", aliases, reason, text));
    const Bool32 ok = IntResult(id::kCancelInvitations, aliases.empty() ? 0 : 1);
    if (ok == 0 || !Automatic()) {
        return ok;
    }
    for (const std::string& who : Lines(aliases)) {
        std::int32_t conference = 0;
        std::vector<Member>::iterator member;
        Conference* c = FindMember(who, conference, member);
        if (c == nullptr || !member->invited) {
            continue;  // answered already, or never invited: nothing to withdraw
        }
        const std::string nickname = member->nickname;
        c->members.erase(member);
        const bool active = conference == conference_;
        Reply([this, nickname, who, active] {
            sink_.UserChange(nickname, who, 0, 0);
            if (active) {
                sink_.userListUpdate();
            }
        });
    }
    return ok;
}

// ---- Voice mail ----

Bool32 SimControl::RecordWave(const std::string& path, std::int16_t on) {
    std::lock_guard lock(mutex_);
    Record(CallText("RecordWave", path, on));
    bool possible = true;
    if (Automatic()) {
        if (on != 0) {
            recordPath_ = path;
            recordStart_ = std::chrono::steady_clock::now();
        } else if (!recordPath_.empty()) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - recordStart_);
            const auto ms =
                static_cast<std::uint32_t>(std::min<long long>(elapsed.count(), kMaxRecordMs));
            possible = WriteSilentWave(recordPath_, ms);
            recordPath_.clear();
        } else {
            possible = false;
        }
    }
    return IntResult(id::kRecordWave, possible ? 1 : 0);
}

std::int16_t SimControl::PlayFile(const std::string& path, std::int32_t volume) {
    std::lock_guard lock(mutex_);
    Record(CallText("PlayFile", path, volume));
    std::int16_t handle = -1;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        handle = nextPlayHandle_;
        nextPlayHandle_ =
            static_cast<std::int16_t>(nextPlayHandle_ == 32767 ? 1 : nextPlayHandle_ + 1);
    }
    const auto result = static_cast<std::int16_t>(IntResult(id::kPlayFile, handle));
    if (result > 0) {
        playHandles_.insert(result);
    }
    return result;
}

Bool32 SimControl::StopFile(std::int16_t handle) {
    std::lock_guard lock(mutex_);
    Record(CallText("StopFile", handle));
    const bool known = playHandles_.erase(handle) != 0;
    return IntResult(id::kStopFile, known ? 1 : 0);
}

Bool32 SimControl::PauseFile(std::int16_t handle, Bool32 pause) {
    std::lock_guard lock(mutex_);
    Record(CallText("PauseFile", handle, pause));
    return IntResult(id::kPauseFile, playHandles_.count(handle) != 0 ? 1 : 0);
}

}  // namespace qv::sim
