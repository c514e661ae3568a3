#pragma once

// Building the addresses of directory requests: parameter encoding, the full URL with its
// canonical form, and the connection id patched into a held request.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The canonical URL must fit a buffer of this many bytes, terminating zero included.
inline constexpr std::size_t kCanonicalUrlBuffer = 2058;

// Letters and digits stay, the item separator 0xFF becomes a space, every other byte becomes
// %XX (upper-case hex): "John Doe_1" -> "John%20Doe%5F1".
std::string EncodeParam(std::string_view value);

// Encodes spaces as %20 and changes nothing else; nullopt when the result does not fit
// kCanonicalUrlBuffer.
std::optional<std::string> CanonicalizeUrl(std::string_view url);

// "http://" + host + folder + path, with the backslashes before the query turned into slashes,
// then canonicalised. nullopt when it does not fit.
std::optional<std::string> FullRequestUrl(std::string_view host, std::string_view folder,
                                          std::string_view path);

// Inserts id directly after the first "ConnectionId=" (any letter case). False when the URL has
// no such key (it is left unchanged).
bool InsertConnectionId(std::string& url, std::string_view id);

}  // namespace qv
