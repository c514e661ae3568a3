#pragma once

// The options record: the preferences the program consults all the time, cached in memory.
// Load fills it from the machine and user files and the run key; every setter stores the value
// and writes its key at once.

#include <cstdint>
#include <string>

#include "settings/LogFont.h"

namespace qv {

class Customization;
class IniFile;
class Mixer;
class RunKey;

class Options {
  public:
    // Sizes of the custom messages as they are stored (text with its terminating zero).
    static constexpr std::size_t kCustomMessageSize = 100;

    Options(IniFile& machine, IniFile& user, RunKey& runKey, Mixer& mixer,
            const Customization& customization, bool comicSansInstalled);

    // Run at start-up and again whenever the user settings path changes.
    void Load();

    // Machine file
    int BehindFirewall() const { return behindFirewall_; }
    int Codec() const { return codec_; }
    int ConnectionSpeed() const { return connectionSpeed_; }
    int UsingSpeakers() const { return usingSpeakers_; }
    int MasterVolume() const { return masterVolume_; }
    int WaveVolume() const { return waveVolume_; }
    int MicVolume() const { return micVolume_; }
    int MicOnOff() const { return micOnOff_; }
    int DefaultSort() const { return defaultSort_; }
    int UsingModem() const { return usingModem_; }
    int UsingLan() const { return usingLan_; }
    int VoiceSampleRate() const { return voiceSampleRate_; }
    int LocalEcho() const { return localEcho_; }
    int EnableTopLevelForumsInfo() const { return enableTopLevelForumsInfo_; }
    const LogFont& ListFont() const { return listFont_; }
    const LogFont& ChatFont() const { return chatFont_; }

    // User file
    int MinimizeOnClose() const { return minimizeOnClose_; }
    int PlaySounds() const { return playSounds_; }
    int ShowDisconnectMsg() const { return showDisconnectMsg_; }
    const std::string& EmailAddress() const { return emailAddress_; }
    const std::string& EmailLogin() const { return emailLogin_; }
    const std::string& EmailPassword() const { return emailPassword_; }
    const std::string& PopServer() const { return popServer_; }
    const std::string& SmtpServer() const { return smtpServer_; }
    int MuteVolume() const { return muteVolume_; }
    int Squelch() const { return squelch_; }
    int AutoAddToContactList() const { return autoAddToContactList_; }
    int AutoActivateAppOnCall() const { return autoActivateAppOnCall_; }
    int PushToTalk() const { return pushToTalk_; }
    int GlobalPushToTalk() const { return globalPushToTalk_; }
    int GlobalPushToTalkMap() const { return globalPushToTalkMap_; }
    int CloseForumList() const { return closeForumList_; }
    int AutoReconnect() const { return autoReconnect_; }
    int ShowTrafficMessages() const { return showTrafficMessages_; }
    int LogEvents() const { return logEvents_; }
    int AutoAnswer() const { return autoAnswer_; }
    int CantTalkWhileMinimized() const { return cantTalkWhileMinimized_; }
    const std::string& LumivexHomeURL() const { return lumivexHomeUrl_; }
    const std::string& AwayMessage() const { return awayMessage_; }
    const std::string& DndMessage() const { return dndMessage_; }
    const std::string& OccupiedMessage() const { return occupiedMessage_; }

    // Run key
    bool RunAtStartup() const { return runAtStartup_; }

    // Writes the four levels the system has now into MasterVolume, WaveVolume, MicVolume and
    // MicOnOff (a control the machine lacks keeps its key as it is).
    void StoreCurrentMixerLevels();
    void SetMasterVolume(int v);
    void SetWaveVolume(int v);
    void SetMicVolume(int v);
    void SetMicOnOff(int v);
    void SetBehindFirewall(int v);
    void SetCodec(int v);
    void SetLocalEcho(int v);
    void SetUsingModem(int v);
    void SetUsingLan(int v);
    void SetDefaultSort(int v);
    void SetListFont(const LogFont& font);
    void SetChatFont(const LogFont& font);

    void SetPushToTalk(int v);
    void SetGlobalPushToTalk(int v);
    void SetGlobalPushToTalkMap(int v);
    void SetAutoAnswer(int v);
    void SetAutoActivateAppOnCall(int v);
    void SetAutoAddToContactList(int v);
    void SetMinimizeOnClose(int v);
    void SetSquelch(int v);
    void SetPlaySounds(int v);
    void SetShowDisconnectMsg(int v);
    void SetRunAtStartup(int v);
    void SetAutoReconnect(int v);
    void SetAwayMessage(const std::string& text);
    void SetDndMessage(const std::string& text);
    void SetOccupiedMessage(const std::string& text);
    void SetCloseForumList(int v);
    void SetShowTrafficMessages(int v);
    void SetLogEvents(int v);
    void SetLumivexHomeURL(const std::string& url);
    // The partner's start page replaces the cached one without being written.
    void UseLumivexHomeURL(const std::string& url) { lumivexHomeUrl_ = url; }

  private:
    void LoadMachine();
    void LoadUser();
    void LoadRunKey();
    LogFont ReadFont(const char* key, const LogFont& fallback) const;
    void WriteFont(const char* key, const LogFont& font);
    std::string ReadCustomMessage(const char* key, const char* fallback) const;
    void WriteCustomMessage(const char* key, const std::string& text);
    void WriteMachine(const char* section, const char* key, int& field, int v);
    void WriteUser(const char* section, const char* key, int& field, int v);

    IniFile& machine_;
    IniFile& user_;
    RunKey& runKey_;
    Mixer& mixer_;
    const Customization& customization_;
    bool comicSans_;

    int behindFirewall_ = 0;
    int codec_ = 0;
    int connectionSpeed_ = 1;
    int usingSpeakers_ = 0;
    int masterVolume_ = 0;
    int waveVolume_ = 0;
    int micVolume_ = 0;
    int micOnOff_ = 0;
    int defaultSort_ = 0;
    int usingModem_ = 1;
    int usingLan_ = 0;
    int voiceSampleRate_ = 90;
    int localEcho_ = 0;
    int enableTopLevelForumsInfo_ = 0;
    LogFont listFont_;
    LogFont chatFont_;

    int minimizeOnClose_ = 1;
    int playSounds_ = 0;
    int showDisconnectMsg_ = 0;
    std::string emailAddress_;
    std::string emailLogin_;
    std::string emailPassword_;
    std::string popServer_;
    std::string smtpServer_;
    int muteVolume_ = 0;
    int squelch_ = 9;
    int autoAddToContactList_ = 1;
    int autoActivateAppOnCall_ = 1;
    int pushToTalk_ = 0;
    int globalPushToTalk_ = 0;
    int globalPushToTalkMap_ = 0x40000DC;
    int closeForumList_ = 0;
    int autoReconnect_ = 1;
    int showTrafficMessages_ = 1;
    int logEvents_ = 1;
    int autoAnswer_ = 0;
    int cantTalkWhileMinimized_ = 0;
    std::string lumivexHomeUrl_;
    std::string awayMessage_;
    std::string dndMessage_;
    std::string occupiedMessage_;

    bool runAtStartup_ = false;
};

}  // namespace qv
