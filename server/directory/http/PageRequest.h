#pragma once

// What a page handler sees of a request.

#include <string>
#include <string_view>

#include "http/Query.h"

namespace qv::dirsvc {

struct PageRequest {
    std::string_view page;  // lower case
    const Query& query;
    std::string_view rawQuery;  // as received, for pages that recognise a repeated request
    std::string_view remoteAddress;
    std::string_view method;
    std::string_view body;  // POST uploads only
};

}  // namespace qv::dirsvc
