#pragma once

// What the directory service's CheckConnection page said about a user id and connection id.

#include <string>
#include <string_view>

namespace qv::voicesvc {

struct CheckReply {
    enum class Outcome { kPassed, kRefused, kUnreachable };

    Outcome outcome = Outcome::kUnreachable;
    std::string nickname;  // kPassed
    std::string reason;    // kRefused

    // "Success\xFFUserId=<n>\xFFNickName=<nick>\xFF" passes when the id is the one asked about;
    // "Fail\xFF<reason>" refuses; anything else counts as a directory that cannot be reached.
    static CheckReply Parse(std::string_view userId, std::string_view body);
};

}  // namespace qv::voicesvc
