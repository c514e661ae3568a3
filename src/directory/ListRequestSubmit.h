#pragma once

// Queuing shared by the list request families: the URL of a page and the refusal at once.

#include <memory>
#include <string>

#include "directory/DirectoryClient.h"
#include "directory/DirectoryRequest.h"
#include "directory/RequestKind.h"

namespace qv::directory_detail {

inline std::string ListPage(RequestKind kind) {
    return "\\Quorvane\\" + std::string(PageName(kind)) + ".asp?";
}

// Queues the request, or calls refuse() at once when the client cannot take it.
template <typename Refuse>
bool SubmitListRequest(DirectoryClient& client, RequestKind kind, std::string url,
                       DirectoryRequest::Handler handler, RequestContext context, Refuse refuse) {
    if (!client.Accepts(kind)) {
        refuse();
        return false;
    }
    client.Queue(
        std::make_unique<DirectoryRequest>(kind, std::move(url), std::move(handler), context));
    return true;
}

}  // namespace qv::directory_detail
