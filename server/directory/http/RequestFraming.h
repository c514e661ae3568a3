#pragma once

// Where one HTTP/1.1 request ends in the bytes a connection has received, so that the
// connection layer can collect whole requests without a thread per connection. It only finds
// the boundary; httplib parses and judges the request itself.

#include <cstddef>
#include <string_view>

namespace qv::dirsvc {

struct RequestFrame {
    enum class State {
        kNeedMore,  // read on
        kComplete,  // the first `length` bytes are a request (or all of it that will be read)
    };
    State state = State::kNeedMore;
    size_t length = 0;
    // Hand over what there is and close afterwards: a head too long, a body too large or of
    // a framing this service does not take (chunked, unreadable length). httplib answers it.
    bool closeAfter = false;
    // The head is complete and announces this many body bytes.
    bool headComplete = false;
    size_t bodyLength = 0;
    bool expectContinue = false;
};

RequestFrame FrameRequest(std::string_view received, size_t maxHead, size_t maxBody);

}  // namespace qv::dirsvc
