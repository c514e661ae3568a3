#pragma once

// Sends request bytes exactly as given (backslashes, raw 0xFF, broken request lines) to a server
// on 127.0.0.1 and reads one response.

#include <string>
#include <string_view>

namespace qv::dirsvc::test {

struct RawResponse {
    int status = 0;  // 0 when no response could be read
    std::string headers;
    std::string body;
};

class RawHttpClient {
  public:
    // source: the local address to send from (another 127.x.y.z stands for another caller).
    explicit RawHttpClient(int port, std::string source = {})
        : port_(port), source_(std::move(source)) {}

    // A whole request as bytes.
    RawResponse Send(std::string_view request) const;
    RawResponse Get(std::string_view target) const;
    RawResponse Post(std::string_view target, std::string_view body) const;

  private:
    int port_;
    std::string source_;
};

// A connection held open by the test: idle, half a request, or a finished keep-alive request.
class HeldConnection {
  public:
    explicit HeldConnection(int port);
    ~HeldConnection();
    HeldConnection(const HeldConnection&) = delete;
    HeldConnection& operator=(const HeldConnection&) = delete;

    bool Connected() const { return connected_; }
    bool Send(std::string_view bytes);
    // Reads until the first response's end (by Content-Length) or timeoutMs; the bytes read.
    std::string ReadResponse(int timeoutMs);
    // Reads until marker has arrived or timeoutMs; the bytes read.
    std::string ReadUntil(std::string_view marker, int timeoutMs);
    // True when the server closed the connection within timeoutMs.
    bool ClosedByServer(int timeoutMs);

  private:
    int fd_ = -1;
    bool connected_ = false;
};

// Milliseconds until a GET of target on a fresh connection is answered with a whole 200
// reply; -1 when that takes longer than timeoutMs or fails.
long TimedGet(int port, std::string_view target, int timeoutMs);

}  // namespace qv::dirsvc::test
