#pragma once

// TLS over a connected socket for the tests' fake engines and fake servers, with deadlines.

#include <openssl/ssl.h>

#include <memory>
#include <string>
#include <string_view>

namespace qv::test {

class TlsChannel {
  public:
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // The client side, checking the server's certificate against caFile for 127.0.0.1; null
    // when the handshake failed within timeoutMs. Takes over fd.
    static std::unique_ptr<TlsChannel> Client(int fd, const std::string& caFile, int timeoutMs);
    // The server side with that certificate and key.
    static std::unique_ptr<TlsChannel> Server(int fd, const std::string& certificateFile,
                                              const std::string& keyFile, int timeoutMs);

    bool Send(std::string_view bytes);
    // Bytes read (> 0), 0 when none came within timeoutMs, -1 when the stream ended.
    int Receive(char* buffer, int size, int timeoutMs);
    // Bytes already decrypted and waiting.
    bool Pending() const;
    int Fd() const { return fd_; }

  private:
    TlsChannel(int fd, SSL_CTX* context);
    // Waits for what SSL asked for after result; false on timeout or a fault.
    bool Wait(int result, int timeoutMs);
    bool Handshake(bool client, int timeoutMs);

    int fd_;
    SSL_CTX* context_;
    SSL* ssl_;
};

}  // namespace qv::test
