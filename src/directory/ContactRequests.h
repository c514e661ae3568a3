#pragma once

// The server copy of the contact list: read it whole, add or remove a contact or a group. Each
// queues one held request (it waits for the connection id) and returns at once; when the client
// cannot take it the callback runs at once with kNotConnectedMessage and -1. Names and ids go
// into the URL unencoded: the caller checks them first (group names: stores/GroupName.h).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/DirectoryRequest.h"
#include "directory/UserProfile.h"

namespace qv {

class DirectoryClient;

// (contacts in reverse reply order, groups; both null on failure; error text, status, context).
// The lists are valid only during the call.
using ContactsCallback = std::function<void(
    const std::vector<UserProfile>* contacts, const std::vector<std::string>* groups,
    const std::string& error, int status, RequestContext context)>;
// (the contact id or group name read back from the request, error text, status 1 / -9 / 10 /
// -1, context).
using ItemChangeCallback = std::function<void(const std::string& item, const std::string& error,
                                              int status, RequestContext context)>;

bool GetContacts(DirectoryClient& client, ContactsCallback callback, RequestContext context);
bool AddContact(DirectoryClient& client, std::string_view contactId, std::string_view group,
                ItemChangeCallback callback, RequestContext context);
bool DeleteContact(DirectoryClient& client, std::string_view contactId, std::string_view group,
                   ItemChangeCallback callback, RequestContext context);
bool AddGroup(DirectoryClient& client, std::string_view group, ItemChangeCallback callback,
              RequestContext context);
bool DeleteGroup(DirectoryClient& client, std::string_view group, ItemChangeCallback callback,
                 RequestContext context);

}  // namespace qv
