#pragma once

// A server program started for a test: its first line on standard output says
// "listening on HOST:PORT", standard error goes to a log file, and SIGTERM stops it.

#include <sys/types.h>

#include <string>
#include <vector>

namespace qv::test {

class ListeningProcess {
  public:
    // argv[0] is the program; waits for the "listening on" line.
    ListeningProcess(std::vector<std::string> argv, std::string logPath);
    ~ListeningProcess();
    ListeningProcess(const ListeningProcess&) = delete;
    ListeningProcess& operator=(const ListeningProcess&) = delete;

    // "HOST:PORT", empty when the program did not start listening.
    const std::string& Host() const { return host_; }
    // 0 when the program did not start listening.
    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // What the program wrote on standard error so far.
    std::string Log() const;
    // Whether the log holds text within timeoutMs: servers write their log from a queue of
    // their own, a moment after the event.
    bool LogShows(const std::string& text, int timeoutMs = 5000) const;
    // Stops the program; its exit status as waitpid gives it, -1 when it was not running.
    int Stop();

  private:
    std::string logPath_;
    std::string host_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace qv::test
