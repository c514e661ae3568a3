#pragma once

// One line per request: time, caller, method, target, HTTP status and the reply's outcome.
// Passwords are blanked and connection ids shortened, since the log is read by people; bytes
// that are not printable are written as %XX so a hostile target cannot forge lines.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace qv::dirsvc {

class RequestLog {
  public:
    using Sink = std::function<void(const std::string& line)>;

    // Lines go to sink, one call per line, never two at once; an empty sink writes to stderr.
    explicit RequestLog(Sink sink = {});

    void Write(std::int64_t now, std::string_view remote, std::string_view method,
               std::string_view target, int status, std::string_view body);

    // The target as logged.
    static std::string Redacted(std::string_view target);
    // "Success", "Fail: <message>" (shortened) or "-" for a body of another kind.
    static std::string Outcome(std::string_view body);

  private:
    Sink sink_;
    std::mutex mutex_;
};

}  // namespace qv::dirsvc
