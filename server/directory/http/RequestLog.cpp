#include "http/RequestLog.h"

#include <cstdio>
#include <ctime>

#include "http/UrlDecoding.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

constexpr size_t kMaxTarget = 400;
constexpr size_t kMaxMessage = 80;
constexpr size_t kShownIdDigits = 6;

void AppendPrintable(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
}

}  // namespace

RequestLog::RequestLog(Sink sink) : sink_(std::move(sink)) {}

void RequestLog::Write(std::int64_t now, std::string_view remote, std::string_view method,
                       std::string_view target, int status, std::string_view body) {
    char stamp[32];
    const auto t = static_cast<std::time_t>(now);
    std::tm parts{};
    gmtime_r(&t, &parts);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);

    std::string line = stamp;
    line += ' ';
    AppendPrintable(line, remote.empty() ? "-" : remote);
    line += ' ';
    AppendPrintable(line, method.empty() ? "-" : method);
    line += ' ';
    line += target.empty() ? "-" : Redacted(target);
    line += ' ';
    line += std::to_string(status);
    line += ' ';
    line += Outcome(body);

    std::lock_guard lock(mutex_);
    if (sink_) {
        sink_(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
}

std::string RequestLog::Redacted(std::string_view target) {
    std::string out;
    const size_t question = target.find('?');
    AppendPrintable(out, target.substr(0, question));
    if (question != std::string_view::npos) {
        out.push_back('?');
        std::string_view rest = target.substr(question + 1);
        bool first = true;
        while (true) {
            const size_t end = rest.find('&');
            const std::string_view piece = rest.substr(0, end);
            if (!first) {
                out.push_back('&');
            }
            first = false;
            const size_t equals = piece.find('=');
            const std::string key = text::AsciiLower(PercentDecode(piece.substr(0, equals)));
            if (equals == std::string_view::npos) {
                AppendPrintable(out, piece);
            } else if (key == "password") {
                AppendPrintable(out, piece.substr(0, equals + 1));
                out.push_back('*');
            } else if (key == "connectionid") {
                AppendPrintable(out, piece.substr(0, equals + 1 + kShownIdDigits));
                if (piece.size() > equals + 1 + kShownIdDigits) {
                    out += "...";
                }
            } else {
                AppendPrintable(out, piece);
            }
            if (end == std::string_view::npos || out.size() > kMaxTarget) {
                break;
            }
            rest = rest.substr(end + 1);
        }
    }
    if (out.size() > kMaxTarget) {
        out.resize(kMaxTarget);
        out += "...";
    }
    return out;
}

std::string RequestLog::Outcome(std::string_view body) {
    if (body.starts_with("Success")) {
        return "Success";
    }
    if (body.starts_with("Fail") && body.size() >= 5) {
        std::string out = "Fail: ";
        std::string_view message = body.substr(5);
        const bool cut = message.size() > kMaxMessage;
        message = message.substr(0, kMaxMessage);
        for (const char c : message) {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back(byte >= 0x20 && byte < 0x7F ? c : '?');
        }
        if (cut) {
            out += "...";
        }
        return out;
    }
    return "-";
}

}  // namespace qv::dirsvc
