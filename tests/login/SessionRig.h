#pragma once

// A session over the simulated engine in recording mode, with real settings files and login key,
// a hand-driven scheduler and scripted windows.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "FakeDialUp.h"
#include "FakeSessionUi.h"
#include "RecordingSubsystems.h"
#include "app/CommandFile.h"
#include "app/ProgramFolders.h"
#include "app/TimerScheduler.h"
#include "login/Session.h"
#include "messaging/SystemNoticeList.h"
#include "platform/UiQueue.h"
#include "settings/RegistryKey.h"

namespace qv::test {

class SessionRig {
  public:
    // Without a scheduler the rig runs its own on the harness clock.
    explicit SessionRig(DirectoryClient* directory = nullptr, TimerScheduler* scheduler = nullptr,
                        const TickClock* clock = nullptr);
    ~SessionRig();

    // A stored account: id, nickname and the password in its stored form; set up before.
    void StoreAccount(std::uint32_t id, const std::string& nick, const std::string& password);
    // The engine's calls whose text starts with prefix.
    std::vector<std::string> EngineCalls(const std::string& prefix);
    // How often the engine was told to connect. Every Connect makes a fresh engine instance,
    // so the sim's recording only covers the latest one; its ConnectionState 2 counts them all.
    int Connects() const;
    // Moves the harness clock in 50 ms steps (the view's timer), ticking the scheduler each time.
    void Run(std::uint32_t ms);
    std::vector<std::string> NoticeTexts() const;
    std::string LoginString(const char* name) const;
    std::uint32_t LoginDword(const char* name) const;
    bool HasLoginValue(const char* name) const { return loginKey.HasValue(name); }

    EngineHarness h;
    RegistryKey loginKey{h.registry};
    IniFile serverSettings{h.folder.File("Server.ini")};
    std::unique_ptr<TimerScheduler> ownScheduler;
    TimerScheduler& scheduler;
    UiQueue uiQueue;
    ProgramFolders folders{h.folder.Path()};
    PendingCommands pending;
    SystemNoticeList notices;
    FakeDialUp dialUp;
    FakeSessionUi ui;
    RecordingSubsystems subsystems;
    std::string programFile = h.folder.File("quorvane-program");  // build 5
    // What the engine reports as RequiredVersions (program build in the high half).
    std::int32_t requiredVersions = 5 << 16;
    std::int32_t isCurrentVersion = 1;
    // showNow of every notice, in order.
    std::vector<bool> shownNow;
    std::unique_ptr<Session> session;
};

}  // namespace qv::test
