#include "CheckReply.h"

#include <optional>

#include "VoiceProtocol.h"

namespace qv::voicesvc {

namespace {

constexpr char kSeparator = '\xFF';

// The value of the item "key=value" among the separator-ended items after the first one.
std::optional<std::string_view> Item(std::string_view body, std::string_view key) {
    std::size_t at = body.find(kSeparator);
    while (at != std::string_view::npos) {
        const std::size_t start = at + 1;
        const std::size_t end = body.find(kSeparator, start);
        const std::string_view item = body.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (item.size() > key.size() && item.starts_with(key) && item[key.size()] == '=') {
            return item.substr(key.size() + 1);
        }
        at = end;
    }
    return std::nullopt;
}

CheckReply Unreachable() {
    return CheckReply{};
}

}  // namespace

CheckReply CheckReply::Parse(std::string_view userId, std::string_view body) {
    if (body.starts_with("Success")) {
        const auto id = Item(body, "UserId");
        const auto nickname = Item(body, "NickName");
        if (!id || *id != userId || !nickname || nickname->empty() ||
            nickname->size() > voice::kMaxNickname ||
            nickname->find('\0') != std::string_view::npos) {
            return Unreachable();
        }
        return {Outcome::kPassed, std::string(*nickname), {}};
    }
    if (body.starts_with("Fail")) {
        std::string reason(body.size() > 5 ? body.substr(5) : std::string_view());
        while (!reason.empty() && reason.back() == kSeparator) {
            reason.pop_back();
        }
        std::erase(reason, '\0');
        if (reason.size() > voice::kMaxServerText) {
            reason.resize(voice::kMaxServerText);
        }
        return {Outcome::kRefused, {}, reason};
    }
    return Unreachable();
}

}  // namespace qv::voicesvc
