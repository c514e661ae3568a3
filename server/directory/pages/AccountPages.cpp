#include "pages/AccountPages.h"

#include <chrono>

#include "http/PageRouter.h"
#include "mail/Mailer.h"
#include "pages/AccountMail.h"
#include "pages/FieldRules.h"
#include "pages/Messages.h"
#include "pages/Params.h"
#include "pages/ReplayCache.h"
#include "pages/SessionCheck.h"
#include "security/PasswordHasher.h"
#include "security/RateLimiter.h"
#include "security/Secrets.h"
#include "security/SourceAddress.h"
#include "store/AccountStore.h"
#include "store/Schema.h"
#include "store/SessionStore.h"
#include "util/Clock.h"
#include "util/Text.h"

namespace qv::dirsvc {

namespace {

// Sent by the client for a field the user left empty: keep the stored value.
constexpr std::string_view kUnchanged = "__EMPTY__";

struct TextRule {
    const char* key;
    size_t maxLength;
};

constexpr TextRule kFirstName{"FirstName", fields::kMaxName};
constexpr TextRule kLastName{"LastName", fields::kMaxName};
constexpr TextRule kCompany{"Company", fields::kMaxCompany};
constexpr TextRule kComment{"Comment", fields::kMaxComment};

std::string Trimmed(const std::optional<std::string>& value) {
    return value ? std::string(text::Trim(*value)) : std::string();
}

// The failure for a nickname the service refuses, or empty.
const char* NickNameFailure(const std::string& nickName) {
    if (fields::CheckNickName(nickName) != 0 || fields::IsReservedNickName(nickName)) {
        return messages::kInvalidNickName;
    }
    return nullptr;
}

std::string InvalidMessage(const TextRule& rule) {
    return std::string("Invalid ") + rule.key;
}

// A field that ModifyProfileEx is asked to change: present, not empty, not the marker.
std::optional<std::string> Change(Params& params, const char* key, bool trim) {
    std::optional<std::string> value = params.Optional(key);
    if (!value || value->empty() || *value == kUnchanged) {
        return std::nullopt;
    }
    return trim ? std::string(text::Trim(*value)) : *value;
}

std::optional<bool> FlagChange(Params& params, const char* key) {
    const std::optional<std::string> value = Change(params, key, true);
    if (!value) {
        return std::nullopt;
    }
    const auto number = text::Number(*value, 0, 1);
    if (!number) {
        params.Fail(std::string("Invalid ") + key);
        return std::nullopt;
    }
    return *number == 1;
}

// A repeat waits this long for the first attempt before it is told the service is busy.
constexpr auto kRepeatWait = std::chrono::seconds(15);

}  // namespace

class AccountPages::Claim {
  public:
    Claim(AccountPages& pages, std::string key) : pages_(pages), key_(std::move(key)) {
        std::unique_lock lock(pages_.registerMutex_);
        claimed_ = pages_.registerDone_.wait_for(
            lock, kRepeatWait, [this] { return pages_.registering_.count(key_) == 0; });
        if (claimed_) {
            pages_.registering_.insert(key_);
        }
    }
    ~Claim() {
        if (claimed_) {
            {
                std::lock_guard lock(pages_.registerMutex_);
                pages_.registering_.erase(key_);
            }
            pages_.registerDone_.notify_all();
        }
    }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

    bool Claimed() const { return claimed_; }

  private:
    AccountPages& pages_;
    std::string key_;
    bool claimed_ = false;
};

void AccountPages::Register(PageRouter& router) {
    router.Add("RegisterEx", [this](const PageRequest& r) { return RegisterEx(r); });
    router.Add("ModifyProfileEx", [this](const PageRequest& r) { return ModifyProfileEx(r); });
    router.Add("ForgotPass", [this](const PageRequest& r) { return ForgotPass(r); });
}

Reply AccountPages::RegisterEx(const PageRequest& request) {
    // Only the same query waits for the first attempt; the hashing and the mail of different
    // registrations run in parallel.
    const Claim claim(*this, std::string(request.rawQuery));
    if (!claim.Claimed()) {
        return Reply::Fail(messages::kBusy);
    }
    if (auto replayed = services_.replays.Find(request.page, request.rawQuery)) {
        return Reply::Replayed(std::move(*replayed));
    }
    return Register(request);
}

Reply AccountPages::Register(const PageRequest& request) {
    Params params(request.query);
    NewAccount account;
    Profile& profile = account.profile;
    profile.nickName = Trimmed(params.Required("NickName"));
    profile.email1 = Trimmed(params.Required("Email1"));
    std::string password = params.Optional("Password").value_or(std::string());
    profile.firstName = Trimmed(params.Optional(kFirstName.key));
    profile.lastName = Trimmed(params.Optional(kLastName.key));
    profile.company = Trimmed(params.Optional(kCompany.key));
    profile.comment = Trimmed(params.Optional(kComment.key));
    const auto hideEmail = params.Number("HideEmail", 0, 1, 0);
    const auto partner = params.Number("PartnerId", 0, 65535, 1);
    const auto mailsOk = params.Number("SendMailsOK", 0, 1, 0);
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    if (const char* failure = NickNameFailure(profile.nickName)) {
        return Reply::Fail(failure);
    }
    if (!fields::IsMailableEmail(profile.email1)) {
        return Reply::Fail(messages::kInvalidEmail);
    }
    const std::pair<const TextRule&, const std::string&> texts[] = {
        {kFirstName, profile.firstName},
        {kLastName, profile.lastName},
        {kCompany, profile.company},
        {kComment, profile.comment},
    };
    for (const auto& [rule, value] : texts) {
        if (!fields::IsPlainText(value, rule.maxLength)) {
            return Reply::Fail(InvalidMessage(rule));
        }
    }
    // The client always leaves the first password to the service.
    if (password.empty()) {
        password = secrets::NewPassword();
    } else if (!fields::IsAcceptablePassword(password)) {
        return Reply::Fail("Invalid Password");
    }
    profile.hideEmail = *hideEmail == 1;
    profile.subscribeToMails = *mailsOk == 1;
    account.partnerId = static_cast<int>(*partner);
    // Counted before the hash, which is the cost an address could otherwise run up.
    if (!limits_.registrations.Take(SourceKey(request.remoteAddress))) {
        return Reply::Fail(messages::kTooManyRegistrations);
    }
    account.passwordHash = services_.hasher.Hash(password);
    if (account.passwordHash.empty()) {
        return Reply::Fail(messages::kBusy);
    }

    // The account is committed durably before its number is mailed, so a mailed number is
    // never lost nor given to someone else. The mail is the only place a new user learns the
    // password, so no mail, no account (its number stays unused).
    std::int64_t number = 0;
    const StoreStatus status =
        services_.accounts.Create(account, services_.clock.Now(), nullptr, number);
    switch (status) {
        case StoreStatus::kOk:
            break;
        case StoreStatus::kConflict:
            return Reply::Fail(messages::kNickNameTaken);
        case StoreStatus::kFull:
            return Reply::Fail(messages::kNoMoreNumbers);
        default:
            return Reply::Fail(messages::kDatabase);
    }
    if (!services_.mailer.Send(AccountMail::Welcome(number, password, profile))) {
        services_.accounts.Discard(number);
        return Reply::Fail(messages::kAccountMailFailed);
    }
    Reply reply = Reply::Success().Field("LoginId", number).Field("Password", password);
    services_.replays.Store(request.page, request.rawQuery, reply.Body());
    return reply;
}

Reply AccountPages::ModifyProfileEx(const PageRequest& request) {
    Params params(request.query);
    const std::string connectionId = params.Required("ConnectionId");
    ProfileChange change;
    change.nickName = Change(params, "NickName", true);
    change.email1 = Change(params, "Email1", true);
    change.hideEmail = FlagChange(params, "HideEmail");
    change.subscribeToMails = FlagChange(params, "SubscribeToMails");
    change.firstName = Change(params, kFirstName.key, true);
    change.lastName = Change(params, kLastName.key, true);
    const std::optional<std::string> password = Change(params, "Password", false);
    change.company = Change(params, kCompany.key, true);
    change.comment = Change(params, kComment.key, true);
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }

    std::string failure;
    const auto user =
        SessionCheck::User(services_.sessions, services_.clock, connectionId, failure);
    if (!user) {
        return Reply::Fail(failure);
    }
    if (change.nickName) {
        if (const char* nickFailure = NickNameFailure(*change.nickName)) {
            return Reply::Fail(nickFailure);
        }
    }
    if (change.email1 && !fields::IsMailableEmail(*change.email1)) {
        return Reply::Fail(messages::kInvalidEmail);
    }
    const std::pair<const TextRule&, const std::optional<std::string>&> texts[] = {
        {kFirstName, change.firstName},
        {kLastName, change.lastName},
        {kCompany, change.company},
        {kComment, change.comment},
    };
    for (const auto& [rule, value] : texts) {
        if (value && !fields::IsPlainText(*value, rule.maxLength)) {
            return Reply::Fail(InvalidMessage(rule));
        }
    }
    if (password) {
        if (!fields::IsAcceptablePassword(*password)) {
            return Reply::Fail("Invalid Password");
        }
        change.passwordHash = services_.hasher.Hash(*password);
        if (change.passwordHash->empty()) {
            return Reply::Fail(messages::kBusy);
        }
    }

    switch (services_.accounts.Update(*user, change)) {
        case StoreStatus::kOk:
            // The old password's logins end; the one making the change stays.
            if (password &&
                services_.sessions.RevokeOthers(*user, connectionId) != StoreStatus::kOk) {
                return Reply::Fail(messages::kDatabase);
            }
            return Reply::Success();
        case StoreStatus::kConflict:
            return Reply::Fail(messages::kNickNameTaken);
        case StoreStatus::kNotFound:
            return Reply::Fail(messages::kUserNotFound);
        default:
            return Reply::Fail(messages::kDatabase);
    }
}

Reply AccountPages::ForgotPass(const PageRequest& request) {
    Params params(request.query);
    const auto number = params.Number("LoginId", 1, Schema::kLastNumber);
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    Account account;
    switch (services_.accounts.Find(*number, account)) {
        case StoreStatus::kOk:
            break;
        case StoreStatus::kNotFound:
            return Reply::Fail(messages::kUserNotFound);
        default:
            return Reply::Fail(messages::kDatabase);
    }
    const std::int64_t now = services_.clock.Now();
    // A quick answer for the usual repeat; the store checks again in the same step as the write.
    if (account.resetMailed != 0 && now >= account.resetMailed &&
        now - account.resetMailed < kResetMailInterval) {
        return Reply::Fail(messages::kPasswordMailedRecently);
    }
    if (!limits_.resetMails.Take(SourceKey(request.remoteAddress))) {
        return Reply::Fail(messages::kTooManyPasswordMails);
    }
    // Only a hash of the password is kept, so the service mails a new one. It works beside the
    // old one until it is first used: a stranger who asks for it cannot lock the user out.
    const std::string password = secrets::NewPassword();
    const std::string hash = services_.hasher.Hash(password);
    if (hash.empty()) {
        return Reply::Fail(messages::kBusy);
    }
    // Stored (durably) first, mailed after: a mail never carries a password the service lost.
    switch (services_.accounts.SetResetPassword(*number, hash, now + kResetValidDays * 24 * 3600,
                                                now, kResetMailInterval)) {
        case StoreStatus::kOk:
            break;
        case StoreStatus::kConflict:
            return Reply::Fail(messages::kPasswordMailedRecently);
        case StoreStatus::kNotFound:
            return Reply::Fail(messages::kUserNotFound);
        default:
            return Reply::Fail(messages::kDatabase);
    }
    if (!services_.mailer.Send(
            AccountMail::NewPassword(*number, password, account.profile, kResetValidDays))) {
        // Taken back, so the user may ask again at once.
        services_.accounts.WithdrawResetPassword(*number, hash);
        return Reply::Fail(messages::kPasswordMailFailed);
    }
    return Reply::Success();
}

}  // namespace qv::dirsvc
