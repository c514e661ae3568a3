#pragma once

// The partner's parameters: features, labels and addresses the partner sets for its users.

#include <cstdint>
#include <functional>
#include <string>

#include "directory/DirectoryRequest.h"

namespace qv {

class DirectoryClient;

// (the whole reply on success / empty, error text, status 1 or -1, context).
using PartnerParamsCallback = std::function<void(const std::string& reply, const std::string& error,
                                                 int status, RequestContext context)>;

// Neither held nor refused: it is asked at start-up, before anyone logs in.
bool GetPartnerParams(DirectoryClient& client, std::uint16_t partnerNumber,
                      PartnerParamsCallback callback, RequestContext context);

}  // namespace qv
