#pragma once

// The whole program as a person starts it, offscreen and without sound, on a data root that
// already holds a login for the rig's servers.

#include <sys/types.h>

#include <string>
#include <vector>

#include "VoiceRig.h"
#include "support/TempFolder.h"

namespace qv::test {

class RealProgram {
  public:
    // arguments follow "--home HOME" on the command line (a command file, say).
    RealProgram(const TempFolder& home, const Account& account, const std::string& directoryHost,
                int voicePort, const std::string& voiceCaFile,
                const std::vector<std::string>& arguments = {});
    ~RealProgram();
    RealProgram(const RealProgram&) = delete;
    RealProgram& operator=(const RealProgram&) = delete;

    bool Started() const { return pid_ > 0; }
    // Ends the program as SIGTERM does (File > Exit); its exit status, -1 when it hung.
    int Terminate();

  private:
    pid_t pid_ = -1;
};

}  // namespace qv::test
