#include "platform/PrivateProfile.h"

#include <cstring>
#include <exception>
#include <limits>
#include <unordered_set>

#include "platform/FileIo.h"

namespace qv::profile {
namespace {

constexpr std::string_view kBlanks = " \t";

enum class Kind : std::uint8_t {
    Blank,    // empty or only blanks
    Comment,  // first non-blank character is ';'
    Header,   // "[name]"
    Entry,    // "key=value"
    Other,    // anything else: kept, never matched
};

// One line of the file. The views point into the file's bytes or into strings the writer owns.
struct Line {
    std::string_view text;  // without its line end
    std::string_view end;   // "\r\n", "\n", "\r", or empty for a last line without one
    Kind kind = Kind::Other;
};

struct Section {
    std::size_t header;  // index of the header line
    std::size_t end;     // one past the section's last line
};

std::string_view TrimLeft(std::string_view s) {
    std::size_t first = s.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    std::size_t last = s.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

std::string FoldedName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = Fold(c);
    }
    return folded;
}

Kind Classify(std::string_view text) {
    std::string_view t = TrimLeft(text);
    if (t.empty()) {
        return Kind::Blank;
    }
    if (t.front() == ';') {
        return Kind::Comment;
    }
    if (t.front() == '[' && t.find(']') != std::string_view::npos) {
        return Kind::Header;
    }
    return t.find('=') != std::string_view::npos ? Kind::Entry : Kind::Other;
}

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            std::string_view text = content.substr(pos);
            lines.push_back({text, {}, Classify(text)});
            break;
        }
        bool crlf = content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n';
        std::size_t endSize = crlf ? 2 : 1;
        std::string_view text = content.substr(pos, end - pos);
        lines.push_back({text, content.substr(end, endSize), Classify(text)});
        pos = end + endSize;
    }
    return lines;
}

// Only for Header lines: the text between the first '[' and the following ']'.
std::string_view HeaderName(std::string_view text) {
    std::string_view t = TrimLeft(text);
    return Trim(t.substr(1, t.find(']') - 1));
}

// Only for Entry lines.
std::string_view EntryKey(std::string_view text) {
    return Trim(text.substr(0, text.find('=')));
}

std::string_view EntryValue(std::string_view text) {
    return Trim(text.substr(text.find('=') + 1));
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::optional<Section> FindSection(const std::vector<Line>& lines, std::string_view name) {
    name = Trim(name);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::Header && SameName(HeaderName(lines[i].text), name)) {
            std::size_t end = i + 1;
            while (end < lines.size() && lines[end].kind != Kind::Header) {
                ++end;
            }
            return Section{i, end};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, const Section& section,
                                   std::string_view key) {
    key = Trim(key);
    for (std::size_t i = section.header + 1; i < section.end; ++i) {
        if (lines[i].kind == Kind::Entry && SameName(EntryKey(lines[i].text), key)) {
            return i;
        }
    }
    return std::nullopt;
}

// The key's value with blanks and quotes removed, or nullopt when file, section or key is missing.
std::optional<std::string> FindValue(const std::string& path, std::string_view section,
                                     std::string_view key) {
    std::optional<std::string> content = ReadWholeFile(path);
    if (!content) {
        return std::nullopt;
    }
    std::vector<Line> lines = SplitLines(*content);
    std::optional<Section> found = FindSection(lines, section);
    if (!found) {
        return std::nullopt;
    }
    std::optional<std::size_t> at = FindKey(lines, *found, key);
    if (!at) {
        return std::nullopt;
    }
    return std::string(Unquote(EntryValue(lines[*at].text)));
}

// The line end new lines get: the file's first one, LF when it has none.
std::string_view LineEndOf(const std::vector<Line>& lines) {
    if (!lines.empty() && !lines.front().end.empty()) {
        return lines.front().end;
    }
    return "\n";
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names that would read back as something else once written are refused.
bool WritableSection(std::string_view name) {
    return !HasLineBreak(name) && name.find(']') == std::string_view::npos;
}

bool WritableKey(std::string_view key) {
    return !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
           (key.empty() || (key.front() != ';' && key.front() != '['));
}

// The file's bytes for a rewrite: empty for a missing file, nullopt when something is there that
// cannot be read (too large, unreadable), so it is never replaced blindly.
std::optional<std::string> LoadForRewrite(const std::string& path) {
    std::optional<std::string> content = ReadWholeFile(path);
    if (!content && !FileExists(path)) {
        content.emplace();
    }
    return content;
}

// Writes lines back; a line that stops being the last one gets the file's line end.
bool Save(const std::string& path, std::string_view original, const std::vector<Line>& lines,
          std::string_view lineEnd) {
    std::string out;
    out.reserve(original.size() + 256);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].text;
        out += lines[i].end.empty() && i + 1 < lines.size() ? lineEnd : lines[i].end;
    }
    if (out == original) {
        return true;  // nothing changed: leave the file and its time stamp alone
    }
    return WriteFileAtomically(path, out);
}

// Files of up to 64 MB are accepted; running out of memory on one is a failed call, not a crash.
template <typename T, typename Fn>
T Guarded(Fn&& fn) noexcept {
    try {
        return fn();
    } catch (const std::exception&) {
        return T{};
    }
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    return static_cast<unsigned>(Fold(c) - 'a' + 10);
}

// The digit's value in base, or -1 when it does not belong.
int DigitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (Fold(c) >= 'a' && Fold(c) <= 'f') {
        value = Fold(c) - 'a' + 10;
    }
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

}  // namespace

std::string GetString(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view def, std::size_t bufferSize) {
    return Guarded<std::string>([&] {
        std::optional<std::string> value = FindValue(path, section, key);
        std::string result = value ? std::move(*value) : std::string(def);
        std::size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
        if (result.size() > room) {
            result.resize(room);
        }
        return result;
    });
}

std::int32_t GetInt(const std::string& path, std::string_view section, std::string_view key,
                    std::int32_t def) {
    std::string text = GetString(path, section, key, {});
    return text.empty() ? def : ParseInt(text);
}

std::int32_t ParseInt(std::string_view text) {
    std::string_view t = TrimLeft(text);
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    unsigned base = 10;
    if (t.size() >= 2 && t[0] == '0') {
        switch (t[1]) {
            case 'x':
            case 'X':
                base = 16;
                break;
            case 'o':
                base = 8;
                break;
            case 'b':
                base = 2;
                break;
            default:
                break;
        }
        if (base != 10) {
            t.remove_prefix(2);
        }
    }
    std::uint32_t value = 0;
    for (char c : t) {
        int digit = DigitValue(c, base);
        if (digit < 0) {
            break;
        }
        value = value * base + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(negative ? 0u - value : value);
}

bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::optional<std::string_view> value) {
    section = Trim(section);
    key = Trim(key);
    if (!WritableSection(section) || !WritableKey(key) || (value && HasLineBreak(*value))) {
        return false;
    }
    return Guarded<bool>([&] {
        std::optional<std::string> content = LoadForRewrite(path);
        if (!content) {
            return false;
        }
        std::vector<Line> lines = SplitLines(*content);
        std::string_view lineEnd = LineEndOf(lines);
        std::optional<Section> found = FindSection(lines, section);

        if (!value) {
            if (!found) {
                return true;
            }
            // Every line of the key in the section goes, so the key reads as missing afterwards.
            for (std::size_t i = found->end; i-- > found->header + 1;) {
                if (lines[i].kind == Kind::Entry && SameName(EntryKey(lines[i].text), key)) {
                    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            return Save(path, *content, lines, lineEnd);
        }

        std::string entry;
        entry.append(key).append("=").append(*value);
        std::string header;
        if (!found) {
            header.append("[").append(section).append("]");
            if (!lines.empty() && lines.back().kind != Kind::Blank) {
                lines.push_back({{}, lineEnd, Kind::Blank});
            }
            lines.push_back({header, lineEnd, Kind::Header});
            lines.push_back({entry, lineEnd, Kind::Entry});
        } else if (std::optional<std::size_t> at = FindKey(lines, *found, key)) {
            lines[*at] = {entry, lines[*at].end, Kind::Entry};
        } else {
            std::size_t last = found->header;
            for (std::size_t i = found->header + 1; i < found->end; ++i) {
                if (lines[i].kind != Kind::Blank) {
                    last = i;
                }
            }
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last + 1),
                         {entry, lineEnd, Kind::Entry});
        }
        return Save(path, *content, lines, lineEnd);
    });
}

bool DeleteSection(const std::string& path, std::string_view section) {
    section = Trim(section);
    return Guarded<bool>([&] {
        std::optional<std::string> content = LoadForRewrite(path);
        if (!content) {
            return false;
        }
        std::vector<Line> lines = SplitLines(*content);
        std::string_view lineEnd = LineEndOf(lines);
        // Every occurrence goes; otherwise a later duplicate would take the deleted one's place.
        std::vector<Line> kept;
        kept.reserve(lines.size());
        bool inSection = false;
        for (const Line& line : lines) {
            if (line.kind == Kind::Header) {
                inSection = SameName(HeaderName(line.text), section);
            }
            if (!inSection) {
                kept.push_back(line);
            }
        }
        return Save(path, *content, kept, lineEnd);
    });
}

bool GetStruct(const std::string& path, std::string_view section, std::string_view key,
               void* buffer, std::size_t size) {
    if ((buffer == nullptr && size > 0) ||
        size > (std::numeric_limits<std::size_t>::max() - 2) / 2) {
        return false;
    }
    return Guarded<bool>([&] {
        std::optional<std::string> text = FindValue(path, section, key);
        if (!text || text->size() != 2 * size + 2) {
            return false;
        }
        for (char c : *text) {
            if (!IsHexDigit(c)) {
                return false;
            }
        }
        std::string bytes(size + 1, '\0');
        unsigned sum = 0;
        for (std::size_t i = 0; i <= size; ++i) {
            unsigned byte = HexValue((*text)[2 * i]) * 16 + HexValue((*text)[2 * i + 1]);
            bytes[i] = static_cast<char>(byte);
            if (i < size) {
                sum += byte;
            }
        }
        if ((sum & 0xFFu) != static_cast<unsigned char>(bytes[size])) {
            return false;
        }
        if (size > 0) {
            std::memcpy(buffer, bytes.data(), size);
        }
        return true;
    });
}

bool WriteStruct(const std::string& path, std::string_view section, std::string_view key,
                 const void* buffer, std::size_t size) {
    if (buffer == nullptr && size > 0) {
        return false;
    }
    return Guarded<bool>([&] {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        std::string text;
        text.reserve(2 * size + 2);
        unsigned sum = 0;
        auto put = [&](unsigned byte) {
            text += kDigits[byte >> 4];
            text += kDigits[byte & 0xFu];
        };
        for (std::size_t i = 0; i < size; ++i) {
            put(bytes[i]);
            sum += bytes[i];
        }
        put(sum & 0xFFu);
        return WriteString(path, section, key, text);
    });
}

std::vector<std::string> GetSectionNames(const std::string& path) {
    return Guarded<std::vector<std::string>>([&] {
        std::vector<std::string> names;
        std::optional<std::string> content = ReadWholeFile(path);
        if (!content) {
            return names;
        }
        std::unordered_set<std::string> seen;
        for (const Line& line : SplitLines(*content)) {
            if (line.kind != Kind::Header) {
                continue;
            }
            std::string_view name = HeaderName(line.text);
            if (seen.insert(FoldedName(name)).second) {
                names.emplace_back(name);
            }
        }
        return names;
    });
}

std::vector<std::string> GetKeyNames(const std::string& path, std::string_view section) {
    return Guarded<std::vector<std::string>>([&] {
        std::vector<std::string> names;
        std::optional<std::string> content = ReadWholeFile(path);
        if (!content) {
            return names;
        }
        std::vector<Line> lines = SplitLines(*content);
        std::optional<Section> found = FindSection(lines, section);
        if (!found) {
            return names;
        }
        std::unordered_set<std::string> seen;
        for (std::size_t i = found->header + 1; i < found->end; ++i) {
            if (lines[i].kind != Kind::Entry) {
                continue;
            }
            std::string_view key = EntryKey(lines[i].text);
            if (seen.insert(FoldedName(key)).second) {
                names.emplace_back(key);
            }
        }
        return names;
    });
}

}  // namespace qv::profile
