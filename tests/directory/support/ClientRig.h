#pragma once

// A directory client on a hand-driven clock and a real scheduler, as the program runs it but with
// time moved by the test.

#include <functional>
#include <string>

#include "app/TimerScheduler.h"
#include "directory/DirectoryClient.h"
#include "directory/JobScheduler.h"
#include "platform/TickClock.h"

namespace qv::test {

class ClientRig {
  public:
    ClientRig();
    explicit ClientRig(DirectoryClient::Settings settings);

    // Starts the client on host and waits until it is open and its worker idle.
    bool Start(const std::string& host, const std::string& folder = {});
    // Moves the clock on, wakes the worker and ticks the scheduler until done() holds (true) or
    // 10 s of real time passed (false).
    bool DriveUntil(const std::function<bool()>& done);
    // One step of DriveUntil.
    void Step();

    ManualTickClock clock{1000};
    TimerScheduler scheduler{clock};
    SchedulerAdapter<TimerScheduler> jobs{scheduler};
    DirectoryClient client;
};

}  // namespace qv::test
