#pragma once

// The service's connections, event-driven on one Asio thread: accepting, collecting whole
// requests, writing replies, timing out the idle and the slow. Only a complete request reaches
// a worker thread, so an idle or slow connection costs a socket and a small buffer, never a
// worker. Connections are bounded in total and per caller's address; at a bound the
// connection that has been idle longest makes room.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace qv::dirsvc {

struct ConnectionLimits {
    size_t workers = 8;
    size_t maxConnections = 1024;
    size_t maxPerAddress = 128;
    size_t maxHead = 16 * 1024;
    size_t maxBody = 8 * 1024 * 1024;
    // All request bodies being received at once, whatever the number of connections.
    size_t bodyBudget = 64 * 1024 * 1024;
    std::chrono::milliseconds requestTimeout{10000};  // first byte to last byte of a request
    std::chrono::milliseconds idleTimeout{5000};      // between requests
    std::chrono::milliseconds writeTimeout{10000};
    size_t requestsPerConnection = 100;
};

struct RawRequest {
    std::string bytes;
    std::string remoteAddress;
    int remotePort = 0;
    bool lastOnConnection = false;  // the reply must close the connection
};

struct RawReply {
    std::string bytes;
    bool close = false;
};

class HttpConnections {
  public:
    // Runs on a worker thread, never on the connection thread.
    using Handler = std::function<RawReply(const RawRequest&)>;

    HttpConnections(ConnectionLimits limits, Handler handler);
    ~HttpConnections();
    HttpConnections(const HttpConnections&) = delete;
    HttpConnections& operator=(const HttpConnections&) = delete;

    // Binds host:port (0: any free port) and starts serving; the bound port, or -1.
    int Start(const std::string& host, int port);
    // Stops accepting, finishes the requests under way, closes everything and joins.
    void Stop();

  private:
    class Engine;
    ConnectionLimits limits_;
    Handler handler_;
    std::unique_ptr<Engine> engine_;
};

}  // namespace qv::dirsvc
