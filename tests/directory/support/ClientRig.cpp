#include "ClientRig.h"

#include <chrono>
#include <thread>

namespace qv::test {

namespace {

DirectoryClient::Settings QuickSettings() {
    DirectoryClient::Settings settings;
    settings.transfer.connectTimeoutMs = 5000;
    settings.transfer.stallTimeoutMs = 10000;
    return settings;
}

}  // namespace

ClientRig::ClientRig() : ClientRig(QuickSettings()) {}

ClientRig::ClientRig(DirectoryClient::Settings settings) : client(jobs, clock, settings) {}

bool ClientRig::Start(const std::string& host, const std::string& folder) {
    const std::uint64_t passes = client.PassCount();
    client.Start(host, folder);
    // Once the first pass is over the worker waits for the clock: requests queued from now on
    // leave only when the test moves time.
    return DriveUntil([&] { return client.IsOpen() && client.PassCount() > passes; });
}

void ClientRig::Step() {
    clock.Advance(DirectoryClient::kPaceMs + 50);
    client.WakeWorker();
    scheduler.Tick();
}

bool ClientRig::DriveUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        Step();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace qv::test
