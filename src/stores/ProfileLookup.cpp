#include "stores/ProfileLookup.h"

#include "directory/AccountRequests.h"
#include "directory/DirectoryClient.h"

namespace qv {

ProfileLookup::ProfileLookup(DirectoryClient* client, Result result)
    : client_(client), result_(std::move(result)) {}

ProfileLookup::~ProfileLookup() {
    if (client_ != nullptr) {
        client_->Cancel(this);
    }
}

void ProfileLookup::Start(const std::string& loginId) {
    if (loginId.empty() || (loginId == asked_ && (pending_ || answered_))) {
        return;
    }
    if (client_ != nullptr && pending_) {
        client_->Cancel(this);
    }
    asked_ = loginId;
    pending_ = true;
    answered_ = false;
    found_ = false;
    if (client_ == nullptr) {
        OnReply(nullptr, -1);
        return;
    }
    GetUserProfile(
        *client_, loginId,
        [this](const UserProfile* profile, const std::string&, int status, RequestContext) {
            OnReply(profile, status);
        },
        this);
}

void ProfileLookup::OnReply(const UserProfile* profile, int status) {
    pending_ = false;
    answered_ = true;
    found_ = status == 1 && profile != nullptr && profile->LoginId == asked_;
    if (found_) {
        profile_ = *profile;
    }
    if (result_) {
        result_(asked_, found_ ? &profile_ : nullptr);
    }
}

const UserProfile* ProfileLookup::Found(const std::string& loginId) const {
    return found_ && loginId == asked_ ? &profile_ : nullptr;
}

}  // namespace qv
