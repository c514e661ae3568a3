#include "http/RequestFraming.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "Blanks.h"

namespace qv::dirsvc {

namespace {

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

RequestFrame FrameRequest(std::string_view received, size_t maxHead, size_t maxBody) {
    RequestFrame frame;
    const size_t end = received.substr(0, maxHead).find("\r\n\r\n");
    if (end == std::string_view::npos) {
        if (received.size() >= maxHead) {
            frame.state = RequestFrame::State::kComplete;
            frame.length = maxHead;
            frame.closeAfter = true;
        }
        return frame;
    }
    const size_t headLength = end + 4;
    frame.headComplete = true;

    bool lengthSeen = false;
    bool badFraming = false;
    size_t bodyLength = 0;
    std::string_view lines = received.substr(0, end);
    // The request line first, then one header a line.
    size_t lineEnd = lines.find("\r\n");
    lines = lineEnd == std::string_view::npos ? std::string_view() : lines.substr(lineEnd + 2);
    while (!lines.empty()) {
        lineEnd = lines.find("\r\n");
        const std::string_view line = lines.substr(0, lineEnd);
        lines = lineEnd == std::string_view::npos ? std::string_view() : lines.substr(lineEnd + 2);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;  // httplib refuses it
        }
        const std::string_view name = servers::TrimBlanks(line.substr(0, colon));
        const std::string_view value = servers::TrimBlanks(line.substr(colon + 1));
        if (SameText(name, "Content-Length")) {
            size_t parsed = 0;
            const bool digits = !value.empty() && value.size() <= 18 &&
                                std::all_of(value.begin(), value.end(),
                                            [](char c) { return c >= '0' && c <= '9'; });
            if (digits) {
                parsed = std::stoull(std::string(value));
            }
            if (!digits || (lengthSeen && parsed != bodyLength)) {
                badFraming = true;
            }
            lengthSeen = true;
            bodyLength = parsed;
        } else if (SameText(name, "Transfer-Encoding")) {
            badFraming = true;
        } else if (SameText(name, "Expect") && SameText(value, "100-continue")) {
            frame.expectContinue = true;
        }
    }
    if (badFraming || bodyLength > maxBody) {
        frame.state = RequestFrame::State::kComplete;
        frame.length = headLength;
        frame.closeAfter = true;
        return frame;
    }
    frame.bodyLength = bodyLength;
    if (received.size() >= headLength + bodyLength) {
        frame.state = RequestFrame::State::kComplete;
        frame.length = headLength + bodyLength;
    }
    return frame;
}

}  // namespace qv::dirsvc
