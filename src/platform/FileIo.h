#pragma once

// Whole-file reads and atomic replacement, the only way our settings and stores touch the disk.
// What we create is private to the user: folders 0700, files 0600 unless a caller says otherwise.

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

inline constexpr mode_t kPrivateFolderMode = 0700;
inline constexpr mode_t kPrivateFileMode = 0600;

// The file's bytes, or nullopt when it cannot be opened, is not a regular file (a FIFO or device
// is refused without blocking) or is larger than maxBytes.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t maxBytes = 64u * 1024u * 1024u);

// Writes data to a temporary file beside path, flushes it and renames it over path, so a reader
// sees either the old or the new file, never a mix. A new file gets newMode; a rewrite keeps the
// mode the existing file has. False when any step fails (path unchanged).
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         mode_t newMode = kPrivateFileMode);
// The same, but the result always has exactly mode, whatever the file had before.
bool ReplaceFileAtomically(const std::string& path, std::string_view data, mode_t mode);

bool FileExists(const std::string& path);
// Creates the folder and its missing parents with mode; true when it exists afterwards.
bool MakeFolders(const std::string& path, mode_t mode = kPrivateFolderMode);
// Copies through the atomic writer: to gets mode (not the source's), so a read-only source
// never leaves a read-only copy that later copies cannot replace. False when any step fails.
bool CopyFileOver(const std::string& from, const std::string& to, mode_t mode = kPrivateFileMode);
// fopen with "wb" or "ab", but a file it creates is 0600. Null when it cannot be opened.
std::FILE* OpenPrivateFile(const std::string& path, bool append);
// Removes the group and other bits of path that this user owns and, with recursive, of
// everything below it; symbolic links are neither followed nor changed. For what older versions
// created.
void RestrictToOwner(const std::string& path, bool recursive = true);

}  // namespace qv
