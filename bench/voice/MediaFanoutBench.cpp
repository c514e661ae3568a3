// One speaker and hundreds of listeners straight at the media relay, as a large forum would
// load it: the speaker sends a 20 ms Opus-sized packet, the relay opens it and re-seals it for
// every listener, light receivers (one UDP socket each, read on one thread with epoll) time each
// arrival against the moment the packet was sent. Prints one line: the relay thread's CPU as a
// share of one core, the 99th percentile of send-to-arrival, and what never arrived.
//
//   qv_media_fanout_bench [listeners] [seconds]

#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MediaPacket.h"
#include "MediaRelay.h"

namespace {

using Clock = std::chrono::steady_clock;
using qv::voicesvc::MediaRelay;
using qv::voicesvc::MediaRouting;
using qv::voicesvc::SessionId;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

int UdpSocket() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::perror("socket");
        std::exit(1);
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

qv::media::MediaKeys Keys(std::uint32_t seed) {
    qv::media::MediaKeys keys;
    for (std::size_t i = 0; i < keys.key.size(); ++i) {
        keys.key[i] = static_cast<std::uint8_t>(seed * 7 + i);
    }
    for (std::size_t i = 0; i < keys.token.size(); ++i) {
        keys.token[i] = static_cast<std::uint8_t>(seed * 13 + i);
    }
    return keys;
}

}  // namespace

int main(int argc, char** argv) {
    const int listeners = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    constexpr int kFrameMs = 20;
    const int packets = seconds * 1000 / kFrameMs;

    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    MediaRelay::Settings settings;
    // The budget of a real session would let a speaker through too; this one is the relay's.
    MediaRelay relay(settings, nullptr);
    std::string error;
    const int port = relay.Start(error);
    if (port < 0) {
        std::fprintf(stderr, "qv_media_fanout_bench: %s\n", error.c_str());
        return 1;
    }
    // Session 1 speaks; 2.. listen. Stream ids follow the sessions.
    std::vector<SessionId> listening;
    for (int i = 0; i <= listeners; ++i) {
        const auto session = static_cast<SessionId>(i + 1);
        relay.AddSession(session, static_cast<std::uint32_t>(session), Keys(session));
        if (i > 0) {
            listening.push_back(session);
        }
    }
    relay.SetListeners(MediaRouting::Listeners{
        {1, std::make_shared<const std::vector<SessionId>>(std::move(listening))}});

    const int speaker = UdpSocket();
    std::vector<int> sockets(static_cast<std::size_t>(listeners));
    const int poller = epoll_create1(0);
    for (int i = 0; i < listeners; ++i) {
        sockets[i] = UdpSocket();
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u32 = static_cast<std::uint32_t>(i);
        epoll_ctl(poller, EPOLL_CTL_ADD, sockets[i], &event);
        // Each listener binds its address with a keepalive, as an engine does.
        const auto session = static_cast<std::uint32_t>(i + 2);
        SendTo(sockets[i],
               qv::media::SealKeepalive(Keys(session), qv::media::Direction::kUp, session, 1),
               port);
    }
    SendTo(speaker, qv::media::SealKeepalive(Keys(1), qv::media::Direction::kUp, 1, 1), port);

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
                const int fd = sockets[events[e].data.u32];
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
    const double cpuBefore = relay.CpuSeconds();
    const auto start = Clock::now();
    const std::vector<std::uint8_t> opus(60, 0x5A);  // 24 kbit/s at 20 ms
    for (int p = 1; p <= packets; ++p) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(kFrameMs * (p - 1)));
        qv::media::MediaHeader header;
        header.sequence = static_cast<std::uint64_t>(p) + 1;  // the keepalive was 1
        header.timestamp = static_cast<std::uint32_t>(p * 960);
        header.streamId = 1;
        header.level = 30;
        header.marker = p == 1;
        const auto datagram = qv::media::Seal(Keys(1), qv::media::Direction::kUp, header, opus);
        sentAt[header.sequence].store(NowNs());
        SendTo(speaker, datagram, port);
    }
    // What is still on its way.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = relay.CpuSeconds() - cpuBefore;
    done.store(true);
    receiver.join();
    relay.Stop();

    std::sort(delays.begin(), delays.end());
    const double p99 =
        delays.empty() ? 0.0 : static_cast<double>(delays[(delays.size() - 1) * 99 / 100]) / 1e6;
    const double expected = static_cast<double>(packets) * listeners;
    const double lost = 100.0 * (expected - static_cast<double>(voiceReceived)) / expected;
    std::printf(
        "media fan-out: 1 speaker, %d listeners, server cpu %.1f%%, forwarded p99 %.2f ms, lost "
        "%.2f%%\n",
        listeners, 100.0 * cpu / wall, p99, lost);
    for (int fd : sockets) {
        close(fd);
    }
    close(speaker);
    close(poller);
    return 0;
}
