#include "support/VoiceServerProcess.h"

namespace qv::test {

namespace {

std::vector<std::string> Arguments(const std::string& program, const std::string& directory,
                                   std::vector<std::string> extra) {
    std::vector<std::string> args = {program, "--listen", "127.0.0.1:0", "--directory", directory};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

}  // namespace

VoiceServerProcess::VoiceServerProcess(const std::string& program, const TempFolder& folder,
                                       const std::string& directory, std::vector<std::string> extra)
    : ListeningProcess(Arguments(program, directory, std::move(extra)), folder.File("voice.log")) {}

}  // namespace qv::test
