#pragma once

// quorvane-directory's command line.

#include <string>
#include <vector>

#include "ServiceOptions.h"

namespace qv::dirsvc {

struct CommandLine {
    enum class Action { kRun, kHelp, kError };

    Action action = Action::kRun;
    std::string error;  // for kError
    std::string host = "127.0.0.1";
    int port = 8080;
    std::string partnersFile;  // --partners: loaded into the database before serving
    ServiceOptions options;

    // arguments without the program name.
    static CommandLine Parse(const std::vector<std::string>& arguments);
    static const char* Usage();
};

}  // namespace qv::dirsvc
