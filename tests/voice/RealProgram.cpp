#include "RealProgram.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "platform/Registry.h"
#include "settings/IniFile.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"

extern char** environ;

namespace qv::test {

RealProgram::RealProgram(const TempFolder& home, const Account& account,
                         const std::string& directoryHost, int voicePort,
                         const std::string& voiceCaFile,
                         const std::vector<std::string>& arguments) {
    {
        Registry registry(home.Path() + "registry/");
        RegistryKey login(registry);
        login.OpenProduct(login_key::kSubkey);
        login.SetDword(login_key::kQuorvaneId, static_cast<std::uint32_t>(std::stoul(account.id)));
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
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    for (const std::string& e : std::vector<std::string>{
             "QT_QPA_PLATFORM=offscreen", "QUORVANE_MIXER=null", "QUORVANE_SOUND=null",
             "QUORVANE_AUDIO=null", "QUORVANE_TRACE=" + home.File("trace.log"),
             "XDG_DATA_HOME=" + home.Path() + "xdg-data",
             "XDG_CONFIG_HOME=" + home.Path() + "xdg-config"}) {
        env.push_back(e);
    }
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, QUORVANE_PROGRAM, nullptr, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
}

RealProgram::~RealProgram() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

int RealProgram::Terminate() {
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

}  // namespace qv::test
