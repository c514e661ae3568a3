#pragma once

// An X server of the test's own and the programs run on it (xdotool), for tests of the global key.

#include <sys/types.h>

#include <string>
#include <vector>

namespace qv::test {

// Whether the program is installed.
bool Exists(const char* program);
// Starts the program with DISPLAY set to display; -1 when it did not start.
pid_t Spawn(const std::vector<std::string>& args, const std::string& display);
// Runs the program to its end; its exit status, -1 when it did not run or was killed.
int RunProgram(const std::vector<std::string>& args, const std::string& display);

// It picks a free display itself and says which (-displayfd): no race with other servers
// starting on the machine at the same moment. It does not reset when its last client goes (a
// reset refuses the next connection for a moment).
class Xvfb {
  public:
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    void Stop();
    // Empty when no server came up.
    std::string display;

  private:
    pid_t pid_ = -1;
};

}  // namespace qv::test
