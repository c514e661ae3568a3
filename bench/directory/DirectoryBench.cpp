// GetUserProfile under load: the service in-process on a loopback port over a fresh database of
// many accounts, 64 keep-alive connections asking for random accounts for a few seconds, each
// at a steady rate (--rate per connection; 0: as fast as it can). Prints one line: requests/s
// and latency percentiles. Latency counts from when a request was due, so a stalled
// connection's backlog shows in it. With --rate 0 every connection waits for its own reply
// and the latency mostly measures the machine's CPU queue (64 callers on a few cores).
//
//   qv_directory_bench [--accounts N] [--connections N] [--rate R] [--seconds S] [--threads N]

#include <httplib.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "DirectoryService.h"
#include "security/PasswordHasher.h"
#include "security/Secrets.h"
#include "store/AccountStore.h"
#include "store/Schema.h"
#include "util/Text.h"

namespace {

using Steady = std::chrono::steady_clock;
using namespace qv::dirsvc;

struct Settings {
    std::int64_t accounts = 100000;
    int connections = 64;
    int rate = 50;  // requests per second per connection
    double seconds = 5;
    int threads = 8;
};

bool ParseSettings(int argc, char** argv, Settings& settings) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const auto value = text::Number(argv[i + 1], 0, 100000000);
        if (!value) {
            return false;
        }
        if (name == "--accounts") {
            settings.accounts = *value;
        } else if (name == "--connections") {
            settings.connections = static_cast<int>(*value);
        } else if (name == "--rate") {
            settings.rate = static_cast<int>(*value);
        } else if (name == "--seconds") {
            settings.seconds = static_cast<double>(*value);
        } else if (name == "--threads") {
            settings.threads = static_cast<int>(*value);
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && settings.accounts > 0 && settings.connections > 0 &&
           settings.seconds > 0 && settings.threads > 0;
}

// Removes the bench's folder at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv-dirbench-XXXXXX");
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Bulk accounts share one precomputed hash: the bench measures lookups, not argon2.
bool LoadAccounts(AccountStore& accounts, std::int64_t count) {
    PasswordHasher hasher(HashCost::Minimal(), 1);
    const std::string hash = hasher.Hash("bench-password");
    std::vector<NewAccount> batch(static_cast<size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        NewAccount& account = batch[static_cast<size_t>(i)];
        account.profile.nickName = "user" + std::to_string(i);
        account.profile.firstName = "First" + std::to_string(i % 1000);
        account.profile.lastName = "Last" + std::to_string(i % 977);
        account.profile.email1 = "user" + std::to_string(i) + "@example.com";
        account.profile.company = "Company " + std::to_string(i % 50);
        account.profile.comment = "Benchmark account";
        account.passwordHash = hash;
    }
    return accounts.Import(batch, 1700000000) == StoreStatus::kOk;
}

double Percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) {
        return 0;
    }
    const auto index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: qv_directory_bench [--accounts N] [--connections N] [--rate R] "
                     "[--seconds S] [--threads N]\n");
        return 2;
    }
    if (!secrets::Initialize()) {
        return 1;
    }
    ScratchFolder folder;
    if (folder.Path().empty()) {
        std::fprintf(stderr, "cannot create a scratch folder\n");
        return 1;
    }
    ServiceOptions options;
    options.databasePath = folder.Path() + "/directory.db";
    options.filesFolder = folder.Path() + "/files";
    options.mailFolder = folder.Path() + "/mail";
    options.hashCost = HashCost::Minimal();
    options.http.threads = static_cast<size_t>(settings.threads);
    DirectoryService::Seams seams;
    seams.logSink = [](const std::string&) {};  // the log would measure the terminal
    std::string error;
    auto service = DirectoryService::Create(options, std::move(seams), error);
    if (service == nullptr) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const auto loadStart = Steady::now();
    if (!LoadAccounts(service->Accounts(), settings.accounts)) {
        std::fprintf(stderr, "cannot load the accounts\n");
        return 1;
    }
    const double loadSeconds = std::chrono::duration<double>(Steady::now() - loadStart).count();
    const int port = service->Start("127.0.0.1", 0);
    if (port <= 0) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }

    std::atomic<long> failures{0};
    std::vector<std::vector<double>> latencies(static_cast<size_t>(settings.connections));
    std::vector<std::thread> clients;
    const auto start = Steady::now();
    const auto end = start + std::chrono::duration_cast<Steady::duration>(
                                 std::chrono::duration<double>(settings.seconds));
    for (int c = 0; c < settings.connections; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            std::mt19937_64 random(static_cast<unsigned long long>(c) + 1);
            std::uniform_int_distribution<std::int64_t> pick(
                Schema::kFirstNumber, Schema::kFirstNumber + settings.accounts - 1);
            std::vector<double>& mine = latencies[static_cast<size_t>(c)];
            const auto interval = settings.rate > 0
                                      ? std::chrono::duration_cast<Steady::duration>(
                                            std::chrono::duration<double>(1.0 / settings.rate))
                                      : Steady::duration::zero();
            // Spread the connections' first requests over one interval.
            auto due = start + interval * c / settings.connections;
            for (;;) {
                if (settings.rate > 0) {
                    if (due >= end) {
                        break;
                    }
                    std::this_thread::sleep_until(due);
                } else if (Steady::now() >= end) {
                    break;
                }
                const std::string path =
                    "/Quorvane/GetUserProfile.asp?LoginId=" + std::to_string(pick(random));
                const auto before = settings.rate > 0 ? due : Steady::now();
                due += interval;
                const auto response = client.Get(path.c_str());
                const auto after = Steady::now();
                if (!response || response->body.rfind("Success\xFF", 0) != 0) {
                    ++failures;
                }
                mine.push_back(std::chrono::duration<double, std::milli>(after - before).count());
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    const double elapsed = std::chrono::duration<double>(Steady::now() - start).count();
    service->Stop();

    std::vector<double> all;
    for (const auto& mine : latencies) {
        all.insert(all.end(), mine.begin(), mine.end());
    }
    std::sort(all.begin(), all.end());
    std::printf(
        "GetUserProfile: %lld accounts (loaded in %.2f s), %d connections at %s, %d server "
        "threads, %zu requests in %.2f s: %.0f requests/s, p50 %.3f ms, p99 %.3f ms, max %.3f "
        "ms, %ld failed\n",
        static_cast<long long>(settings.accounts), loadSeconds, settings.connections,
        settings.rate > 0 ? (std::to_string(settings.rate) + " requests/s each").c_str()
                          : "full speed",
        settings.threads, all.size(), elapsed, static_cast<double>(all.size()) / elapsed,
        Percentile(all, 0.50), Percentile(all, 0.99), all.empty() ? 0.0 : all.back(),
        failures.load());
    return failures.load() == 0 ? 0 : 1;
}
