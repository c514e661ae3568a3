#include "TestHttpServer.h"

#include <httplib.h>

#include <chrono>

namespace qv::test {

namespace {

constexpr auto kPatience = std::chrono::seconds(10);

std::string PageOf(const std::string& target) {
    std::string path = target.substr(0, target.find('?'));
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && name.ends_with(".asp")) {
        return name.substr(0, name.size() - 4);
    }
    return path;
}

bool IsProbe(const TestHttpServer::Request& r) {
    return r.page == "/it.html" || r.page == "/" || r.page.empty();
}

}  // namespace

TestHttpServer::TestHttpServer() : server_(std::make_unique<httplib::Server>()) {
    auto handle = [this](const httplib::Request& req, httplib::Response& res) {
        Request r;
        r.method = req.method;
        r.target = req.target;
        r.page = PageOf(req.target);
        r.body = req.body;
        r.hasContentType = req.has_header("Content-Type");
        r.contentType = req.get_header_value("Content-Type");
        r.userAgent = req.get_header_value("User-Agent");
        r.cacheControl = req.get_header_value("Cache-Control");
        r.pragma = req.get_header_value("Pragma");
        std::string body = Respond(std::move(r));
        // No content type: the client must not care about one.
        res.body = std::move(body);
        res.status = 200;
    };
    server_->Get(".*", handle);
    server_->Post(".*", handle);
    server_->set_tcp_nodelay(true);
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

TestHttpServer::~TestHttpServer() {
    server_->stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string TestHttpServer::Host() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void TestHttpServer::Answer(const std::string& page, Responder responder) {
    std::lock_guard lock(mutex_);
    responders_[page] = std::move(responder);
}

void TestHttpServer::Answer(const std::string& page, std::string body) {
    Answer(page, [body = std::move(body)](const Request&, int) { return body; });
}

std::string TestHttpServer::Respond(Request request) {
    Responder responder;
    int attempt = 0;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        attempt = ++attempts_[request.page];
        auto it = responders_.find(request.page);
        if (it != responders_.end()) {
            responder = it->second;
        }
    }
    arrived_.notify_all();
    if (IsProbe(request)) {
        return "<html>ok</html>";
    }
    return responder ? responder(request, attempt) : std::string("Success\xFF");
}

std::vector<TestHttpServer::Request> TestHttpServer::PageRequests() const {
    std::lock_guard lock(mutex_);
    std::vector<Request> pages;
    for (const Request& r : requests_) {
        if (!IsProbe(r)) {
            pages.push_back(r);
        }
    }
    return pages;
}

std::vector<TestHttpServer::Request> TestHttpServer::AllRequests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t TestHttpServer::Count(const std::string& page) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const Request& r : requests_) {
        n += r.page == page ? 1 : 0;
    }
    return n;
}

bool TestHttpServer::WaitForCount(const std::string& page, std::size_t count) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, kPatience, [&] {
        std::size_t n = 0;
        for (const Request& r : requests_) {
            n += r.page == page ? 1 : 0;
        }
        return n >= count;
    });
}

void Gate::Open() {
    {
        std::lock_guard lock(mutex_);
        open_ = true;
    }
    changed_.notify_all();
}

bool Gate::Wait() {
    std::unique_lock lock(mutex_);
    ++waiters_;
    changed_.notify_all();
    return changed_.wait_for(lock, kPatience, [&] { return open_; });
}

bool Gate::WaitForWaiter() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return waiters_ > 0; });
}

}  // namespace qv::test
