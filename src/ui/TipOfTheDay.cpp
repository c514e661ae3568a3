#include "ui/TipOfTheDay.h"

#include <sys/stat.h>

#include "platform/FileIo.h"
#include "settings/RegistryKey.h"

namespace qv {

namespace {

// Lines starting with ';' are comments; blank lines are no tips.
bool IsTip(const std::string& line) {
    return !line.empty() && line.front() != ';' &&
           line.find_first_not_of(" \t") != std::string::npos;
}

// The tip starting at pos and the offset after it; nullopt at the end of the text.
std::optional<std::pair<std::string, std::size_t>> TipAt(const std::string& text, std::size_t pos) {
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        std::size_t next = end;
        while (next < text.size() && (text[next] == '\r' || text[next] == '\n')) {
            ++next;
        }
        if (IsTip(line)) {
            if (line.size() > TipOfTheDay::kMaxTip) {
                line.resize(TipOfTheDay::kMaxTip);
            }
            return std::make_pair(line, next);
        }
        pos = next;
    }
    return std::nullopt;
}

std::string ModificationStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    return std::to_string(static_cast<long long>(st.st_mtim.tv_sec));
}

}  // namespace

TipOfTheDay::TipOfTheDay(RegistryKey& profile, std::string tipsFile)
    : profile_(profile), tipsFile_(std::move(tipsFile)) {}

bool TipOfTheDay::ShowAtStartUp() const {
    std::uint32_t on = 1;
    profile_.GetDword("StartUp", on);
    return on != 0;
}

void TipOfTheDay::SetShowAtStartUp(bool on) {
    profile_.SetDword("StartUp", on ? 1 : 0);
}

std::optional<std::string> TipOfTheDay::NextTip() {
    const std::optional<std::string> text = ReadWholeFile(tipsFile_, 1024 * 1024);
    if (!text) {
        return std::nullopt;
    }
    std::uint32_t pos = 0;
    profile_.GetDword("FilePos", pos);
    const std::string stamp = ModificationStamp(tipsFile_);
    std::string stored;
    if (!profile_.GetString("TimeStamp", stored) || stored != stamp) {
        pos = 0;
        profile_.SetString("TimeStamp", stamp);
    }
    auto tip = TipAt(*text, pos <= text->size() ? pos : text->size());
    if (!tip) {
        tip = TipAt(*text, 0);
    }
    if (!tip) {
        return std::nullopt;
    }
    profile_.SetDword("FilePos", static_cast<std::uint32_t>(tip->second));
    return tip->first;
}

}  // namespace qv
