#pragma once

// Where failures that need no decision go: a system notice the user sees in the notice window
// (the alerts store keeps it until it has been shown).

#include <cstdint>
#include <string>

namespace qv {

class SystemNotices {
  public:
    virtual ~SystemNotices() = default;
    // time: seconds since 1970 when it happened; showNow opens its window at once.
    virtual void AddSystemNotice(const std::string& text, bool showNow, std::uint32_t time) = 0;
};

}  // namespace qv
