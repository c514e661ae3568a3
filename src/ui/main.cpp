// The Quorvane program: options, the Qt application, start-up and exit.

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/CQuorvaneApp.h"
#include "platform/FileVersion.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "ui/ProgramArguments.h"
#include "ui/QtAppShell.h"

QV_DEFINE_BUILD_MARKER(quorvane_build_marker, QUORVANE_BUILD);

namespace {

const char* const kUsage =
    "Usage: quorvane [--home DIR] [--engine net|sim] [-minimized | COMMAND-FILE]\n"
    "\n"
    "  --home DIR     the folder that holds the program's settings and data\n"
    "                 (default: $QUORVANE_HOME, else $XDG_DATA_HOME/quorvane/)\n"
    "  --engine net   talk to the voice server (the default)\n"
    "  --engine sim   the simulated engine: a voice server on which the user is alone\n"
    "  -minimized     start hidden\n"
    "  COMMAND-FILE   a .qdx file to open; a running instance opens it instead\n"
    "  --help         this text\n";

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

std::string EnvFolder(const char* name, const char* fallbackBelowHome) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value == '/') {
        std::string s = value;
        return s.back() == '/' ? s : s + "/";
    }
    const char* home = std::getenv("HOME");
    return home != nullptr ? std::string(home) + "/" + fallbackBelowHome : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    // Before Qt, which cannot start without a display.
    if (qv::AsksForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quorvane");

    // Qt has taken its own arguments (-style, -session, ...) out of argc and argv by now.
    const qv::ProgramArguments args = qv::ParseProgramArguments(argc, argv);
    if (args.outcome == qv::ProgramArguments::Outcome::Help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.outcome == qv::ProgramArguments::Outcome::Usage) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    qv::AppEnvironment env;
    env.shippedEngine = args.simulatedEngine ? QUORVANE_SIM_ENGINE : QUORVANE_SHIPPED_ENGINE;
    env.shareFolder = QUORVANE_SHARE_FOLDER;
    env.homeOption = args.homeOption;
    env.commandLine = args.commandLine;
    std::error_code ec;
    env.executable = std::filesystem::canonical("/proc/self/exe", ec).string();
    env.xdgDataHome = EnvFolder("XDG_DATA_HOME", ".local/share/");
    env.xdgConfigHome = EnvFolder("XDG_CONFIG_HOME", ".config/");

    // SIGTERM and SIGINT end the run the way File > Exit does, so exit still restores the mixer.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        struct sigaction sa {};
        sa.sa_handler = OnTerminate;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
    }
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &application, [] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], &c, 1);
        // Not quit(): that asks every window to close, and the main window only hides.
        QApplication::exit(0);
    });

    qv::SteadyTickClock clock;
    qv::QtAppShell shell;
    qv::CQuorvaneApp app(env, shell, qv::MakeMixer(), clock);
    shell.SetApp(&app);
    if (!app.InitInstance()) {
        return app.HandedOver() ? 0 : 1;
    }
    application.exec();
    return app.ExitInstance();
}
