#pragma once

// A page's answer in the client's grammar: "Success" and then fields ("Key=value") and items,
// each ended by the separator 0xFF; or "Fail", the separator and a message that runs to the end
// with nothing after it. The client compares some messages exactly, so not a byte is added.
// Values never carry the separator or a NUL byte (the client would cut them), so those are
// replaced by spaces.

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::dirsvc {

class Reply {
  public:
    static constexpr char kSeparator = '\xFF';

    static Reply Success();
    static Reply Fail(std::string_view message);
    // A reply built earlier, sent again unchanged.
    static Reply Replayed(std::string body);

    // On a failure reply these do nothing.
    Reply& Field(std::string_view key, std::string_view value);
    Reply& Field(std::string_view key, std::int64_t value);
    Reply& Item(std::string_view value);

    // The HTTP status beside the body (the client never reads it; other tools do).
    Reply& WithStatus(int status) {
        status_ = status;
        return *this;
    }

    bool Succeeded() const { return success_; }
    const std::string& Body() const { return body_; }
    int Status() const { return status_; }

  private:
    Reply(bool success, std::string body) : success_(success), body_(std::move(body)) {}
    void AppendClean(std::string_view text);

    bool success_;
    std::string body_;
    int status_ = 200;
};

}  // namespace qv::dirsvc
