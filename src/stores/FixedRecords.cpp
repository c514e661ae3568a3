#include "stores/FixedRecords.h"

#include <algorithm>

namespace qv::stores_detail {

void PutU32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
    }
}

void PutText(std::string& out, std::string_view text, std::size_t width) {
    if (width == 0) {
        return;
    }
    const std::string_view kept = text.substr(0, std::min(text.size(), width - 1));
    // A NUL inside the text ends it on reading anyway.
    const std::size_t nul = kept.find('\0');
    const std::string_view written = nul == std::string_view::npos ? kept : kept.substr(0, nul);
    out.append(written);
    out.append(width - written.size(), '\0');
}

std::string Cut(std::string_view text, std::size_t max) {
    return std::string(text.substr(0, std::min(text.size(), max)));
}

bool RecordReader::U32(std::uint32_t& value) {
    if (!Has(4)) {
        return false;
    }
    value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data_[at_ + i])) << (8 * i);
    }
    at_ += 4;
    return true;
}

bool RecordReader::I32(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (!U32(raw)) {
        return false;
    }
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool RecordReader::Text(std::size_t width, std::string& text) {
    if (!Has(width) || width == 0) {
        return false;
    }
    std::string_view field = data_.substr(at_, width - 1);
    const std::size_t nul = field.find('\0');
    if (nul != std::string_view::npos) {
        field = field.substr(0, nul);
    }
    text.assign(field);
    at_ += width;
    return true;
}

bool RecordReader::Skip(std::size_t bytes) {
    if (!Has(bytes)) {
        return false;
    }
    at_ += bytes;
    return true;
}

std::string JournalPathFor(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameAt) {
        return path + ".mod";
    }
    return path.substr(0, dot) + ".mod";
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string{} : path.substr(0, slash);
}

}  // namespace qv::stores_detail
