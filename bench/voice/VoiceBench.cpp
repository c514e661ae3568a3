// The real sonaro-server under a login storm and watch traffic: many engines in one io_context
// connect and register at once with voice tickets (signed here with a key made for the run, as
// the directory signs them), each timed from its connect to its Registered; then they set a
// status and watch a few others, and random engines change status while every watcher's Watch
// is timed from the moment the change was sent. The engines use the server's plain listener (the
// TLS one costs the same on the server's side per byte, and a handshake each). Prints one line
// for each.
//
//   qv_voice_bench [clients] [watched each] [changes]

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "FileLimit.h"
#include "TicketKeys.h"
#include "VoiceProtocol.h"
#include "support/TestCertificates.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using asio::ip::tcp;
namespace voice = qv::voice;

struct Settings {
    int clients = 2000;
    int watched = 10;
    int changes = 2000;
    int inFlight = 50;
};

// The server process, its port and its resource use.
class ServerProcess {
  public:
    ServerProcess(const std::string& ticketPublicKey, const qv::test::TestCertificates& tls,
                  int plainPort)
        : port_(plainPort) {
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args = {QV_VOICE_SERVER_PROGRAM,
                                         "--listen",
                                         "127.0.0.1:0",
                                         "--ticket-public-key",
                                         ticketPublicKey,
                                         "--certificate",
                                         tls.certificateFile,
                                         "--private-key",
                                         tls.keyFile,
                                         "--plain-listen",
                                         "127.0.0.1:" + std::to_string(plainPort)};
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        std::FILE* in = ::fdopen(out[0], "r");
        char line[128] = {};
        if (in == nullptr || std::fgets(line, sizeof line, in) == nullptr ||
            !std::string(line).starts_with("listening on")) {
            port_ = 0;
        }
        if (in != nullptr) {
            std::fclose(in);
        }
    }
    ~ServerProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    int Port() const { return port_; }
    double CpuSeconds() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t paren = text.rfind(')');
        if (paren == std::string::npos) {
            return 0;
        }
        std::istringstream fields(text.substr(paren + 2));
        std::string field;
        double ticks = 0;
        // State is field 3; utime and stime are fields 14 and 15.
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i >= 14) {
                ticks += std::atof(field.c_str());
            }
        }
        return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    double MaxRssMb() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.starts_with("VmHWM:")) {
                return std::atof(line.c_str() + 6) / 1024.0;
            }
        }
        return 0;
    }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

class Bench;

// One fake engine.
class Engine {
  public:
    Engine(asio::io_context& io, Bench& bench, int index, std::string ticket)
        : socket_(io),
          bench_(bench),
          index_(index),
          id_(std::to_string(1000 + index)),
          ticket_(std::move(ticket)) {}
    void Connect(const tcp::endpoint& server);
    Clock::time_point connected;
    void Send(std::string frame);
    const std::string& Id() const { return id_; }
    int watchReplies = 0;

  private:
    void Read();
    void Write();

    tcp::socket socket_;
    Bench& bench_;
    int index_;
    std::string id_;
    std::string ticket_;
    voice::FrameReader reader_;
    std::array<char, 8192> input_{};
    std::string pending_;
    std::string writing_;
};

class Bench {
  public:
    Bench(Settings settings, const qv::ticket::SecretKey& key)
        : settings_(settings), key_(key), pinger_(io_) {}

    int Run(int port, const ServerProcess& server);
    void OnFrame(int index, const voice::Frame& frame);
    void Failed(const std::string& what) {
        std::fprintf(stderr, "qv_voice_bench: %s\n", what.c_str());
        std::exit(1);
    }

  private:
    void StartNextChange();
    void Ping();

    Settings settings_;
    qv::ticket::SecretKey key_;
    asio::io_context io_;
    asio::steady_timer pinger_;
    std::vector<std::unique_ptr<Engine>> engines_;
    std::vector<int> watcherCount_;
    int registered_ = 0;
    int ponged_ = 0;
    int burstsDone_ = 0;
    int phase_ = 0;
    std::mt19937 random_{12345};
    // Change under way per target index: when it was sent and how many Watches are due.
    std::unordered_map<int, std::pair<Clock::time_point, int>> open_;
    std::vector<std::int16_t> mode_;
    int changesStarted_ = 0;
    int changesDone_ = 0;
    std::vector<double> latencies_;
    Clock::time_point stormStart_;
    double stormMs_ = 0;
    std::vector<double> registrations_;
};

void Engine::Connect(const tcp::endpoint& server) {
    // From 50 addresses of 127/8 at most each, as from many machines: the server caps the
    // sessions not yet registered per address.
    socket_.open(tcp::v4());
    const auto source = asio::ip::make_address_v4(0x7F000002u + static_cast<unsigned>(index_ / 50));
    socket_.bind(tcp::endpoint(source, 0));
    connected = Clock::now();
    socket_.async_connect(server, [this](asio::error_code ec) {
        if (ec) {
            bench_.Failed("connect: " + ec.message());
        }
        socket_.set_option(tcp::no_delay(true));
        Send(voice::Encode(voice::Hello{voice::kProtocolVersion, 402}));
        Send(voice::Encode(voice::RegisterTicket{id_, "n", ticket_}));
        Read();
    });
}

void Engine::Send(std::string frame) {
    pending_ += frame;
    Write();
}

void Engine::Write() {
    if (!writing_.empty() || pending_.empty()) {
        return;
    }
    writing_.swap(pending_);
    asio::async_write(socket_, asio::buffer(writing_), [this](asio::error_code ec, std::size_t) {
        if (ec) {
            bench_.Failed("write: " + ec.message());
        }
        writing_.clear();
        Write();
    });
}

void Engine::Read() {
    socket_.async_read_some(asio::buffer(input_), [this](asio::error_code ec, std::size_t n) {
        if (ec) {
            bench_.Failed("engine " + id_ + " lost its connection: " + ec.message());
        }
        reader_.Append(input_.data(), n);
        voice::Frame frame;
        while (reader_.Next(frame) == voice::FrameReader::Result::kFrame) {
            bench_.OnFrame(index_, frame);
        }
        Read();
    });
}

void Bench::OnFrame(int index, const voice::Frame& frame) {
    Engine& engine = *engines_[static_cast<std::size_t>(index)];
    switch (frame.type) {
        case voice::MessageType::kRegistered:
            registrations_.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - engine.connected).count());
            if (++registered_ == settings_.clients) {
                stormMs_ =
                    std::chrono::duration<double, std::milli>(Clock::now() - stormStart_).count();
                // Phase 1: everyone online, then a ping each so all statuses are in.
                for (auto& e : engines_) {
                    e->Send(voice::Encode(voice::SetStatus{0}));
                    e->Send(voice::EncodePing({1, 0}));
                }
            }
            return;
        case voice::MessageType::kPong: {
            voice::Ping pong;
            if (voice::Decode(frame.fields, pong) && pong.sequence == 1 &&
                ++ponged_ == settings_.clients) {
                // Phase 2: the watch lists, K distinct others each.
                phase_ = 2;
                watcherCount_.assign(engines_.size(), 0);
                std::uniform_int_distribution<int> pick(0, settings_.clients - 1);
                for (int i = 0; i < settings_.clients; ++i) {
                    std::vector<int> chosen;
                    while (static_cast<int>(chosen.size()) <
                           std::min(settings_.watched, settings_.clients - 1)) {
                        const int other = pick(random_);
                        if (other != i &&
                            std::find(chosen.begin(), chosen.end(), other) == chosen.end()) {
                            chosen.push_back(other);
                        }
                    }
                    std::string list;
                    for (int other : chosen) {
                        list += engines_[static_cast<std::size_t>(other)]->Id() + "\n";
                        ++watcherCount_[static_cast<std::size_t>(other)];
                    }
                    engines_[static_cast<std::size_t>(i)]->Send(voice::EncodeWatchList({0, list}));
                }
            }
            return;
        }
        case voice::MessageType::kWatch: {
            if (phase_ == 2) {
                if (++engine.watchReplies == std::min(settings_.watched, settings_.clients - 1) &&
                    ++burstsDone_ == settings_.clients) {
                    phase_ = 3;
                    mode_.assign(engines_.size(), 0);
                    for (int i = 0; i < settings_.inFlight; ++i) {
                        StartNextChange();
                    }
                }
                return;
            }
            voice::Watch watch;
            voice::Decode(frame.fields, watch);
            const int target = std::atoi(watch.userId.c_str()) - 1000;
            auto open = open_.find(target);
            if (open == open_.end()) {
                Failed("a Watch nobody asked for");
            }
            latencies_.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - open->second.first)
                    .count());
            if (--open->second.second == 0) {
                open_.erase(open);
                ++changesDone_;
                StartNextChange();
            }
            return;
        }
        case voice::MessageType::kClose:
            Failed("the server closed a session");
            return;
        default:
            return;
    }
}

void Bench::StartNextChange() {
    if (changesStarted_ >= settings_.changes) {
        if (changesDone_ >= settings_.changes) {
            io_.stop();
        }
        return;
    }
    std::uniform_int_distribution<int> pick(0, settings_.clients - 1);
    int target = pick(random_);
    while (open_.count(target) != 0) {
        target = pick(random_);
    }
    ++changesStarted_;
    const int watchers = watcherCount_[static_cast<std::size_t>(target)];
    std::int16_t& mode = mode_[static_cast<std::size_t>(target)];
    mode = mode == 0 ? 2 : 0;
    engines_[static_cast<std::size_t>(target)]->Send(voice::Encode(voice::SetStatus{mode}));
    if (watchers == 0) {
        ++changesDone_;
        asio::post(io_, [this] { StartNextChange(); });
        return;
    }
    open_[target] = {Clock::now(), watchers};
}

void Bench::Ping() {
    // Keeps quiet engines inside the idle limit.
    pinger_.expires_after(std::chrono::seconds(5));
    pinger_.async_wait([this](asio::error_code ec) {
        if (!ec) {
            for (auto& e : engines_) {
                e->Send(voice::EncodePing({2, 0}));
            }
            Ping();
        }
    });
}

int Bench::Run(int port, const ServerProcess& server) {
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"),
                                 static_cast<unsigned short>(port));
    // The tickets are the directory's work, so they are signed before the clock starts.
    for (int i = 0; i < settings_.clients; ++i) {
        qv::ticket::VoiceTicket ticket;
        ticket.userId = std::to_string(1000 + i);
        ticket.nickname = "u" + ticket.userId;
        ticket.expires = std::time(nullptr) + 300;
        ticket.nonce = qv::ticket::NewNonce();
        ticket.cluster = "quorvane";
        engines_.push_back(std::make_unique<Engine>(io_, *this, i, qv::ticket::Sign(ticket, key_)));
    }
    stormStart_ = Clock::now();
    for (auto& engine : engines_) {
        engine->Connect(endpoint);
    }
    Ping();
    io_.run();
    std::sort(latencies_.begin(), latencies_.end());
    std::sort(registrations_.begin(), registrations_.end());
    const auto percentileOf = [](const std::vector<double>& values, double p) {
        if (values.empty()) {
            return 0.0;
        }
        const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
        return values[at];
    };
    const auto percentile = [&](double p) { return percentileOf(latencies_, p); };
    std::printf(
        "voice login storm: %d clients registering at once with tickets, all registered in "
        "%.0f ms, connect to Registered p50 %.2f ms, p99 %.2f ms\n",
        settings_.clients, stormMs_, percentileOf(registrations_, 0.5),
        percentileOf(registrations_, 0.99));
    std::printf(
        "voice: %d clients, %d watched each, %d changes, %zu watch deliveries, p50 %.2f ms, "
        "p99 %.2f ms, server cpu %.1f s, server max rss %.1f MB\n",
        settings_.clients, settings_.watched, settings_.changes, latencies_.size(), percentile(0.5),
        percentile(0.99), server.CpuSeconds(), server.MaxRssMb());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    int* targets[] = {&settings.clients, &settings.watched, &settings.changes};
    for (int i = 1; i < argc && i <= 3; ++i) {
        const int value = std::atoi(argv[i]);
        if (value < 1) {
            std::fprintf(stderr, "usage: qv_voice_bench [clients] [watched each] [changes]\n");
            return 2;
        }
        *targets[i - 1] = value;
    }
    if (settings.clients < 2) {
        settings.clients = 2;
    }
    signal(SIGPIPE, SIG_IGN);
    qv::voicesvc::RaiseFileLimit();

    char folder[] = "/tmp/qv_voice_bench.XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::fprintf(stderr, "qv_voice_bench: no temporary folder\n");
        return 1;
    }
    const std::string keyPath = std::string(folder) + "/ticket.key";
    qv::ticket::SecretKey key{};
    std::string error;
    if (!qv::ticket::LoadOrCreateSigningKey(keyPath, key, error)) {
        std::fprintf(stderr, "qv_voice_bench: %s\n", error.c_str());
        return 1;
    }
    qv::test::TestCertificates tls;
    if (!qv::test::TestCertificates::Make(std::string(folder) + "/", tls)) {
        std::fprintf(stderr, "qv_voice_bench: cannot make certificates\n");
        return 1;
    }
    // A port that was free a moment ago, for the plain listener.
    int plainPort = 0;
    {
        asio::io_context probeIo;
        tcp::acceptor probe(probeIo, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
        plainPort = probe.local_endpoint().port();
    }
    int result = 1;
    {
        ServerProcess server(qv::ticket::PublicKeyPath(keyPath), tls, plainPort);
        if (server.Port() <= 0) {
            std::fprintf(stderr, "qv_voice_bench: the server did not start\n");
        } else {
            Bench bench(settings, key);
            result = bench.Run(server.Port(), server);
        }
    }
    ::unlink(keyPath.c_str());
    ::unlink(qv::ticket::PublicKeyPath(keyPath).c_str());
    std::remove(tls.caFile.c_str());
    std::remove(tls.certificateFile.c_str());
    std::remove(tls.keyFile.c_str());
    ::rmdir(folder);
    return result;
}
