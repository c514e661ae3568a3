#pragma once

// The directory client's HTTP transfers (libcurl), run on its worker thread: GET, POST of a file
// body, POST whose answer is a text header, a zero byte and a file. Nothing is cached; proxies
// come from the environment until UseDirectAccess.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include <curl/curl.h>

#include "directory/TransferSettings.h"

namespace qv {

// The reply text of a body read in blocks of 1023 bytes: a zero byte inside a block cuts off the
// rest of that block.
std::string BodyToReplyText(std::string_view body);

class HttpSession {
  public:
    struct Result {
        // The server answered (any status).
        bool opened = false;
        // The attempt counts as done (see each transfer).
        bool ok = false;
        std::string reply;
    };

    // stop makes a running transfer give up; Interrupt makes it notice at once.
    HttpSession(TransferSettings settings, const std::atomic<bool>& stop);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    bool Open(std::string_view userAgent);
    void Close();
    bool IsOpen() const { return easy_ != nullptr; }
    // No proxy from now on.
    void UseDirectAccess() { direct_ = true; }
    // Any thread: wakes a transfer that waits for the network so it sees the stop flag.
    void Interrupt();

    // Fails when the URL cannot be opened or the body is empty.
    Result Get(const std::string& url);
    // POST with the bytes as body and no content type. Fails only when it cannot be sent.
    Result Upload(const std::string& url, const std::string& body);
    // POST with an empty body; the answer's header (up to the first zero byte, within the first
    // 1023 bytes) is the reply and the rest is written to path, replaced. Fails when it cannot be
    // sent or the file cannot be created.
    Result Download(const std::string& url, const std::string& path);

  private:
    void Prepare(const std::string& url, bool post);
    CURLcode Perform();
    bool Answered() const;

    TransferSettings settings_;
    const std::atomic<bool>& stop_;
    std::string userAgent_;
    bool direct_ = false;
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* headers_ = nullptr;
    curl_slist* postHeaders_ = nullptr;
    std::mutex multiMutex_;
};

}  // namespace qv
