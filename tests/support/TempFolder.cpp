#include "support/TempFolder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qv::test {

TempFolder::TempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "quorvane-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = tmpl + "/";
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::path p = path_ + name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
    return p.string();
}

std::string TempFolder::Read(const std::string& name) const {
    std::ifstream in(path_ + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace qv::test
