#include "IdLines.h"

#include "VoiceProtocol.h"

namespace qv::voicesvc {

std::vector<std::string> IdLines(std::string_view list) {
    std::vector<std::string> ids;
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        // Lists written on Windows may end their lines with CR LF.
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (voice::IsUserId(line)) {
            ids.emplace_back(line);
        }
    }
    return ids;
}

}  // namespace qv::voicesvc
