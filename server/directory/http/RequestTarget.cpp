#include "http/RequestTarget.h"

#include <vector>

#include "http/UrlDecoding.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

constexpr std::string_view kFolder = "quorvane";
constexpr std::string_view kExtension = ".asp";
constexpr std::string_view kProbe = "it.html";

std::vector<std::string> PathParts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path) {
        if (c == '/' || c == '\\') {
            if (!part.empty()) {
                parts.push_back(std::move(part));
                part.clear();
            }
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) {
        parts.push_back(std::move(part));
    }
    return parts;
}

bool IsPageName(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

}  // namespace

RequestTarget RequestTarget::Parse(std::string_view target) {
    RequestTarget result;
    const size_t question = target.find('?');
    if (question != std::string_view::npos) {
        result.rawQuery = std::string(target.substr(question + 1));
    }
    // A fragment never reaches a server from a browser-like client; drop it if one does.
    std::string_view rawPath = target.substr(0, question);
    rawPath = rawPath.substr(0, rawPath.find('#'));
    const std::vector<std::string> parts = PathParts(PercentDecode(rawPath));

    if (parts.empty()) {
        result.kind = Kind::kRoot;
    } else if (parts.size() == 1 && text::EqualsIgnoringCase(parts[0], kProbe)) {
        result.kind = Kind::kProbe;
    } else if (parts.size() == 2 && text::EqualsIgnoringCase(parts[0], kFolder) &&
               parts[1].size() > kExtension.size()) {
        const std::string lower = text::AsciiLower(parts[1]);
        const std::string_view name(lower.data(), lower.size() - kExtension.size());
        if (lower.ends_with(kExtension) && IsPageName(name)) {
            result.kind = Kind::kPage;
            result.page = std::string(name);
        }
    }
    return result;
}

}  // namespace qv::dirsvc
