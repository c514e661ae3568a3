#include "security/SourceAddress.h"

#include <arpa/inet.h>

#include <cstdio>

namespace qv::dirsvc {

std::string SourceKey(std::string_view address) {
    if (address.starts_with("::ffff:") && address.find('.') != std::string_view::npos) {
        address.remove_prefix(7);
    }
    const std::string text(address);
    unsigned char bytes[16];
    if (::inet_pton(AF_INET6, text.c_str(), bytes) != 1) {
        return text;
    }
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "%02x%02x:%02x%02x:%02x%02x:%02x%02x::/64", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
    return prefix;
}

}  // namespace qv::dirsvc
