#include "settings/Options.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/Mixer.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/RunKey.h"

namespace qv {

namespace {

constexpr const char* kOptions = "Options";
constexpr const char* kInternal = "Internal";
constexpr const char* kCustomMessages = "Custom Messages";

struct MixerKey {
    const char* key;
    MixerControl control;
};
// The order the mixer is written in.
constexpr MixerKey kMixerKeys[] = {
    {"MasterVolume", MixerControl::MasterVolume},
    {"WaveVolume", MixerControl::WaveVolume},
    {"MicVolume", MixerControl::MicVolume},
    {"MicOnOff", MixerControl::MicOnOff},
};

}  // namespace

Options::Options(IniFile& machine, IniFile& user, RunKey& runKey, Mixer& mixer,
                 const Customization& customization, bool comicSansInstalled)
    : machine_(machine),
      user_(user),
      runKey_(runKey),
      mixer_(mixer),
      customization_(customization),
      comicSans_(comicSansInstalled) {}

void Options::Load() {
    runKey_.Open();
    LoadMachine();
    LoadUser();
    LoadRunKey();
}

void Options::LoadMachine() {
    behindFirewall_ = machine_.GetInt(kOptions, "BehindFirewall", 0);
    codec_ = machine_.GetInt(kOptions, "Codec", 0);
    connectionSpeed_ = machine_.GetInt(kOptions, "ConnectionSpeed", 1);
    usingSpeakers_ = machine_.GetInt(kOptions, "UsingSpeakers", 0);
    defaultSort_ = machine_.GetInt(kOptions, "DefaultSort", 0);
    listFont_ = ReadFont("ListFont", LogFont::DefaultListFont(comicSans_));
    chatFont_ = ReadFont("ChatFont", LogFont::DefaultChatFont());
    voiceSampleRate_ = machine_.GetInt(kInternal, "VoiceSampleRate", 90);
    localEcho_ = machine_.GetInt(kInternal, "LocalEcho", 0);
    enableTopLevelForumsInfo_ = machine_.GetInt(kInternal, "Enable Top Level Forums Info", 0);

    int* levels[] = {&masterVolume_, &waveVolume_, &micVolume_, &micOnOff_};
    for (std::size_t i = 0; i < std::size(kMixerKeys); ++i) {
        const auto current = static_cast<std::int32_t>(mixer_.GetLevel(kMixerKeys[i].control));
        *levels[i] = machine_.GetInt(kOptions, kMixerKeys[i].key, current);
    }
    for (std::size_t i = 0; i < std::size(kMixerKeys); ++i) {
        // A stored "no such control" (or any level outside the range) is never written to a
        // real card: it would set the control to its maximum.
        const int level = *levels[i];
        if (level >= 0 && level <= 65536) {
            mixer_.SetLevel(kMixerKeys[i].control, static_cast<std::uint32_t>(level));
        }
    }
}

void Options::LoadUser() {
    // With no user known, the empty path gives every key its default.
    minimizeOnClose_ = user_.GetInt(kOptions, "MinimizeOnClose", 1);
    playSounds_ = user_.GetInt(kOptions, "PlaySounds", 0);
    showDisconnectMsg_ = user_.GetInt(kOptions, "ShowDisconnectMsg", 0);
    emailAddress_ = user_.GetString(kOptions, "EmailAddress", "");
    emailLogin_ = user_.GetString(kOptions, "EmailLogin", "");
    emailPassword_ = user_.GetString(kOptions, "EmailPassword", "");
    popServer_ = user_.GetString(kOptions, "POPServer", "");
    smtpServer_ = user_.GetString(kOptions, "SMTPServer", "");
    muteVolume_ = user_.GetInt(kOptions, "MuteVolume", 0);
    squelch_ = user_.GetInt(kOptions, "Squelch", 9);
    autoAddToContactList_ = user_.GetInt(kOptions, "AutoAddToContactList", 1);
    autoActivateAppOnCall_ = user_.GetInt(kOptions, "AutoActivateAppOnCall", 1);
    pushToTalk_ = user_.GetInt(kOptions, "PushToTalk", usingSpeakers_);
    globalPushToTalk_ = user_.GetInt(kOptions, "GlobalPushToTalk", 0);
    globalPushToTalkMap_ = user_.GetInt(kOptions, "GlobalPushToTalkMap", 0x40000DC);
    closeForumList_ = user_.GetInt(kOptions, "CloseForumList", 0);
    autoReconnect_ = user_.GetInt(kOptions, "AutoReconnect", 1);
    showTrafficMessages_ = user_.GetInt(kOptions, "ShowTrafficMessages", 1);
    logEvents_ = user_.GetInt(kOptions, "LogEvents", 1);
    lumivexHomeUrl_ = user_.GetString(kOptions, "LumivexHomeURL", customization_.Get().lxMainUrl);
    autoAnswer_ = user_.GetInt(kInternal, "AutoAnswer", 0);
    // Comes from the web tour's own settings once the web tour exists.
    cantTalkWhileMinimized_ = 0;
    awayMessage_ = ReadCustomMessage("Away Message", "I am away.");
    dndMessage_ = ReadCustomMessage("DND Message", "Please, do not disturb!");
    occupiedMessage_ = ReadCustomMessage("Occupied Message", "I am occupied.");
}

void Options::LoadRunKey() {
    usingModem_ = machine_.GetInt(kOptions, "UsingModem", 1);
    usingLan_ = machine_.GetInt(kOptions, "UsingLan", 0);
    runAtStartup_ = false;
    if (!runKey_.Get(RunKey::kQuorvane).empty()) {
        runAtStartup_ = true;
        usingLan_ = 1;
        usingModem_ = 0;
    }
    if (!runKey_.Get(RunKey::kInternetDetector).empty()) {
        runAtStartup_ = true;
        usingModem_ = 1;
        usingLan_ = 0;
    }
}

LogFont Options::ReadFont(const char* key, const LogFont& fallback) const {
    std::array<std::uint8_t, LogFont::kSize> bytes{};
    if (!machine_.GetStruct(kOptions, key, bytes.data(), bytes.size())) {
        return fallback;
    }
    return LogFont::FromBytes(bytes);
}

void Options::WriteFont(const char* key, const LogFont& font) {
    auto bytes = font.ToBytes();
    machine_.WriteStruct(kOptions, key, bytes.data(), bytes.size());
}

std::string Options::ReadCustomMessage(const char* key, const char* fallback) const {
    char buffer[kCustomMessageSize] = {};
    if (!user_.GetStruct(kCustomMessages, key, buffer, sizeof buffer)) {
        return fallback;
    }
    return std::string(buffer, strnlen(buffer, sizeof buffer - 1));
}

void Options::WriteCustomMessage(const char* key, const std::string& text) {
    char buffer[kCustomMessageSize] = {};
    std::memcpy(buffer, text.data(), std::min(text.size(), sizeof buffer - 1));
    user_.WriteStruct(kCustomMessages, key, buffer, sizeof buffer);
}

void Options::WriteMachine(const char* section, const char* key, int& field, int v) {
    field = v;
    machine_.WriteInt(section, key, v);
}

void Options::WriteUser(const char* section, const char* key, int& field, int v) {
    field = v;
    user_.WriteInt(section, key, v);
}

void Options::StoreCurrentMixerLevels() {
    int* levels[] = {&masterVolume_, &waveVolume_, &micVolume_, &micOnOff_};
    for (std::size_t i = 0; i < std::size(kMixerKeys); ++i) {
        const std::uint32_t level = mixer_.GetLevel(kMixerKeys[i].control);
        // "No such control" stored would be taken for a level by a later card.
        if (level != kMixerNotFound) {
            WriteMachine(kOptions, kMixerKeys[i].key, *levels[i], static_cast<int>(level));
        }
    }
}

void Options::SetMasterVolume(int v) {
    WriteMachine(kOptions, "MasterVolume", masterVolume_, v);
}
void Options::SetWaveVolume(int v) {
    WriteMachine(kOptions, "WaveVolume", waveVolume_, v);
}
void Options::SetMicVolume(int v) {
    WriteMachine(kOptions, "MicVolume", micVolume_, v);
}
void Options::SetMicOnOff(int v) {
    WriteMachine(kOptions, "MicOnOff", micOnOff_, v);
}
void Options::SetBehindFirewall(int v) {
    WriteMachine(kOptions, "BehindFirewall", behindFirewall_, v);
}
void Options::SetCodec(int v) {
    WriteMachine(kOptions, "Codec", codec_, v);
}
void Options::SetLocalEcho(int v) {
    WriteMachine(kInternal, "LocalEcho", localEcho_, v);
}
void Options::SetUsingModem(int v) {
    WriteMachine(kOptions, "UsingModem", usingModem_, v);
}
void Options::SetUsingLan(int v) {
    WriteMachine(kOptions, "UsingLan", usingLan_, v);
}
void Options::SetDefaultSort(int v) {
    WriteMachine(kOptions, "DefaultSort", defaultSort_, v);
}
void Options::SetListFont(const LogFont& font) {
    listFont_ = font;
    WriteFont("ListFont", font);
}
void Options::SetChatFont(const LogFont& font) {
    chatFont_ = font;
    WriteFont("ChatFont", font);
}

void Options::SetPushToTalk(int v) {
    WriteUser(kOptions, "PushToTalk", pushToTalk_, v);
}
void Options::SetGlobalPushToTalk(int v) {
    WriteUser(kOptions, "GlobalPushToTalk", globalPushToTalk_, v);
}
void Options::SetGlobalPushToTalkMap(int v) {
    WriteUser(kOptions, "GlobalPushToTalkMap", globalPushToTalkMap_, v);
}
void Options::SetAutoAnswer(int v) {
    WriteUser(kInternal, "AutoAnswer", autoAnswer_, v);
}
void Options::SetAutoActivateAppOnCall(int v) {
    WriteUser(kOptions, "AutoActivateAppOnCall", autoActivateAppOnCall_, v);
}
void Options::SetAutoAddToContactList(int v) {
    WriteUser(kOptions, "AutoAddToContactList", autoAddToContactList_, v);
}
void Options::SetMinimizeOnClose(int v) {
    WriteUser(kOptions, "MinimizeOnClose", minimizeOnClose_, v);
}
void Options::SetSquelch(int v) {
    WriteUser(kOptions, "Squelch", squelch_, v);
}
void Options::SetPlaySounds(int v) {
    WriteUser(kOptions, "PlaySounds", playSounds_, v);
}
void Options::SetShowDisconnectMsg(int v) {
    WriteUser(kOptions, "ShowDisconnectMsg", showDisconnectMsg_, v);
}
// Only written: whether the program really starts with the session is the run key's matter.
void Options::SetRunAtStartup(int v) {
    user_.WriteInt(kOptions, "RunAtStartup", v);
}
void Options::SetAutoReconnect(int v) {
    WriteUser(kOptions, "AutoReconnect", autoReconnect_, v);
}
void Options::SetAwayMessage(const std::string& text) {
    awayMessage_ = text.substr(0, kCustomMessageSize - 1);
    WriteCustomMessage("Away Message", text);
}
void Options::SetDndMessage(const std::string& text) {
    dndMessage_ = text.substr(0, kCustomMessageSize - 1);
    WriteCustomMessage("DND Message", text);
}
void Options::SetOccupiedMessage(const std::string& text) {
    occupiedMessage_ = text.substr(0, kCustomMessageSize - 1);
    WriteCustomMessage("Occupied Message", text);
}
void Options::SetCloseForumList(int v) {
    WriteUser(kOptions, "CloseForumList", closeForumList_, v);
}
void Options::SetShowTrafficMessages(int v) {
    WriteUser(kOptions, "ShowTrafficMessages", showTrafficMessages_, v);
}
void Options::SetLogEvents(int v) {
    WriteUser(kOptions, "LogEvents", logEvents_, v);
}
void Options::SetLumivexHomeURL(const std::string& url) {
    lumivexHomeUrl_ = url;
    user_.WriteString(kOptions, "LumivexHomeURL", url);
}

}  // namespace qv
