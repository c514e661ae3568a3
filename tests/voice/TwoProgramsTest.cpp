// Two real programs with their own data roots log in as two users on one voice server at the
// same time; a third user's engine watches both come online and go offline again.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "VoiceRig.h"
#include "platform/Registry.h"
#include "settings/IniFile.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"

extern char** environ;

namespace qv {
namespace {

// The program as a person starts it, offscreen, on a data root that already holds a login.
class Program {
  public:
    Program(const test::TempFolder& home, const test::Account& account,
            const std::string& directoryHost, int voicePort, const std::string& voiceCaFile) {
        {
            Registry registry(home.Path() + "registry/");
            RegistryKey login(registry);
            login.OpenProduct(login_key::kSubkey);
            login.SetDword(login_key::kQuorvaneId,
                           static_cast<std::uint32_t>(std::stoul(account.id)));
            login.SetString(login_key::kNickName, account.nick);
            login.SetString(login_key::kPassword, login_key::EncodePassword(account.password));
            login.SetDword(login_key::kGlobalFlags, login_key::kUserSetUp);
        }
        IniFile servers(home.File("Server.ini"));
        servers.WriteString("Server", "WebServer", directoryHost);
        servers.WriteString("Server", "VoiceServer", "127.0.0.1");
        servers.WriteInt("Server", "VoicePort", voicePort);
        servers.WriteString("Server", "VoiceCaFile", voiceCaFile);
        // A computer on a network, not behind a modem (whose reconnect waits for a dial-up link).
        IniFile machine(home.File("Quorvane.ini"));
        machine.WriteInt("Options", "UsingModem", 0);
        machine.WriteInt("Options", "UsingLan", 1);

        std::vector<std::string> args{QUORVANE_PROGRAM, "--home", home.Path()};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            env.emplace_back(*e);
        }
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("QUORVANE_TRACE=" + home.File("trace.log"));
        env.push_back("QUORVANE_MIXER=null");
        env.push_back("QUORVANE_SOUND=null");
        env.push_back("QUORVANE_AUDIO=null");
        env.push_back("XDG_DATA_HOME=" + home.Path() + "xdg-data");
        env.push_back("XDG_CONFIG_HOME=" + home.Path() + "xdg-config");
        std::vector<char*> envp;
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, QUORVANE_PROGRAM, nullptr, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Started() const { return pid_ > 0; }
    // Ends the program as SIGTERM does (File > Exit); its exit status, -1 when it hung.
    int Terminate() {
        ::kill(pid_, SIGTERM);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
};

// Everything below folder that others could read, write or enter (tests run as root, so the bits
// are checked, not access). The desktop's own folders, which the test puts in there too, are not
// the program's (the desktop's tools write their caches for everyone to read).
std::vector<std::string> OpenToOthers(const std::string& folder) {
    std::vector<std::string> open;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it.depth() == 0 && (name == "xdg-data" || name == "xdg-config")) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && !S_ISLNK(st.st_mode) &&
            (st.st_mode & 077) != 0) {
            open.push_back(it->path().string());
        }
    }
    return open;
}

int LastStatus(const test::VoiceUser& user, const std::string& id) {
    int status = -1;
    for (const std::string& line : user.Events("Watch " + id + " ")) {
        status = std::stoi(line.substr(7 + id.size()));
    }
    return status;
}

TEST(TwoProgramsTest, TwoDataRootsLogInAsTwoUsersOnOneVoiceServer) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready());
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    const test::Account cat = rig.Register("Cat");

    auto watcher = rig.NewUser();
    ASSERT_TRUE(rig.LogIn(*watcher, cat, rig.LogInToDirectory(cat), ann.id + "\n" + bob.id + "\n"));
    ASSERT_TRUE(watcher->DriveUntil([&] { return LastStatus(*watcher, bob.id) == 0; }));

    test::TempFolder homeA;
    test::TempFolder homeB;
    Program a(homeA, ann, rig.directory.Host(), rig.VoicePort(), rig.voice.CaFile());
    Program b(homeB, bob, rig.directory.Host(), rig.VoicePort(), rig.voice.CaFile());
    ASSERT_TRUE(a.Started() && b.Started());
    EXPECT_TRUE(watcher->DriveUntil(
        [&] { return LastStatus(*watcher, ann.id) == 1 && LastStatus(*watcher, bob.id) == 1; },
        30000))
        << rig.voice.Log();

    EXPECT_EQ(a.Terminate(), 0);
    EXPECT_TRUE(watcher->DriveUntil([&] { return LastStatus(*watcher, ann.id) == 0; }));
    EXPECT_EQ(LastStatus(*watcher, bob.id), 1);
    // A data root after one login holds nothing other users can read.
    EXPECT_EQ(OpenToOthers(homeA.Path()), std::vector<std::string>{});
    EXPECT_EQ(b.Terminate(), 0);
    EXPECT_TRUE(watcher->DriveUntil([&] { return LastStatus(*watcher, bob.id) == 0; }));
}

TEST(TwoProgramsTest, AProgramComesBackOnlineAfterTheVoiceServerRestarts) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready());
    const test::Account ann = rig.Register("Ann");
    const test::Account cat = rig.Register("Cat");
    test::TempFolder home;
    Program program(home, ann, rig.directory.Host(), rig.VoicePort(), rig.voice.CaFile());
    ASSERT_TRUE(program.Started());
    auto watcher = rig.NewUser();
    ASSERT_TRUE(rig.LogIn(*watcher, cat, rig.LogInToDirectory(cat), ann.id + "\n"));
    ASSERT_TRUE(watcher->DriveUntil([&] { return LastStatus(*watcher, ann.id) == 1; }, 30000));

    EXPECT_EQ(rig.voice.Stop(), 0);
    ASSERT_TRUE(watcher->DriveUntil([&] { return watcher->h.manager->State() == 0; }));
    const std::string port = std::to_string(rig.VoicePort());
    test::VoiceServerProcess again(SONARO_SERVER_PROGRAM, rig.folder,
                                   rig.directory.TicketPublicKey(),
                                   {"--listen", "127.0.0.1:" + port});
    ASSERT_EQ(again.Port(), rig.VoicePort());

    // The program notices the lost connection and reconnects by itself, logging in afresh.
    auto watcherAgain = rig.NewUser();
    ASSERT_TRUE(rig.LogIn(*watcherAgain, cat, rig.LogInToDirectory(cat), ann.id + "\n"));
    EXPECT_TRUE(
        watcherAgain->DriveUntil([&] { return LastStatus(*watcherAgain, ann.id) == 1; }, 30000))
        << again.Log() << home.Read("trace.log");
    EXPECT_EQ(program.Terminate(), 0);
}

}  // namespace
}  // namespace qv
