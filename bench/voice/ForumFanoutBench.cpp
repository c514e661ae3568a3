// One speaker and hundreds of listeners in a real forum of the real sonaro-server: every engine
// registers with a voice ticket, joins the forum with JoinGroup and binds its UDP address with a
// keepalive, as an engine does; then the speaker sends a 20 ms Opus-sized packet and each
// listener times its arrival against the moment it was sent. Prints one line: how long the join
// storm took, the server's CPU as a share of one core while voice flowed, the 99th percentile of
// send-to-arrival, and what never arrived.
//
//   qv_forum_fanout_bench [listeners] [seconds]

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FileLimit.h"
#include "MediaPacket.h"
#include "TicketKeys.h"
#include "VoiceProtocol.h"
#include "support/TestCertificates.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using asio::ip::tcp;
namespace voice = qv::voice;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "qv_forum_fanout_bench: %s\n", what.c_str());
    std::exit(1);
}

// The server process on a plain listener (the bench measures the forum, not TLS handshakes).
class ServerProcess {
  public:
    ServerProcess(const std::string& ticketPublicKey, const qv::test::TestCertificates& tls,
                  int plainPort) {
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
        ready_ = in != nullptr && std::fgets(line, sizeof line, in) != nullptr &&
                 std::string(line).starts_with("listening on");
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
    bool Ready() const { return ready_; }
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

  private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

int UdpSocket() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        Fail("no UDP socket");
    }
    return fd;
}

void SendTo(int fd, const std::vector<std::uint8_t>& datagram, int port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

class Bench;

// One fake engine: its control connection and its UDP socket.
class Engine {
  public:
    Engine(asio::io_context& io, Bench& bench, int index, std::string ticket)
        : socket_(io), bench_(bench), index_(index), ticket_(std::move(ticket)) {}
    void Connect(const tcp::endpoint& server);
    void Send(std::string frame);

    qv::media::MediaKeys keys;
    std::uint32_t streamId = 0;
    int udpPort = 0;
    int udp = -1;
    bool joined = false;

  private:
    void Read();
    void Write();

    tcp::socket socket_;
    Bench& bench_;
    int index_;
    std::string ticket_;
    voice::FrameReader reader_;
    std::array<char, 16384> input_{};
    std::string pending_;
    std::string writing_;
};

class Bench {
  public:
    explicit Bench(int listeners) : listeners_(listeners), pinger_(io_) {}
    // Connects, registers and joins everybody; false when the server failed them.
    void Join(int port, const qv::ticket::SecretKey& key);
    void OnFrame(int index, const voice::Frame& frame);
    std::vector<std::unique_ptr<Engine>>& Engines() { return engines_; }
    double JoinMs() const { return joinMs_; }
    asio::io_context& Io() { return io_; }

  private:
    void Ping();

    int listeners_;
    asio::io_context io_;
    asio::steady_timer pinger_;
    std::vector<std::unique_ptr<Engine>> engines_;
    int offered_ = 0;
    int joined_ = 0;
    Clock::time_point joinStart_;
    double joinMs_ = 0;
};

void Engine::Connect(const tcp::endpoint& server) {
    // From many addresses of 127/8, as from many machines: the server caps the sessions not yet
    // registered per address.
    socket_.open(tcp::v4());
    const auto source = asio::ip::make_address_v4(0x7F000002u + static_cast<unsigned>(index_ / 50));
    socket_.bind(tcp::endpoint(source, 0));
    socket_.async_connect(server, [this](asio::error_code ec) {
        if (ec) {
            Fail("connect: " + ec.message());
        }
        socket_.set_option(tcp::no_delay(true));
        Send(voice::Encode(voice::Hello{voice::kProtocolVersion, 402}));
        Send(voice::Encode(voice::RegisterTicket{std::to_string(1000 + index_), "n", ticket_}));
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
            Fail("write: " + ec.message());
        }
        writing_.clear();
        Write();
    });
}

void Engine::Read() {
    socket_.async_read_some(asio::buffer(input_), [this](asio::error_code ec, std::size_t n) {
        if (ec) {
            if (ec == asio::error::operation_aborted) {
                return;
            }
            Fail("engine " + std::to_string(index_) + " lost its connection: " + ec.message());
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
        case voice::MessageType::kMediaOffer: {
            voice::MediaOffer offer;
            if (!voice::Decode(frame.fields, offer) || offer.key.size() != engine.keys.key.size() ||
                offer.token.size() != engine.keys.token.size()) {
                Fail("a bad MediaOffer");
            }
            std::memcpy(engine.keys.key.data(), offer.key.data(), offer.key.size());
            std::memcpy(engine.keys.token.data(), offer.token.data(), offer.token.size());
            engine.streamId = offer.streamId;
            engine.udpPort = offer.udpPort;
            if (++offered_ == static_cast<int>(engines_.size())) {
                // Everybody is in: the join storm, all at once.
                joinStart_ = Clock::now();
                for (auto& e : engines_) {
                    e->Send(voice::Encode(voice::JoinGroup{0, "Bench Hall", "", 1}));
                }
            }
            return;
        }
        case voice::MessageType::kJoinedGroup: {
            voice::JoinedGroup joined;
            if (!voice::Decode(frame.fields, joined) || joined.path != "Bench Hall") {
                Fail("a join was refused");
            }
            engine.joined = true;
            if (++joined_ == static_cast<int>(engines_.size())) {
                joinMs_ =
                    std::chrono::duration<double, std::milli>(Clock::now() - joinStart_).count();
                io_.stop();
            }
            return;
        }
        case voice::MessageType::kServerMessage:
        case voice::MessageType::kClose:
            Fail("the server refused or closed a session");
        default:
            return;
    }
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

void Bench::Join(int port, const qv::ticket::SecretKey& key) {
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"),
                                 static_cast<unsigned short>(port));
    for (int i = 0; i <= listeners_; ++i) {
        qv::ticket::VoiceTicket ticket;
        ticket.userId = std::to_string(1000 + i);
        ticket.nickname = "u" + ticket.userId;
        ticket.expires = std::time(nullptr) + 300;
        ticket.nonce = qv::ticket::NewNonce();
        ticket.cluster = "quorvane";
        engines_.push_back(std::make_unique<Engine>(io_, *this, i, qv::ticket::Sign(ticket, key)));
    }
    for (auto& engine : engines_) {
        engine->Connect(endpoint);
    }
    Ping();
    io_.run();
    io_.restart();
}

int Run(int listeners, int seconds, int port, const qv::ticket::SecretKey& key,
        const ServerProcess& server) {
    constexpr int kFrameMs = 20;
    const int packets = seconds * 1000 / kFrameMs;
    Bench bench(listeners);
    bench.Join(port, key);
    // The control connections keep running (pings, rosters) beside the voice.
    std::thread control([&bench] { bench.Io().run(); });

    auto& engines = bench.Engines();
    Engine& speaker = *engines[0];
    const int poller = epoll_create1(0);
    for (std::size_t i = 0; i < engines.size(); ++i) {
        Engine& engine = *engines[i];
        engine.udp = UdpSocket();
        if (i > 0) {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u32 = static_cast<std::uint32_t>(i);
            epoll_ctl(poller, EPOLL_CTL_ADD, engine.udp, &event);
        }
        SendTo(engine.udp,
               qv::media::SealKeepalive(engine.keys, qv::media::Direction::kUp, engine.streamId, 1),
               engine.udpPort);
    }

    std::vector<std::atomic<std::int64_t>> sentAt(static_cast<std::size_t>(packets) + 2);
    std::vector<std::int64_t> delays;
    delays.reserve(static_cast<std::size_t>(packets) * static_cast<std::size_t>(listeners));
    std::atomic<bool> done{false};
    std::uint64_t voiceReceived = 0;
    std::thread receiver([&] {
        std::vector<epoll_event> events(256);
        std::uint8_t buffer[2048];
        while (!done.load()) {
            const int n = epoll_wait(poller, events.data(), static_cast<int>(events.size()), 50);
            for (int e = 0; e < n; ++e) {
                const int fd = engines[events[e].data.u32]->udp;
                for (;;) {
                    const ssize_t size = recv(fd, buffer, sizeof buffer, 0);
                    if (size < 0) {
                        break;
                    }
                    if (size < static_cast<ssize_t>(qv::media::kHeaderSize) ||
                        (buffer[1] & 0x7F) != qv::media::kVoicePayloadType) {
                        continue;  // the keepalive answers
                    }
                    const std::uint64_t sequence = (std::uint64_t{buffer[2]} << 8) | buffer[3];
                    if (sequence < sentAt.size()) {
                        delays.push_back(NowNs() - sentAt[sequence].load());
                        ++voiceReceived;
                    }
                }
            }
        }
    });

    // Let the bindings land before the clock starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double cpuBefore = server.CpuSeconds();
    const auto start = Clock::now();
    const std::vector<std::uint8_t> opus(60, 0x5A);  // 24 kbit/s at 20 ms
    for (int p = 1; p <= packets; ++p) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(kFrameMs * (p - 1)));
        qv::media::MediaHeader header;
        header.sequence = static_cast<std::uint64_t>(p) + 1;  // the keepalive was 1
        header.timestamp = static_cast<std::uint32_t>(p * 960);
        header.streamId = speaker.streamId;
        header.level = 30;
        header.marker = p == 1;
        const auto datagram =
            qv::media::Seal(speaker.keys, qv::media::Direction::kUp, header, opus);
        sentAt[header.sequence].store(NowNs());
        SendTo(speaker.udp, datagram, speaker.udpPort);
    }
    // What is still on its way.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = server.CpuSeconds() - cpuBefore;
    done.store(true);
    receiver.join();
    bench.Io().stop();
    control.join();

    std::sort(delays.begin(), delays.end());
    const double p99 =
        delays.empty() ? 0.0 : static_cast<double>(delays[(delays.size() - 1) * 99 / 100]) / 1e6;
    const double expected = static_cast<double>(packets) * listeners;
    const double lost = 100.0 * (expected - static_cast<double>(voiceReceived)) / expected;
    std::printf(
        "forum fan-out: 1 speaker, %d listeners joined by JoinGroup in %.0f ms, server cpu "
        "%.1f%%, forwarded p99 %.2f ms, lost %.2f%%\n",
        listeners, bench.JoinMs(), 100.0 * cpu / wall, p99, lost);
    for (auto& engine : engines) {
        ::close(engine->udp);
    }
    ::close(poller);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int listeners = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    signal(SIGPIPE, SIG_IGN);
    qv::voicesvc::RaiseFileLimit();

    char folder[] = "/tmp/qv_forum_fanout_bench.XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        Fail("no temporary folder");
    }
    const std::string keyPath = std::string(folder) + "/ticket.key";
    qv::ticket::SecretKey key{};
    std::string error;
    if (!qv::ticket::LoadOrCreateSigningKey(keyPath, key, error)) {
        Fail(error);
    }
    qv::test::TestCertificates tls;
    if (!qv::test::TestCertificates::Make(std::string(folder) + "/", tls)) {
        Fail("cannot make certificates");
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
        if (!server.Ready()) {
            std::fprintf(stderr, "qv_forum_fanout_bench: the server did not start\n");
        } else {
            result = Run(listeners, seconds, plainPort, key, server);
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
