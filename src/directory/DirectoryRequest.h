#pragma once

// One request to the directory service, owned by whichever queue of the DirectoryClient holds it
// and deleted after its reply was handled.

#include <cstdint>
#include <functional>
#include <string>

#include "directory/RequestKind.h"

namespace qv {

// The object that waits for an answer. Handed back to the callback unchanged; Cancel(context)
// drops every request made with it.
using RequestContext = void*;

// The callback of requests that report only how they went: (error text, status, context), with
// an empty text on success.
using StatusCallback =
    std::function<void(const std::string& error, int status, RequestContext context)>;

class DirectoryRequest {
  public:
    // Parses the reply and reports it. deliver is false for a cancelled request: the handler may
    // update the client (a login does) but must not call its callback.
    using Handler = std::function<void(const DirectoryRequest& request, bool deliver)>;

    DirectoryRequest(RequestKind kind, std::string url, Handler handler, RequestContext context)
        : kind(kind), url(std::move(url)), handler(std::move(handler)), context(context) {}
    virtual ~DirectoryRequest() = default;
    DirectoryRequest(const DirectoryRequest&) = delete;
    DirectoryRequest& operator=(const DirectoryRequest&) = delete;

    RequestKind kind;
    // The request path with its query, before the server part is added.
    std::string url;
    std::string reply;
    // Null: nothing is reported.
    Handler handler;
    RequestContext context = nullptr;
    bool cancelled = false;
    std::int32_t retriesLeft = 1;
};

// An upload (the body is the whole file) or a download (written to downloadPath).
class FileRequest final : public DirectoryRequest {
  public:
    using DirectoryRequest::DirectoryRequest;

    // Reads the file to upload. False when it cannot be opened, is empty or cannot be read whole.
    bool LoadUploadBody(const std::string& path);

    std::string uploadBody;
    std::string downloadPath;
};

}  // namespace qv
