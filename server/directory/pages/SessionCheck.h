#pragma once

// The user behind a connection id, or the failure to report.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::dirsvc {

class Clock;
class SessionStore;

class SessionCheck {
  public:
    static std::optional<std::int64_t> User(SessionStore& sessions, const Clock& clock,
                                            std::string_view connectionId, std::string& failure);
};

}  // namespace qv::dirsvc
