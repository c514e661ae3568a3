// A witness's ping round trip on the real sonaro-server, first alone and then while another
// client replaces a 7500-id watch list 180 times a second (and reads every answer). Both talk
// TLS to the server and log in with tickets signed here, as the directory signs them. Prints one
// line.
//
//   qv_voice_churn_bench [seconds of churn] [list budget, ids a second]
//
// A huge budget (100000000) shows the server without one.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TicketKeys.h"
#include "VoiceProtocol.h"
#include "support/ListeningProcess.h"
#include "support/TestCertificates.h"
#include "support/TlsChannel.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace voice = qv::voice;
using qv::test::TlsChannel;

constexpr int kListIds = 7500;
// Just under the flood limit (200 frames a second), which would close the churner outright.
constexpr int kReplacesPerSecond = 180;

// sonaro-server on a free port with the given certificate; SIGTERM when it goes.
std::unique_ptr<qv::test::ListeningProcess> StartServer(const std::string& ticketPublicKey,
                                                        const qv::test::TestCertificates& tls,
                                                        const std::string& budget) {
    std::vector<std::string> args = {QV_VOICE_SERVER_PROGRAM, "--listen",      "127.0.0.1:0",
                                     "--ticket-public-key",   ticketPublicKey, "--certificate",
                                     tls.certificateFile,     "--private-key", tls.keyFile};
    if (!budget.empty()) {
        args.insert(args.end(), {"--list-ids-per-second", budget, "--list-ids-burst", budget});
    }
    return std::make_unique<qv::test::ListeningProcess>(std::move(args), "/dev/null");
}

// One logged-in client over TLS.
class Client {
  public:
    Client(int port, const std::string& caFile, const std::string& id,
           const qv::ticket::SecretKey& key) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return;
        }
        tls_ = TlsChannel::Client(fd, caFile, 10000);
        qv::ticket::VoiceTicket ticket;
        ticket.userId = id;
        ticket.nickname = "n";
        ticket.expires = std::time(nullptr) + 300;
        ticket.nonce = qv::ticket::NewNonce();
        ticket.cluster = "quorvane";
        if (tls_ &&
            Send(voice::Encode(voice::Hello{voice::kProtocolVersion, 402}) +
                 voice::Encode(voice::RegisterTicket{id, "n", qv::ticket::Sign(ticket, key)}))) {
            registered_ = Wait(voice::MessageType::kRegistered, 10000);
        }
    }
    bool Ready() const { return registered_; }
    bool Send(const std::string& bytes) { return tls_->Send(bytes); }
    // Reads until a frame of that type came; false on the deadline or the end.
    bool Wait(voice::MessageType type, int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        voice::Frame frame;
        for (;;) {
            while (reader_.Next(frame) == voice::FrameReader::Result::kFrame) {
                if (frame.type == type) {
                    return true;
                }
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0 || !Fill(static_cast<int>(left))) {
                return false;
            }
        }
    }
    // Takes whatever arrives within timeoutMs; the Watch frames it held.
    int Drain(int timeoutMs) {
        int watches = 0;
        // Everything there is, so the server never sees this client fall behind.
        for (int wait = timeoutMs; Fill(wait); wait = 0) {
            voice::Frame frame;
            while (reader_.Next(frame) == voice::FrameReader::Result::kFrame) {
                watches += frame.type == voice::MessageType::kWatch ? 1 : 0;
            }
        }
        return watches;
    }

  private:
    bool Fill(int timeoutMs) {
        char buffer[65536];
        const int n = tls_->Receive(buffer, sizeof buffer, timeoutMs);
        if (n > 0) {
            reader_.Append(buffer, static_cast<std::size_t>(n));
        }
        return n > 0;
    }

    std::unique_ptr<TlsChannel> tls_;
    voice::FrameReader reader_;
    bool registered_ = false;
};

// Round trips of the witness's pings, one every 10 ms, until stop.
std::vector<double> Pings(Client& witness, const std::atomic<bool>& stop) {
    std::vector<double> rtts;
    std::uint32_t sequence = 0;
    while (!stop) {
        const auto sent = Clock::now();
        if (!witness.Send(voice::EncodePing({++sequence, 0})) ||
            !witness.Wait(voice::MessageType::kPong, 30000)) {
            std::fprintf(stderr, "qv_voice_churn_bench: the witness got no pong\n");
            std::exit(1);
        }
        rtts.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return rtts;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string budget = argc > 2 ? argv[2] : "";
    signal(SIGPIPE, SIG_IGN);
    char folderTemplate[] = "/tmp/qv-churn-XXXXXX";
    const char* folder = ::mkdtemp(folderTemplate);
    qv::test::TestCertificates tls;
    if (folder == nullptr || !qv::test::TestCertificates::Make(std::string(folder) + "/", tls)) {
        std::fprintf(stderr, "qv_voice_churn_bench: cannot make certificates\n");
        return 1;
    }

    const std::string keyPath = std::string(folder) + "/ticket.key";
    qv::ticket::SecretKey key{};
    std::string error;
    if (!qv::ticket::LoadOrCreateSigningKey(keyPath, key, error)) {
        std::fprintf(stderr, "qv_voice_churn_bench: %s\n", error.c_str());
        return 1;
    }

    int result = 1;
    {
        const auto server = StartServer(qv::ticket::PublicKeyPath(keyPath), tls, budget);
        Client witness(server->Port(), tls.caFile, "1001", key);
        Client churner(server->Port(), tls.caFile, "1002", key);
        if (server->Port() <= 0 || !witness.Ready() || !churner.Ready()) {
            std::fprintf(stderr, "qv_voice_churn_bench: the server or a login failed\n");
        } else {
            std::atomic<bool> stop{false};
            std::thread baseline([&] {
                std::this_thread::sleep_for(std::chrono::seconds(2));
                stop = true;
            });
            const std::vector<double> alone = Pings(witness, stop);
            baseline.join();

            std::string list;
            for (int i = 0; i < kListIds; ++i) {
                list += std::to_string(2000000 + i) + "\n";
            }
            const std::string replace = voice::EncodeWatchList({0, list});
            stop = false;
            std::atomic<long> answers{0};
            std::atomic<int> sent{0};
            const auto churnStart = Clock::now();
            std::thread churn([&] {
                const auto end = Clock::now() + std::chrono::seconds(seconds);
                auto next = Clock::now();
                while (Clock::now() < end) {
                    if (Clock::now() >= next) {
                        // Sends never wait long: the server stops reading, the kernel buffers.
                        churner.Send(replace);
                        ++sent;
                        next += std::chrono::microseconds(1000000 / kReplacesPerSecond);
                    }
                    answers += churner.Drain(1);
                }
                stop = true;
            });
            const std::vector<double> churned = Pings(witness, stop);
            churn.join();
            // Longer than asked when the server held the churner's last send back.
            const double churnSeconds =
                std::chrono::duration<double>(Clock::now() - churnStart).count();
            std::printf(
                "voice churn: witness ping alone p50 %.2f ms p99 %.2f ms; while one client "
                "replaces a %d-id watch list %d/s for %.1f s (%d sent, %ld watches answered): "
                "p50 %.2f ms p99 %.2f ms max %.2f ms\n",
                Percentile(alone, 0.5), Percentile(alone, 0.99), kListIds, kReplacesPerSecond,
                churnSeconds, sent.load(), answers.load(), Percentile(churned, 0.5),
                Percentile(churned, 0.99), Percentile(churned, 1.0));
            result = 0;
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
