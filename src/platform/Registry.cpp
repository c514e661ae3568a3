#include "platform/Registry.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <list>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/FileIo.h"

// Hive file format (text, ASCII only, LF line ends; CRLF is accepted when reading):
//
//   QUORVANE-REGISTRY 1
//
//   [HKEY_CURRENT_USER]
//   @="default value"
//
//   [HKEY_CURRENT_USER\Software\Quorvane]
//   "Volume"=dword:0000002a
//   "Nick"="Al \"the\" pal\x0a"
//   "Blob"=hex:00,01,ff
//   END
//
// Every key has a block, parents before children, children and values in creation order.
// Value names and string data escape \\, \" and every byte outside 0x20..0x7E as \xHH. Key names
// cannot hold a backslash (it separates them), so they escape '%' and bytes outside 0x20..0x7E as
// %HH instead. The END line tells a complete file from one cut off at a line boundary.

namespace qv {

namespace {

constexpr std::string_view kHeader = "QUORVANE-REGISTRY 1";
constexpr std::string_view kHeaderPrefix = "QUORVANE-REGISTRY ";
constexpr std::string_view kEnd = "END";
// Windows' own limit; it also keeps the recursive walks over the tree shallow.
constexpr std::size_t kMaxDepth = 512;

constexpr const char* kHiveNames[3] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                       "HKEY_CLASSES_ROOT"};

int HiveIndex(Hive hive) {
    int i = static_cast<int>(hive);
    return i >= 0 && i < 3 ? i : -1;
}

char FoldChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = FoldChar(c);
    }
    return out;
}

// Items looked up by name without regard to ASCII case, listed in the order they were added.
template <typename T>
class NamedList {
  public:
    struct Entry {
        std::string name;
        T item;
    };

    T* Find(std::string_view name) {
        auto it = index_.find(Fold(name));
        return it == index_.end() ? nullptr : &it->second->item;
    }
    const T* Find(std::string_view name) const {
        auto it = index_.find(Fold(name));
        return it == index_.end() ? nullptr : &it->second->item;
    }
    // The name must not be present yet.
    T& Add(std::string name, T item) {
        std::string folded = Fold(name);
        entries_.push_back({std::move(name), std::move(item)});
        auto last = std::prev(entries_.end());
        try {
            index_.emplace(std::move(folded), last);
        } catch (...) {
            entries_.pop_back();
            throw;
        }
        return last->item;
    }
    bool Remove(std::string_view name) {
        auto it = index_.find(Fold(name));
        if (it == index_.end()) {
            return false;
        }
        entries_.erase(it->second);
        index_.erase(it);
        return true;
    }
    bool Empty() const { return entries_.empty(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        names.reserve(entries_.size());
        for (const Entry& e : entries_) {
            names.push_back(e.name);
        }
        return names;
    }
    typename std::list<Entry>::const_iterator begin() const { return entries_.begin(); }
    typename std::list<Entry>::const_iterator end() const { return entries_.end(); }

  private:
    std::list<Entry> entries_;
    std::unordered_map<std::string, typename std::list<Entry>::iterator> index_;
};

// The non-empty components of a key path.
std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// Runs f, turning any exception into fallback so none leaves a public method.
template <typename R, typename F>
R NoThrow(R fallback, F&& f) noexcept {
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

// A key: its subkeys and values, each in creation order.
struct KeyNode {
    NamedList<std::unique_ptr<KeyNode>> subkeys;
    NamedList<RegistryValue> values;
};

RegistryValue Normalized(RegistryValue v) {
    if (v.type == RegistryValueType::Dword) {
        v.data.clear();
    } else {
        v.dword = 0;
    }
    return v;
}

}  // namespace

struct Registry::Store {
    KeyNode root;
    // False when the file on disk was left unread and must not be replaced.
    bool writable = true;
    // False after a failed save, so that even a change that alters nothing retries it.
    bool saved = true;
};

namespace {

// The store of a valid hive, or nullptr.
template <typename Stores>
auto* StoreOf(Stores& stores, Hive hive) {
    int i = HiveIndex(hive);
    return i < 0 ? nullptr : stores[i].get();
}

KeyNode* Descend(KeyNode& root, const std::vector<std::string_view>& parts, bool create,
                 bool* created = nullptr) {
    KeyNode* key = &root;
    for (std::string_view part : parts) {
        std::unique_ptr<KeyNode>* child = key->subkeys.Find(part);
        if (child == nullptr) {
            if (!create) {
                return nullptr;
            }
            child = &key->subkeys.Add(std::string(part), std::make_unique<KeyNode>());
            if (created != nullptr) {
                *created = true;
            }
        }
        key = child->get();
    }
    return key;
}

// ---- Writing ----

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string& out, unsigned char c) {
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 15];
}

void AppendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            AppendHexByte(out, c);
        } else {
            out += ch;
        }
    }
    out += '"';
}

void AppendKeyName(std::string& out, std::string_view name) {
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '%' || c < 0x20 || c >= 0x7F) {
            out += '%';
            AppendHexByte(out, c);
        } else {
            out += ch;
        }
    }
}

void AppendValue(std::string& out, const std::string& name, const RegistryValue& value) {
    if (name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, name);
    }
    out += '=';
    switch (value.type) {
        case RegistryValueType::Dword: {
            char digits[9];
            std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(value.dword));
            out += "dword:";
            out += digits;
            break;
        }
        case RegistryValueType::String:
            AppendQuoted(out, value.data);
            break;
        case RegistryValueType::Binary:
            out += "hex:";
            for (std::size_t i = 0; i < value.data.size(); ++i) {
                if (i > 0) {
                    out += ',';
                }
                AppendHexByte(out, static_cast<unsigned char>(value.data[i]));
            }
            break;
    }
    out += '\n';
}

void AppendKey(std::string& out, const KeyNode& key, std::string& path) {
    out += "\n[";
    out += path;
    out += "]\n";
    for (const auto& v : key.values) {
        AppendValue(out, v.name, v.item);
    }
    for (const auto& child : key.subkeys) {
        std::size_t length = path.size();
        path += '\\';
        AppendKeyName(path, child.name);
        AppendKey(out, *child.item, path);
        path.resize(length);
    }
}

std::string Serialize(const KeyNode& root, const char* hiveName) {
    std::string out(kHeader);
    out += '\n';
    std::string path = hiveName;
    AppendKey(out, root, path);
    out += kEnd;
    out += '\n';
    return out;
}

// ---- Reading ----

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Two hex digits at s[pos], or -1.
int HexByteAt(std::string_view s, std::size_t pos) {
    if (pos + 2 > s.size()) {
        return -1;
    }
    int hi = HexValue(s[pos]);
    int lo = HexValue(s[pos + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

class Parser {
  public:
    Parser(std::string_view text, std::string_view hiveName) : text_(text), hiveName_(hiveName) {}

    // Fills root from the text; false with Error() telling why.
    bool Parse(KeyNode& root) {
        std::size_t pos = 0;
        bool ended = false;
        while (pos < text_.size()) {
            std::size_t end = text_.find('\n', pos);
            if (end == std::string_view::npos) {
                end = text_.size();
            }
            std::string_view line = text_.substr(pos, end - pos);
            pos = end + 1;
            ++lineNumber_;
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            if (ended) {
                return Fail("text after the END line");
            }
            for (char ch : line) {
                auto c = static_cast<unsigned char>(ch);
                if (c < 0x20 || c >= 0x7F) {
                    return Fail("a raw control or non-ASCII byte");
                }
            }
            if (lineNumber_ == 1) {
                if (line == kHeader) {
                    continue;
                }
                std::string_view version = line.substr(std::min(line.size(), kHeaderPrefix.size()));
                if (line.substr(0, kHeaderPrefix.size()) == kHeaderPrefix && !version.empty() &&
                    version.find_first_not_of("0123456789") == std::string_view::npos) {
                    return Fail("an unsupported format version (\"" + std::string(line) + "\")");
                }
                return Fail("not a registry file (the first line is not \"" + std::string(kHeader) +
                            "\")");
            }
            if (line.empty()) {
                continue;
            }
            if (line == kEnd) {
                ended = true;
                continue;
            }
            bool ok = line.front() == '[' ? ParseBlock(line, root) : ParseValue(line);
            if (!ok) {
                return false;
            }
        }
        if (!ended) {
            return Fail("the file is cut off (no END line)");
        }
        return true;
    }

    const std::string& Error() const { return error_; }

  private:
    bool Fail(const std::string& why) {
        error_ = "line " + std::to_string(lineNumber_) + ": " + why;
        return false;
    }

    bool ParseBlock(std::string_view line, KeyNode& root) {
        if (line.size() < 2 || line.back() != ']') {
            return Fail("a key line without its closing ']'");
        }
        std::string_view path = line.substr(1, line.size() - 2);
        if (path.substr(0, hiveName_.size()) != hiveName_ ||
            (path.size() > hiveName_.size() && path[hiveName_.size()] != '\\')) {
            return Fail("a key outside " + std::string(hiveName_));
        }
        path.remove_prefix(hiveName_.size());
        std::vector<std::string> names;
        while (!path.empty()) {
            path.remove_prefix(1);  // the separator
            std::size_t end = path.find('\\');
            if (end == std::string_view::npos) {
                end = path.size();
            }
            std::string name;
            if (!DecodeKeyName(path.substr(0, end), name)) {
                return false;
            }
            names.push_back(std::move(name));
            if (names.size() > kMaxDepth) {
                return Fail("keys nested too deeply");
            }
            path.remove_prefix(end);
        }
        std::vector<std::string_view> parts(names.begin(), names.end());
        key_ = Descend(root, parts, true);
        if (!explicitKeys_.insert(key_).second) {
            return Fail("a key listed twice");
        }
        return true;
    }

    bool DecodeKeyName(std::string_view encoded, std::string& name) {
        if (encoded.empty()) {
            return Fail("an empty key name");
        }
        for (std::size_t i = 0; i < encoded.size(); ++i) {
            if (encoded[i] != '%') {
                name += encoded[i];
                continue;
            }
            int byte = HexByteAt(encoded, i + 1);
            if (byte < 0) {
                return Fail("a bad %-escape in a key name");
            }
            if (byte == '\\') {
                return Fail("a backslash inside a key name");
            }
            name += static_cast<char>(byte);
            i += 2;
        }
        return true;
    }

    // A quoted, escaped string starting at line[pos]; pos ends after the closing quote.
    bool ParseQuoted(std::string_view line, std::size_t& pos, std::string& out) {
        ++pos;  // the opening quote
        while (pos < line.size()) {
            char c = line[pos];
            if (c == '"') {
                ++pos;
                return true;
            }
            if (c != '\\') {
                out += c;
                ++pos;
                continue;
            }
            if (pos + 1 >= line.size()) {
                break;
            }
            char e = line[pos + 1];
            if (e == '\\' || e == '"') {
                out += e;
                pos += 2;
            } else if (e == 'x') {
                int byte = HexByteAt(line, pos + 2);
                if (byte < 0) {
                    return Fail("a bad \\x escape");
                }
                out += static_cast<char>(byte);
                pos += 4;
            } else {
                return Fail("an unknown escape \\" + std::string(1, e));
            }
        }
        return Fail("a string without its closing quote");
    }

    bool ParseValue(std::string_view line) {
        if (line.front() != '@' && line.front() != '"') {
            return Fail("a line that is neither a key nor a value");
        }
        if (key_ == nullptr) {
            return Fail("a value before the first key");
        }
        std::string name;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else {
            if (!ParseQuoted(line, pos, name)) {
                return false;
            }
            if (name.empty()) {
                return Fail("the default value written as \"\" instead of @");
            }
        }
        if (pos >= line.size() || line[pos] != '=') {
            return Fail("a value name not followed by '='");
        }
        ++pos;
        std::string_view data = line.substr(pos);
        RegistryValue value;
        if (data.substr(0, 6) == "dword:") {
            data.remove_prefix(6);
            if (data.size() != 8) {
                return Fail("a dword that is not 8 hex digits");
            }
            std::uint32_t n = 0;
            for (char c : data) {
                int d = HexValue(c);
                if (d < 0) {
                    return Fail("a dword that is not 8 hex digits");
                }
                n = n * 16 + static_cast<std::uint32_t>(d);
            }
            value = RegistryValue::Dword(n);
        } else if (data.substr(0, 4) == "hex:") {
            data.remove_prefix(4);
            std::string bytes;
            bytes.reserve(data.size() / 3 + 1);
            for (std::size_t i = 0; i < data.size(); i += 3) {
                int byte = HexByteAt(data, i);
                bool last = i + 2 == data.size();
                if (byte < 0 || (!last && (data[i + 2] != ',' || i + 3 == data.size()))) {
                    return Fail("malformed hex bytes");
                }
                bytes += static_cast<char>(byte);
            }
            value = RegistryValue::Binary(std::move(bytes));
        } else if (!data.empty() && data.front() == '"') {
            std::size_t at = 0;
            std::string s;
            if (!ParseQuoted(data, at, s)) {
                return false;
            }
            if (at != data.size()) {
                return Fail("text after a string's closing quote");
            }
            value = RegistryValue::String(std::move(s));
        } else {
            return Fail("a value of unknown type");
        }
        if (key_->values.Find(name) != nullptr) {
            return Fail("a value listed twice in one key");
        }
        key_->values.Add(std::move(name), std::move(value));
        return true;
    }

    std::string_view text_;
    std::string_view hiveName_;
    std::size_t lineNumber_ = 0;
    KeyNode* key_ = nullptr;
    std::unordered_set<const KeyNode*> explicitKeys_;
    std::string error_;
};

// "<path>.corrupt-YYYYMMDD-HHMMSS", with "-2", "-3"... when that name is taken.
std::string AsideName(const std::string& path) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "unknown-time";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    }
    std::string base = path + ".corrupt-" + stamp;
    std::string name = base;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(name, ec)); ++n) {
        name = base + "-" + std::to_string(n);
    }
    return name;
}

}  // namespace

Registry::Registry(std::string folder) : folder_(std::move(folder)) {
    try {
        if (!MakeFolders(folder_)) {
            problems_.push_back("The registry folder \"" + folder_ +
                                "\" could not be created; settings start empty and changes to "
                                "them will not be saved.");
        }
    } catch (...) {
    }
    for (Hive hive : {Hive::CurrentUser, Hive::LocalMachine, Hive::ClassesRoot}) {
        try {
            stores_[HiveIndex(hive)] = std::make_unique<Store>();
            Load(hive);
        } catch (...) {
            try {
                problems_.push_back("The registry file \"" + HiveFile(hive) +
                                    "\" could not be loaded; that hive starts empty.");
            } catch (...) {
            }
        }
    }
}

Registry::~Registry() = default;

std::string Registry::HiveFile(Hive hive) const {
    return NoThrow(std::string(), [&] {
        int i = HiveIndex(hive);
        if (i < 0) {
            return std::string();
        }
        return (std::filesystem::path(folder_) / (std::string(kHiveNames[i]) + ".reg")).string();
    });
}

void Registry::Load(Hive hive) {
    namespace fs = std::filesystem;
    Store& store = *stores_[HiveIndex(hive)];
    const std::string path = HiveFile(hive);

    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        return;
    }
    if (status.type() != fs::file_type::regular) {
        store.writable = false;
        problems_.push_back("The registry file \"" + path +
                            "\" is not a regular file or cannot be examined; that hive starts "
                            "empty and changes to it will not be saved.");
        return;
    }

    std::string why;
    if (std::optional<std::string> text = ReadWholeFile(path)) {
        if (text->empty()) {
            return;
        }
        KeyNode root;
        Parser parser(*text, kHiveNames[HiveIndex(hive)]);
        if (parser.Parse(root)) {
            store.root = std::move(root);
            return;
        }
        why = "it is damaged (" + parser.Error() + ")";
    } else {
        why = "it cannot be read (too large or not readable)";
    }

    const std::string aside = AsideName(path);
    fs::rename(path, aside, ec);
    if (ec) {
        store.writable = false;
        problems_.push_back("The registry file \"" + path + "\" could not be loaded because " +
                            why + ", and it could not be renamed to \"" + aside + "\" (" +
                            ec.message() +
                            "); that hive starts empty and changes to it will not be saved, so "
                            "the file stays as it is.");
        return;
    }
    problems_.push_back("The registry file \"" + path + "\" could not be loaded because " + why +
                        "; it was renamed to \"" + aside + "\" and that hive starts empty.");
}

bool Registry::Save(Hive hive) {
    Store& store = *stores_[HiveIndex(hive)];
    bool ok =
        store.writable &&
        WriteFileAtomically(HiveFile(hive), Serialize(store.root, kHiveNames[HiveIndex(hive)]));
    store.saved = ok;
    return ok;
}

bool Registry::CreateKey(Hive hive, std::string_view path) {
    return NoThrow(false, [&] {
        std::lock_guard lock(mutex_);
        Store* found = StoreOf(stores_, hive);
        if (found == nullptr) {
            return false;
        }
        Store& store = *found;
        std::vector<std::string_view> parts = SplitPath(path);
        if (parts.size() > kMaxDepth) {
            return false;
        }
        bool created = false;
        Descend(store.root, parts, true, &created);
        if (!created && store.saved) {
            return true;
        }
        return Save(hive);
    });
}

bool Registry::KeyExists(Hive hive, std::string_view path) const {
    return NoThrow(false, [&] {
        std::lock_guard lock(mutex_);
        Store* found = StoreOf(stores_, hive);
        if (found == nullptr) {
            return false;
        }
        Store& store = *found;
        return Descend(store.root, SplitPath(path), false) != nullptr;
    });
}

bool Registry::DeleteKey(Hive hive, std::string_view path) {
    return NoThrow(false, [&] {
        std::lock_guard lock(mutex_);
        Store* found = StoreOf(stores_, hive);
        if (found == nullptr) {
            return false;
        }
        Store& store = *found;
        std::vector<std::string_view> parts = SplitPath(path);
        if (parts.empty()) {
            return false;
        }
        std::string_view name = parts.back();
        parts.pop_back();
        KeyNode* parent = Descend(store.root, parts, false);
        if (parent == nullptr) {
            return false;
        }
        std::unique_ptr<KeyNode>* key = parent->subkeys.Find(name);
        if (key == nullptr || !(*key)->subkeys.Empty()) {
            return false;
        }
        parent->subkeys.Remove(name);
        return Save(hive);
    });
}

std::optional<RegistryValue> Registry::GetValue(Hive hive, std::string_view path,
                                                std::string_view name) const {
    return NoThrow(std::optional<RegistryValue>(), [&]() -> std::optional<RegistryValue> {
        std::lock_guard lock(mutex_);
        Store* found = StoreOf(stores_, hive);
        if (found == nullptr) {
            return std::nullopt;
        }
        Store& store = *found;
        const KeyNode* key = Descend(store.root, SplitPath(path), false);
        if (key == nullptr) {
            return std::nullopt;
        }
        const RegistryValue* value = key->values.Find(name);
        if (value == nullptr) {
            return std::nullopt;
        }
        return *value;
    });
}

bool Registry::SetValue(Hive hive, std::string_view path, std::string_view name,
                        RegistryValue value) {
    return NoThrow(false, [&] {
        std::lock_guard lock(mutex_);
        Store* found = StoreOf(stores_, hive);
        if (found == nullptr) {
            return false;
        }
        Store& store = *found;
        KeyNode* key = Descend(store.root, SplitPath(path), false);
        if (key == nullptr) {
            return false;
        }
        // A Dword's stray bytes would not survive a reload, so they are not kept at all.
        value = Normalized(std::move(value));
        if (RegistryValue* existing = key->values.Find(name)) {
            *existing = std::move(value);  // keeps the spelling the value was created with
        } else {
            key->values.Add(std::string(name), std::move(value));
        }
        return Save(hive);
    });
}

bool Registry::DeleteValue(Hive hive, std::string_view path, std::string_view name) {
    return NoThrow(false, [&] {
        std::lock_guard lock(mutex_);
        Store* found = StoreOf(stores_, hive);
        if (found == nullptr) {
            return false;
        }
        Store& store = *found;
        KeyNode* key = Descend(store.root, SplitPath(path), false);
        if (key == nullptr || !key->values.Remove(name)) {
            return false;
        }
        return Save(hive);
    });
}

std::vector<std::string> Registry::ValueNames(Hive hive, std::string_view path) const {
    return NoThrow(std::vector<std::string>(), [&] {
        std::lock_guard lock(mutex_);
        Store* found = StoreOf(stores_, hive);
        if (found == nullptr) {
            return std::vector<std::string>();
        }
        Store& store = *found;
        const KeyNode* key = Descend(store.root, SplitPath(path), false);
        return key == nullptr ? std::vector<std::string>() : key->values.Names();
    });
}

std::vector<std::string> Registry::SubkeyNames(Hive hive, std::string_view path) const {
    return NoThrow(std::vector<std::string>(), [&] {
        std::lock_guard lock(mutex_);
        Store* found = StoreOf(stores_, hive);
        if (found == nullptr) {
            return std::vector<std::string>();
        }
        Store& store = *found;
        const KeyNode* key = Descend(store.root, SplitPath(path), false);
        return key == nullptr ? std::vector<std::string>() : key->subkeys.Names();
    });
}

}  // namespace qv
