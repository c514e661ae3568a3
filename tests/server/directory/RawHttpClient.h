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

}  // namespace qv::dirsvc::test
