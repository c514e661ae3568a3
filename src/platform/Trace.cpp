#include "platform/Trace.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/FileIo.h"

namespace qv {

namespace {

// Opened once, on the first trace line; stays open for the run.
struct TraceFile {
    std::mutex mutex;
    std::FILE* file = nullptr;

    TraceFile() {
        const char* path = std::getenv("QUORVANE_TRACE");
        if (path != nullptr && *path != '\0') {
            file = OpenPrivateFile(path, true);
        }
    }
    ~TraceFile() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

TraceFile& Sink() {
    static TraceFile sink;
    return sink;
}

}  // namespace

unsigned CurrentThreadId() {
    return static_cast<unsigned>(::syscall(SYS_gettid));
}

void Trace(std::string_view className, std::string_view method, std::string_view detail) {
    TraceFile& sink = Sink();
    if (sink.file == nullptr) {
        return;
    }
    char id[16];
    std::snprintf(id, sizeof id, "%08x, ", CurrentThreadId());
    std::string line(id);
    line.append(className).append("::").append(method);
    if (!detail.empty()) {
        line.append(" ").append(detail);
    }
    line.push_back('\n');
    std::lock_guard lock(sink.mutex);
    std::fwrite(line.data(), 1, line.size(), sink.file);
    std::fflush(sink.file);
}

}  // namespace qv
