#pragma once

// Reads a page's parameters and keeps the first problem as the page's failure message.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "http/Query.h"

namespace qv::dirsvc {

class Params {
  public:
    explicit Params(const Query& query) : query_(query) {}

    // Empty (and an error noted) when missing or repeated.
    std::string Required(std::string_view key);
    // nullopt when missing; an error noted when repeated.
    std::optional<std::string> Optional(std::string_view key);
    // A decimal number in [min, max]; a missing key gives fallback when one is given.
    std::optional<std::int64_t> Number(std::string_view key, std::int64_t min, std::int64_t max,
                                       std::optional<std::int64_t> fallback = std::nullopt);

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    void Fail(std::string message);

  private:
    const Query& query_;
    std::string error_;
};

}  // namespace qv::dirsvc
