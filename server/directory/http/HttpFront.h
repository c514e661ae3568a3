#pragma once

// The HTTP side. Connections are held by HttpConnections (event-driven, so idle and slow
// callers hold no thread); each complete request is parsed and answered by cpp-httplib on a
// worker thread, with its limits set, routed by the service's own target parsing (httplib's
// query decoding turns '+' into a space and loses repeated keys), one log line per request.

#include <cstddef>
#include <memory>
#include <string>

#include "http/HttpConnections.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace qv::dirsvc {

class Clock;
class PageRouter;
class RequestLog;

struct HttpLimits {
    size_t threads = 8;                // workers answering complete requests
    size_t maxBody = 8 * 1024 * 1024;  // uploads are voice mail files
    int readTimeoutSeconds = 10;       // a whole request, first byte to last
    int writeTimeoutSeconds = 10;
    size_t keepAliveRequests = 100;
    int keepAliveSeconds = 5;
    size_t maxConnections = 1024;
    size_t maxConnectionsPerAddress = 128;
};

class HttpFront {
  public:
    HttpFront(const PageRouter& router, RequestLog& log, const Clock& clock, HttpLimits limits);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Binds host:port (port 0: any free one) and serves on a thread of its own. The bound port,
    // or -1 when it cannot bind.
    int Start(const std::string& host, int port);
    // Stops accepting, finishes the requests under way and joins the thread.
    void Stop();

  private:
    class PageServer;

    void Serve(const httplib::Request& request, httplib::Response& response);
    RawReply Answer(const RawRequest& request);

    const PageRouter& router_;
    RequestLog& log_;
    const Clock& clock_;
    HttpLimits limits_;
    std::unique_ptr<PageServer> server_;
    std::unique_ptr<HttpConnections> connections_;
};

}  // namespace qv::dirsvc
