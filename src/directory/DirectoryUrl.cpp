#include "directory/DirectoryUrl.h"

#include <algorithm>
#include <cctype>

#include "directory/ReplyGrammar.h"

namespace qv {

std::string EncodeParam(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size() * 3);
    for (char ch : value) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out.push_back(ch);
        } else if (ch == reply::kItemSeparator) {
            out.push_back(' ');
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

std::optional<std::string> CanonicalizeUrl(std::string_view url) {
    std::string out;
    out.reserve(url.size());
    for (char c : url) {
        if (c == ' ') {
            out += "%20";
        } else {
            out.push_back(c);
        }
        if (out.size() + 1 > kCanonicalUrlBuffer) {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::string> FullRequestUrl(std::string_view host, std::string_view folder,
                                          std::string_view path) {
    std::string url = "http://";
    url += host;
    url += folder;
    url += path;
    // The service takes either separator; URL libraries only treat '/' as one.
    const std::size_t query = url.find('?');
    std::replace(url.begin(), query == std::string::npos ? url.end() : url.begin() + query, '\\',
                 '/');
    return CanonicalizeUrl(url);
}

bool InsertConnectionId(std::string& url, std::string_view id) {
    static constexpr std::string_view kKey = "connectionid=";
    auto it = std::search(url.begin(), url.end(), kKey.begin(), kKey.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
    if (it == url.end()) {
        return false;
    }
    url.insert(static_cast<std::size_t>(it - url.begin()) + kKey.size(), id);
    return true;
}

}  // namespace qv
