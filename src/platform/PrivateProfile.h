#pragma once

// Private-profile (INI) files with the rules the program's settings rely on:
// - section and key names are matched without regard to case, with blanks around them trimmed;
// - a value has its surrounding blanks trimmed and, when it is enclosed in a matching pair of
//   double or single quotes, those quotes stripped;
// - the first occurrence of a section or key wins;
// - files with CR LF, LF or CR line ends are read; a rewrite keeps the file's own line end;
// - a write keeps every other line as it was, creates the file and the section when missing,
//   and replaces the file atomically (temporary file in the same folder, then rename).
// Text is bytes; nothing is converted.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::profile {

// The size of the read buffer that GetString works through: values are cut to one less.
inline constexpr std::size_t kStringBuffer = 256;

// The value of the key, or def when the file, the section or the key is missing.
// The result holds at most bufferSize - 1 bytes.
std::string GetString(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view def, std::size_t bufferSize = kStringBuffer);

// The integer rule: an empty or missing value gives def; otherwise leading blanks are skipped,
// an optional sign is read, then a "0x" (hexadecimal), "0o" (octal) or "0b" (binary) prefix, then
// digits up to the first that does not belong; no digits give 0. The result wraps to 32 bits.
std::int32_t GetInt(const std::string& path, std::string_view section, std::string_view key,
                    std::int32_t def);
std::int32_t ParseInt(std::string_view text);

// Writes key=value, replacing the key's first line or adding it at the end of the section.
// A value of nullopt deletes the key. False when the file cannot be written.
bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::optional<std::string_view> value);

// Removes the section header and all its lines.
bool DeleteSection(const std::string& path, std::string_view section);

// Structures: each byte as two upper-case hexadecimal digits followed by a checksum byte (the sum
// of the bytes modulo 256) in the same form. A read succeeds only when the stored size and the
// checksum match; otherwise buffer is left as it was.
bool GetStruct(const std::string& path, std::string_view section, std::string_view key,
               void* buffer, std::size_t size);
bool WriteStruct(const std::string& path, std::string_view section, std::string_view key,
                 const void* buffer, std::size_t size);

// Names as they stand in the file, first occurrences only, in file order.
std::vector<std::string> GetSectionNames(const std::string& path);
std::vector<std::string> GetKeyNames(const std::string& path, std::string_view section);

}  // namespace qv::profile
