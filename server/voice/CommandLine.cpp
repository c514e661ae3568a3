#include "CommandLine.h"

#include "TextNumber.h"

namespace qv::voicesvc {

namespace {

constexpr std::int64_t kMaxSessions = 1000000;
constexpr std::int64_t kMaxTimeoutMs = 3600 * 1000;

}  // namespace

const char* CommandLine::Usage() {
    return "Usage: sonaro-server [options]\n"
           "\n"
           "The Quorvane voice server: presence, watch and block lists, user messages, calls,\n"
           "voice and forums for the networked engine, over TLS (protocol versions 1 to 5).\n"
           "\n"
           "  --listen HOST:PORT      address to serve on (default 127.0.0.1:12011; port 0 picks\n"
           "                          a free port). The bound address is printed on standard\n"
           "                          output as \"listening on HOST:PORT\".\n"
           "  --ticket-public-key FILE  the directory's public key for voice tickets (the\n"
           "                          FILE.pub beside its --ticket-key); required here or in\n"
           "                          the settings\n"
           "  --config FILE           Key=Value settings: RequiredControlBuild,\n"
           "                          RequiredProgramBuild, RequiredPatcherBuild, ServerName,\n"
           "                          Certificate, PrivateKey, PlainListen, TicketPublicKey,\n"
           "                          VoiceCluster, MediaPort, ForumFile\n"
           "  --forums FILE           the forum file: categories and permanent forums (over\n"
           "                          ForumFile of the settings)\n"
           "  --certificate FILE      the server's certificate chain (PEM); required\n"
           "  --private-key FILE      its private key (PEM); required\n"
           "  --plain-listen HOST:PORT  also serve without TLS there (tests of old engines)\n"
           "  --media-port N          the UDP port for voice on the listening address (default\n"
           "                          0: any free port, which each engine is told)\n"
           "  --max-sessions N        registered sessions served at once (default 10000)\n"
           "  --max-unregistered N    sessions not yet registered, in all (default 4096)\n"
           "  --max-unregistered-per-address N\n"
           "                          the same from one address (default 64)\n"
           "  --help                  show this text\n"
           "\n"
           "One line per session event is logged on standard error. SIGINT or SIGTERM stops\n"
           "the server.\n";
}

void CommandLine::ApplyOverrides(ServerConfig& config) const {
    if (!certificateFile.empty()) {
        config.certificateFile = certificateFile;
    }
    if (!privateKeyFile.empty()) {
        config.privateKeyFile = privateKeyFile;
    }
    if (plainPort >= 0) {
        config.plainHost = plainHost;
        config.plainPort = plainPort;
    }
    if (mediaPort >= 0) {
        config.mediaPort = mediaPort;
    }
    if (!forumFile.empty()) {
        config.forumFile = forumFile;
    }
}

CommandLine CommandLine::Parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    auto fail = [&line](std::string message) {
        line.action = Action::kError;
        line.error = std::move(message);
        return line;
    };
    VoiceServerOptions& options = line.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.action = Action::kHelp;
            return line;
        }
        const bool takesValue =
            argument == "--listen" || argument == "--ticket-public-key" || argument == "--config" ||
            argument == "--max-sessions" || argument == "--max-unregistered" ||
            argument == "--max-unregistered-per-address" || argument == "--hello-timeout-ms" ||
            argument == "--idle-timeout-ms" || argument == "--register-timeout-ms" ||
            argument == "--certificate" || argument == "--private-key" ||
            argument == "--plain-listen" || argument == "--list-ids-per-second" ||
            argument == "--list-ids-burst" || argument == "--invitation-lifetime-ms" ||
            argument == "--blocked-invitation-ms" || argument == "--media-port" ||
            argument == "--forums" || argument == "--group-list-interval-ms";
        if (!takesValue) {
            return fail("unknown option '" + argument + "'");
        }
        if (i + 1 >= arguments.size()) {
            return fail(argument + " needs a value");
        }
        const std::string& value = arguments[++i];
        if (argument == "--listen") {
            if (!servers::ParseHostPort(value, options.listenHost, options.listenPort)) {
                return fail("--listen wants HOST:PORT, not '" + value + "'");
            }
        } else if (argument == "--ticket-public-key") {
            line.ticketPublicKey = value;
        } else if (argument == "--config") {
            line.configPath = value;
        } else if (argument == "--forums") {
            line.forumFile = value;
        } else if (argument == "--certificate") {
            line.certificateFile = value;
        } else if (argument == "--private-key") {
            line.privateKeyFile = value;
        } else if (argument == "--plain-listen") {
            if (!servers::ParseHostPort(value, line.plainHost, line.plainPort)) {
                return fail("--plain-listen wants HOST:PORT, not '" + value + "'");
            }
        } else if (argument == "--media-port") {
            const auto number = servers::ParseNumber(value, 0, 65535);
            if (!number) {
                return fail("--media-port wants a number from 0 to 65535");
            }
            line.mediaPort = static_cast<int>(*number);
        } else if (argument == "--max-sessions") {
            const auto number = servers::ParseNumber(value, 1, kMaxSessions);
            if (!number) {
                return fail("--max-sessions wants a number from 1 to 1000000");
            }
            options.limits.maxSessions = static_cast<std::size_t>(*number);
        } else if (argument == "--max-unregistered" ||
                   argument == "--max-unregistered-per-address") {
            const auto number = servers::ParseNumber(value, 1, kMaxSessions);
            if (!number) {
                return fail(argument + " wants a number from 1 to 1000000");
            }
            (argument == "--max-unregistered" ? options.limits.maxUnregistered
                                              : options.limits.maxUnregisteredPerAddress) =
                static_cast<std::size_t>(*number);
        } else if (argument == "--list-ids-per-second" || argument == "--list-ids-burst") {
            // A small list budget for tests; not in the usage text.
            const auto number = servers::ParseNumber(value, 1, 100000000);
            if (!number) {
                return fail(argument + " wants a number from 1 to 100000000");
            }
            (argument == "--list-ids-per-second" ? options.limits.listIdsPerSecond
                                                 : options.limits.listIdsBurst) =
                static_cast<std::size_t>(*number);
        } else {
            // Short timeouts for tests; not in the usage text.
            const auto number = servers::ParseNumber(value, 1, kMaxTimeoutMs);
            if (!number) {
                return fail(argument + " wants a number of milliseconds");
            }
            auto& limit =
                argument == "--hello-timeout-ms"         ? options.limits.helloTimeout
                : argument == "--idle-timeout-ms"        ? options.limits.idleTimeout
                : argument == "--invitation-lifetime-ms" ? options.limits.invitationLifetime
                : argument == "--blocked-invitation-ms"  ? options.limits.blockedInvitationLifetime
                : argument == "--group-list-interval-ms" ? options.limits.groupListInterval
                                                         : options.limits.registerTimeout;
            limit = std::chrono::milliseconds(*number);
        }
    }
    return line;
}

}  // namespace qv::voicesvc
