// quorvane-directory: the directory web service the Quorvane client talks to.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DirectoryService.h"
#include "PartnerSeedFile.h"
#include "store/PartnerStore.h"

int main(int argc, char** argv) {
    using qv::dirsvc::CommandLine;
    const CommandLine line = CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (line.action == CommandLine::Action::kHelp) {
        std::fputs(CommandLine::Usage(), stdout);
        return 0;
    }
    if (line.action == CommandLine::Action::kError) {
        std::fprintf(stderr, "quorvane-directory: %s\n\n%s", line.error.c_str(),
                     CommandLine::Usage());
        return 2;
    }

    // A bad partner file is refused before the database is even opened, so it changes nothing.
    qv::dirsvc::PartnerSeed partners;
    std::string error;
    if (!line.partnersFile.empty() &&
        !qv::dirsvc::PartnerSeedFile::Load(line.partnersFile, partners, error)) {
        std::fprintf(stderr, "quorvane-directory: %s\n", error.c_str());
        return 2;
    }

    // The stop signals are taken synchronously below; block them before any thread starts so
    // that none of the server's threads receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that hangs up mid-reply must not end the service.
    signal(SIGPIPE, SIG_IGN);

    auto service = qv::dirsvc::DirectoryService::Create(line.options, {}, error);
    if (service == nullptr) {
        std::fprintf(stderr, "quorvane-directory: %s\n", error.c_str());
        return 1;
    }
    if (!line.partnersFile.empty()) {
        bool changed = false;
        switch (service->Partners().Replace(partners, changed)) {
            case qv::dirsvc::StoreStatus::kOk:
                std::fprintf(stderr, "quorvane-directory: partner file loaded, %s\n",
                             changed ? "the partner list changed" : "nothing changed");
                break;
            case qv::dirsvc::StoreStatus::kFull:
                std::fprintf(stderr,
                             "quorvane-directory: partner file '%s': the partner list would "
                             "hold more than %zu sites\n",
                             line.partnersFile.c_str(), qv::dirsvc::PartnerStore::kMaxSites);
                return 2;
            default:
                std::fprintf(stderr, "quorvane-directory: the partner file could not be stored\n");
                return 1;
        }
    }
    if (line.options.tickets.keyPath.empty()) {
        std::fprintf(stderr,
                     "quorvane-directory: no --ticket-key: voice tickets are signed with a key "
                     "that no voice server has\n");
    }
    const int port = service->Start(line.host, line.port);
    if (port < 0) {
        std::fprintf(stderr, "quorvane-directory: cannot listen on %s:%d\n", line.host.c_str(),
                     line.port);
        return 1;
    }
    const bool v6 = line.host.find(':') != std::string::npos;
    std::printf(v6 ? "listening on [%s]:%d\n" : "listening on %s:%d\n", line.host.c_str(), port);
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    service->Stop();
    return 0;
}
