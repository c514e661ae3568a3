#pragma once

// sonaro-server on 127.0.0.1, on a port the system chooses, checking logins with the given
// directory service; its log goes to a file in the folder. Stopped with SIGTERM when the object
// goes.

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace qv::test {

class VoiceServerProcess {
  public:
    // program: the sonaro-server executable; directory: "HOST:PORT"; extra: more options.
    VoiceServerProcess(const std::string& program, const TempFolder& folder,
                       const std::string& directory, std::vector<std::string> extra = {});
    ~VoiceServerProcess();
    VoiceServerProcess(const VoiceServerProcess&) = delete;
    VoiceServerProcess& operator=(const VoiceServerProcess&) = delete;

    // "127.0.0.1:PORT", empty when the server did not start.
    const std::string& Host() const { return host_; }
    // 0 when the server did not start.
    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // What the server logged so far.
    std::string Log() const;
    // Stops the server; its exit status as waitpid gives it, -1 when it was not running.
    int Stop();

  private:
    std::string logPath_;
    std::string host_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace qv::test
