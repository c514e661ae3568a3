#pragma once

// What the engine tests share: a program folder with the simulation installed as its shipped
// engine, real settings files, and recording stand-ins for what a person would see or hear.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "SonaroSimulation.h"
#include "engine/CSonaroManager.h"
#include "engine/EngineUi.h"
#include "engine/IncomingMessageLog.h"
#include "engine/SonaroRegistration.h"
#include "messaging/SystemNotices.h"
#include "platform/Mixer.h"
#include "platform/Registry.h"
#include "platform/TickClock.h"
#include "platform/WavePlayer.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/Options.h"
#include "settings/RunKey.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv::test {

// The built components.
inline const std::string kSimPath = SONARO_SIM_PATH;
inline const std::string kSimNextPath = SONARO_SIM_NEXT_PATH;
inline const std::string kEmptyLibraryPath = SONARO_EMPTY_PATH;
inline const std::string kOldInterfacePath = SONARO_OLD_INTERFACE_PATH;
inline constexpr std::uint32_t kSimBuild = SONARO_SIM_BUILD;
inline constexpr std::uint32_t kSimNextBuild = SONARO_SIM_NEXT_BUILD;

// Threads of this process right now.
int ThreadCount();
// Whether a file is mapped into this process (a loaded library).
bool IsMapped(const std::string& path);
// Copies a file, replacing the target.
void CopyFile(const std::string& from, const std::string& to);

class RecordingNotices final : public SystemNotices {
  public:
    void AddSystemNotice(const std::string& text, bool showNow, std::uint32_t) override {
        texts.push_back(text);
        shownNow.push_back(showNow);
    }
    std::vector<std::string> texts;
    std::vector<bool> shownNow;
};

class RecordingUi final : public EngineUi {
  public:
    void ShowNotice(const std::string& caption, const std::string& text) override {
        log.push_back("show " + caption + " | " + text);
        if (onShow) {
            onShow();
        }
    }
    void CloseNotice() override { log.push_back("close"); }
    std::vector<std::string> log;
    // Runs inside ShowNotice, as a window's event loop would.
    std::function<void()> onShow;
};

class RecordingWavePlayer final : public WavePlayer {
  public:
    explicit RecordingWavePlayer(std::vector<std::string>& played) : played_(played) {}
    void Play(const std::string& path, int volume) override {
        played_.push_back(path + " @" + std::to_string(volume));
    }
    void Stop() override { played_.push_back("stop"); }

  private:
    std::vector<std::string>& played_;
};

class RecordingMessageLog final : public IncomingMessageLog {
  public:
    bool IsOpen() const override { return open; }
    void LogIncomingMessage(std::uint32_t time, const std::string& id, const std::string& nickname,
                            const std::string& text) override {
        records.push_back(id + "|" + nickname + "|" + text);
        times.push_back(time);
    }
    bool open = true;
    std::vector<std::string> records;
    std::vector<std::uint32_t> times;
};

// An engine living in the test that answers "fine" to everything; JoinGroup can be made to fail
// by throwing, as an automation control's failure reaches its host.
class QuietControl : public SonaroControl {
  public:
    void SetSampleRate(std::int32_t) override {}
    void SetUserName(const std::string&) override {}
    void SetCodec(std::int16_t) override {}
    void SetSquelch(std::int32_t) override {}
    void SetModeFlags(std::int32_t) override {}
    std::int32_t StatusCode() override { return 0; }
    void SetUserId(const std::string&) override {}
    std::int32_t RequiredVersions() override { return 0; }
    void SetMuteVolume(std::int32_t) override {}
    Bool32 Connect(const std::string&, std::int16_t) override { return 1; }
    Bool32 Disconnect() override { return 1; }
    std::int16_t PlayWave(const std::string&, std::int32_t) override { return 0; }
    Bool32 Talk(Bool32) override { return 1; }
    std::string GetUserList() override { return {}; }
    std::string GetGroupList() override { return {}; }
    Bool32 SendUserMessage(const std::string&, std::int16_t, std::int16_t,
                           const std::string&) override {
        return 1;
    }
    std::int32_t StartAudio() override { return 0; }
    Bool32 StopAudio() override { return 1; }
    Bool32 JoinGroup(const std::string&, const std::string&, std::int32_t) override {
        if (throwOnJoin) {
            throw std::runtime_error("join failed");
        }
        return 1;
    }
    Bool32 SetStandby(Bool32) override { return 1; }
    Bool32 IsCurrentVersion() override { return 1; }
    std::int32_t SetParameter(std::int16_t, std::int32_t) override { return 0; }
    Bool32 InviteUser(const std::string&, std::int16_t, const std::string&) override { return 1; }
    Bool32 AcceptConference(std::int32_t) override { return 1; }
    Bool32 DeclineConference(std::int32_t, std::int16_t, const std::string&) override { return 1; }
    Bool32 LeaveConference(std::int32_t, std::int16_t, const std::string&) override { return 1; }
    Bool32 HoldConference(std::int32_t, std::int16_t, const std::string&) override { return 1; }
    Bool32 SetBlockList(const std::string&, std::int16_t) override { return 1; }
    Bool32 CancelInvitations(const std::string&, std::int16_t, const std::string&) override {
        return 1;
    }
    Bool32 SetWatchList(const std::string&, std::int16_t) override { return 1; }
    std::int32_t GetPing() override { return 0; }
    float GetPacketLoss() override { return 0.0f; }
    Bool32 MuteMember(const std::string&, Bool32) override { return 1; }
    Bool32 SetStatus(std::int16_t) override { return 1; }
    Bool32 BanMember(const std::string&, std::int16_t) override { return 1; }
    Bool32 SetMemberMicrophone(const std::string&, std::int16_t) override { return 1; }
    Bool32 SetMemberRole(const std::string&, std::int16_t, std::int16_t) override { return 1; }
    Bool32 RecordWave(const std::string&, std::int16_t) override { return 1; }
    std::int16_t PlayFile(const std::string&, std::int32_t) override { return 1; }
    Bool32 StopFile(std::int16_t) override { return 1; }
    Bool32 PauseFile(std::int16_t, Bool32) override { return 1; }
    Bool32 DisbandGroup() override { return 1; }
    Bool32 RenameGroup(const std::string&) override { return 1; }

    bool throwOnJoin = false;
};

// Every event the manager hands out, as one line each.
class EventRecorder {
  public:
    void SubscribeAll(CSonaroManager& manager);
    void UnsubscribeAll(CSonaroManager& manager);
    std::vector<std::string> log;
    // Just the ConnectionState values, in order.
    std::vector<int> states;
};

// The registered engine, made to record and scripted before the manager's first call.
class ScriptedSimFactory final : public SonaroFactory {
  public:
    explicit ScriptedSimFactory(const Registry& registry) : registry_(registry) {}
    std::unique_ptr<SonaroInstance> Create(SonaroEventSink& sink) override;

    sim::Mode mode = sim::Mode::Recording;
    std::function<void(sim::SonaroSimulation&)> beforeUse;
    // When set, engines come from here instead (engines living in the test).
    std::function<std::unique_ptr<SonaroInstance>(SonaroEventSink&)> replacement;
    int created = 0;

  private:
    const Registry& registry_;
};

// A program folder with the simulation shipped as Sonaro.ocx and a manager over it.
class EngineHarness {
  public:
    EngineHarness();
    ~EngineHarness();

    std::string ProgramFolder() const { return folder.Path(); }
    std::string SystemFolder() const { return folder.Path() + "system/"; }
    void Ship(const std::string& component) { CopyFile(component, folder.File("Sonaro.ocx")); }
    // The simulation behind the manager's engine; null while none is alive.
    sim::SonaroSimulation* Sim();
    std::vector<std::string> Calls();
    void ClearCalls();

    // Connect, connectionEvent(0) and Registered, with the calls forgotten afterwards.
    void LogIn(const std::string& watch = {}, const std::string& block = {});
    void Raise(const std::function<void(SonaroEventSink&)>& raise);
    // Raises on the engine and delivers at once.
    void RaiseAndDrain(const std::function<void(SonaroEventSink&)>& raise);

    TempFolder folder;
    Registry registry;
    IniFile machine;
    IniFile user;
    IniFile sounds;
    RunKey runKey;
    std::unique_ptr<Mixer> mixer;
    Customization customization;
    Options options;
    ManualTickClock clock{1000};
    RecordingScreen screen;
    RecordingNotices notices;
    RecordingUi ui;
    RecordingMessageLog messageLog;
    std::vector<std::string> played;
    std::vector<std::uint32_t> waits;
    ScriptedSimFactory* factory = nullptr;
    std::unique_ptr<CSonaroManager> manager;
    EventRecorder events;
};

}  // namespace qv::test
