#include "XvfbServer.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "XFocusWindow.h"

extern char** environ;

namespace qv::test {

bool Exists(const char* program) {
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
        if (access((std::string(dir) + program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& display) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("DISPLAY=", 0) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
        return -1;
    }
    return pid;
}

int RunProgram(const std::vector<std::string>& args, const std::string& display) {
    const pid_t pid = Spawn(args, display);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Xvfb::Xvfb() {
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    pid_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "640x480x24",
                  "-nolisten", "tcp", "-noreset"},
                 "");
    close(fds[1]);
    // The number arrives once the server listens; a server that fails closes the pipe.
    std::string number;
    char c = 0;
    while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty() || !test::CanOpenDisplay(":" + number)) {
        Stop();
        return;
    }
    display = ":" + number;
}

Xvfb::~Xvfb() {
    Stop();
}

void Xvfb::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

}  // namespace qv::test
