#pragma once

// RegisterEx, ModifyProfileEx and ForgotPass: creating and changing accounts.

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

#include "http/Reply.h"
#include "pages/PageServices.h"

namespace qv::dirsvc {

class PageRouter;
class RateLimiter;
struct PageRequest;

// Per-address limits on the pages that cost a hash and a mail.
struct AccountLimits {
    RateLimiter& registrations;
    RateLimiter& resetMails;
};

class AccountPages {
  public:
    // A mailed password stays usable this long.
    static constexpr std::int64_t kResetValidDays = 3;
    // ForgotPass mails at most once in this many seconds per account.
    static constexpr std::int64_t kResetMailInterval = 600;

    AccountPages(PageServices services, AccountLimits limits)
        : services_(services), limits_(limits) {}

    void Register(PageRouter& router);

    Reply RegisterEx(const PageRequest& request);
    Reply ModifyProfileEx(const PageRequest& request);
    Reply ForgotPass(const PageRequest& request);

  private:
    // Marks a RegisterEx query as being worked on; a repeat of it waits for the first to end
    // (and then finds its reply), other registrations go ahead in parallel.
    class Claim;

    Reply Register(const PageRequest& request);

    PageServices services_;
    AccountLimits limits_;
    std::mutex registerMutex_;
    std::condition_variable registerDone_;
    std::set<std::string> registering_;
};

}  // namespace qv::dirsvc
