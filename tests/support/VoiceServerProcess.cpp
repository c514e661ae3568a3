#include "support/VoiceServerProcess.h"

namespace qv::test {

namespace {

std::vector<std::string> Arguments(const std::string& program, const std::string& ticketPublicKey,
                                   std::vector<std::string> extra) {
    std::vector<std::string> args = {program, "--listen", "127.0.0.1:0"};
    if (!ticketPublicKey.empty()) {
        args.insert(args.end(), {"--ticket-public-key", ticketPublicKey});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

}  // namespace

VoiceServerProcess::VoiceServerProcess(const std::string& program, const TempFolder& folder,
                                       const std::string& ticketPublicKey,
                                       std::vector<std::string> extra)
    : ListeningProcess(Arguments(program, ticketPublicKey, std::move(extra)),
                       folder.File("voice.log")) {}

}  // namespace qv::test
