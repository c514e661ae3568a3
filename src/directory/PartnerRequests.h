#pragma once

// The partner's parameters: features, labels and addresses the partner sets for its users.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/DirectoryRequest.h"
#include "directory/ListReplies.h"

namespace qv {

class DirectoryClient;

// (the whole reply on success / empty, error text, status 1 or -1, context).
using PartnerParamsCallback = std::function<void(const std::string& reply, const std::string& error,
                                                 int status, RequestContext context)>;

// Neither held nor refused: it is asked at start-up, before anyone logs in.
// (partner entries, null on failure; error text, status, context). Valid during the call.
using PartnersCallback =
    std::function<void(const std::vector<PartnerEntry>* entries, const std::string& error,
                       int status, RequestContext context)>;
// (base URL read back from the request, forums, null on failure; error text, status, context).
using PartnerForumsCallback =
    std::function<void(const std::string& baseUrl, const std::vector<ForumEntry>* forums,
                       const std::string& error, int status, RequestContext context)>;

// Held and refused, with the connection id.
bool GetPartnersList(DirectoryClient& client, PartnersCallback callback, RequestContext context);
// Held and refused, but carries the partner number instead of the connection id.
bool GetPartnerForums(DirectoryClient& client, std::uint16_t partnerNumber,
                      std::string_view baseUrl, PartnerForumsCallback callback,
                      RequestContext context);

bool GetPartnerParams(DirectoryClient& client, std::uint16_t partnerNumber,
                      PartnerParamsCallback callback, RequestContext context);

}  // namespace qv
