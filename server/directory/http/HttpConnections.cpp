#include "http/HttpConnections.h"

#include <sys/resource.h>

#include <array>
#include <exception>
#include <list>
#include <string_view>
#include <thread>
#include <unordered_map>

#include <asio.hpp>

#include "http/RequestFraming.h"

namespace qv::dirsvc {

namespace {

using asio::ip::tcp;
using Steady = std::chrono::steady_clock;

constexpr size_t kReadChunk = 16 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
// After a reply that ends the connection, what the caller still sends is read and dropped for
// a moment, so that it gets to read the reply instead of a reset.
constexpr auto kLinger = std::chrono::seconds(2);
constexpr size_t kLingerBytes = 1024 * 1024;
// Sockets the process keeps for itself (database, mail, log) beside the connections.
constexpr rlim_t kReservedDescriptors = 64;
// A failed accept (out of descriptors) is retried after this pause, not at once.
constexpr auto kAcceptPause = std::chrono::milliseconds(50);

std::string Canned(int status, std::string_view reason, std::string_view message) {
    std::string body = "Fail\xFF";
    body.append(message);
    std::string reply = "HTTP/1.1 " + std::to_string(status) + " ";
    reply.append(reason);
    reply += "\r\nContent-Type: text/plain; charset=ISO-8859-1\r\nContent-Length: " +
             std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    return reply;
}

const std::string& BusyReply() {
    static const std::string reply =
        Canned(503, "Service Unavailable", "The service is busy. Please try again in a moment.");
    return reply;
}

const std::string& InternalErrorReply() {
    static const std::string reply = Canned(500, "Internal Server Error", "Internal error");
    return reply;
}

}  // namespace

class HttpConnections::Engine {
  public:
    class Connection;

    Engine(const ConnectionLimits& limits, const Handler& handler)
        : limits_(limits),
          handler_(handler),
          guard_(asio::make_work_guard(io_)),
          acceptor_(io_),
          acceptPause_(io_),
          pool_(limits.workers == 0 ? 1 : limits.workers) {}
    ~Engine() { Stop(); }

    int Start(const std::string& host, int port);
    void Stop();

    const ConnectionLimits& Limits() const { return limits_; }
    bool Stopping() const { return stopping_; }
    bool ReserveBody(size_t bytes);
    void ReleaseBody(size_t bytes) { bodyReserved_ -= bytes; }
    void Remove(Connection& connection);
    void Run(std::shared_ptr<Connection> connection, RawRequest request);

  private:
    void Accept();
    void Admit(tcp::socket socket);
    bool Evict(const std::string* address);

    ConnectionLimits limits_;
    const Handler& handler_;
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> guard_;
    tcp::acceptor acceptor_;
    asio::steady_timer acceptPause_;
    asio::thread_pool pool_;
    std::thread thread_;
    bool started_ = false;
    bool stopped_ = false;
    // Below here: touched on the connection thread only.
    bool stopping_ = false;
    size_t bodyReserved_ = 0;
    std::list<std::shared_ptr<Connection>> connections_;
    std::unordered_map<std::string, size_t> perAddress_;
};

class HttpConnections::Engine::Connection : public std::enable_shared_from_this<Connection> {
  public:
    enum class State { kIdle, kReading, kProcessing, kWriting, kLingering, kClosed };

    Connection(Engine& engine, tcp::socket socket, std::string address, int port)
        : engine_(engine),
          socket_(std::move(socket)),
          timer_(socket_.get_executor()),
          address_(std::move(address)),
          port_(port),
          last_(Steady::now()) {}

    std::list<std::shared_ptr<Connection>>::iterator position;

    const std::string& Address() const { return address_; }
    Steady::time_point LastActivity() const { return last_; }
    // Waiting for a request or receiving one: no worker holds it, so it may make room.
    bool Evictable() const {
        return state_ == State::kIdle || state_ == State::kReading || state_ == State::kLingering;
    }

    void Begin() {
        state_ = State::kIdle;
        Arm(engine_.Limits().idleTimeout);
        Read();
    }

    // At Stop: what waits for a request ends now, a request under way gets its reply first.
    void Shutdown() {
        if (Evictable()) {
            Close();
        } else {
            closeWanted_ = true;
        }
    }

    void Close() {
        if (state_ == State::kClosed) {
            return;
        }
        const auto keep = shared_from_this();
        state_ = State::kClosed;
        std::error_code ignored;
        socket_.close(ignored);
        timer_.cancel();
        ReleaseBody();
        engine_.Remove(*this);
    }

    void OnReply(RawReply reply) {
        if (state_ == State::kClosed) {
            return;
        }
        ReleaseBody();
        closeWanted_ = closeWanted_ || reply.close;
        Send(std::move(reply.bytes));
    }

  private:
    void Read() {
        if (reading_ || state_ == State::kClosed) {
            return;
        }
        reading_ = true;
        socket_.async_read_some(asio::buffer(chunk_),
                                [self = shared_from_this()](std::error_code error, size_t got) {
                                    self->OnRead(error, got);
                                });
    }

    void OnRead(std::error_code error, size_t got) {
        reading_ = false;
        if (state_ == State::kClosed) {
            return;
        }
        if (error) {
            Close();
            return;
        }
        last_ = Steady::now();
        if (state_ == State::kLingering) {
            lingered_ += got;
            if (lingered_ > kLingerBytes) {
                Close();
            } else {
                Read();
            }
            return;
        }
        in_.append(chunk_.data(), got);
        Frame();
    }

    // Looks for a whole request in what has arrived.
    void Frame() {
        if (in_.empty()) {
            state_ = State::kIdle;
            Arm(engine_.Limits().idleTimeout);
            Read();
            return;
        }
        if (state_ == State::kIdle) {
            // The whole request must arrive within the request timeout of its first byte.
            state_ = State::kReading;
            Arm(engine_.Limits().requestTimeout);
        }
        const ConnectionLimits& limits = engine_.Limits();
        const RequestFrame frame = FrameRequest(in_, limits.maxHead, limits.maxBody);
        if (frame.headComplete && frame.bodyLength > 0 && reserved_ == 0 && !frame.closeAfter) {
            if (!engine_.ReserveBody(frame.bodyLength)) {
                closeWanted_ = true;
                in_.clear();
                Send(BusyReply());
                return;
            }
            reserved_ = frame.bodyLength;
        }
        if (frame.state == RequestFrame::State::kNeedMore) {
            if (frame.expectContinue && !continueSent_) {
                // Nothing else is being written now, so this small write does not wait.
                continueSent_ = true;
                std::error_code ignored;
                asio::write(socket_, asio::buffer(kContinue), ignored);
            }
            Read();
            return;
        }
        RawRequest request;
        request.bytes = in_.substr(0, frame.length);
        in_.erase(0, frame.length);
        if (frame.closeAfter) {
            in_.clear();
        }
        ++served_;
        request.remoteAddress = address_;
        request.remotePort = port_;
        request.lastOnConnection =
            frame.closeAfter || engine_.Stopping() || served_ >= limits.requestsPerConnection;
        closeWanted_ = closeWanted_ || request.lastOnConnection;
        request.bytes = ContinueStripped(std::move(request.bytes), frame.expectContinue);
        continueSent_ = false;
        state_ = State::kProcessing;
        timer_.cancel();
        engine_.Run(shared_from_this(), std::move(request));
    }

    // httplib answers "Expect: 100-continue" itself; the interim reply went out already, so
    // the header is taken out of what httplib sees.
    static std::string ContinueStripped(std::string bytes, bool expectContinue) {
        if (!expectContinue) {
            return bytes;
        }
        const size_t headEnd = bytes.find("\r\n\r\n");
        size_t at = 0;
        while ((at = bytes.find("\r\n", at)) != std::string::npos && at < headEnd) {
            const size_t next = bytes.find("\r\n", at + 2);
            std::string name = bytes.substr(at + 2, 7);
            for (char& c : name) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (name == "expect:") {
                bytes.erase(at, next - at);
                break;
            }
            at = next;
        }
        return bytes;
    }

    void Send(std::string bytes) {
        state_ = State::kWriting;
        out_ = std::move(bytes);
        Arm(engine_.Limits().writeTimeout);
        asio::async_write(
            socket_, asio::buffer(out_),
            [self = shared_from_this()](std::error_code error, size_t) { self->OnWritten(error); });
    }

    void OnWritten(std::error_code error) {
        if (state_ == State::kClosed) {
            return;
        }
        std::string().swap(out_);
        if (error) {
            Close();
            return;
        }
        last_ = Steady::now();
        if (engine_.Stopping()) {
            Close();
        } else if (closeWanted_) {
            Linger();
        } else {
            state_ = State::kIdle;
            Frame();
        }
    }

    void Linger() {
        state_ = State::kLingering;
        std::string().swap(in_);
        std::error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        Arm(kLinger);
        Read();
    }

    void Arm(Steady::duration after) {
        timer_.expires_after(after);
        timer_.async_wait([self = shared_from_this()](std::error_code error) {
            if (error || self->state_ == State::kClosed || self->state_ == State::kProcessing ||
                self->timer_.expiry() > Steady::now()) {
                return;  // cancelled, re-armed, or a worker has the request
            }
            self->Close();
        });
    }

    void ReleaseBody() {
        if (reserved_ > 0) {
            engine_.ReleaseBody(reserved_);
            reserved_ = 0;
        }
    }

    Engine& engine_;
    tcp::socket socket_;
    asio::steady_timer timer_;
    std::string address_;
    int port_;
    Steady::time_point last_;
    State state_ = State::kIdle;
    bool reading_ = false;
    bool closeWanted_ = false;
    bool continueSent_ = false;
    size_t reserved_ = 0;
    size_t served_ = 0;
    size_t lingered_ = 0;
    std::array<char, kReadChunk> chunk_{};
    std::string in_;
    std::string out_;
};

int HttpConnections::Engine::Start(const std::string& host, int port) {
    std::error_code error;
    tcp::resolver resolver(io_);
    const auto endpoints =
        resolver.resolve(host, std::to_string(port), tcp::resolver::numeric_service, error);
    if (error || endpoints.empty()) {
        return -1;
    }
    const tcp::endpoint endpoint = endpoints.begin()->endpoint();
    acceptor_.open(endpoint.protocol(), error);
    // SO_REUSEADDR only: SO_REUSEPORT would let a second service share the port silently.
    if (!error) {
        acceptor_.set_option(tcp::acceptor::reuse_address(true), error);
    }
    if (!error) {
        acceptor_.bind(endpoint, error);
    }
    if (!error) {
        acceptor_.listen(asio::socket_base::max_listen_connections, error);
    }
    const tcp::endpoint bound = error ? tcp::endpoint() : acceptor_.local_endpoint(error);
    if (error) {
        std::error_code ignored;
        acceptor_.close(ignored);
        return -1;
    }
    // Each connection is a descriptor: stay below the process's limit.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
        const rlim_t usable = files.rlim_cur > 2 * kReservedDescriptors
                                  ? files.rlim_cur - kReservedDescriptors
                                  : kReservedDescriptors;
        if (limits_.maxConnections > usable) {
            limits_.maxConnections = static_cast<size_t>(usable);
        }
    }
    started_ = true;
    Accept();
    thread_ = std::thread([this] { io_.run(); });
    return bound.port();
}

void HttpConnections::Engine::Stop() {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    if (started_) {
        asio::post(io_, [this] {
            stopping_ = true;
            std::error_code ignored;
            acceptor_.close(ignored);
            acceptPause_.cancel();
            const auto open = connections_;
            for (const auto& connection : open) {
                connection->Shutdown();
            }
        });
    }
    guard_.reset();
    if (thread_.joinable()) {
        thread_.join();
    }
    pool_.join();
    connections_.clear();
}

bool HttpConnections::Engine::ReserveBody(size_t bytes) {
    if (bytes > limits_.bodyBudget - bodyReserved_) {
        return false;
    }
    bodyReserved_ += bytes;
    return true;
}

void HttpConnections::Engine::Remove(Connection& connection) {
    auto count = perAddress_.find(connection.Address());
    if (count != perAddress_.end() && --count->second == 0) {
        perAddress_.erase(count);
    }
    connections_.erase(connection.position);
}

void HttpConnections::Engine::Run(std::shared_ptr<Connection> connection, RawRequest request) {
    asio::post(pool_, [this, connection = std::move(connection), request = std::move(request),
                       work = asio::make_work_guard(io_)]() mutable {
        RawReply reply;
        try {
            reply = handler_(request);
        } catch (const std::exception&) {
            reply = {InternalErrorReply(), true};
        }
        asio::post(io_, [connection = std::move(connection), reply = std::move(reply)]() mutable {
            connection->OnReply(std::move(reply));
        });
    });
}

void HttpConnections::Engine::Accept() {
    acceptor_.async_accept([this](std::error_code error, tcp::socket socket) {
        if (stopping_ || !acceptor_.is_open()) {
            return;
        }
        if (!error) {
            Admit(std::move(socket));
            Accept();
            return;
        }
        // Out of descriptors or memory: try again shortly instead of spinning.
        acceptPause_.expires_after(kAcceptPause);
        acceptPause_.async_wait([this](std::error_code waitError) {
            if (!waitError && !stopping_) {
                Accept();
            }
        });
    });
}

void HttpConnections::Engine::Admit(tcp::socket socket) {
    std::error_code error;
    const tcp::endpoint remote = socket.remote_endpoint(error);
    if (error) {
        return;
    }
    socket.set_option(tcp::no_delay(true), error);
    std::string address = remote.address().to_string();
    // At a bound the longest-idle connection makes room; when every one is busy with a
    // request, the newcomer is turned away (the socket closes as it goes out of scope).
    if (connections_.size() >= limits_.maxConnections && !Evict(nullptr)) {
        return;
    }
    if (perAddress_[address] >= limits_.maxPerAddress && !Evict(&address)) {
        return;
    }
    auto connection =
        std::make_shared<Connection>(*this, std::move(socket), address, remote.port());
    connection->position = connections_.insert(connections_.end(), connection);
    ++perAddress_[address];
    connection->Begin();
}

bool HttpConnections::Engine::Evict(const std::string* address) {
    Connection* oldest = nullptr;
    for (const auto& connection : connections_) {
        if (connection->Evictable() && (address == nullptr || connection->Address() == *address) &&
            (oldest == nullptr || connection->LastActivity() < oldest->LastActivity())) {
            oldest = connection.get();
        }
    }
    if (oldest == nullptr) {
        return false;
    }
    oldest->Close();
    return true;
}

HttpConnections::HttpConnections(ConnectionLimits limits, Handler handler)
    : limits_(limits), handler_(std::move(handler)) {}

HttpConnections::~HttpConnections() {
    Stop();
}

int HttpConnections::Start(const std::string& host, int port) {
    Stop();
    engine_ = std::make_unique<Engine>(limits_, handler_);
    const int bound = engine_->Start(host, port);
    if (bound < 0) {
        engine_.reset();
    }
    return bound;
}

void HttpConnections::Stop() {
    if (engine_ != nullptr) {
        engine_->Stop();
        engine_.reset();
    }
}

}  // namespace qv::dirsvc
