#pragma once

// One settings file. Holds only its path; every call reads or writes the file itself.
// With an empty path (the user file before anyone logged in) reads give the defaults and
// writes fail.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class IniFile {
  public:
    IniFile() = default;
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    // Read through a 256-character buffer: longer values are cut.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view def = {}) const;
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t def) const;
    bool WriteString(std::string_view section, std::string_view key, std::string_view text);
    // Signed decimal.
    bool WriteInt(std::string_view section, std::string_view key, std::int32_t value);
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

    // Fails, leaving buffer as it was, when the stored size or checksum differs.
    bool GetStruct(std::string_view section, std::string_view key, void* buffer,
                   std::size_t size) const;
    bool WriteStruct(std::string_view section, std::string_view key, const void* buffer,
                     std::size_t size);

    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& Path() const { return path_; }
    bool Exists() const;
    // Deletes the file; true when it is gone afterwards.
    bool DeleteFile();

  private:
    std::string path_;
};

}  // namespace qv
