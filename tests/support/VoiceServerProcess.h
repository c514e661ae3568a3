#pragma once

// sonaro-server on 127.0.0.1, on a port the system chooses, checking voice tickets with the
// given directory public key and serving TLS with a certificate made for it (CaFile() is the
// authority to trust); its log goes to a file in the folder. Stopped with SIGTERM when the
// object goes.

#include <string>
#include <vector>

#include "support/ListeningProcess.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"

namespace qv::test {

// Made before the process starts, so the certificate files exist when it reads them; the
// servers of one folder share them.
struct VoiceServerCertificates {
    explicit VoiceServerCertificates(const TempFolder& folder);
    TestCertificates certificates;
};

class VoiceServerProcess : private VoiceServerCertificates, public ListeningProcess {
  public:
    // program: the sonaro-server executable; ticketPublicKey: the directory's public key file
    // (empty: none given); extra: more options.
    VoiceServerProcess(const std::string& program, const TempFolder& folder,
                       const std::string& ticketPublicKey, std::vector<std::string> extra = {});

    // The authority that signed the server's certificate.
    const std::string& CaFile() const { return certificates.caFile; }
    const TestCertificates& Certificates() const { return certificates; }
};

// A loopback port that was free a moment ago, for a second listener of a server.
int FreeLoopbackPort();

}  // namespace qv::test
