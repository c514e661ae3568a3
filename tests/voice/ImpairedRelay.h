#pragma once

// A UDP relay between engines and the voice server's media port that makes the network worse on
// purpose, the same way on every run (seeded): each datagram, either way, is delayed by a fixed
// time plus a random jitter (so datagrams overtake each other) or lost. Each engine's address
// gets a socket of its own towards the server, so the server sees one source per engine, as
// behind a NAT. Runs on its own thread.

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <queue>
#include <random>
#include <thread>
#include <vector>

namespace qv::test {

struct Impairment {
    int delayMs = 0;
    int jitterMs = 0;        // uniform 0..jitterMs more
    double lossPercent = 0;  // each datagram, each way
    std::uint32_t seed = 1;
};

class ImpairedRelay {
  public:
    // Relays to 127.0.0.1:serverPort.
    ImpairedRelay(std::uint16_t serverPort, Impairment impairment);
    ~ImpairedRelay();
    ImpairedRelay(const ImpairedRelay&) = delete;
    ImpairedRelay& operator=(const ImpairedRelay&) = delete;

    // Where engines send.
    std::uint16_t Port() const { return port_; }
    std::uint64_t Forwarded() const { return forwarded_.load(); }
    std::uint64_t Lost() const { return lost_.load(); }

  private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        std::uint64_t order = 0;
        int socket = -1;
        sockaddr_in to{};
        bool connected = false;  // the socket is connected: no address
        std::vector<std::uint8_t> bytes;
        bool operator>(const Pending& other) const {
            return due != other.due ? due > other.due : order > other.order;
        }
    };
    struct Client {
        sockaddr_in address{};
        int socket = -1;  // towards the server
    };

    void Run();
    void Schedule(int socket, const sockaddr_in* to, std::vector<std::uint8_t> bytes);
    int ClientSocket(const sockaddr_in& from);

    const std::uint16_t serverPort_;
    const Impairment impairment_;
    int front_ = -1;
    std::uint16_t port_ = 0;
    int wake_[2] = {-1, -1};
    std::vector<Client> clients_;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> pending_;
    std::uint64_t order_ = 0;
    std::mt19937 random_;
    std::atomic<std::uint64_t> forwarded_{0};
    std::atomic<std::uint64_t> lost_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace qv::test
