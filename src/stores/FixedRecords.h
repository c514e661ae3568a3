#pragma once

// Little-endian integers and fixed-width, NUL-padded text fields of the stores' files: one
// writer and one bounds-checked reader.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::stores_detail {

void PutU32(std::string& out, std::uint32_t value);
// At most width - 1 bytes of text, then NULs to width.
void PutText(std::string& out, std::string_view text, std::size_t width);
// The first max bytes of text.
std::string Cut(std::string_view text, std::size_t max);

class RecordReader {
  public:
    explicit RecordReader(std::string_view data) : data_(data) {}
    // False (and nothing consumed) when fewer bytes remain than asked for.
    bool U32(std::uint32_t& value);
    bool I32(std::int32_t& value);
    // The text up to the first NUL of the field, at most width - 1 bytes.
    bool Text(std::size_t width, std::string& text);
    bool Skip(std::size_t bytes);
    std::size_t Remaining() const { return data_.size() - at_; }
    bool Has(std::size_t bytes) const { return Remaining() >= bytes; }

  private:
    std::string_view data_;
    std::size_t at_ = 0;
};

// The path with the extension of its file name replaced by ".mod" (added when it has none); a
// full stop in a folder name is not an extension.
std::string JournalPathFor(const std::string& path);
// The folder part of path ("" when none).
std::string FolderOf(const std::string& path);

}  // namespace qv::stores_detail
