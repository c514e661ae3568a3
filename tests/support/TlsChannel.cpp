#include "support/TlsChannel.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include <openssl/x509v3.h>

namespace qv::test {

namespace {

using Clock = std::chrono::steady_clock;

int Left(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// OpenSSL writes to its socket with write(2): a peer that hung up must give an error, not end
// the test program.
void IgnoreBrokenPipes() {
    static const bool ignored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)ignored;
}

}  // namespace

TlsChannel::TlsChannel(int fd, SSL_CTX* context)
    : fd_(fd), context_(context), ssl_(SSL_new(context)) {
    IgnoreBrokenPipes();
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    SSL_set_fd(ssl_, fd_);
}

TlsChannel::~TlsChannel() {
    SSL_free(ssl_);
    SSL_CTX_free(context_);
    ::close(fd_);
}

std::unique_ptr<TlsChannel> TlsChannel::Client(int fd, const std::string& caFile, int timeoutMs) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    std::unique_ptr<TlsChannel> channel(new TlsChannel(fd, context));
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(channel->ssl_), "127.0.0.1");
    if (!channel->Handshake(true, timeoutMs)) {
        return nullptr;
    }
    return channel;
}

std::unique_ptr<TlsChannel> TlsChannel::Server(int fd, const std::string& certificateFile,
                                               const std::string& keyFile, int timeoutMs) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate_chain_file(context, certificateFile.c_str());
    SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_set_num_tickets(context, 0);
    std::unique_ptr<TlsChannel> channel(new TlsChannel(fd, context));
    if (!channel->Handshake(false, timeoutMs)) {
        return nullptr;
    }
    return channel;
}

bool TlsChannel::Wait(int result, int timeoutMs) {
    const int error = SSL_get_error(ssl_, result);
    short events = 0;
    if (error == SSL_ERROR_WANT_READ) {
        events = POLLIN;
    } else if (error == SSL_ERROR_WANT_WRITE) {
        events = POLLOUT;
    } else {
        return false;
    }
    pollfd p{fd_, events, 0};
    return ::poll(&p, 1, timeoutMs) == 1;
}

bool TlsChannel::Handshake(bool client, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // SSL_get_error reads the thread's error queue: what an earlier channel left there
        // would make a plain "wait for more" look like a failure.
        ERR_clear_error();
        const int result = client ? SSL_connect(ssl_) : SSL_accept(ssl_);
        if (result == 1) {
            return true;
        }
        if (!Wait(result, Left(deadline))) {
            return false;
        }
    }
}

bool TlsChannel::Send(std::string_view bytes) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!bytes.empty()) {
        ERR_clear_error();
        const int result = SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
        if (result > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(result));
            continue;
        }
        if (!Wait(result, Left(deadline))) {
            return false;
        }
    }
    return true;
}

int TlsChannel::Receive(char* buffer, int size, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_read(ssl_, buffer, size);
        if (result > 0) {
            return result;
        }
        const int error = SSL_get_error(ssl_, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
            return -1;
        }
        pollfd p{fd_, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&p, 1, Left(deadline));
        if (ready == 0) {
            return 0;
        }
        if (ready < 0) {
            return -1;
        }
    }
}

bool TlsChannel::Pending() const {
    return SSL_pending(ssl_) > 0;
}

}  // namespace qv::test
