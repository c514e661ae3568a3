#pragma once

// The server copy of the block list: read it whole, block or unblock one user. Held requests,
// reported as the contact requests are (directory/ContactRequests.h).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/ContactRequests.h"
#include "directory/DirectoryRequest.h"
#include "directory/UserProfile.h"

namespace qv {

class DirectoryClient;

// (users (NickName, LoginId) in reverse reply order, null on failure; error text, status,
// context). The list is valid only during the call.
using BlockListCallback =
    std::function<void(const std::vector<UserProfile>* users, const std::string& error, int status,
                       RequestContext context)>;

bool GetBlockList(DirectoryClient& client, BlockListCallback callback, RequestContext context);
bool AddBlock(DirectoryClient& client, std::string_view userId, ItemChangeCallback callback,
              RequestContext context);
bool RemoveBlock(DirectoryClient& client, std::string_view userId, ItemChangeCallback callback,
                 RequestContext context);

}  // namespace qv
