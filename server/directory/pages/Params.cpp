#include "pages/Params.h"

#include "util/Text.h"

namespace qv::dirsvc {

std::string Params::Required(std::string_view key) {
    std::string value;
    switch (query_.Find(key, value)) {
        case Query::Lookup::kFound:
            return value;
        case Query::Lookup::kMissing:
            Fail("Missing parameter " + std::string(key));
            break;
        case Query::Lookup::kRepeated:
            Fail("Repeated parameter " + std::string(key));
            break;
    }
    return {};
}

std::optional<std::string> Params::Optional(std::string_view key) {
    std::string value;
    switch (query_.Find(key, value)) {
        case Query::Lookup::kFound:
            return value;
        case Query::Lookup::kMissing:
            break;
        case Query::Lookup::kRepeated:
            Fail("Repeated parameter " + std::string(key));
            break;
    }
    return std::nullopt;
}

std::optional<std::int64_t> Params::Number(std::string_view key, std::int64_t min, std::int64_t max,
                                           std::optional<std::int64_t> fallback) {
    const std::optional<std::string> value =
        fallback ? Optional(key) : std::optional(Required(key));
    if (!Ok()) {
        return std::nullopt;
    }
    if (!value) {
        return fallback;
    }
    const auto number = text::Number(*value, min, max);
    if (!number) {
        Fail("Invalid " + std::string(key));
    }
    return number;
}

void Params::Fail(std::string message) {
    if (error_.empty()) {
        error_ = std::move(message);
    }
}

}  // namespace qv::dirsvc
