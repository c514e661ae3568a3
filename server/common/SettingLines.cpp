#include "SettingLines.h"

#include "Blanks.h"

namespace qv::servers {

bool SettingLines::Next() {
    while (!rest_.empty()) {
        ++number_;
        const std::size_t end = rest_.find('\n');
        const std::string_view line = TrimBlanks(rest_.substr(0, end));
        rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            error_ = Where() + "expected Key=Value";
            rest_ = {};
            return false;
        }
        key_ = TrimBlanks(line.substr(0, equals));
        value_ = TrimBlanks(line.substr(equals + 1));
        return true;
    }
    return false;
}

std::string SettingLines::Where() const {
    return "line " + std::to_string(number_) + ": ";
}

}  // namespace qv::servers
