#pragma once

#include <string>

namespace qv::dirsvc {

// One plain-text message. Addresses and subject hold no line breaks (the pages check them).
struct MailMessage {
    std::string to;
    std::string subject;
    std::string body;  // lines separated by "\n"
};

}  // namespace qv::dirsvc
