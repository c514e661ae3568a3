#include "support/VoiceServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qv::test {

namespace {

std::vector<std::string> Arguments(const std::string& program, const std::string& ticketPublicKey,
                                   const TestCertificates& certificates,
                                   std::vector<std::string> extra) {
    std::vector<std::string> args = {program,
                                     "--listen",
                                     "127.0.0.1:0",
                                     "--certificate",
                                     certificates.certificateFile,
                                     "--private-key",
                                     certificates.keyFile};
    if (!ticketPublicKey.empty()) {
        args.insert(args.end(), {"--ticket-public-key", ticketPublicKey});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

}  // namespace

VoiceServerCertificates::VoiceServerCertificates(const TempFolder& folder) {
    // Servers of one folder share a certificate, so a restarted server is trusted as before.
    certificates.caFile = folder.File("voice-ca.pem");
    certificates.certificateFile = folder.File("voice-server.pem");
    certificates.keyFile = folder.File("voice-server.key");
    if (::access(certificates.keyFile.c_str(), R_OK) != 0) {
        TestCertificates::Make(folder.Path(), certificates, "voice-");
    }
}

VoiceServerProcess::VoiceServerProcess(const std::string& program, const TempFolder& folder,
                                       const std::string& ticketPublicKey,
                                       std::vector<std::string> extra)
    : VoiceServerCertificates(folder),
      ListeningProcess(Arguments(program, ticketPublicKey, certificates, std::move(extra)),
                       folder.File("voice.log")) {}

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

}  // namespace qv::test
