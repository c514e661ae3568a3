#include "stores/MessageFiles.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/FileIo.h"

namespace qv {

namespace {

void PutU32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
    }
}

void PutU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFFu));
    out.push_back(static_cast<char>((value >> 8) & 0xFFu));
}

// At most width - 1 bytes (a NUL inside ends the text), then NULs to width.
void PutText(std::string& out, std::string_view text, std::size_t width) {
    std::string_view kept = text.substr(0, std::min(text.size(), width - 1));
    kept = kept.substr(0, std::min(kept.size(), kept.find('\0')));
    out.append(kept);
    out.append(width - kept.size(), '\0');
}

std::uint32_t GetU32(std::string_view data, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
    }
    return value;
}

std::uint16_t GetU16(std::string_view data, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(data[at]) |
                                      (static_cast<unsigned char>(data[at + 1]) << 8));
}

std::string GetText(std::string_view data, std::size_t at, std::size_t width) {
    const std::string_view field = data.substr(at, width - 1);
    return std::string(field.substr(0, std::min(field.size(), field.find('\0'))));
}

constexpr std::string_view kAlertsMagic = "ALRT";
constexpr std::string_view kQueueMagic{"OFFL\0", 5};
constexpr std::size_t kQueueHeader = 5 + 4 + 2 * OfflineQueue::kIdField;

}  // namespace

namespace alerts_file {

std::string Encode(const std::vector<SavedAlert>& alerts) {
    std::string out(kAlertsMagic);
    PutU32(out, kVersion);
    PutU32(out, 0);  // the count goes in after the records
    out.append(20, '\0');
    std::uint32_t count = 0;
    for (const SavedAlert& alert : alerts) {
        PutU32(out, 174);
        PutU32(out, alert.time);
        PutText(out, alert.senderNickname, kNameField);
        PutText(out, alert.senderId, kNameField);
        PutText(out, alert.text, kTextField);
        PutU16(out, alert.flags);
        ++count;
    }
    std::string countBytes;
    PutU32(countBytes, count);
    out.replace(8, 4, countBytes);
    return out;
}

std::vector<SavedAlert> Decode(std::string_view data) {
    std::vector<SavedAlert> alerts;
    if (data.size() < kHeaderSize || data.substr(0, 4) != kAlertsMagic ||
        GetU32(data, 4) != kVersion) {
        return alerts;
    }
    const std::uint32_t count = GetU32(data, 8);
    std::size_t at = kHeaderSize;
    for (std::uint32_t i = 0; i < count && at + kRecordSize <= data.size(); ++i) {
        SavedAlert alert;
        alert.kind = static_cast<std::int32_t>(GetU32(data, at));
        alert.time = GetU32(data, at + 4);
        alert.senderNickname = GetText(data, at + 8, kNameField);
        alert.senderId = GetText(data, at + 8 + kNameField, kNameField);
        alert.text = GetText(data, at + 8 + 2 * kNameField, kTextField);
        alert.flags = GetU16(data, at + 8 + 2 * kNameField + kTextField);
        at += kRecordSize;
        if (alert.kind == 174) {
            alerts.push_back(std::move(alert));
        }
    }
    return alerts;
}

bool Save(const std::string& path, const std::vector<SavedAlert>& alerts) {
    return !path.empty() && ReplaceFileAtomically(path, Encode(alerts), kPrivateFileMode);
}

std::vector<SavedAlert> Load(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const std::optional<std::string> data = ReadWholeFile(path, kHeaderSize + 100000 * kRecordSize);
    return data ? Decode(*data) : std::vector<SavedAlert>{};
}

}  // namespace alerts_file

OfflineQueue::OfflineQueue(std::string folder, std::function<std::uint32_t()> now)
    : folder_(std::move(folder)), now_(std::move(now)) {}

std::string OfflineQueue::FileName(std::uint32_t time, std::uint32_t counter) {
    char name[32];
    std::snprintf(name, sizeof name, "%08x%08x.msg", time, counter);
    return name;
}

std::string OfflineQueue::Encode(const QueuedMessage& message) {
    std::string text =
        message.text.substr(0, std::min(message.text.size(), message.text.find('\0')));
    if (text.size() + 1 > kMaxText) {
        text.resize(kMaxText - 1);  // what the reader could not take back
    }
    std::string out(kQueueMagic);
    PutU32(out, static_cast<std::uint32_t>(text.size() + 1));
    PutText(out, message.recipientId, kIdField);
    PutText(out, message.recipientNickname, kIdField);
    out.append(text);
    out.push_back('\0');
    PutU16(out, message.flags);
    return out;
}

bool OfflineQueue::Decode(std::string_view data, QueuedMessage& message) {
    if (data.size() < kQueueHeader || data.substr(0, 5) != kQueueMagic) {
        return false;
    }
    const std::uint32_t length = GetU32(data, 5);
    if (length == 0 || length > kMaxText || data.size() < kQueueHeader + length + 2) {
        return false;
    }
    message.recipientId = GetText(data, 9, kIdField);
    message.recipientNickname = GetText(data, 9 + kIdField, kIdField);
    message.text = GetText(data, kQueueHeader, length);
    message.flags = GetU16(data, kQueueHeader + length);
    return true;
}

std::string OfflineQueue::Enqueue(const QueuedMessage& message) {
    if (folder_.empty() || !MakeFolders(folder_)) {
        return {};
    }
    const std::string path = folder_ + FileName(now_ ? now_() : 0, counter_++);
    return ReplaceFileAtomically(path, Encode(message), kPrivateFileMode) ? path : std::string{};
}

std::vector<std::string> OfflineQueue::Files() const {
    std::vector<std::string> names;
    DIR* dir = folder_.empty() ? nullptr : ::opendir(folder_.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".msg") == 0) {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

int OfflineQueue::Flush(const std::function<void(const QueuedMessage&)>& send) {
    int sent = 0;
    for (const std::string& name : Files()) {
        const std::string path = folder_ + name;
        const std::optional<std::string> data = ReadWholeFile(path, kQueueHeader + kMaxText + 2);
        QueuedMessage message;
        if (!data || !Decode(*data, message)) {
            continue;  // not ours, or broken: it stays where it is
        }
        send(message);
        ::unlink(path.c_str());
        ++sent;
    }
    return sent;
}

}  // namespace qv
