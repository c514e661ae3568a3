#include "settings/IniFile.h"

#include <cstdio>

#include "platform/FileIo.h"
#include "platform/PrivateProfile.h"

namespace qv {

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view def) const {
    if (path_.empty()) {
        return std::string(def.substr(0, profile::kStringBuffer - 1));
    }
    return profile::GetString(path_, section, key, def);
}

std::int32_t IniFile::GetInt(std::string_view section, std::string_view key,
                             std::int32_t def) const {
    return path_.empty() ? def : profile::GetInt(path_, section, key, def);
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view text) {
    return !path_.empty() && profile::WriteString(path_, section, key, text);
}

bool IniFile::WriteInt(std::string_view section, std::string_view key, std::int32_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%d", value);
    return WriteString(section, key, text);
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
    return !path_.empty() && profile::WriteString(path_, section, key, std::nullopt);
}

bool IniFile::DeleteSection(std::string_view section) {
    return !path_.empty() && profile::DeleteSection(path_, section);
}

bool IniFile::GetStruct(std::string_view section, std::string_view key, void* buffer,
                        std::size_t size) const {
    return !path_.empty() && profile::GetStruct(path_, section, key, buffer, size);
}

bool IniFile::WriteStruct(std::string_view section, std::string_view key, const void* buffer,
                          std::size_t size) {
    return !path_.empty() && profile::WriteStruct(path_, section, key, buffer, size);
}

bool IniFile::Exists() const {
    return !path_.empty() && FileExists(path_);
}

bool IniFile::DeleteFile() {
    if (path_.empty()) {
        return false;
    }
    std::remove(path_.c_str());
    return !FileExists(path_);
}

}  // namespace qv
