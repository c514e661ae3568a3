#include "mail/FileMailer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "util/Clock.h"

namespace qv::dirsvc {

namespace {

constexpr const char* kFrom = "Quorvane <noreply@quorvane.com>";
constexpr size_t kMaxNameAddress = 64;
constexpr int kNameAttempts = 100;

std::tm Utc(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    return parts;
}

// The recipient as it may appear in a file name.
std::string NamePart(std::string_view address) {
    std::string part;
    for (const char c : address.substr(0, kMaxNameAddress)) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '@' || c == '.' || c == '-' || c == '_' ||
                          c == '+';
        part.push_back(safe ? c : '_');
    }
    if (part.empty() || part[0] == '.') {
        part.insert(part.begin(), '_');
    }
    return part;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

FileMailer::FileMailer(std::string folder, const Clock& clock)
    : folder_(std::move(folder)), clock_(clock) {
    if (!folder_.empty() && folder_.back() != '/') {
        folder_.push_back('/');
    }
}

std::string FileMailer::Format(const MailMessage& message, std::int64_t now) {
    char date[64];
    const std::tm parts = Utc(now);
    std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S +0000", &parts);
    std::string text;
    text += "From: ";
    text += kFrom;
    text += "\r\nTo: " + message.to;
    text += "\r\nSubject: " + message.subject;
    text += "\r\nDate: ";
    text += date;
    text +=
        "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n"
        "Content-Transfer-Encoding: 8bit\r\n\r\n";
    for (const char c : message.body) {
        if (c == '\n') {
            text += "\r\n";
        } else {
            text.push_back(c);
        }
    }
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
        text += "\r\n";
    }
    return text;
}

bool FileMailer::Send(const MailMessage& message) {
    const std::int64_t now = clock_.Now();
    const std::string text = Format(message, now);
    char stamp[32];
    const std::tm parts = Utc(now);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &parts);

    const std::uint32_t first = sequence_.fetch_add(1);
    const std::string temporary =
        folder_ + ".sending-" + std::to_string(::getpid()) + "-" + std::to_string(first);
    // The mails carry passwords: readable by the service alone, whatever the umask.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool written = ::fchmod(fd, 0600) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(temporary.c_str());
        return false;
    }
    // link() never replaces an existing file: a name taken (another process, the same second)
    // moves on to the next sequence number.
    bool placed = false;
    std::uint32_t sequence = first;
    for (int attempt = 0; attempt < kNameAttempts && !placed; ++attempt) {
        char number[16];
        std::snprintf(number, sizeof number, "%06u", static_cast<unsigned>(sequence % 1000000));
        const std::string name =
            folder_ + stamp + "-" + number + "-" + NamePart(message.to) + ".eml";
        if (::link(temporary.c_str(), name.c_str()) == 0) {
            placed = true;
        } else if (errno != EEXIST) {
            break;
        } else {
            sequence = sequence_.fetch_add(1);
        }
    }
    ::unlink(temporary.c_str());
    return placed;
}

}  // namespace qv::dirsvc
