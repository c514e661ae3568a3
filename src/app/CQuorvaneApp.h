#pragma once

// The application object: runs start-up and exit, owns every process-wide object for the whole
// run and hands them out (each accessor may return null: an object that could not be made, or
// that is not made yet, is simply absent).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandFile.h"
#include "app/ProgramFolders.h"
#include "platform/UiQueue.h"

namespace qv {

class AppShell;
class BlockStore;
class CallManager;
class ConnectionStatusLine;
class ProgramStatusSource;
class ProgramCallSurroundings;
class ProgramForumAccess;
class ProgramMessageLinks;
class AlertQueue;
class TraySurface;
class ContactStore;
class SonaroStoreLink;
class CSonaroManager;
class Customization;
class DirectoryClient;
class EventLog;
class JobScheduler;
class SonaroFactory;
class MessageCenter;
using SystemNoticeList = MessageCenter;
class IniFile;
class Mixer;
class Options;
class Registry;
class RegistryKey;
class RunKey;
class SingleInstance;
class TickClock;
class TimerScheduler;

struct AppEnvironment {
    std::string homeOption;   // --home, may be empty
    std::string commandLine;  // the arguments that are not our own options, joined by blanks
    std::string executable;   // absolute path of the running program
    std::string xdgDataHome;  // ends in '/'
    std::string xdgConfigHome;
    // The engine component that ships with the program (or the one chosen at start), copied
    // into the data root as Sonaro.ocx when it has none or one of another build.
    std::string shippedEngine;
    // The folder of the files that ship with the program (tips.txt, Sounds.ini, sounds/), each
    // copied into the data root when it has none; empty for none.
    std::string shareFolder;
    // Where engines come from; null for the one registered on this machine.
    std::function<std::unique_ptr<SonaroFactory>(Registry&)> engineFactory;
};

class CQuorvaneApp {
  public:
    CQuorvaneApp(AppEnvironment env, AppShell& shell, std::unique_ptr<Mixer> mixer,
                 const TickClock& clock);
    ~CQuorvaneApp();
    CQuorvaneApp(const CQuorvaneApp&) = delete;
    CQuorvaneApp& operator=(const CQuorvaneApp&) = delete;

    // True to run; false to end the process at once (another instance runs, or start-up failed).
    bool InitInstance();
    int ExitInstance();

    // Reads a command file and runs it, or keeps it until the user is logged in.
    void OpenDocumentFile(const std::string& path);
    // Asks the directory service for the partner's parameters; the reply updates the
    // customization when its version differs.
    void RequestPartnerParameters();
    // The main view's 50 ms timer: posted work, scheduled jobs, requests of other instances.
    void OnViewTimer();

    // After a false InitInstance: whether another instance took over (not a failure).
    bool HandedOver() const { return handedOver_; }
    bool StartedMinimized() const { return startedMinimized_; }
    const std::string& ProgramFolder() const { return folders_.ProgramFolder(); }
    ProgramFolders& Folders() { return folders_; }
    std::uint32_t StoredUserId() const { return storedUserId_; }
    std::uint16_t PartnerNumber() const { return partnerNumber_; }
    bool ComicSansInstalled() const { return comicSans_; }

    Registry* GetRegistry() { return registry_.get(); }
    Customization* GetCustomization() { return customization_.get(); }
    IniFile* MachineSettings() { return machineSettings_.get(); }
    IniFile* UserSettings() { return userSettings_.get(); }
    IniFile* ServerSettings() { return serverSettings_.get(); }
    IniFile* SoundSettings() { return soundSettings_.get(); }
    RegistryKey* LoginKey() { return loginKey_.get(); }
    TimerScheduler* Scheduler() { return scheduler_.get(); }
    Options* GetOptions() { return options_.get(); }
    RunKey* GetRunKey() { return runKey_.get(); }
    DirectoryClient* Directory() { return directory_.get(); }
    SystemNoticeList* Notices() { return notices_.get(); }
    // The messages' alerts as the tray and the status line read them; null before start-up.
    AlertQueue* GetAlertQueue();
    // The tray, once it exists (null: none); the alerts blink it.
    void SetTraySurface(TraySurface* tray);
    ProgramMessageLinks* MessageLinks() { return messageLinks_.get(); }
    EventLog* GetEventLog() { return eventLog_.get(); }
    CSonaroManager* SonaroManager() { return sonaroManager_.get(); }
    CallManager* GetCallManager() { return callManager_.get(); }
    // Forums joined from outside the forum list (invitations, command files); null before
    // start-up.
    ProgramForumAccess* GetForumAccess() { return forumAccess_.get(); }
    ConnectionStatusLine* StatusLine() { return statusLine_.get(); }
    BlockStore* GetBlockStore() { return blockStore_.get(); }
    ContactStore* GetContactStore() { return contactStore_.get(); }
    Mixer& GetMixer() { return *mixer_; }
    UiQueue& GetUiQueue() { return uiQueue_; }
    PendingCommands& Pending() { return pending_; }
    AppShell& Shell() { return shell_; }
    const TickClock& Clock() const { return clock_; }
    const std::string& Executable() const { return env_.executable; }

    // What was created and destroyed, in order ("+Name" / "-Name"), for the trace and tests.
    const std::vector<std::string>& Lifecycle() const { return lifecycle_; }

    // The mixer levels found at start, put back at exit (master, wave, mic volume, mic on/off).
    static constexpr int kMixerLevels = 4;

  private:
    bool HandOverToRunningInstance();
    bool PrepareDataRoot();
    void CreateSettingsObjects();
    void CreateFonts();
    void InstallShippedFiles();
    void InstallSharedFiles();
    void DestroyObjects();
    void ShowProblems(const std::vector<std::string>& problems);
    std::string ProgramCommand() const;
    void Created(const char* name);
    void Destroyed(const char* name);
    template <typename T>
    void Destroy(std::unique_ptr<T>& object, const char* name);

    AppEnvironment env_;
    AppShell& shell_;
    std::unique_ptr<Mixer> mixer_;
    const TickClock& clock_;
    ProgramFolders folders_;
    UiQueue uiQueue_;
    PendingCommands pending_;
    std::vector<std::string> lifecycle_;

    bool startedMinimized_ = false;
    bool handedOver_ = false;
    bool initialized_ = false;
    std::uint32_t mixerAtStart_[kMixerLevels] = {};
    std::uint32_t storedUserId_ = 0;
    std::uint16_t partnerNumber_ = 1;
    bool comicSans_ = false;

    // Process-wide objects in creation order. Start-up creates them in this order and exit
    // destroys them in the order of DestroyObjects.
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<Registry> registry_;
    std::unique_ptr<Customization> customization_;   // 1
    std::unique_ptr<IniFile> machineSettings_;       // 2
    std::unique_ptr<IniFile> userSettings_;          // 3
    std::unique_ptr<IniFile> serverSettings_;        // 4
    std::unique_ptr<IniFile> soundSettings_;         // 5
    std::unique_ptr<RegistryKey> loginKey_;          // 6
    std::unique_ptr<TimerScheduler> scheduler_;      // 7
    std::unique_ptr<RunKey> runKey_;                 // the options record's run key
    std::unique_ptr<Options> options_;               // 8
    std::unique_ptr<JobScheduler> directoryJobs_;    // the directory client's view of 7
    std::unique_ptr<DirectoryClient> directory_;     // 9
    std::unique_ptr<SystemNoticeList> notices_;      // 10 (until the alerts store lands)
    std::unique_ptr<EventLog> eventLog_;             // 12
    std::unique_ptr<BlockStore> blockStore_;         // 15
    std::unique_ptr<CSonaroManager> sonaroManager_;  // 16
    std::unique_ptr<CallManager> callManager_;       // 18
    std::unique_ptr<ContactStore> contactStore_;     // 19
    // The stores' way to the engine: after both, gone before the manager.
    std::unique_ptr<SonaroStoreLink> storeLink_;
    // The call manager's way to the stores and the main window: after the contact store.
    std::unique_ptr<ProgramCallSurroundings> callSurroundings_;
    // The connection status line (17, made after the engine manager) and what it reads.
    std::unique_ptr<ProgramStatusSource> statusSource_;
    std::unique_ptr<ConnectionStatusLine> statusLine_;
    // The MessageCenter's way to the engine, the stores and the directory: after the contact
    // store, gone before the manager.
    std::unique_ptr<ProgramMessageLinks> messageLinks_;
    // The MessageCenter's and the command files' way into forums: after the call manager,
    // gone before it.
    std::unique_ptr<ProgramForumAccess> forumAccess_;
    bool mainWindowCreated_ = false;
    bool startingUp_ = false;     // InitInstance opens the command line's file
    bool connectWanted_ = false;  // that file wants a connection once start-up is done
};

}  // namespace qv
