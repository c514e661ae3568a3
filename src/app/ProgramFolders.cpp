#include "app/ProgramFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace qv {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

ProgramFolders::ProgramFolders(std::string programFolder)
    : programFolder_(WithSlash(std::move(programFolder))),
      systemFolder_(programFolder_ + "system/") {}

const std::string& ProgramFolders::UserFolder(const std::string& id) {
    if (cached_ && cachedId_ == id) {
        return cachedFolder_;
    }
    cachedId_ = id;
    cached_ = true;
    cachedFolder_ = programFolder_;
    if (id.empty()) {
        return cachedFolder_;
    }
    std::string folder = programFolder_ + id + "/";
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) {
        cachedFolder_ = folder;
    }
    return cachedFolder_;
}

std::string ProgramFolders::ResolveDataRoot(const std::string& homeOption) {
    std::string root = homeOption;
    if (root.empty()) {
        if (const char* env = std::getenv("QUORVANE_HOME"); env != nullptr && *env != '\0') {
            root = env;
        }
    }
    if (root.empty()) {
        if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
            root = WithSlash(xdg) + "quorvane";
        } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
            root = WithSlash(home) + ".local/share/quorvane";
        } else {
            root = "/tmp/quorvane-" + std::to_string(::getuid());
        }
    }
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(root, ec);
    if (!ec) {
        root = abs.lexically_normal().string();
    }
    return WithSlash(root);
}

}  // namespace qv
