#include "http/HttpFront.h"

#include <sys/socket.h>

#include <chrono>
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
constexpr auto kStartWait = std::chrono::seconds(5);

void SetReply(httplib::Response& response, const Reply& reply) {
    response.status = reply.Status();
    response.set_content(reply.Body(), kTextType);
}

}  // namespace

HttpFront::HttpFront(const PageRouter& router, RequestLog& log, const Clock& clock,
                     HttpLimits limits)
    : router_(router), log_(log), clock_(clock), limits_(limits) {}

HttpFront::~HttpFront() {
    Stop();
}

int HttpFront::Start(const std::string& host, int port) {
    Stop();
    server_ = std::make_unique<httplib::Server>();
    httplib::Server& server = *server_;

    const size_t threads = limits_.threads == 0 ? 1 : limits_.threads;
    // httplib owns and deletes the queue it is given.
    server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server.set_payload_max_length(limits_.maxBody);
    server.set_read_timeout(limits_.readTimeoutSeconds, 0);
    server.set_write_timeout(limits_.writeTimeoutSeconds, 0);
    server.set_keep_alive_max_count(limits_.keepAliveRequests);
    server.set_keep_alive_timeout(limits_.keepAliveSeconds);
    server.set_tcp_nodelay(true);
    // httplib's default also sets SO_REUSEPORT, which would let a second service share the
    // port silently instead of failing to start.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

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

    int bound = -1;
    if (port == 0) {
        bound = server.bind_to_any_port(host);
    } else if (server.bind_to_port(host, port)) {
        bound = port;
    }
    if (bound <= 0) {
        server_.reset();
        return -1;
    }
    thread_ = std::thread([&server] { server.listen_after_bind(); });
    // stop() before the accept loop has begun would be lost; wait until it runs.
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (!server.is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return bound;
}

void HttpFront::Stop() {
    if (server_ != nullptr) {
        server_->stop();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    server_.reset();
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
