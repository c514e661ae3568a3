#include "ui/ProgramArguments.h"

#include <filesystem>

namespace qv {

bool AsksForHelp(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

ProgramArguments ParseProgramArguments(int argc, const char* const* argv) {
    ProgramArguments result;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            result.outcome = ProgramArguments::Outcome::Help;
            return result;
        }
        if (arg == "--home") {
            if (i + 1 >= argc) {
                result.outcome = ProgramArguments::Outcome::Usage;
                return result;
            }
            result.homeOption = argv[++i];
            continue;
        }
        if (arg.rfind("--home=", 0) == 0) {
            result.homeOption = arg.substr(7);
            continue;
        }
        if (arg == "--engine" || arg.rfind("--engine=", 0) == 0) {
            std::string engine;
            if (arg == "--engine") {
                if (i + 1 >= argc) {
                    result.outcome = ProgramArguments::Outcome::Usage;
                    return result;
                }
                engine = argv[++i];
            } else {
                engine = arg.substr(9);
            }
            if (engine == "sim") {
                result.simulatedEngine = true;
            } else if (engine != "net") {
                result.outcome = ProgramArguments::Outcome::Usage;
                return result;
            }
            continue;
        }
        commandLine += commandLine.empty() ? arg : " " + arg;
    }
    result.commandLine = commandLine;
    // A command file named relative to where we were started: start-up moves to the data root.
    if (!commandLine.empty() && commandLine != "-minimized" && commandLine[0] != '"') {
        std::error_code ec;
        auto abs = std::filesystem::absolute(commandLine, ec);
        if (!ec) {
            result.commandLine = abs.string();
        }
    }
    return result;
}

}  // namespace qv
