#include "CommandLine.h"

#include "TextNumber.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

constexpr int kMaxThreads = 256;

}  // namespace

const char* CommandLine::Usage() {
    return "Usage: quorvane-directory --db FILE --files DIR --mail-dir DIR [options]\n"
           "\n"
           "The Quorvane directory web service: accounts, profiles, contact and block lists\n"
           "and partner data for the Quorvane client, over HTTP.\n"
           "\n"
           "  --listen HOST:PORT   address to serve on (default 127.0.0.1:8080; port 0 picks a\n"
           "                       free port). The bound address is printed on standard output\n"
           "                       as \"listening on HOST:PORT\".\n"
           "  --db FILE            SQLite database, created when missing\n"
           "  --files DIR          folder for stored files, created when missing\n"
           "  --mail-dir DIR       folder that receives outgoing mail, one .eml file a message\n"
           "  --threads N          HTTP worker threads (default 8)\n"
           "  --hash-cost NAME     password hash cost: interactive (default), moderate, or\n"
           "                       minimal (for tests only)\n"
           "  --ticket-key FILE    the secret key that signs voice tickets; made, with FILE.pub\n"
           "                       for the voice servers, when missing\n"
           "  --voice-cluster NAME the voice servers' cluster the tickets are for (default\n"
           "                       quorvane)\n"
           "  --partners FILE      partner list, sites and forum rules to load before serving\n"
           "                       (the partners it names are replaced; see the README)\n"
           "  --help               show this text\n"
           "\n"
           "One line per request is logged on standard error. SIGINT or SIGTERM stops the\n"
           "service after the requests under way.\n";
}

CommandLine CommandLine::Parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    auto fail = [&line](std::string message) {
        line.action = Action::kError;
        line.error = std::move(message);
        return line;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.action = Action::kHelp;
            return line;
        }
        const bool takesValue =
            argument == "--listen" || argument == "--db" || argument == "--files" ||
            argument == "--mail-dir" || argument == "--threads" || argument == "--hash-cost" ||
            argument == "--ticket-key" || argument == "--voice-cluster" || argument == "--partners";
        if (!takesValue) {
            return fail("unknown option '" + argument + "'");
        }
        if (i + 1 >= arguments.size()) {
            return fail(argument + " needs a value");
        }
        const std::string& value = arguments[++i];
        if (argument == "--listen") {
            if (!servers::ParseHostPort(value, line.host, line.port)) {
                return fail("--listen wants HOST:PORT, not '" + value + "'");
            }
        } else if (argument == "--db") {
            line.options.databasePath = value;
        } else if (argument == "--files") {
            line.options.filesFolder = value;
        } else if (argument == "--mail-dir") {
            line.options.mailFolder = value;
        } else if (argument == "--threads") {
            const auto threads = text::Number(value, 1, kMaxThreads);
            if (!threads) {
                return fail("--threads wants a number from 1 to 256");
            }
            line.options.http.threads = static_cast<size_t>(*threads);
        } else if (argument == "--partners") {
            line.partnersFile = value;
        } else if (argument == "--ticket-key") {
            line.options.tickets.keyPath = value;
        } else if (argument == "--voice-cluster") {
            if (value.empty() || value.size() > ticket::kMaxCluster ||
                value.find_first_of("\n\r") != std::string::npos) {
                return fail("--voice-cluster wants a name of 1 to 64 characters");
            }
            line.options.tickets.cluster = value;
        } else {
            const auto cost = HashCost::Named(value);
            if (!cost) {
                return fail("--hash-cost wants interactive, moderate or minimal");
            }
            line.options.hashCost = *cost;
        }
    }
    if (line.options.databasePath.empty() || line.options.filesFolder.empty() ||
        line.options.mailFolder.empty()) {
        return fail("--db, --files and --mail-dir are required");
    }
    return line;
}

}  // namespace qv::dirsvc
