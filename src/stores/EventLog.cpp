#include "stores/EventLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>

#include "platform/FileIo.h"
#include "platform/Screen.h"
#include "platform/Trace.h"
#include "stores/FixedRecords.h"

namespace qv {

namespace {

using stores_detail::PutText;
using stores_detail::PutU32;
using stores_detail::RecordReader;

constexpr char kMagic[5] = {'C', 'L', 'O', 'G', '\0'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kMaxLogBytes = 1024u * 1024u * 1024u;
constexpr const char* kCrLf = "\r\n";

bool HasInvitationField(std::uint8_t type) {
    return type == event_type::kIncomingInvitation || type == event_type::kIncomingWebTour ||
           type == event_type::kOutgoingInvitation || type == event_type::kOutgoingWebTour;
}

bool IsKnown(std::uint8_t type) {
    switch (type) {
        case event_type::kIncomingMessage:
        case event_type::kOutgoingMessage:
        case event_type::kIncomingCall:
        case event_type::kOutgoingCall:
        case event_type::kSystemMessage:
            return true;
        default:
            return HasInvitationField(type);
    }
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool ContainsNoCase(std::string_view haystack, const std::string& lowerNeedle) {
    return lowerNeedle.empty() || Lower(haystack).find(lowerNeedle) != std::string::npos;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Up to the first NUL.
std::string_view UntilNul(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

const char* TypeLine(std::uint8_t type) {
    switch (type) {
        case event_type::kIncomingMessage:
            return "TYPE: Incoming Instant Message";
        case event_type::kOutgoingMessage:
            return "TYPE: Outgoing Instant Message";
        case event_type::kIncomingCall:
            return "TYPE: Incoming Call";
        case event_type::kOutgoingCall:
            return "TYPE: Outgoing Call";
        case event_type::kSystemMessage:
            return "TYPE: System Message";
        case event_type::kIncomingInvitation:
            return "TYPE: Incoming Forum Invitation";
        case event_type::kIncomingWebTour:
            return "TYPE: Incoming Web Tour Invitation";
        case event_type::kOutgoingInvitation:
            return "TYPE: Outgoing Forum Invitation";
        case event_type::kOutgoingWebTour:
            return "TYPE: Outgoing Web Tour Invitation";
        default:
            return nullptr;
    }
}

}  // namespace

std::string EventLog::Header() {
    std::string out(kMagic, sizeof kMagic);
    PutU32(out, kVersion);
    return out;
}

std::string EventLog::EncodeRecord(const EventRecord& record) {
    std::string body;
    PutU32(body, record.time);
    PutText(body, record.id, kNameWidth);
    PutText(body, record.nickname, kNameWidth);
    if (HasInvitationField(record.type)) {
        PutText(body, record.text, kInvitationWidth);
    } else if (record.type != event_type::kIncomingCall &&
               record.type != event_type::kOutgoingCall) {
        body.append(UntilNul(record.text));
        body.push_back('\0');
    }
    std::string out;
    out.push_back(static_cast<char>(record.type));
    PutU32(out, static_cast<std::uint32_t>(body.size()));
    return out + body;
}

std::optional<std::vector<EventRecord>> EventLog::Decode(std::string_view data) {
    if (data.size() < sizeof kMagic ||
        data.substr(0, sizeof kMagic) != std::string_view(kMagic, 5)) {
        return std::nullopt;
    }
    std::vector<EventRecord> records;
    // A guess from the smallest record (a call) keeps the list from growing step by step.
    records.reserve(data.size() / (5 + kFixedPart) / 2);
    RecordReader reader(data);
    std::uint32_t version = 0;
    reader.Skip(sizeof kMagic);
    if (!reader.U32(version)) {
        return records;
    }
    while (reader.Has(5)) {
        const auto type = static_cast<std::uint8_t>(data[data.size() - reader.Remaining()]);
        reader.Skip(1);
        std::uint32_t length = 0;
        reader.U32(length);
        if (!reader.Has(length)) {
            break;  // cut off: what came before stays
        }
        const std::size_t at = data.size() - reader.Remaining();
        reader.Skip(length);
        if (!IsKnown(type) || length < kFixedPart) {
            continue;
        }
        RecordReader body(data.substr(at, length));
        EventRecord record;
        record.type = type;
        body.U32(record.time);
        body.Text(kNameWidth, record.id);
        body.Text(kNameWidth, record.nickname);
        record.text = std::string(UntilNul(data.substr(at + kFixedPart, length - kFixedPart)));
        records.push_back(std::move(record));
    }
    return records;
}

bool EventLog::Open(const std::string& path) {
    open_ = false;
    path_ = path;
    const std::string folder = stores_detail::FolderOf(path);
    if (!folder.empty()) {
        MakeFolders(folder);
    }
    const int created = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (created >= 0) {
        const bool ok = WriteAll(created, Header());
        const bool closed = ::close(created) == 0;
        if (!ok || !closed) {
            ::unlink(path.c_str());
            return false;
        }
    } else {
        if (errno != EEXIST) {
            return false;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return false;
        }
        struct stat st {};
        char head[sizeof kMagic] = {};
        ssize_t got = 0;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            got = ::read(fd, head, sizeof head);
        }
        ::close(fd);
        if (got != static_cast<ssize_t>(sizeof head) ||
            std::string_view(head, sizeof head) != std::string_view(kMagic, sizeof kMagic)) {
            return false;
        }
    }
    open_ = true;
    Changed();
    return true;
}

bool EventLog::OpenOrRepair(const std::string& path, Screen& screen) {
    if (Open(path)) {
        return true;
    }
    if (!FileExists(path)) {
        Trace("EventLog", "OpenOrRepair", "cannot create " + path);
        return false;
    }
    screen.MessageBox(kCorruptText, kCorruptCaption, mb::kOk | mb::kIconExclamation);
    const std::string folder = stores_detail::FolderOf(path);
    const std::string backup = (folder.empty() ? std::string() : folder + "/") + kBackupName;
    if (!CopyFileOver(path, backup)) {
        // Without a copy the old file stays where it is: nothing is lost, the log stays closed.
        Trace("EventLog", "OpenOrRepair", "cannot copy " + path + " to " + backup);
        return false;
    }
    if (::unlink(path.c_str()) != 0) {
        Trace("EventLog", "OpenOrRepair", "cannot delete " + path);
        return false;
    }
    return Open(path);
}

std::string EventLog::ArchivePath() const {
    const std::string folder = stores_detail::FolderOf(path_);
    return (folder.empty() ? std::string() : folder + "/") + kArchiveName;
}

bool EventLog::Append(const EventRecord& record) {
    if (!open_) {
        return false;
    }
    const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = WriteAll(fd, EncodeRecord(record));
    const bool closed = ::close(fd) == 0;
    Changed();
    return ok && closed;
}

void EventLog::LogIncomingMessage(std::uint32_t time, const std::string& id,
                                  const std::string& nickname, const std::string& text) {
    Append({event_type::kIncomingMessage, time, id, nickname, text, std::nullopt});
}

void EventLog::LogOutgoingMessage(std::uint32_t time, const std::string& id,
                                  const std::string& nickname, const std::string& text) {
    Append({event_type::kOutgoingMessage, time, id, nickname, text, std::nullopt});
}

void EventLog::LogIncomingCall(std::uint32_t time, const std::string& id,
                               const std::string& nickname) {
    Append({event_type::kIncomingCall, time, id, nickname, {}, std::nullopt});
}

void EventLog::LogOutgoingCall(std::uint32_t time, const std::string& id,
                               const std::string& nickname) {
    Append({event_type::kOutgoingCall, time, id, nickname, {}, std::nullopt});
}

void EventLog::LogIncomingInvitation(std::uint32_t time, const std::string& id,
                                     const std::string& nickname, const std::string& text) {
    Append({event_type::kIncomingInvitation, time, id, nickname, text, std::nullopt});
}

void EventLog::LogOutgoingInvitation(std::uint32_t time, const std::string& id,
                                     const std::string& nickname, const std::string& text) {
    Append({event_type::kOutgoingInvitation, time, id, nickname, text, std::nullopt});
}

std::uint32_t EventLog::GroupOf(std::uint8_t type) {
    switch (type) {
        case event_type::kIncomingMessage:
        case event_type::kOutgoingMessage:
            return event_group::kMessages;
        case event_type::kIncomingCall:
        case event_type::kOutgoingCall:
            return event_group::kCalls;
        case event_type::kIncomingInvitation:
        case event_type::kOutgoingInvitation:
            return event_group::kInvitations;
        case event_type::kIncomingWebTour:
        case event_type::kOutgoingWebTour:
            return event_group::kWebTours;
        default:
            return event_group::kSystem;
    }
}

bool EventLog::Matches(const EventRecord& record, const EventFilter& filter) {
    if (filter.groups != 0 && (GroupOf(record.type) & filter.groups) == 0) {
        return false;
    }
    if ((filter.from && record.time < *filter.from) || (filter.to && record.time > *filter.to)) {
        return false;
    }
    if (!filter.userId.empty() && Lower(record.id) != Lower(filter.userId)) {
        return false;
    }
    const std::string party = Lower(filter.party);
    if (!party.empty() && !ContainsNoCase(record.id, party) &&
        !ContainsNoCase(record.nickname, party)) {
        return false;
    }
    return ContainsNoCase(record.text, Lower(filter.text));
}

std::vector<EventRecord> EventLog::Query(const EventFilter& filter) {
    records_.clear();
    if (open_) {
        if (const auto data = ReadWholeFile(path_, kMaxLogBytes)) {
            if (auto decoded = Decode(*data)) {
                records_ = std::move(*decoded);
            }
        }
    }
    const bool everything = filter.groups == 0 && !filter.from && !filter.to &&
                            filter.userId.empty() && filter.party.empty() && filter.text.empty();
    if (everything) {
        return records_;
    }
    std::vector<EventRecord> shown;
    shown.reserve(records_.size());
    for (const EventRecord& record : records_) {
        if (Matches(record, filter)) {
            shown.push_back(record);
        }
    }
    return shown;
}

std::string EventLog::ArchiveText(const EventRecord& record) {
    std::string out = "CONTACT: " + record.nickname + " ( " + record.id + " )" + kCrLf;
    if (const char* type = TypeLine(record.type)) {
        out += std::string(type) + kCrLf;
    }
    char when[128] = {};
    const auto time = static_cast<std::time_t>(record.time);
    std::tm local{};
    if (::localtime_r(&time, &local) != nullptr) {
        std::strftime(when, sizeof when, "%c", &local);
    }
    out += std::string("TIME: ") + when + kCrLf;
    static constexpr const char* kPriorities[] = {"Normal", "Low", "Medium", "High"};
    if (record.priority && *record.priority >= 0 && *record.priority <= 3) {
        out += std::string("PRIORITY: ") + kPriorities[*record.priority] + kCrLf;
    }
    if (record.type == event_type::kIncomingMessage ||
        record.type == event_type::kOutgoingMessage) {
        out += "MESSAGE: " + record.text.substr(0, record.text.find_first_of("\r\n")) + kCrLf;
    } else if (record.type == event_type::kIncomingInvitation ||
               record.type == event_type::kOutgoingInvitation) {
        out += "FORUM NAME: " + record.text + kCrLf;
    }
    out += kCrLf;
    out += std::string(kSeparatorLength, '-') + kCrLf;
    return out;
}

std::string EventLog::ArchiveConfirmation(const std::string& archivePath) {
    return std::string("WARNING: Your entire event log will be written to disk as:") + kCrLf +
           kCrLf + "\"" + archivePath + "\"." + kCrLf + kCrLf +
           "The archived events can later be viewed with any text editor, but cannot be read "
           "from within Quorvane." +
           kCrLf + kCrLf + "Proceed with archive?";
}

bool EventLog::Archive(const std::string& archivePath) {
    if (!open_) {
        return false;
    }
    const std::optional<std::string> data = ReadWholeFile(path_, kMaxLogBytes);
    if (!data) {
        return false;
    }
    const std::optional<std::vector<EventRecord>> records = Decode(*data);
    if (!records) {
        return false;
    }
    std::string text;
    for (const EventRecord& record : *records) {
        text += ArchiveText(record);
    }
    // Appended, never truncated: earlier archives stay.
    const int fd =
        ::open(archivePath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        return false;
    }
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    bool ok = WriteAll(fd, text);
    // A full disk may only show at the flush; devices that cannot be flushed are not an error.
    if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        ok = false;
    }
    if (!ok && sized && S_ISREG(before.st_mode)) {
        // Half an archive would be archived again with the rest next time.
        if (::ftruncate(fd, before.st_size) != 0) {
            Trace("EventLog", "Archive", "cannot take back the partial archive");
        }
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    if (!ok) {
        return false;
    }
    // The archive is safe: now the log is emptied, in one step.
    if (!ReplaceFileAtomically(path_, Header(), kPrivateFileMode)) {
        return false;
    }
    records_.clear();
    const bool reopened = Open(path_);
    Changed();
    return reopened;
}

int EventLog::ArchiveCommand(Screen& screen) {
    const std::string archive = ArchivePath();
    if (screen.MessageBox(ArchiveConfirmation(archive), kArchiveCaption,
                          mb::kYesNo | mb::kIconExclamation) != mb::kIdYes) {
        return 0;
    }
    if (Archive(archive)) {
        return 1;
    }
    const std::string_view format = kArchiveFailedText;
    const std::size_t mark = format.find("%s");
    const std::string text =
        std::string(format.substr(0, mark)) + archive + std::string(format.substr(mark + 2));
    screen.MessageBox(text, kCorruptCaption, mb::kOk | mb::kIconExclamation);
    return -1;
}

void EventLog::Changed() {
    if (changed_) {
        changed_();
    }
}

}  // namespace qv
