#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

namespace qv {

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data;
    char chunk[16384];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        data.append(chunk, static_cast<std::size_t>(n));
        if (data.size() > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return data;
}

namespace {

bool WriteAtomically(const std::string& path, std::string_view data, mode_t mode,
                     bool keepExistingMode) {
    if (keepExistingMode) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            mode = st.st_mode & 07777;
        }
    }
    std::random_device rd;
    std::string temp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(rd());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0) {
        return false;
    }
    // Explicitly, so the umask neither widens nor narrows what we meant.
    if (::fchmod(fd, mode) != 0) {
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data, mode_t newMode) {
    return WriteAtomically(path, data, newMode, true);
}

bool ReplaceFileAtomically(const std::string& path, std::string_view data, mode_t mode) {
    return WriteAtomically(path, data, mode, false);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool MakeFolders(const std::string& path, mode_t mode) {
    if (path.empty()) {
        return false;
    }
    // Each missing component is made with mode (create_directories would use 0777 & umask).
    std::string partial;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        partial = path.substr(0, slash);
        if (!partial.empty() && ::mkdir(partial.c_str(), mode) == 0) {
            ::chmod(partial.c_str(), mode);
        }
        pos = slash + 1;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CopyFileOver(const std::string& from, const std::string& to, mode_t mode) {
    std::optional<std::string> bytes = ReadWholeFile(from);
    return bytes && ReplaceFileAtomically(to, *bytes, mode);
}

std::FILE* OpenPrivateFile(const std::string& path, bool append) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd = ::open(path.c_str(), flags, kPrivateFileMode);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, append ? "ab" : "wb");
    if (file == nullptr) {
        ::close(fd);
    }
    return file;
}

void RestrictToOwner(const std::string& path, bool recursive) {
    const uid_t me = ::geteuid();
    auto restrict = [me](const std::filesystem::path& p) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && st.st_uid == me &&
            (st.st_mode & 077) != 0) {
            ::chmod(p.c_str(), st.st_mode & 07700);
        }
    };
    restrict(path);
    struct stat st {};
    if (!recursive || ::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return;
    }
    std::error_code ec;
    std::filesystem::recursive_directory_iterator it(
        path, std::filesystem::directory_options::skip_permission_denied, ec);
    for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        restrict(it->path());
    }
}

}  // namespace qv
