#include "IdLines.h"

#include <algorithm>

#include "VoiceProtocol.h"

namespace qv::voicesvc {

std::vector<std::string_view> ListLines(std::string_view list) {
    std::vector<std::string_view> lines;
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        if (line.empty()) {
            continue;
        }
        // Lists written on Windows may end their lines with CR LF.
        if (line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> IdLines(std::string_view list) {
    std::vector<std::string> ids;
    for (std::string_view line : ListLines(list)) {
        if (voice::IsUserId(line)) {
            ids.emplace_back(line);
        }
    }
    return ids;
}

std::size_t LineCount(std::string_view list) {
    return static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n')) + 1;
}

}  // namespace qv::voicesvc
