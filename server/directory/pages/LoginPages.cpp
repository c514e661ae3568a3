#include "pages/LoginPages.h"

#include "http/PageRouter.h"
#include "pages/Messages.h"
#include "pages/Params.h"
#include "security/LoginThrottle.h"
#include "security/PasswordHasher.h"
#include "security/TicketIssuer.h"
#include "store/AccountStore.h"
#include "store/PartnerStore.h"
#include "store/Schema.h"
#include "store/SessionStore.h"
#include "util/Clock.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

using Verdict = PasswordHasher::Verdict;

// Ends a throttled attempt on every path: a check that never happened counts neither way.
class Attempt {
  public:
    Attempt(LoginThrottle& throttle, std::int64_t number, std::string_view address)
        : throttle_(throttle), number_(number), address_(address) {}
    ~Attempt() {
        if (!finished_) {
            throttle_.Abandoned(number_, address_);
        }
    }
    Attempt(const Attempt&) = delete;
    Attempt& operator=(const Attempt&) = delete;

    void Finish(bool failed) {
        throttle_.Finished(number_, address_, failed);
        finished_ = true;
    }

  private:
    LoginThrottle& throttle_;
    std::int64_t number_;
    std::string_view address_;
    bool finished_ = false;
};

std::string WaitMessage(std::int64_t seconds) {
    return "Too many failed logins for this Quorvane Number. Try again in " +
           std::to_string(seconds) + (seconds == 1 ? " second." : " seconds.");
}

}  // namespace

void LoginPages::Register(PageRouter& router) {
    router.Add("LoginEx2", [this](const PageRequest& r) { return LoginEx2(r); });
}

Reply LoginPages::LoginEx2(const PageRequest& request) {
    Params params(request.query);
    const std::string loginId = params.Required("LoginId");
    const std::string password = params.Required("Password");
    const auto partner = params.Number("PartnerId", 0, 65535, 1);
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    const auto number = text::Number(loginId, 1, Schema::kLastNumber);
    if (!number) {
        return Reply::Fail(messages::kInvalidLogin);
    }
    // A waiting number is refused before any work, with a text of its own: the client forgets
    // its stored password on the invalid-login text, and the right password may be on its way.
    if (const std::int64_t wait = services_.throttle.Begin(*number, request.remoteAddress);
        wait > 0) {
        return Reply::Fail(WaitMessage(wait));
    }
    Attempt attempt(services_.throttle, *number, request.remoteAddress);

    Account account;
    const StoreStatus found = services_.accounts.Find(*number, account);
    if (found == StoreStatus::kError) {
        return Reply::Fail(messages::kDatabase);
    }
    const std::int64_t now = services_.clock.Now();
    Verdict verdict = Verdict::kMismatch;
    bool mailedPassword = false;
    if (found == StoreStatus::kNotFound) {
        verdict = services_.hasher.VerifyUnknown(password);
    } else {
        verdict = services_.hasher.Verify(account.passwordHash, password);
        if (verdict == Verdict::kMismatch && !account.resetHash.empty() &&
            account.resetExpires > now) {
            verdict = services_.hasher.Verify(account.resetHash, password);
            mailedPassword = verdict == Verdict::kMatch;
        }
    }
    if (verdict == Verdict::kBusy) {
        return Reply::Fail(messages::kBusy);
    }
    if (verdict == Verdict::kMismatch) {
        attempt.Finish(true);
        return Reply::Fail(messages::kInvalidLogin);
    }
    attempt.Finish(false);

    if (!mailedPassword && services_.hasher.NeedsRehash(account.passwordHash)) {
        // The hash cost was raised since this password was set.
        const std::string rehashed = services_.hasher.Hash(password);
        if (!rehashed.empty()) {
            services_.accounts.ReplacePasswordHash(*number, account.passwordHash, rehashed);
        }
    }

    std::string connectionId;
    std::int64_t paramsVersion = 0;
    std::int64_t partnerListVersion = 0;
    if (services_.sessions.Create(*number, now, connectionId) != StoreStatus::kOk) {
        return Reply::Fail(messages::kDatabase);
    }
    // The mailed password becomes the password: the logins made with the old one end, except
    // this new one. Revoked first, so a failure leaves the mailed password to be used again.
    if (mailedPassword) {
        if (services_.sessions.RevokeOthers(*number, connectionId) != StoreStatus::kOk) {
            return Reply::Fail(messages::kDatabase);
        }
        services_.accounts.PromoteResetPassword(*number, account.resetHash);
    }
    // A partner without a parameter set reports 0, which is what the client starts with, so it
    // does not ask for parameters that do not exist.
    const StoreStatus paramsFound = services_.partners.ParamsVersion(*partner, paramsVersion);
    if (paramsFound == StoreStatus::kError ||
        services_.partners.PartnerListVersion(partnerListVersion) != StoreStatus::kOk) {
        return Reply::Fail(messages::kDatabase);
    }
    return Reply::Success()
        .Field("ConnectId", connectionId)
        .Field("ContactListVer", account.contactListVer)
        .Field("BlockListVer", account.blockListVer)
        .Field("PartnerListVer", partnerListVersion)
        .Field("PartnerParamsVer", paramsFound == StoreStatus::kOk ? paramsVersion : 0)
        .Field("NickName", account.profile.nickName)
        .Field("UserId", *number)
        // For the voice server; clients that do not know it skip the item.
        .Field("VoiceTicket", services_.tickets.Issue(*number, account.profile.nickName));
}

}  // namespace qv::dirsvc
