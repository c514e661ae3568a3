#include "app/CQuorvaneApp.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "app/AppShell.h"
#include "app/FileTypeRegistration.h"
#include "app/PartnerNumber.h"
#include "app/ProgramCallSurroundings.h"
#include "app/ProgramForumAccess.h"
#include "app/ProgramMessageLinks.h"
#include "app/SingleInstance.h"
#include "app/SonaroStoreLink.h"
#include "app/TimerScheduler.h"
#include "calls/CallManager.h"
#include "directory/DirectoryClient.h"
#include "directory/JobScheduler.h"
#include "directory/PartnerRequests.h"
#include "engine/CSonaroManager.h"
#include "engine/SonaroRegistration.h"
#include "messaging/SystemNoticeList.h"
#include "platform/FileIo.h"
#include "platform/FileVersion.h"
#include "platform/Mixer.h"
#include "platform/Registry.h"
#include "platform/Screen.h"
#include "platform/Trace.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/LogFont.h"
#include "settings/LoginKey.h"
#include "settings/Options.h"
#include "settings/RegistryKey.h"
#include "settings/RunKey.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"
#include "stores/EventLog.h"
#include "ui/ConnectionStatusLine.h"
#include "ui/ProgramStatusSource.h"

namespace qv {

namespace {

// The engine is a library the program loads: the owner's only.
constexpr mode_t kEngineMode = 0700;

constexpr MixerControl kMixerOrder[CQuorvaneApp::kMixerLevels] = {
    MixerControl::MasterVolume, MixerControl::WaveVolume, MixerControl::MicVolume,
    MixerControl::MicOnOff};

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string Unquote(std::string text) {
    if (!text.empty() && text.front() == '"') {
        text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
    }
    return text;
}

// True when the folder, and the link to it when it is one, belong to the user we run as.
bool OwnedByUs(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    struct stat link {};
    struct stat target {};
    if (::lstat(folder.c_str(), &link) != 0 || ::stat(folder.c_str(), &target) != 0) {
        return false;
    }
    return link.st_uid == ::geteuid() && target.st_uid == ::geteuid();
}

// Earlier versions left the data root and what they wrote there readable by everyone. The data
// root may be a folder that also holds the user's other files (--home), so only what is ours is
// touched: the root itself, the files directly in it, and our folders with all they hold.
void TightenDataRoot(const std::string& root) {
    RestrictToOwner(root, false);
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(root, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool userFolder =
            !name.empty() && std::all_of(name.begin(), name.end(),
                                         [](unsigned char c) { return std::isdigit(c) != 0; });
        std::error_code kind;
        if (it->is_symlink(kind)) {
            continue;
        }
        if (it->is_regular_file(kind)) {
            RestrictToOwner(it->path().string(), false);
        } else if (userFolder || name == "registry" || name == "system" || name == "Outgoing") {
            RestrictToOwner(it->path().string(), true);
        }
    }
}

// Files the installation may have left read-only that the program must be able to replace.
void MakeWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
        ::chmod(path.c_str(), st.st_mode | S_IWUSR);
    }
}

std::string ShellQuote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\' || c == '`' || c == '$') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out + "\"";
}

}  // namespace

CQuorvaneApp::CQuorvaneApp(AppEnvironment env, AppShell& shell, std::unique_ptr<Mixer> mixer,
                           const TickClock& clock)
    : env_(std::move(env)),
      shell_(shell),
      mixer_(mixer ? std::move(mixer) : MakeNullMixer()),
      clock_(clock),
      folders_(ProgramFolders::ResolveDataRoot(env_.homeOption)) {}

CQuorvaneApp::~CQuorvaneApp() {
    if (initialized_) {
        ExitInstance();
    }
}

void CQuorvaneApp::Created(const char* name) {
    lifecycle_.push_back(std::string("+") + name);
    Trace("CQuorvaneApp", "InitInstance", std::string("created ") + name);
}

void CQuorvaneApp::Destroyed(const char* name) {
    lifecycle_.push_back(std::string("-") + name);
    Trace("CQuorvaneApp", "ExitInstance", std::string("destroyed ") + name);
}

template <typename T>
void CQuorvaneApp::Destroy(std::unique_ptr<T>& object, const char* name) {
    if (object) {
        object.reset();
        Destroyed(name);
    }
}

std::string CQuorvaneApp::ProgramCommand() const {
    return ShellQuote(env_.executable) + " --home " + ShellQuote(folders_.ProgramFolder());
}

bool CQuorvaneApp::InitInstance() {
    Trace("CQuorvaneApp", "InitInstance");
    for (int i = 0; i < kMixerLevels; ++i) {
        mixerAtStart_[i] = mixer_->GetLevel(kMixerOrder[i]);
    }
    startedMinimized_ = env_.commandLine == "-minimized";

    if (!PrepareDataRoot()) {
        return false;
    }
    instance_ = std::make_unique<SingleInstance>(folders_.ProgramFolder());
    switch (instance_->Acquire()) {
        case SingleInstance::Role::Primary:
            break;
        case SingleInstance::Role::Secondary:
            handedOver_ = HandOverToRunningInstance();
            instance_.reset();
            return false;
        case SingleInstance::Role::Failed:
            shell_.GetScreen().MessageBox(
                "Quorvane cannot make sure it runs only once: " + instance_->Problem(), "ERROR",
                mb::kOk | mb::kIconExclamation);
            instance_.reset();
            return false;
    }
    Created("SingleInstance");

    // The data root is the program folder: relative paths in settings resolve against it.
    if (::chdir(folders_.ProgramFolder().c_str()) != 0) {
        Trace("CQuorvaneApp", "InitInstance", "chdir failed");
    }
    MakeWritable(folders_.ProgramFolder() + "Sonaro.ocx");
    MakeWritable(folders_.ProgramFolder() + "Server.ini");
    MakeWritable(folders_.SystemFolder() + "Sonaro.ocx");

    registry_ = std::make_unique<Registry>(folders_.ProgramFolder() + "registry/");
    Created("Registry");
    ShowProblems(registry_->LoadProblems());

    CreateSettingsObjects();
    CreateFonts();

    InstallShippedFiles();
    InstallSharedFiles();
    partnerNumber_ = ReadPartnerNumber(folders_.ProgramFolder() + "Partner.dat");

    directoryJobs_ = std::make_unique<SchedulerAdapter<TimerScheduler>>(*scheduler_);
    directory_ = std::make_unique<DirectoryClient>(*directoryJobs_, clock_);
    directory_->SetPartnerNumber(partnerNumber_);
    Created("DirectoryClient");
    notices_ = std::make_unique<SystemNoticeList>();
    Created("MessageCenter");
    // The downloader comes here as it comes.
    eventLog_ = std::make_unique<EventLog>();
    Created("EventLog");
    // Before a user is known the log lives in the program folder; a file there that is no log
    // is kept as Quorvane_Log.bak and replaced, after the message.
    eventLog_->OpenOrRepair(folders_.ProgramFolder() + EventLog::kFileName, shell_.GetScreen());
    notices_->SetEventLog(eventLog_.get());
    // The voice mail store and offline queue are created here, in that order, as they come.
    blockStore_ =
        std::make_unique<BlockStore>(directory_.get(), nullptr, shell_.GetScreen(), *notices_);
    Created("BlockStore");
    sonaroManager_ = std::make_unique<CSonaroManager>(
        *registry_, shell_.GetScreen(), *options_, *machineSettings_, *soundSettings_, clock_,
        folders_.ProgramFolder(), folders_.SystemFolder(),
        env_.engineFactory ? env_.engineFactory(*registry_) : nullptr);
    sonaroManager_->SetSystemNotices(notices_.get());
    sonaroManager_->SetUi(shell_.GetEngineUi());
    sonaroManager_->SetEventLog(eventLog_.get());
    Created("SonaroManager");
    statusSource_ = std::make_unique<ProgramStatusSource>(sonaroManager_.get());
    statusLine_ = std::make_unique<ConnectionStatusLine>(*statusSource_, scheduler_.get());
    statusSource_->SetLine(statusLine_.get());
    Created("StatusLine");
    callManager_ = std::make_unique<CallManager>(*sonaroManager_, *options_, *notices_,
                                                 shell_.GetScreen(), clock_);
    statusSource_->SetCallManager(callManager_.get());
    callManager_->SetEventLog(eventLog_.get());
    Created("CallManager");
    contactStore_ =
        std::make_unique<ContactStore>(directory_.get(), nullptr, shell_.GetScreen(), *notices_);
    blockStore_->SetContactStore(contactStore_.get());
    storeLink_ =
        std::make_unique<SonaroStoreLink>(*sonaroManager_, contactStore_.get(), blockStore_.get());
    Created("ContactStore");
    callSurroundings_ = std::make_unique<ProgramCallSurroundings>(
        shell_, *options_, blockStore_.get(), contactStore_.get());
    callManager_->SetSurroundings(callSurroundings_.get());
    messageLinks_ = std::make_unique<ProgramMessageLinks>(
        *notices_, *sonaroManager_, contactStore_.get(), directory_.get(), *options_,
        shell_.GetScreen(), clock_,
        std::make_unique<OfflineQueue>(folders_.ProgramFolder() + "Outgoing/", [] {
            return static_cast<std::uint32_t>(std::time(nullptr));
        }));
    forumAccess_ = std::make_unique<ProgramForumAccess>(*callManager_);
    notices_->SetForumAccess(forumAccess_.get());

    directory_->Start(
        serverSettings_->GetString("Server", "WebServer", DirectoryClient::kDefaultWebServer),
        serverSettings_->GetString("Server", "WebFolder", ""));

    std::uint32_t id = 0;
    if (loginKey_ && loginKey_->GetDword(login_key::kQuorvaneId, id)) {
        storedUserId_ = id;
    }

    RegisterFileType(*registry_, folders_.ProgramFolder());
    InstallDesktopIntegration({env_.xdgDataHome, ProgramCommand()});

    if (runKey_ && runKey_->Has(RunKey::kLauncher)) {
        runKey_->Delete(RunKey::kLauncher);
    }

    if (!shell_.CreateMainWindow()) {
        // What exists is unwound through the ordered exit, which also puts the mixer back.
        Trace("CQuorvaneApp", "InitInstance", "the main window could not be created");
        ExitInstance();
        return false;
    }
    mainWindowCreated_ = true;
    Created("MainWindow");
    initialized_ = true;

    // A command file and auto-connect both want a connection: start-up makes one attempt.
    startingUp_ = true;
    if (!env_.commandLine.empty() && !startedMinimized_) {
        OpenDocumentFile(Unquote(env_.commandLine));
    }
    startingUp_ = false;
    shell_.ShowMainWindow(startedMinimized_);

    // The plug-in scan comes here; a login extension serving partner 1 makes the partner
    // parameters request unnecessary.
    RequestPartnerParameters();
    if (connectWanted_ || machineSettings_->GetInt("Internal", "DisableAutoConnect", 0) == 0) {
        connectWanted_ = false;
        shell_.Connect();
    }
    return true;
}

AlertQueue* CQuorvaneApp::GetAlertQueue() {
    return notices_.get();
}

void CQuorvaneApp::SetTraySurface(TraySurface* tray) {
    if (notices_) {
        notices_->SetTraySurface(tray);
    }
}

void CQuorvaneApp::RequestPartnerParameters() {
    if (!directory_) {
        return;
    }
    GetPartnerParams(
        *directory_, partnerNumber_,
        [this](const std::string& reply, const std::string&, int status, RequestContext) {
            // A failure keeps the customization as it is.
            if (status == 1 && customization_ && customization_->Update(reply) && options_) {
                options_->UseLumivexHomeURL(customization_->Get().lxMainUrl);
            }
        },
        this);
}

bool CQuorvaneApp::PrepareDataRoot() {
    const std::string& root = folders_.ProgramFolder();
    std::string why;
    if (!MakeFolders(root) || ::access(root.c_str(), W_OK) != 0) {
        why = std::strerror(errno);
    } else if (!OwnedByUs(root)) {
        // Someone else's folder (say a /tmp/quorvane-<uid> made before us) could read our secrets.
        why = "it belongs to another user";
    }
    if (!why.empty()) {
        shell_.GetScreen().MessageBox("Quorvane cannot use its folder " + root + ": " + why,
                                      "ERROR", mb::kOk | mb::kIconExclamation);
        return false;
    }
    TightenDataRoot(root);
    return true;
}

bool CQuorvaneApp::HandOverToRunningInstance() {
    std::vector<std::string> requests{SingleInstance::kShow};
    if (!env_.commandLine.empty() && !startedMinimized_) {
        const std::string file = Unquote(env_.commandLine);
        const std::string target = folders_.ProgramFolder() + "quorvane.qdx";
        bool ready = EqualNoCase(file, target);
        if (!ready) {
            ready = CopyFileOver(file, target);
            if (!ready) {
                shell_.GetScreen().MessageBox("Quorvane cannot read the file " + file + ".",
                                              "ERROR", mb::kOk | mb::kIconExclamation);
            }
        }
        if (ready) {
            requests.push_back(SingleInstance::kOpen);
        }
    }
    if (instance_->SendToPrimary(requests)) {
        return true;
    }
    shell_.GetScreen().MessageBox("Quorvane is already running for the folder " +
                                      folders_.ProgramFolder() +
                                      " but does not answer. Close it and start Quorvane again.",
                                  "ERROR", mb::kOk | mb::kIconExclamation);
    return false;
}

void CQuorvaneApp::CreateSettingsObjects() {
    const std::string& root = folders_.ProgramFolder();
    customization_ = std::make_unique<Customization>(root + "Customize.ini", root + "demo.ini");
    Created("Customization");
    machineSettings_ = std::make_unique<IniFile>(root + "Quorvane.ini");
    Created("MachineSettings");
    userSettings_ = std::make_unique<IniFile>();
    Created("UserSettings");
    serverSettings_ = std::make_unique<IniFile>(
        FileExists(root + "Server1.ini") ? root + "Server1.ini" : root + "Server.ini");
    Created("ServerSettings");
    soundSettings_ = std::make_unique<IniFile>(root + "Sounds.ini");
    Created("SoundSettings");
    loginKey_ = std::make_unique<RegistryKey>(*registry_);
    loginKey_->OpenProduct(login_key::kSubkey);
    Created("LoginKey");
    scheduler_ = std::make_unique<TimerScheduler>(clock_, &shell_.GetScreen());
    Created("TimerScheduler");

    comicSans_ = shell_.HasFontFamily("Comic Sans MS");
    runKey_ = std::make_unique<RunKey>(
        *registry_,
        AutostartMirror{env_.xdgConfigHome.empty() ? "" : env_.xdgConfigHome + "autostart/", root,
                        ProgramCommand()});
    options_ = std::make_unique<Options>(*machineSettings_, *userSettings_, *runKey_, *mixer_,
                                         *customization_, comicSans_);
    options_->Load();
    Created("Options");
}

void CQuorvaneApp::CreateFonts() {
    LogFont dialog;
    dialog.height = 8;
    dialog.faceName = "MS Sans Serif";
    shell_.SetFonts(dialog, options_->ListFont(), options_->ChatFont());
}

void CQuorvaneApp::ShowProblems(const std::vector<std::string>& problems) {
    for (const std::string& p : problems) {
        shell_.GetScreen().MessageBox(p, "ERROR", mb::kOk | mb::kIconExclamation);
    }
}

void CQuorvaneApp::OpenDocumentFile(const std::string& path) {
    Trace("CQuorvaneApp", "OpenDocumentFile", path);
    CommandRecord record = ReadCommandFile(path);
    if (record.Empty()) {
        return;
    }
    if (sonaroManager_ && mainWindowCreated_ &&
        sonaroManager_->State() == CSonaroManager::kLoggedIn) {
        shell_.RunCommand(record);
        return;
    }
    pending_.Append(std::move(record));
    if (sonaroManager_ && mainWindowCreated_ && sonaroManager_->State() == CSonaroManager::kIdle) {
        if (startingUp_) {
            connectWanted_ = true;  // start-up connects once, at its end
        } else {
            shell_.Connect();
        }
    }
}

void CQuorvaneApp::InstallShippedFiles() {
    const std::string engine = folders_.ProgramFolder() + "Sonaro.ocx";
    // Also when the program was started with the other engine: the copy follows the one chosen.
    if (!env_.shippedEngine.empty() && FileExists(env_.shippedEngine) &&
        (!FileExists(engine) || ReadFileBuild(engine) != ReadFileBuild(env_.shippedEngine)) &&
        !CopyFileOver(env_.shippedEngine, engine, kEngineMode)) {
        const std::string why = std::strerror(errno);
        shell_.GetScreen().MessageBox("Quorvane could not install its voice engine " +
                                          env_.shippedEngine + " as " + engine + ": " + why +
                                          ". It uses the engine that is already there, if any.",
                                      "ERROR", mb::kOk | mb::kIconExclamation);
    }
}

void CQuorvaneApp::InstallSharedFiles() {
    if (env_.shareFolder.empty()) {
        return;
    }
    const std::string from = WithSlash(env_.shareFolder);
    const std::string& to = folders_.ProgramFolder();
    // What the user changed or removed on purpose stays: only missing files are copied.
    // default.wav is what an event without a sound of its own plays.
    std::vector<std::string> files = {"tips.txt", "Sounds.ini", "default.wav"};
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(from + "sounds", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".wav") {
            files.push_back("sounds/" + it->path().filename().string());
        }
    }
    for (const std::string& file : files) {
        if (!FileExists(from + file) || FileExists(to + file)) {
            continue;
        }
        if (file.rfind("sounds/", 0) == 0) {
            MakeFolders(to + "sounds");
        }
        if (!CopyFileOver(from + file, to + file)) {
            Trace("CQuorvaneApp", "InitInstance", "could not copy " + from + file);
        }
    }
}

void CQuorvaneApp::OnViewTimer() {
    uiQueue_.Drain();
    if (sonaroManager_) {
        sonaroManager_->DrainEvents();
    }
    if (scheduler_) {
        scheduler_->Tick();
    }
    if (instance_) {
        for (const std::string& request : instance_->Poll()) {
            if (request == SingleInstance::kShow) {
                shell_.ActivateMainWindow();
            } else if (request == SingleInstance::kOpen) {
                OpenDocumentFile(folders_.ProgramFolder() + "quorvane.qdx");
            }
        }
    }
}

int CQuorvaneApp::ExitInstance() {
    if (!initialized_ && !instance_) {
        return 0;
    }
    Trace("CQuorvaneApp", "ExitInstance");
    if (mainWindowCreated_) {
        shell_.DestroyMainWindow();
        mainWindowCreated_ = false;
        Destroyed("MainWindow");
    }
    DestroyObjects();
    for (int i = 0; i < kMixerLevels; ++i) {
        if (mixerAtStart_[i] != kMixerNotFound) {
            mixer_->SetLevel(kMixerOrder[i], mixerAtStart_[i]);
        }
    }
    initialized_ = false;
    return 0;
}

void CQuorvaneApp::DestroyObjects() {
    // Calls end with the program: whatever the call manager holds is left or declined while
    // the engine still stands.
    if (callManager_) {
        callManager_->SetSurroundings(nullptr);
        callManager_->EndSecond(CallManager::kDeclined, "");
        callManager_->EndActive(false);
    }
    callSurroundings_.reset();
    if (notices_) {
        notices_->SetForumAccess(nullptr);
    }
    forumAccess_.reset();
    if (statusSource_) {
        statusSource_->SetCallManager(nullptr);
    }
    Destroy(callManager_, "CallManager");
    // Unseen messages are kept for the next login of this user.
    if (notices_) {
        notices_->Detach();
    }
    messageLinks_.reset();
    if (statusSource_) {
        statusSource_->SetLine(nullptr);
    }
    Destroy(statusLine_, "StatusLine");
    statusSource_.reset();
    // The offline queue goes here as it comes.
    if (sonaroManager_) {
        sonaroManager_->DestroyControl();
    }
    storeLink_.reset();
    Destroy(sonaroManager_, "SonaroManager");
    if (blockStore_) {
        blockStore_->SetContactStore(nullptr);
    }
    // Each saves its list as it goes.
    Destroy(blockStore_, "BlockStore");
    if (notices_) {
        notices_->SetEventLog(nullptr);
    }
    Destroy(eventLog_, "EventLog");
    Destroy(contactStore_, "ContactStore");
    // The downloader goes here as it comes.
    Destroy(notices_, "MessageCenter");
    if (directory_) {
        directory_->Stop();
    }
    Destroy(directory_, "DirectoryClient");
    directoryJobs_.reset();
    Destroy(options_, "Options");
    runKey_.reset();
    Destroy(scheduler_, "TimerScheduler");
    Destroy(loginKey_, "LoginKey");
    Destroy(serverSettings_, "ServerSettings");
    Destroy(soundSettings_, "SoundSettings");
    Destroy(machineSettings_, "MachineSettings");
    Destroy(userSettings_, "UserSettings");
    Destroy(instance_, "SingleInstance");
    // Voice mail store and login extension library go here.
    Destroy(customization_, "Customization");
    Destroy(registry_, "Registry");
}

}  // namespace qv
