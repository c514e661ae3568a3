#include "stores/GroupName.h"

namespace qv {

bool IsAllowedGroupName(std::string_view name) {
    if (name.empty() || name.size() > 63) {
        return false;
    }
    if (name.front() == ' ' || name.back() == ' ') {
        return false;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte == 0xFF || c == '&' || c == '#' || c == '%' ||
            c == '?') {
            return false;
        }
    }
    return name.find("Group=") == std::string_view::npos &&
           name.find("Contacts") == std::string_view::npos;
}

}  // namespace qv
