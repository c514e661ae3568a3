#include "platform/FileVersion.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#ifndef QUORVANE_BUILD
#error "QUORVANE_BUILD must be defined by the build"
#endif

QV_DEFINE_BUILD_MARKER(qv_program_build_marker, QUORVANE_BUILD);

namespace qv {

namespace {

constexpr std::string_view kPrefix = "QUORVANE-BUILD:";
constexpr std::size_t kMaxDigits = 10;
constexpr std::size_t kChunk = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The number after the prefix at pos, when at least one digit follows and it fits 32 bits.
// The prefix on its own (as in this reader's own search text) is not a marker.
bool ParseAt(std::string_view data, std::size_t pos, std::uint32_t& build) {
    std::size_t i = pos + kPrefix.size();
    std::uint64_t value = 0;
    std::size_t digits = 0;
    while (i < data.size() && data[i] >= '0' && data[i] <= '9' && digits <= kMaxDigits) {
        value = value * 10 + static_cast<unsigned>(data[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || digits > kMaxDigits || value > 0xFFFFFFFFull) {
        return false;
    }
    build = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

std::uint32_t ReadFileBuild(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return 0;
    }
    // Read in chunks, keeping a tail so a marker split across two chunks is still seen whole.
    const std::size_t keep = kPrefix.size() + kMaxDigits + 1;
    std::string window;
    std::vector<char> chunk(kChunk);
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file.get());
        const bool atEnd = n < chunk.size();
        window.append(chunk.data(), n);
        std::size_t from = 0;
        for (;;) {
            const std::size_t pos = window.find(kPrefix, from);
            if (pos == std::string::npos) {
                break;
            }
            // A marker whose digits may continue in the next chunk waits for it.
            if (!atEnd && window.size() - pos < keep) {
                break;
            }
            std::uint32_t build = 0;
            if (ParseAt(window, pos, build)) {
                return build;
            }
            from = pos + 1;
        }
        if (atEnd) {
            return 0;
        }
        if (window.size() > keep) {
            window.erase(0, window.size() - keep);
        }
    }
}

std::uint32_t ThisBuild() {
    return QUORVANE_BUILD;
}

}  // namespace qv
