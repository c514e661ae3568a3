#include "engine/IdList.h"

namespace qv {

namespace {

// Position of the first whole line equal to entry, or npos.
std::size_t FindEntry(const std::string& list, const std::string& entry) {
    if (entry.empty()) {
        return std::string::npos;
    }
    std::size_t pos = 0;
    while ((pos = list.find(entry, pos)) != std::string::npos) {
        if (pos == 0 || list[pos - 1] == '\n') {
            return pos;
        }
        ++pos;
    }
    return std::string::npos;
}

}  // namespace

std::string AsListEntry(const std::string& id) {
    if (!id.empty() && id.back() == '\n') {
        return id;
    }
    return id + '\n';
}

bool HasListEntry(const std::string& list, const std::string& entry) {
    return FindEntry(list, entry) != std::string::npos;
}

bool RemoveListEntry(std::string& list, const std::string& entry) {
    const std::size_t pos = FindEntry(list, entry);
    if (pos == std::string::npos) {
        return false;
    }
    list.erase(pos, entry.size());
    return true;
}

std::size_t CountListEntries(const std::string& list, const std::string& skip) {
    std::size_t count = 0;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string line = list.substr(start, end - start);
        if (!line.empty() && (skip.empty() || line != skip)) {
            ++count;
        }
        start = end + 1;
    }
    return count;
}

}  // namespace qv
