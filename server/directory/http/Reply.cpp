#include "http/Reply.h"

namespace qv::dirsvc {

Reply Reply::Success() {
    return Reply(true, std::string("Success") + kSeparator);
}

Reply Reply::Fail(std::string_view message) {
    Reply reply(false, std::string("Fail") + kSeparator);
    reply.AppendClean(message);
    return reply;
}

Reply Reply::Replayed(std::string body) {
    const bool success = body.starts_with("Success");
    return Reply(success, std::move(body));
}

Reply& Reply::Field(std::string_view key, std::string_view value) {
    if (success_) {
        AppendClean(key);
        body_.push_back('=');
        AppendClean(value);
        body_.push_back(kSeparator);
    }
    return *this;
}

Reply& Reply::Field(std::string_view key, std::int64_t value) {
    return Field(key, std::to_string(value));
}

Reply& Reply::Item(std::string_view value) {
    if (success_) {
        AppendClean(value);
        body_.push_back(kSeparator);
    }
    return *this;
}

void Reply::AppendClean(std::string_view text) {
    for (const char c : text) {
        body_.push_back(c == kSeparator || c == '\0' ? ' ' : c);
    }
}

}  // namespace qv::dirsvc
