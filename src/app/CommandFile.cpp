#include "app/CommandFile.h"

#include <sys/stat.h>

#include <cstdio>

namespace qv {

namespace {

constexpr std::size_t kMaxLine = 255;

// Reads lines from a stream of bytes one character at a time, as the files are written.
class LineReader {
  public:
    explicit LineReader(std::FILE* file) : file_(file) {}
    LineReader(const std::string& bytes) : bytes_(&bytes) {}

    int Get() {
        if (file_ != nullptr) {
            return std::fgetc(file_);
        }
        return pos_ < bytes_->size() ? static_cast<unsigned char>((*bytes_)[pos_++]) : EOF;
    }

    std::string Line() {
        std::string line;
        int c = Get();
        while (c == '\r' || c == '\n') {
            c = Get();
        }
        while (c != EOF && c != '\r' && c != '\n') {
            if (c == 0) {
                break;
            }
            if (line.size() < kMaxLine) {
                line.push_back(static_cast<char>(c));
            }
            c = Get();
        }
        return line;
    }

  private:
    std::FILE* file_ = nullptr;
    const std::string* bytes_ = nullptr;
    std::size_t pos_ = 0;
};

CommandRecord Parse(LineReader& in) {
    CommandRecord r;
    int letter = in.Get();
    switch (letter) {
        case 'F':
        case 'H':
        case 'S':
        case 'T':
            r.letter = static_cast<char>(letter);
            r.b = in.Line();
            break;
        case 'G':
        case 'I':
            r.letter = static_cast<char>(letter);
            r.b = in.Line();
            r.c = in.Line();
            break;
        case 'L':
            r.letter = 'L';
            r.a = in.Line();
            break;
        default:
            break;
    }
    return r;
}

}  // namespace

CommandRecord ParseCommandFile(const std::string& bytes) {
    LineReader in(bytes);
    return Parse(in);
}

CommandRecord ReadCommandFile(const std::string& path) {
    // Only regular files: a pipe or a device could block or never end.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return {};
    }
    LineReader in(file);
    CommandRecord r = Parse(in);
    std::fclose(file);
    return r;
}

std::optional<CommandRecord> PendingCommands::TakeOldest() {
    if (records_.empty()) {
        return std::nullopt;
    }
    CommandRecord r = std::move(records_.front());
    records_.pop_front();
    return r;
}

}  // namespace qv
