#include "support/DirectoryServiceProcess.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qv::test {

namespace {

std::vector<std::string> Arguments(const std::string& program, const TempFolder& folder) {
    const std::string mailDir = folder.File("mail");
    std::filesystem::create_directories(mailDir);
    return {program,
            "--listen",
            "127.0.0.1:0",
            "--db",
            folder.File("directory.db"),
            "--files",
            folder.File("files"),
            "--mail-dir",
            mailDir,
            "--hash-cost",
            "minimal",
            "--ticket-key",
            folder.File("ticket.key")};
}

}  // namespace

DirectoryServiceProcess::DirectoryServiceProcess(const std::string& program,
                                                 const TempFolder& folder)
    : ListeningProcess(Arguments(program, folder), folder.File("service.log")),
      mailDir_(folder.File("mail")),
      ticketKey_(folder.File("ticket.key")) {}

std::vector<std::string> DirectoryServiceProcess::Mail() const {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(mailDir_)) {
        if (entry.path().extension() == ".eml") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> texts;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        texts.push_back(s.str());
    }
    return texts;
}

std::string MailValue(const std::string& mail, const std::string& label) {
    const std::size_t at = mail.find(label);
    if (at == std::string::npos) {
        return {};
    }
    std::string value = mail.substr(at + label.size());
    value = value.substr(0, value.find_first_of("\r\n"));
    if (!value.empty() && value.back() == '.') {
        value.pop_back();
    }
    return value;
}

}  // namespace qv::test
