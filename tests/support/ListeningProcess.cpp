#include "support/ListeningProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace qv::test {

ListeningProcess::ListeningProcess(std::vector<std::string> args, std::string logPath)
    : logPath_(std::move(logPath)) {
    int out[2];
    if (args.empty() || ::pipe(out) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::FILE* in = ::fdopen(out[0], "r");
    if (in == nullptr) {
        ::close(out[0]);
        return;
    }
    char line[256] = {};
    if (std::fgets(line, sizeof line, in) != nullptr) {
        std::string text(line);
        const std::string prefix = "listening on ";
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        const std::size_t colon = text.rfind(':');
        if (text.starts_with(prefix) && colon != std::string::npos) {
            port_ = std::atoi(text.c_str() + colon + 1);
            host_ = port_ > 0 ? text.substr(prefix.size()) : std::string();
        }
    }
    std::fclose(in);
}

ListeningProcess::~ListeningProcess() {
    Stop();
}

int ListeningProcess::Stop() {
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

std::string ListeningProcess::Log() const {
    std::ifstream in(logPath_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool ListeningProcess::LogShows(const std::string& text, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (Log().find(text) != std::string::npos) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace qv::test
