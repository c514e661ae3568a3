#include "http/HttpFront.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>

#include <httplib.h>

#include "http/PageRouter.h"
#include "http/RequestLog.h"
#include "http/RequestTarget.h"
#include "util/Clock.h"

namespace qv::dirsvc {

namespace {

// The bytes 0x80-0xFF are the client's 8-bit code page.
constexpr const char* kTextType = "text/plain; charset=ISO-8859-1";
constexpr const char* kProbePage = "<html><body>OK</body></html>\n";
constexpr const char* kRootPage = "Quorvane directory service\n";

void SetReply(httplib::Response& response, const Reply& reply) {
    response.status = reply.Status();
    response.set_content(reply.Body(), kTextType);
}

// One whole request for httplib to read, and the reply it writes.
class RequestBytes final : public httplib::Stream {
  public:
    explicit RequestBytes(const RawRequest& request) : request_(request) {}

    bool is_readable() const override { return position_ < request_.bytes.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, request_.bytes.size() - position_);
        std::memcpy(ptr, request_.bytes.data() + position_, n);
        position_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        output_.append(ptr, size);
        return static_cast<ssize_t>(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = request_.remoteAddress;
        port = request_.remotePort;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip.clear();
        port = 0;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

    std::string TakeOutput() { return std::move(output_); }

  private:
    const RawRequest& request_;
    size_t position_ = 0;
    std::string output_;
};

}  // namespace

// httplib's request parsing and routing, fed whole requests instead of sockets.
class HttpFront::PageServer : public httplib::Server {
  public:
    using httplib::Server::process_request;
};

HttpFront::HttpFront(const PageRouter& router, RequestLog& log, const Clock& clock,
                     HttpLimits limits)
    : router_(router), log_(log), clock_(clock), limits_(limits) {}

HttpFront::~HttpFront() {
    Stop();
}

int HttpFront::Start(const std::string& host, int port) {
    Stop();
    server_ = std::make_unique<PageServer>();
    httplib::Server& server = *server_;

    server.set_payload_max_length(limits_.maxBody);
    // Only shown in the Keep-Alive header; HttpConnections enforces them.
    server.set_keep_alive_max_count(limits_.keepAliveRequests);
    server.set_keep_alive_timeout(limits_.keepAliveSeconds);

    // GET and HEAD are answered before httplib's own routing; a POST goes through it so that
    // httplib reads (and bounds) the body first.
    server.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            if (request.method == "POST") {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            if (request.method != "GET" && request.method != "HEAD") {
                SetReply(response, Reply::Fail("Method not allowed").WithStatus(405));
            } else {
                Serve(request, response);
            }
            return httplib::Server::HandlerResponse::Handled;
        });
    server.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Serve(request, response);
    });
    // Whatever httplib refuses itself (bad request line, too long, too large) still gets a body
    // in the client's grammar.
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            response.set_content(std::string("Fail") + Reply::kSeparator + "HTTP error " +
                                     std::to_string(response.status),
                                 kTextType);
        }
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            SetReply(response, Reply::Fail("Internal error").WithStatus(500));
        });
    server.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        log_.Write(clock_.Now(), request.remote_addr, request.method, request.target,
                   response.status, response.body);
    });

    ConnectionLimits limits;
    limits.workers = limits_.threads == 0 ? 1 : limits_.threads;
    limits.maxConnections = limits_.maxConnections;
    limits.maxPerAddress = limits_.maxConnectionsPerAddress;
    limits.maxBody = limits_.maxBody;
    limits.requestTimeout = std::chrono::seconds(limits_.readTimeoutSeconds);
    limits.writeTimeout = std::chrono::seconds(limits_.writeTimeoutSeconds);
    limits.idleTimeout = std::chrono::seconds(limits_.keepAliveSeconds);
    limits.requestsPerConnection = limits_.keepAliveRequests;
    connections_ = std::make_unique<HttpConnections>(
        limits, [this](const RawRequest& request) { return Answer(request); });
    const int bound = connections_->Start(host, port);
    if (bound <= 0) {
        connections_.reset();
        server_.reset();
        return -1;
    }
    return bound;
}

void HttpFront::Stop() {
    if (connections_ != nullptr) {
        connections_->Stop();
        connections_.reset();
    }
    server_.reset();
}

RawReply HttpFront::Answer(const RawRequest& request) {
    RequestBytes stream(request);
    bool closed = false;
    const bool handled = server_->process_request(stream, request.lastOnConnection, closed,
                                                  [](httplib::Request&) {});
    return {stream.TakeOutput(), !handled || closed || request.lastOnConnection};
}

void HttpFront::Serve(const httplib::Request& request, httplib::Response& response) {
    try {
        const RequestTarget target = RequestTarget::Parse(request.target);
        switch (target.kind) {
            case RequestTarget::Kind::kRoot:
                response.set_content(kRootPage, "text/plain");
                return;
            case RequestTarget::Kind::kProbe:
                response.set_content(kProbePage, "text/html");
                return;
            case RequestTarget::Kind::kUnknown:
                SetReply(response, Reply::Fail("Not found").WithStatus(404));
                return;
            case RequestTarget::Kind::kPage:
                break;
        }
        const Query query = Query::Parse(target.rawQuery);
        const PageRequest page{target.page,         query,          target.rawQuery,
                               request.remote_addr, request.method, request.body};
        SetReply(response, router_.Dispatch(page));
    } catch (const std::exception&) {
        SetReply(response, Reply::Fail("Internal error").WithStatus(500));
    }
}

}  // namespace qv::dirsvc
