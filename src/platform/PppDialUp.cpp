#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/DialUp.h"
#include "platform/FileIo.h"

namespace qv {

namespace {

constexpr unsigned kIffUp = 0x1;
constexpr unsigned kIffRunning = 0x40;

class PppDialUp final : public DialUp {
  public:
    explicit PppDialUp(std::string netFolder) : netFolder_(std::move(netFolder)) {}

    bool Available() const override {
        std::error_code ec;
        return std::filesystem::is_directory(netFolder_, ec);
    }

    std::vector<DialUpConnection> Connections() const override {
        std::vector<DialUpConnection> links;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(netFolder_, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("ppp", 0) != 0) {
                continue;
            }
            DialUpConnection link{name, 0};
            if (auto flags = ReadWholeFile(entry.path().string() + "/flags", 64)) {
                unsigned long value = std::strtoul(flags->c_str(), nullptr, 16);
                if ((value & kIffUp) != 0 && (value & kIffRunning) != 0) {
                    link.status = DialUpConnection::kConnected;
                }
            }
            links.push_back(std::move(link));
        }
        // ppp0 first: the first connection is the one the poll looks at.
        std::sort(links.begin(), links.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        return links;
    }

  private:
    std::string netFolder_;
};

}  // namespace

std::unique_ptr<DialUp> MakePppDialUp(std::string netFolder) {
    return std::make_unique<PppDialUp>(std::move(netFolder));
}

}  // namespace qv
