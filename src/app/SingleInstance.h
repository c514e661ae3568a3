#pragma once

// One running program per data root. The first instance holds a lock on a file in the data root
// (released by the system when the process ends, so a crash leaves nothing stale) and listens on
// a local socket named after the program, the user and the data root. A later instance finds the
// lock taken, sends its requests over the socket and ends.

#include <string>
#include <vector>

namespace qv {

class SingleInstance {
  public:
    // Requests a later instance sends.
    static constexpr const char* kShow = "show";  // bring the window to the front
    static constexpr const char* kOpen = "open";  // open the data root's quorvane.qdx

    enum class Role { Primary, Secondary, Failed };

    explicit SingleInstance(std::string dataRoot);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock and starts listening (Primary), or finds another instance holding it
    // (Secondary). Failed when neither the lock file nor the socket can be had.
    Role Acquire();

    // Secondary: hands the requests to the primary. Retries for up to timeoutMs, since two
    // programs started at the same moment may find the lock taken before the winner listens;
    // when the winner has gone meanwhile, false.
    bool SendToPrimary(const std::vector<std::string>& requests, int timeoutMs = 5000);

    // Primary: the requests that arrived since the last call; never blocks.
    std::vector<std::string> Poll();

    const std::string& LockPath() const { return lockPath_; }
    const std::string& Problem() const { return problem_; }

  private:
    struct Client {
        int fd;
        std::string buffer;
    };
    bool Listen();
    bool TryLock();

    std::string dataRoot_;
    std::string lockPath_;
    std::string socketName_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    std::vector<Client> clients_;
    std::string problem_;
};

}  // namespace qv
