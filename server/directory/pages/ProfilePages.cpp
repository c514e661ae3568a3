#include "pages/ProfilePages.h"

#include "http/PageRouter.h"
#include "pages/Messages.h"
#include "pages/Params.h"
#include "pages/SessionCheck.h"
#include "store/AccountStore.h"
#include "store/Schema.h"

namespace qv::dirsvc {

namespace {

// The account, or the failure to report.
std::optional<Reply> LoadAccount(AccountStore& accounts, std::int64_t number, Account& account) {
    switch (accounts.Find(number, account)) {
        case StoreStatus::kOk:
            return std::nullopt;
        case StoreStatus::kNotFound:
            return Reply::Fail(messages::kUserNotFound);
        default:
            return Reply::Fail(messages::kDatabase);
    }
}

}  // namespace

void ProfilePages::Register(PageRouter& router) {
    router.Add("GetUserProfile", [this](const PageRequest& r) { return GetUserProfile(r); });
    router.Add("GetProfileEx", [this](const PageRequest& r) { return GetProfileEx(r); });
}

Reply ProfilePages::GetUserProfile(const PageRequest& request) {
    Params params(request.query);
    const auto number = params.Number("LoginId", 1, Schema::kLastNumber);
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    Account account;
    if (auto failure = LoadAccount(services_.accounts, *number, account)) {
        return std::move(*failure);
    }
    const Profile& p = account.profile;
    // Every field is sent, empty ones too: the client counts a missing one as a failure.
    return Reply::Success()
        .Field("NickName", p.nickName)
        .Field("FirstName", p.firstName)
        .Field("LastName", p.lastName)
        .Field("Email1", p.hideEmail ? std::string() : p.email1)
        .Field("Company", p.company)
        .Field("Comment", p.comment)
        .Field("Address1", p.address1)
        .Field("Address2", p.address2)
        .Field("City", p.city)
        .Field("State", p.state)
        .Field("Zip", p.zip)
        .Field("Country", p.country)
        .Field("TeleHome", p.teleHome)
        .Field("TeleOffice", p.teleOffice)
        .Field("Fax", p.fax)
        .Field("Cell", p.cell)
        .Field("Pager", p.pager)
        .Field("HomePage", p.homePage);
}

Reply ProfilePages::GetProfileEx(const PageRequest& request) {
    Params params(request.query);
    const std::string connectionId = params.Required("ConnectionID");
    const auto number = params.Number("LoginId", 1, Schema::kLastNumber);
    if (!params.Ok()) {
        return Reply::Fail(params.Error());
    }
    std::string failure;
    const auto user =
        SessionCheck::User(services_.sessions, services_.clock, connectionId, failure);
    if (!user) {
        return Reply::Fail(failure);
    }
    // The settings (hidden e-mail, mailings) are the user's own business.
    if (*user != *number) {
        return Reply::Fail(messages::kAccessDenied);
    }
    Account account;
    if (auto loadFailure = LoadAccount(services_.accounts, *number, account)) {
        return std::move(*loadFailure);
    }
    const Profile& p = account.profile;
    return Reply::Success()
        .Field("NickName", p.nickName)
        .Field("FirstName", p.firstName)
        .Field("LastName", p.lastName)
        .Field("Email1", p.email1)
        .Field("Company", p.company)
        .Field("Comment", p.comment)
        .Field("HideEmail", std::int64_t{p.hideEmail ? 1 : 0})
        .Field("SubscribeToMails", std::int64_t{p.subscribeToMails ? 1 : 0});
}

}  // namespace qv::dirsvc
