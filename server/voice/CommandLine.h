#pragma once

// sonaro-server's command line.

#include <string>
#include <vector>

#include "VoiceServer.h"

namespace qv::voicesvc {

struct CommandLine {
    enum class Action { kRun, kHelp, kError };

    Action action = Action::kRun;
    std::string error;            // for kError
    std::string configPath;       // empty: the built-in defaults
    std::string ticketPublicKey;  // over the configuration's TicketPublicKey
    VoiceServerOptions options;
    // Given on the command line; they win over the configuration file.
    std::string certificateFile;
    std::string privateKeyFile;
    std::string plainHost;
    int plainPort = -1;
    int mediaPort = -1;  // -1: not given
    std::string forumFile;

    // Puts the command line's TLS, plain-listener, media port and forum file values over the
    // configuration's.
    void ApplyOverrides(ServerConfig& config) const;

    // arguments without the program name.
    static CommandLine Parse(const std::vector<std::string>& arguments);
    static const char* Usage();
};

}  // namespace qv::voicesvc
