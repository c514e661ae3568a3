#include "stores/ContactTreeOrder.h"

#include <algorithm>

#include "stores/ContactDisplay.h"

namespace qv {

namespace {

unsigned char Lower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

}  // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = Lower(a[i]);
        const unsigned char y = Lower(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool ContactTreeLess(const ContactTreeKey& a, const ContactTreeKey& b) {
    if (a.kind != b.kind) {
        return a.kind < b.kind;
    }
    if (a.kind == ContactTreeKey::kContact) {
        const bool onlineA = IsShownOnline(a.presenceFlags);
        const bool onlineB = IsShownOnline(b.presenceFlags);
        if (onlineA != onlineB) {
            return onlineA;
        }
        if (a.waitingAlertTime != b.waitingAlertTime) {
            // No alert (0) goes last; otherwise the later alert first.
            if (a.waitingAlertTime == 0 || b.waitingAlertTime == 0) {
                return b.waitingAlertTime == 0;
            }
            return a.waitingAlertTime > b.waitingAlertTime;
        }
    }
    return CompareNoCase(a.name, b.name) < 0;
}

}  // namespace qv
