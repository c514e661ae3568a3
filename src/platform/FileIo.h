#pragma once

// Whole-file reads and atomic replacement, the only way our settings and stores touch the disk.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The file's bytes, or nullopt when it cannot be opened or is larger than maxBytes.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t maxBytes = 64u * 1024u * 1024u);

// Writes data to a temporary file beside path, flushes it and renames it over path, so a reader
// sees either the old or the new file, never a mix. False when any step fails (path unchanged).
bool WriteFileAtomically(const std::string& path, std::string_view data);

bool FileExists(const std::string& path);
// Creates the folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);
bool CopyFileOver(const std::string& from, const std::string& to);

}  // namespace qv
