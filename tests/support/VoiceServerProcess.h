#pragma once

// sonaro-server on 127.0.0.1, on a port the system chooses, checking voice tickets with the
// given directory public key; its log goes to a file in the folder. Stopped with SIGTERM when the
// object goes.

#include <string>
#include <vector>

#include "support/ListeningProcess.h"
#include "support/TempFolder.h"

namespace qv::test {

class VoiceServerProcess : public ListeningProcess {
  public:
    // program: the sonaro-server executable; ticketPublicKey: the directory's public key file
    // (empty: none given); extra: more options.
    VoiceServerProcess(const std::string& program, const TempFolder& folder,
                       const std::string& ticketPublicKey, std::vector<std::string> extra = {});
};

}  // namespace qv::test
