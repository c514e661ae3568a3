#pragma once

// Readers of the account replies: what a login, registration or profile request reports.

#include <string>
#include <string_view>

#include "directory/UserProfile.h"

namespace qv {

struct LoginReply {
    int status = -1;
    // Success: the whole reply. Failure: the error text.
    std::string text;
    std::string connectId;
    // For the voice server; empty from a directory that issues none.
    std::string voiceTicket;
    std::string nickName;
    long contactListVersion = 0;
    long blockListVersion = 0;
    long partnerListVersion = 0;
    long partnerParamsVersion = 0;
};
// All six fields are required; "Invalid userid or password" in any letter case gives -8.
LoginReply ParseLoginReply(std::string_view reply);

struct RegisterReply {
    int status = -1;
    std::string loginId;
    std::string password;
    std::string error;
};
RegisterReply ParseRegisterReply(std::string_view reply);

struct StatusReply {
    int status = -1;
    std::string error;
};
// Success or the failure rule's error text; nothing else is read.
StatusReply ParseStatusReply(std::string_view reply);

struct ProfileReply {
    int status = -1;
    UserProfile profile;
    std::string error;
};
// The full profile: every field required. The login id is read back from the request's URL.
ProfileReply ParseUserProfileReply(std::string_view reply, std::string_view url);
// The own profile: six fields required, the two flags optional.
ProfileReply ParseProfileExReply(std::string_view reply, std::string_view url);

}  // namespace qv
