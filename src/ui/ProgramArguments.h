#pragma once

// The program's own command-line options. Read after Qt has taken its own arguments (-style,
// -session, ...) out of argv, so those are never mistaken for a command file.

#include <string>

namespace qv {

struct ProgramArguments {
    enum class Outcome { Run, Help, Usage };
    Outcome outcome = Outcome::Run;
    std::string homeOption;
    bool simulatedEngine = false;
    // The remaining arguments joined by blanks: "-minimized", a command file made absolute
    // (relative to where we were started), or a quoted path as given.
    std::string commandLine;
};

// argv[0] is the program; argv[1 .. argc-1] are read.
ProgramArguments ParseProgramArguments(int argc, const char* const* argv);

// Whether the arguments ask for the usage text (read before Qt starts, which needs a display).
bool AsksForHelp(int argc, const char* const* argv);

}  // namespace qv
