#include "support/DirectoryServiceProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace qv::test {

DirectoryServiceProcess::DirectoryServiceProcess(const std::string& program,
                                                 const TempFolder& folder)
    : mailDir_(folder.File("mail")) {
    std::filesystem::create_directories(mailDir_);
    int out[2];
    if (::pipe(out) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, folder.File("service.log").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> args = {
        program,   "--listen",           "127.0.0.1:0", "--db",   folder.File("directory.db"),
        "--files", folder.File("files"), "--mail-dir",  mailDir_, "--hash-cost",
        "minimal"};
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
        const std::string text(line);
        const std::string prefix = "listening on ";
        if (text.starts_with(prefix)) {
            host_ = text.substr(prefix.size());
            while (!host_.empty() && (host_.back() == '\n' || host_.back() == '\r')) {
                host_.pop_back();
            }
        }
    }
    std::fclose(in);
}

DirectoryServiceProcess::~DirectoryServiceProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

std::vector<std::string> DirectoryServiceProcess::Mail() const {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(mailDir_)) {
        if (entry.path().extension() == ".eml") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> texts;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        texts.push_back(s.str());
    }
    return texts;
}

std::string MailValue(const std::string& mail, const std::string& label) {
    const std::size_t at = mail.find(label);
    if (at == std::string::npos) {
        return {};
    }
    std::string value = mail.substr(at + label.size());
    value = value.substr(0, value.find_first_of("\r\n"));
    if (!value.empty() && value.back() == '.') {
        value.pop_back();
    }
    return value;
}

}  // namespace qv::test
