// sonaro-server: the voice server the networked engine connects to.

#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FileLimit.h"
#include "ForumPlanFile.h"
#include "TicketKeys.h"
#include "VoiceServer.h"

int main(int argc, char** argv) {
    using qv::voicesvc::CommandLine;
    CommandLine line = CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (line.action == CommandLine::Action::kHelp) {
        std::fputs(CommandLine::Usage(), stdout);
        return 0;
    }
    if (line.action == CommandLine::Action::kError) {
        std::fprintf(stderr, "sonaro-server: %s\n\n%s", line.error.c_str(), CommandLine::Usage());
        return 2;
    }
    std::string error;
    if (!line.configPath.empty() &&
        !qv::voicesvc::ServerConfig::Load(line.configPath, line.options.config, error)) {
        std::fprintf(stderr, "sonaro-server: %s\n", error.c_str());
        return 2;
    }
    line.ApplyOverrides(line.options.config);
    if (!line.options.config.forumFile.empty() &&
        !qv::voicesvc::ForumPlanFile::Load(line.options.config.forumFile, line.options.forumPlan,
                                           error)) {
        std::fprintf(stderr, "sonaro-server: %s\n", error.c_str());
        return 2;
    }
    const std::string keyPath =
        line.ticketPublicKey.empty() ? line.options.config.ticketPublicKey : line.ticketPublicKey;
    if (keyPath.empty()) {
        std::fprintf(stderr,
                     "sonaro-server: no ticket public key: give --ticket-public-key FILE or "
                     "TicketPublicKey=FILE in the settings (the directory's --ticket-key "
                     "FILE.pub)\n");
        return 2;
    }
    if (!qv::ticket::Initialize() ||
        !qv::ticket::LoadPublicKey(keyPath, line.options.ticketKey, error)) {
        std::fprintf(stderr, "sonaro-server: cannot use the ticket public key: %s\n",
                     error.empty() ? "libsodium cannot be initialised" : error.c_str());
        return 2;
    }
    // An engine that hangs up mid-write must not end the server.
    signal(SIGPIPE, SIG_IGN);
    qv::voicesvc::RaiseFileLimit();

    const std::string host = line.options.listenHost;
    const std::string plainHost = line.options.config.plainHost;
    qv::voicesvc::VoiceServer server(std::move(line.options));
    if (!server.LoadTls(error)) {
        std::fprintf(stderr, "sonaro-server: %s\n", error.c_str());
        return 2;
    }
    const int port = server.Listen(error);
    if (port < 0) {
        std::fprintf(stderr, "sonaro-server: %s\n", error.c_str());
        return 1;
    }
    server.StopOnSignals();
    const bool v6 = host.find(':') != std::string::npos;
    std::printf(v6 ? "listening on [%s]:%d\n" : "listening on %s:%d\n", host.c_str(), port);
    if (server.PlainPort() >= 0) {
        std::printf("listening for plain TCP on %s:%d\n", plainHost.c_str(), server.PlainPort());
    }
    std::fflush(stdout);
    server.Run();
    return 0;
}
