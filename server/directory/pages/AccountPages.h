#pragma once

// RegisterEx, ModifyProfileEx and ForgotPass: creating and changing accounts.

#include <mutex>

#include "http/Reply.h"
#include "pages/PageServices.h"

namespace qv::dirsvc {

class PageRouter;
struct PageRequest;

class AccountPages {
  public:
    // A mailed password stays usable this long.
    static constexpr std::int64_t kResetValidDays = 3;
    // ForgotPass mails at most once in this many seconds per account.
    static constexpr std::int64_t kResetMailInterval = 600;

    explicit AccountPages(PageServices services) : services_(services) {}

    void Register(PageRouter& router);

    Reply RegisterEx(const PageRequest& request);
    Reply ModifyProfileEx(const PageRequest& request);
    Reply ForgotPass(const PageRequest& request);

  private:
    PageServices services_;
    // Registrations are rare; one at a time makes a repeated request find the first's reply.
    std::mutex registerMutex_;
};

}  // namespace qv::dirsvc
