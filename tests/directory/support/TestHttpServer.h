#pragma once

// A small HTTP server on an ephemeral loopback port that stands in for the directory service in
// transport tests: every request is recorded, and each page answers from a scripted responder.

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace qv::test {

class TestHttpServer {
  public:
    struct Request {
        std::string method;
        std::string target;  // as sent: path and query, undecoded
        std::string page;    // the page name without ".asp" ("LoginEx2"), or the path ("/it.html")
        std::string body;
        std::string contentType;
        bool hasContentType = false;
        std::string userAgent;
        std::string cacheControl;
        std::string pragma;
    };
    // The body to answer with; the attempt count starts at 1 for each page.
    using Responder = std::function<std::string(const Request& request, int attempt)>;

    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int Port() const { return port_; }
    // "127.0.0.1:port", the WebServer value that reaches this server.
    std::string Host() const;

    // Pages without a responder answer "Success" followed by the item separator.
    void Answer(const std::string& page, Responder responder);
    void Answer(const std::string& page, std::string body);

    // Every request but the probes (the root and /it.html), in arrival order.
    std::vector<Request> PageRequests() const;
    std::vector<Request> AllRequests() const;
    std::size_t Count(const std::string& page) const;
    // Waits (up to 10 s) until the page has been asked for count times.
    bool WaitForCount(const std::string& page, std::size_t count) const;

  private:
    std::string Respond(Request request);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::map<std::string, Responder> responders_;
    std::map<std::string, int> attempts_;
    std::vector<Request> requests_;
};

// Blocks responders until opened, for requests that must stay in flight. It must outlive the
// server: a responder may still be leaving Wait after Open.
class Gate {
  public:
    void Open();
    // Waits until opened (up to 10 s); true when it was.
    bool Wait();
    // Waits until a responder is blocked in Wait (up to 10 s).
    bool WaitForWaiter();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int waiters_ = 0;
};

}  // namespace qv::test
