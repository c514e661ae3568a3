#pragma once

// The account operations of the directory service: log in, create an account, change or read a
// profile, have a forgotten password mailed. Each queues one request on the client and returns at
// once (true when queued); the callback runs later from the completion pump, or at once, before
// the operation returns, with kNotConnectedMessage and status -1 when the client cannot take the
// request. A null callback reports nothing.

#include <functional>
#include <string>
#include <string_view>

#include "directory/DirectoryRequest.h"
#include "directory/UserProfile.h"

namespace qv {

class DirectoryClient;

// (reply text on success / error text on failure, nickname, contact-list, block-list,
// partner-list and partner-parameters versions, status 1 / -8 invalid login / -1, context).
using LoginCallback =
    std::function<void(const std::string& text, const std::string& nickName,
                       long contactListVersion, long blockListVersion, long partnerListVersion,
                       long partnerParamsVersion, int status, RequestContext context)>;
// (login id, password, error text, status, context).
using RegisterCallback =
    std::function<void(const std::string& loginId, const std::string& password,
                       const std::string& error, int status, RequestContext context)>;
// (profile, valid only during the call, or null on failure; error text; status; context).
using ProfileCallback = std::function<void(const UserProfile* profile, const std::string& error,
                                           int status, RequestContext context)>;

// Gives the client its connection id (or refuses further requests) and then releases the held
// requests, whether or not the callback is still wanted.
bool LoginEx2(DirectoryClient& client, std::string_view loginId, std::string_view password,
              LoginCallback callback, RequestContext context);
// The password is normally empty: the service makes one and mails it with the new number.
bool RegisterEx(DirectoryClient& client, const UserProfile& profile, std::string_view password,
                bool mailingsAccepted, RegisterCallback callback, RequestContext context);
// Empty texts are sent as "__EMPTY__": the service leaves those fields as they are.
bool ModifyProfileEx(DirectoryClient& client, const UserProfile& profile, std::string_view password,
                     StatusCallback callback, RequestContext context);
bool GetUserProfile(DirectoryClient& client, std::string_view loginId, ProfileCallback callback,
                    RequestContext context);
bool GetProfileEx(DirectoryClient& client, std::string_view loginId, ProfileCallback callback,
                  RequestContext context);
bool ForgotPass(DirectoryClient& client, std::string_view loginId, StatusCallback callback,
                RequestContext context);

}  // namespace qv
