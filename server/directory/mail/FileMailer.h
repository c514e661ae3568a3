#pragma once

// A mailer that writes each message as a file into a folder, for machines without a mail
// server: <UTC time>-<sequence>-<recipient>.eml, so the newest sorts last. Each file appears
// whole (written aside, then linked into place).

#include <atomic>
#include <cstdint>
#include <string>

#include "mail/Mailer.h"

namespace qv::dirsvc {

class Clock;

class FileMailer final : public Mailer {
  public:
    // folder must exist.
    FileMailer(std::string folder, const Clock& clock);

    bool Send(const MailMessage& message) override;

    // The file text of a message sent at the given time.
    static std::string Format(const MailMessage& message, std::int64_t now);

  private:
    std::string folder_;
    const Clock& clock_;
    std::atomic<std::uint32_t> sequence_{0};
};

}  // namespace qv::dirsvc
