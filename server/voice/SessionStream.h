#pragma once

// A session's byte stream: TLS over the accepted socket, or the bare socket for the plain
// listener that old engines' tests may ask for. Used on the io thread only; at most one read and
// one write at a time, as both Asio streams require.

#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>
#include <asio/write.hpp>
#include <optional>
#include <utility>

namespace qv::voicesvc {

class SessionStream {
  public:
    // tls: the server's context, or null for plain TCP.
    SessionStream(asio::ip::tcp::socket socket, asio::ssl::context* tls) {
        if (tls != nullptr) {
            tls_.emplace(std::move(socket), *tls);
        } else {
            plain_.emplace(std::move(socket));
        }
    }

    asio::ip::tcp::socket& Socket() { return tls_ ? tls_->next_layer() : *plain_; }
    bool Tls() const { return tls_.has_value(); }

    // The server side of the TLS handshake; done at once for plain TCP.
    template <typename Handler>
    void AsyncHandshake(Handler&& handler) {
        if (tls_) {
            tls_->async_handshake(asio::ssl::stream_base::server, std::forward<Handler>(handler));
        } else {
            asio::post(Socket().get_executor(),
                       [handler = std::forward<Handler>(handler)]() mutable {
                           handler(asio::error_code());
                       });
        }
    }
    template <typename Buffer, typename Handler>
    void AsyncReadSome(const Buffer& buffer, Handler&& handler) {
        if (tls_) {
            tls_->async_read_some(buffer, std::forward<Handler>(handler));
        } else {
            plain_->async_read_some(buffer, std::forward<Handler>(handler));
        }
    }
    template <typename Buffer, typename Handler>
    void AsyncWrite(const Buffer& buffer, Handler&& handler) {
        if (tls_) {
            asio::async_write(*tls_, buffer, std::forward<Handler>(handler));
        } else {
            asio::async_write(*plain_, buffer, std::forward<Handler>(handler));
        }
    }
    // Closes the socket without TLS's close notice: every session ends with Bye or Close
    // frames of its own, so a cut stream loses nothing the protocol relies on.
    void Close() {
        asio::error_code ignored;
        Socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        Socket().close(ignored);
    }

  private:
    std::optional<asio::ssl::stream<asio::ip::tcp::socket>> tls_;
    std::optional<asio::ip::tcp::socket> plain_;
};

}  // namespace qv::voicesvc
