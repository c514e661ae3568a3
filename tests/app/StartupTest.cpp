#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "app/TimerScheduler.h"
#include "engine/CSonaroManager.h"
#include "platform/FileIo.h"
#include "platform/Mixer.h"
#include "platform/Registry.h"
#include "platform/TickClock.h"
#include "settings/IniFile.h"
#include "settings/LogFont.h"
#include "settings/LoginKey.h"
#include "settings/Options.h"
#include "settings/RegistryKey.h"
#include "stores/AddressBookFile.h"
#include "stores/BlockListFile.h"
#include "stores/BlockStore.h"
#include "stores/ContactStore.h"
#include "stores/EventLog.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/ProgramSubsystems.h"

namespace qv {
namespace {

class RecordingShell final : public AppShell {
  public:
    Screen& GetScreen() override { return screen; }
    bool HasFontFamily(const std::string& face) override { return face == installedFont; }
    void SetFonts(const LogFont&, const LogFont& list, const LogFont&) override { listFont = list; }
    bool CreateMainWindow() override {
        events.push_back("create");
        return createResult;
    }
    void ShowMainWindow(bool minimized) override {
        events.push_back(minimized ? "show-minimized" : "show");
    }
    void ActivateMainWindow() override { events.push_back("activate"); }
    void DestroyMainWindow() override { events.push_back("destroy"); }
    void Connect() override { ++connects; }

    test::RecordingScreen screen;
    std::vector<std::string> events;
    std::string installedFont;
    LogFont listFont;
    bool createResult = true;
    int connects = 0;
};

// Tests run as root, which reads and writes whatever the bits say: check the bits themselves.
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Remembers every level it is given; starts at scripted levels.
class LevelMixer final : public Mixer {
  public:
    std::uint32_t GetLevel(MixerControl c) override { return levels[static_cast<int>(c)]; }
    void SetLevel(MixerControl c, std::uint32_t level) override {
        levels[static_cast<int>(c)] = level;
        writes.push_back({c, level});
    }
    std::string ControlName(MixerControl) override { return "x"; }

    std::uint32_t levels[4] = {1000, 2000, 3000, 1};
    std::vector<std::pair<MixerControl, std::uint32_t>> writes;
};

class StartupTest : public ::testing::Test {
  protected:
    test::TempFolder root;
    test::TempFolder xdg;
    ManualTickClock clock{100};
    RecordingShell shell;
    std::string cwd = std::filesystem::current_path().string();

    ~StartupTest() override { std::filesystem::current_path(cwd); }

    AppEnvironment Env(std::string commandLine = {}) {
        AppEnvironment env;
        env.homeOption = root.Path();
        env.commandLine = std::move(commandLine);
        env.executable = "/opt/quorvane/bin/quorvane";
        env.xdgDataHome = xdg.Path() + "data/";
        env.xdgConfigHome = xdg.Path() + "config/";
        return env;
    }
    std::unique_ptr<CQuorvaneApp> MakeApp(std::string commandLine = {},
                                          std::unique_ptr<Mixer> mixer = nullptr) {
        return std::make_unique<CQuorvaneApp>(Env(std::move(commandLine)), shell, std::move(mixer),
                                              clock);
    }
};

TEST_F(StartupTest, CreatesAndDestroysTheObjectsInTheirOrder) {
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(shell.events, (std::vector<std::string>{"create", "show"}));
    EXPECT_NE(app->Scheduler(), nullptr);
    EXPECT_NE(app->GetOptions(), nullptr);
    EXPECT_EQ(app->UserSettings()->Path(), "");
    EXPECT_NE(app->GetBlockStore(), nullptr);
    EXPECT_NE(app->GetContactStore(), nullptr);
    app->ExitInstance();
    EXPECT_EQ(app->GetContactStore(), nullptr);
    const std::vector<std::string> expected = {
        "+SingleInstance", "+Registry",        "+Customization",   "+MachineSettings",
        "+UserSettings",   "+ServerSettings",  "+SoundSettings",   "+LoginKey",
        "+TimerScheduler", "+Options",         "+DirectoryClient", "+MessageCenter",
        "+EventLog",       "+BlockStore",      "+SonaroManager",   "+StatusLine",
        "+CallManager",    "+ContactStore",    "+MainWindow",      "-MainWindow",
        "-CallManager",    "-StatusLine",      "-SonaroManager",   "-BlockStore",
        "-EventLog",       "-ContactStore",    "-MessageCenter",   "-DirectoryClient",
        "-Options",        "-TimerScheduler",  "-LoginKey",        "-ServerSettings",
        "-SoundSettings",  "-MachineSettings", "-UserSettings",    "-SingleInstance",
        "-Customization",  "-Registry"};
    EXPECT_EQ(app->Lifecycle(), expected);
    EXPECT_EQ(app->Scheduler(), nullptr);
    EXPECT_EQ(shell.events.back(), "destroy");
}

TEST_F(StartupTest, ACorruptEventLogIsKeptAsBackupAndReplacedAfterTheMessage) {
    root.Write("Quorvane.log", "garbage");
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    ASSERT_EQ(shell.screen.boxes.size(), 1u);
    EXPECT_EQ(shell.screen.boxes[0].text, EventLog::kCorruptText);
    EXPECT_EQ(shell.screen.boxes[0].caption, "ERROR");
    EXPECT_EQ(shell.screen.boxes[0].style, mb::kOk | mb::kIconExclamation);
    EXPECT_EQ(root.Read("Quorvane_Log.bak"), "garbage");
    EXPECT_EQ(root.Read("Quorvane.log"), EventLog::Header());
    ASSERT_NE(app->GetEventLog(), nullptr);
    EXPECT_TRUE(app->GetEventLog()->IsOpen());

    // The user's own log is repaired the same way at login.
    root.Write("7/Quorvane.log", "also garbage");
    ProgramSubsystems subsystems(*app);
    subsystems.OpenEventLog(app->ProgramFolder() + "7/Quorvane.log");
    EXPECT_EQ(shell.screen.boxes.size(), 2u);
    EXPECT_EQ(root.Read("7/Quorvane_Log.bak"), "also garbage");
    EXPECT_EQ(root.Read("7/Quorvane.log"), EventLog::Header());
    EXPECT_EQ(app->GetEventLog()->Path(), app->ProgramFolder() + "7/Quorvane.log");
    EXPECT_TRUE(app->GetEventLog()->IsOpen());
    app->ExitInstance();
}

TEST_F(StartupTest, TheStoresFollowTheLoggedInUserAndAreSavedWhenRepointedAndAtExit) {
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    ProgramSubsystems subsystems(*app);
    const auto logIn = [&](std::uint32_t id) {
        app->LoginKey()->SetDword(login_key::kQuorvaneId, id);
        const std::string folder =
            id == 0 ? app->ProgramFolder() : app->ProgramFolder() + std::to_string(id) + "/";
        subsystems.OpenBlockList(folder + "Blocked.dat");
        subsystems.ReloadContactList();
    };
    const auto book = [&](std::uint32_t id) {
        AddressBookData data;
        ReadAddressBook(
            ReadWholeFile(app->ProgramFolder() + std::to_string(id) + "/Addressbook.dat")
                .value_or(""),
            data);
        std::vector<std::string> ids;
        for (const auto& c : data.contacts) {
            ids.push_back(c.LoginId);
        }
        return ids;
    };
    ContactStore& contacts = *app->GetContactStore();
    BlockStore& blocks = *app->GetBlockStore();
    logIn(7);
    EXPECT_EQ(contacts.Path(), app->ProgramFolder() + "7/Addressbook.dat");
    EXPECT_EQ(blocks.Path(), app->ProgramFolder() + "7/Blocked.dat");
    UserProfile ann;
    ann.LoginId = "1001";
    ann.NickName = "Ann";
    ASSERT_TRUE(contacts.AddContact(ann));
    EXPECT_EQ(blocks.Block("7", "Me", {}), BlockStore::BlockResult::Self);
    EXPECT_EQ(blocks.Block("1002", "Bob", {}), BlockStore::BlockResult::Blocked);
    // The engine manager holds both lists for its next registration.
    EXPECT_EQ(app->SonaroManager()->WatchList(), "1001\n");
    EXPECT_EQ(app->SonaroManager()->BlockList(), "1002\n");

    logIn(8);
    EXPECT_EQ(book(7), std::vector<std::string>{"1001"});
    BlockListData saved;
    EXPECT_TRUE(
        ReadBlockList(ReadWholeFile(app->ProgramFolder() + "7/Blocked.dat").value_or(""), saved));
    EXPECT_EQ(saved.users.size(), 1u);
    EXPECT_TRUE(contacts.Contacts().empty());
    EXPECT_TRUE(blocks.Records().empty());
    EXPECT_EQ(app->SonaroManager()->WatchList(), "");
    ann.LoginId = "2001";
    ASSERT_TRUE(contacts.AddContact(ann));

    logIn(0);
    EXPECT_EQ(contacts.Path(), "");
    EXPECT_EQ(blocks.Path(), "");
    EXPECT_EQ(book(8), std::vector<std::string>{"2001"});

    logIn(8);
    UserProfile cat;
    cat.LoginId = "2002";
    ASSERT_TRUE(contacts.AddContact(cat));
    app->ExitInstance();
    EXPECT_EQ(book(8), (std::vector<std::string>{"2001", "2002"}));
}

TEST_F(StartupTest, ServerSettingsPreferServer1) {
    {
        auto app = MakeApp();
        ASSERT_TRUE(app->InitInstance());
        EXPECT_EQ(app->ServerSettings()->Path(), root.File("Server.ini"));
    }
    root.Write("Server1.ini", "[Server]\r\nVoicePort=1\r\n");
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(app->ServerSettings()->Path(), root.File("Server1.ini"));
}

TEST_F(StartupTest, MixerLevelsAreSavedAtStartAndRestoredAtExit) {
    auto mixer = std::make_unique<LevelMixer>();
    LevelMixer* levels = mixer.get();
    root.Write("Quorvane.ini", "[Options]\nMasterVolume=500\nMicOnOff=0\n");
    auto app = MakeApp({}, std::move(mixer));
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(levels->levels[0], 500u);  // the stored level is applied
    EXPECT_EQ(levels->levels[3], 0u);
    levels->writes.clear();
    app->ExitInstance();
    ASSERT_EQ(levels->writes.size(), 4u);
    EXPECT_EQ(levels->writes[0], std::make_pair(MixerControl::MasterVolume, 1000u));
    EXPECT_EQ(levels->writes[1], std::make_pair(MixerControl::WaveVolume, 2000u));
    EXPECT_EQ(levels->writes[2], std::make_pair(MixerControl::MicVolume, 3000u));
    EXPECT_EQ(levels->writes[3], std::make_pair(MixerControl::MicOnOff, 1u));
}

TEST_F(StartupTest, ListFontFollowsTheInstalledFaces) {
    shell.installedFont = "Comic Sans MS";
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    EXPECT_TRUE(app->ComicSansInstalled());
    EXPECT_EQ(shell.listFont.faceName, "Comic Sans MS");
}

TEST_F(StartupTest, RegistersTheFileTypeAndTheDesktopIntegration) {
    {
        // Left over from an older installation: must be cleared away.
        Registry registry(root.Path() + "registry/");
        registry.CreateKey(Hive::ClassesRoot, "Quorvane.Document\\shell\\print\\command");
        registry.CreateKey(Hive::CurrentUser, "Software\\Netscape\\Netscape Navigator\\Main");
        registry.CreateKey(Hive::CurrentUser, "\\Software\\Netscape\\Netscape Navigator\\Viewers");
        registry.SetValue(Hive::CurrentUser, "Software\\Netscape\\Netscape Navigator\\Viewers",
                          "TYPE0", RegistryValue::String("text/plain"));
        registry.CreateKey(Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        registry.SetValue(Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                          "Quorvane Launcher", RegistryValue::String("old.exe"));
    }
    xdg.Write("config/autostart/quorvane-launcher.desktop", "[Desktop Entry]\n");
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    Registry& r = *app->GetRegistry();
    const std::string p = root.Path();
    EXPECT_FALSE(r.KeyExists(Hive::ClassesRoot, "Quorvane.Document"));
    EXPECT_EQ(r.GetValue(Hive::ClassesRoot, ".qdx", ""), RegistryValue::String("Quorvane"));
    EXPECT_EQ(r.GetValue(Hive::ClassesRoot, "Quorvane", ""),
              RegistryValue::String("Quorvane File"));
    EXPECT_EQ(r.GetValue(Hive::ClassesRoot, "Quorvane", "EditFlags"),
              RegistryValue::Binary(std::string("\0\0\1\0", 4)));
    EXPECT_EQ(r.GetValue(Hive::ClassesRoot, "Quorvane\\shell\\open\\command", ""),
              RegistryValue::String(p + "QUORVANE.EXE \"%1\""));
    EXPECT_EQ(r.GetValue(Hive::ClassesRoot, "Quorvane\\DefaultIcon", ""),
              RegistryValue::String(p + "QUORVANE.EXE,1"));

    const std::string ns = "Software\\Netscape\\Netscape Navigator\\";
    EXPECT_EQ(r.GetValue(Hive::CurrentUser, ns + "User Trusted External Applications",
                         p + "QUORVANE.EXE"),
              RegistryValue::String("Yes"));
    EXPECT_EQ(r.GetValue(Hive::CurrentUser, ns + "Suffixes", "application/qdx"),
              RegistryValue::String("qdx"));
    EXPECT_EQ(r.GetValue(Hive::CurrentUser, ns + "Viewers", "application/qdx"),
              RegistryValue::String(p + "QUORVANE.EXE \"%1\""));
    EXPECT_EQ(r.GetValue(Hive::CurrentUser, ns + "Viewers", "TYPE1"),
              RegistryValue::String("application/qdx"));

    EXPECT_FALSE(r.GetValue(Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                            "Quorvane Launcher"));
    EXPECT_FALSE(std::filesystem::exists(xdg.File("config/autostart/quorvane-launcher.desktop")));

    const std::string mime = xdg.Read("data/mime/packages/quorvane-qdx.xml");
    EXPECT_NE(mime.find("type=\"application/qdx\""), std::string::npos);
    EXPECT_NE(mime.find("pattern=\"*.qdx\""), std::string::npos);
    const std::string entry = xdg.Read("data/applications/quorvane.desktop");
    EXPECT_NE(entry.find("MimeType=application/qdx;"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\"/opt/quorvane/bin/quorvane\" --home \"" + p + "\" %f"),
              std::string::npos);
}

TEST_F(StartupTest, NetscapeKeysOnlyWhenNetscapeIsThere) {
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    EXPECT_FALSE(app->GetRegistry()->KeyExists(Hive::CurrentUser,
                                               "Software\\Netscape\\Netscape Navigator\\Suffixes"));
}

TEST_F(StartupTest, ReadsTheStoredUserAndThePartner) {
    {
        Registry registry(root.Path() + "registry/");
        RegistryKey login(registry);
        ASSERT_TRUE(login.OpenProduct("Login"));
        login.SetDword("QuorvaneID", 4711);
    }
    root.Write("Partner.dat", std::string("\x2A\x01\x00", 3));
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(app->StoredUserId(), 4711u);
    EXPECT_EQ(app->PartnerNumber(), 0x012A);
}

TEST_F(StartupTest, MinimizedStartShowsMinimized) {
    auto app = MakeApp("-minimized");
    ASSERT_TRUE(app->InitInstance());
    EXPECT_TRUE(app->StartedMinimized());
    EXPECT_EQ(shell.events.back(), "show-minimized");
}

TEST_F(StartupTest, CommandFileOpenedBeforeLoginWaitsForTheConnection) {
    const std::string file = root.Write("join.qdx", "Gmusic/jazz\r\nsecret\r\n");
    auto app = MakeApp(file);
    ASSERT_TRUE(app->InitInstance());
    ASSERT_EQ(app->Pending().Size(), 1u);
    EXPECT_EQ(app->Pending().TakeOldest(), (CommandRecord{'G', "", "music/jazz", "secret"}));
}

TEST_F(StartupTest, SecondInstanceHandsOverItsCommandFile) {
    auto first = MakeApp();
    ASSERT_TRUE(first->InitInstance());
    const std::string file = xdg.Write("from browser/invite.qdx", "Fmusic/jazz\r\n");

    RecordingShell secondShell;
    CQuorvaneApp second(Env("\"" + file + "\""), secondShell, nullptr, clock);
    EXPECT_FALSE(second.InitInstance());
    EXPECT_TRUE(second.HandedOver());
    EXPECT_TRUE(secondShell.events.empty());  // no window of its own
    EXPECT_EQ(root.Read("quorvane.qdx"), "Fmusic/jazz\r\n");

    for (int i = 0; i < 100 && first->Pending().Empty(); ++i) {
        first->OnViewTimer();
        usleep(10000);
    }
    EXPECT_EQ(std::count(shell.events.begin(), shell.events.end(), "activate"), 1);
    ASSERT_EQ(first->Pending().Size(), 1u);
    EXPECT_EQ(first->Pending().TakeOldest()->b, "music/jazz");
}

TEST_F(StartupTest, SecondMinimizedStartOnlyBringsTheFirstToFront) {
    auto first = MakeApp();
    ASSERT_TRUE(first->InitInstance());
    RecordingShell secondShell;
    CQuorvaneApp second(Env("-minimized"), secondShell, nullptr, clock);
    EXPECT_FALSE(second.InitInstance());
    for (int i = 0; i < 100 && shell.events.back() != "activate"; ++i) {
        first->OnViewTimer();
        usleep(10000);
    }
    EXPECT_EQ(shell.events.back(), "activate");
    EXPECT_TRUE(first->Pending().Empty());
    EXPECT_FALSE(std::filesystem::exists(root.File("quorvane.qdx")));
}

TEST_F(StartupTest, CommandFileThatIsAlreadyTheTargetIsNotCopied) {
    auto first = MakeApp();
    ASSERT_TRUE(first->InitInstance());
    const std::string target = root.Write("quorvane.qdx", "L42\r\n");
    RecordingShell secondShell;
    // Spelled in another case: still the same file.
    std::string spelled = target;
    spelled.replace(spelled.size() - 12, 12, "QUORVANE.QDX");
    CQuorvaneApp second(Env(spelled), secondShell, nullptr, clock);
    EXPECT_FALSE(second.InitInstance());
    EXPECT_TRUE(second.HandedOver());
    EXPECT_TRUE(secondShell.screen.boxes.empty());
    for (int i = 0; i < 100 && first->Pending().Empty(); ++i) {
        first->OnViewTimer();
        usleep(10000);
    }
    ASSERT_EQ(first->Pending().Size(), 1u);
    EXPECT_EQ(first->Pending().TakeOldest()->a, "42");
}

TEST_F(StartupTest, CorruptRegistryIsSetAsideWithAMessage) {
    root.Write("registry/HKEY_CURRENT_USER.reg", "\x01\x02 not a registry \xFF");
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    ASSERT_EQ(shell.screen.boxes.size(), 1u);
    EXPECT_EQ(shell.screen.boxes[0].caption, "ERROR");
    bool setAside = false;
    for (auto& e : std::filesystem::directory_iterator(root.Path() + "registry/")) {
        setAside |= e.path().filename().string().find(".corrupt-") != std::string::npos;
    }
    EXPECT_TRUE(setAside);
}

TEST_F(StartupTest, DataRootThatCannotBeCreatedEndsWithAMessage) {
    root.Write("file", "x");
    AppEnvironment env = Env();
    env.homeOption = root.File("file") + "/below";
    CQuorvaneApp app(env, shell, nullptr, clock);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_FALSE(app.HandedOver());
    ASSERT_EQ(shell.screen.boxes.size(), 1u);
    EXPECT_NE(shell.screen.boxes[0].text.find("cannot use its folder"), std::string::npos);
    EXPECT_TRUE(shell.events.empty());
}

TEST_F(StartupTest, FailedWindowCreationUnwindsThroughTheExitSteps) {
    auto mixer = std::make_unique<LevelMixer>();
    LevelMixer* levels = mixer.get();
    root.Write("Quorvane.ini", "[Options]\nMasterVolume=500\n");
    shell.createResult = false;
    auto app = MakeApp({}, std::move(mixer));
    // As main does: a false InitInstance ends the program, nothing else is called.
    EXPECT_FALSE(app->InitInstance());
    EXPECT_FALSE(app->HandedOver());
    EXPECT_EQ(app->Lifecycle().back(), "-Registry");
    EXPECT_NE(std::find(app->Lifecycle().begin(), app->Lifecycle().end(), "-SonaroManager"),
              app->Lifecycle().end());
    EXPECT_EQ(levels->levels[0], 1000u);  // the level found at start, not the stored 500
    EXPECT_EQ(app->Scheduler(), nullptr);
    const std::size_t steps = app->Lifecycle().size();
    app->ExitInstance();  // a second exit finds nothing left to do
    EXPECT_EQ(app->Lifecycle().size(), steps);
}

TEST_F(StartupTest, StartUpConnectsAtMostOnce) {
    struct Row {
        bool commandFile;
        bool disableAutoConnect;
        int connects;
    };
    for (const Row row :
         {Row{true, false, 1}, Row{true, true, 1}, Row{false, false, 1}, Row{false, true, 0}}) {
        SCOPED_TRACE(::testing::Message() << "command file " << row.commandFile
                                          << " auto-connect off " << row.disableAutoConnect);
        root.Write("Quorvane.ini",
                   row.disableAutoConnect ? "[Internal]\nDisableAutoConnect=1\n" : "[Internal]\n");
        const std::string file = root.Write("join.qdx", "Fmusic/jazz\r\n");
        RecordingShell rowShell;
        CQuorvaneApp app(Env(row.commandFile ? file : ""), rowShell, nullptr, clock);
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(rowShell.connects, row.connects);
        EXPECT_EQ(app.Pending().Size(), row.commandFile ? 1u : 0u);
        app.ExitInstance();
    }
}

TEST_F(StartupTest, WhatStartUpCreatesIsPrivateToTheUser) {
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    app->MachineSettings()->WriteInt("Options", "Codec", 1);
    app->LoginKey()->SetString("Password", "secret");
    const std::string user = app->Folders().UserFolder("42");
    app->UserSettings()->SetPath(user + "Options.ini");
    app->UserSettings()->WriteString("Options", "EmailPassword", "secret");
    EXPECT_EQ(ModeOf(root.Path()), 0700u);
    EXPECT_EQ(ModeOf(root.File("registry")), 0700u);
    EXPECT_EQ(ModeOf(root.File("registry/HKEY_CURRENT_USER.reg")), 0600u);
    EXPECT_EQ(ModeOf(root.File("Quorvane.ini")), 0600u);
    EXPECT_EQ(ModeOf(root.File("42")), 0700u);
    EXPECT_EQ(ModeOf(root.File("42/Options.ini")), 0600u);
    // A user's own choice survives the next rewrite.
    ::chmod(root.File("42/Options.ini").c_str(), 0400);
    app->UserSettings()->WriteString("Options", "EmailLogin", "me");
    EXPECT_EQ(ModeOf(root.File("42/Options.ini")), 0400u);
}

TEST_F(StartupTest, WhatEarlierVersionsLeftOpenIsTightened) {
    root.Write("Quorvane.ini", "[Options]\n");
    root.Write("registry/HKEY_CURRENT_USER.reg", "");
    root.Write("42/Options.ini", "[Options]\nEmailPassword=secret\n");
    root.Write("Documents/letter.txt", "not ours");  // --home may name a folder with other files
    for (const std::string f : {"", "registry", "42", "Documents"}) {
        ::chmod(root.File(f).c_str(), 0755);
    }
    for (const std::string f : {"Quorvane.ini", "registry/HKEY_CURRENT_USER.reg", "42/Options.ini",
                                "Documents/letter.txt"}) {
        ::chmod(root.File(f).c_str(), 0644);
    }
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(ModeOf(root.Path()), 0700u);
    EXPECT_EQ(ModeOf(root.File("registry")), 0700u);
    EXPECT_EQ(ModeOf(root.File("42")), 0700u);
    EXPECT_EQ(ModeOf(root.File("Quorvane.ini")), 0600u);
    EXPECT_EQ(ModeOf(root.File("registry/HKEY_CURRENT_USER.reg")), 0600u);
    EXPECT_EQ(ModeOf(root.File("42/Options.ini")), 0600u);
    EXPECT_EQ(ModeOf(root.File("Documents")), 0755u);
    EXPECT_EQ(ModeOf(root.File("Documents/letter.txt")), 0644u);
}

TEST_F(StartupTest, DataRootOfAnotherUserIsRefused) {
    // What a /tmp/quorvane-<uid> made by someone else looks like.
    const std::string theirs = root.File("theirs/");
    ASSERT_EQ(::mkdir(theirs.c_str(), 0777), 0);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    AppEnvironment env = Env();
    env.homeOption = theirs;
    CQuorvaneApp app(env, shell, nullptr, clock);
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(shell.screen.boxes.size(), 1u);
    EXPECT_NE(shell.screen.boxes[0].text.find("belongs to another user"), std::string::npos);
    EXPECT_TRUE(shell.events.empty());
    EXPECT_FALSE(std::filesystem::exists(theirs + "registry"));

    // A link to our own folder made by someone else is refused as well.
    const std::string link = root.File("link");
    ASSERT_EQ(::symlink(root.File("ours").c_str(), link.c_str()), 0);
    ASSERT_EQ(::mkdir(root.File("ours").c_str(), 0700), 0);
    ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
    env.homeOption = link;
    CQuorvaneApp viaLink(env, shell, nullptr, clock);
    EXPECT_FALSE(viaLink.InitInstance());
}

TEST_F(StartupTest, ReadOnlyEngineAndServerSettingsAreMadeWritable) {
    root.Write("Sonaro.ocx", "old engine");
    root.Write("Server.ini", "[Server]\n");
    root.Write("system/Sonaro.ocx", "old engine");
    for (const char* f : {"Sonaro.ocx", "Server.ini", "system/Sonaro.ocx"}) {
        ::chmod(root.File(f).c_str(), 0444);
    }
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    for (const char* f : {"Sonaro.ocx", "Server.ini", "system/Sonaro.ocx"}) {
        EXPECT_NE(ModeOf(root.File(f)) & S_IWUSR, 0u) << f;
    }
}

TEST_F(StartupTest, ShippedEngineIsInstalledWithOurOwnMode) {
    const std::string shipped = xdg.Write("lib/sonaro-net.so", "engine bytes");
    ::chmod(shipped.c_str(), 0444);  // as a package installs it
    AppEnvironment env = Env();
    env.shippedEngine = shipped;
    CQuorvaneApp app(env, shell, nullptr, clock);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(root.Read("Sonaro.ocx"), "engine bytes");
    EXPECT_EQ(ModeOf(root.File("Sonaro.ocx")), 0700u);
    EXPECT_TRUE(shell.screen.boxes.empty());
}

TEST_F(StartupTest, FailedEngineInstallIsReported) {
    const std::string shipped = xdg.Write("lib/sonaro-net.so", "engine bytes");
    root.Write("Sonaro.ocx/in the way", "x");  // a folder where the engine goes
    AppEnvironment env = Env();
    env.shippedEngine = shipped;
    CQuorvaneApp app(env, shell, nullptr, clock);
    ASSERT_TRUE(app.InitInstance());
    ASSERT_EQ(shell.screen.boxes.size(), 1u);
    EXPECT_NE(shell.screen.boxes[0].text.find("could not install its voice engine"),
              std::string::npos);
    EXPECT_EQ(shell.screen.boxes[0].caption, "ERROR");
}

TEST_F(StartupTest, ReadOnlyCommandFileDoesNotMakeTheHandoffReadOnly) {
    auto first = MakeApp();
    ASSERT_TRUE(first->InitInstance());
    for (const char* letter : {"F", "G"}) {
        const std::string file = xdg.Write(std::string("browser/") + letter + ".qdx",
                                           std::string(letter) + "music/jazz\r\nx\r\n");
        ::chmod(file.c_str(), 0444);
        RecordingShell secondShell;
        CQuorvaneApp second(Env("\"" + file + "\""), secondShell, nullptr, clock);
        EXPECT_FALSE(second.InitInstance());
        EXPECT_TRUE(second.HandedOver());
        EXPECT_TRUE(secondShell.screen.boxes.empty());
        EXPECT_EQ(root.Read("quorvane.qdx"), std::string(letter) + "music/jazz\r\nx\r\n");
        EXPECT_EQ(ModeOf(root.File("quorvane.qdx")), 0600u);
    }
}

TEST_F(StartupTest, ViewTimerDrivesPostedWorkAndTheScheduler) {
    auto app = MakeApp();
    ASSERT_TRUE(app->InitInstance());
    int posted = 0;
    int scheduled = 0;
    app->GetUiQueue().Post([&] { ++posted; });
    app->Scheduler()->Add([&](const std::string&, std::uintptr_t) { ++scheduled; }, 0, 50,
                          TimerScheduler::kOnce);
    clock.Advance(51);
    app->OnViewTimer();
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(scheduled, 1);
}

}  // namespace
}  // namespace qv
