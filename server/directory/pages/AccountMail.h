#pragma once

// The mail the account pages send: number and password in plain words.

#include <cstdint>
#include <string>

#include "mail/MailMessage.h"

namespace qv::dirsvc {

struct Profile;

class AccountMail {
  public:
    static MailMessage Welcome(std::int64_t number, const std::string& password,
                               const Profile& profile);
    static MailMessage NewPassword(std::int64_t number, const std::string& password,
                                   const Profile& profile, std::int64_t validDays);
};

}  // namespace qv::dirsvc
