#include "directory/HttpSession.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/FileIo.h"

namespace qv {

namespace {

constexpr std::size_t kBlock = 1023;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TextSink {
    std::string body;
    std::size_t limit = 0;
};

std::size_t WriteText(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<TextSink*>(user);
    const std::size_t n = size * count;
    if (sink->body.size() + n > sink->limit) {
        return 0;  // aborts the transfer
    }
    sink->body.append(data, n);
    return n;
}

// The answer of a download: the first 1023 bytes hold the text header up to a zero byte; what
// follows the zero byte, and everything after the first 1023 bytes, is the file.
struct DownloadSink {
    std::string path;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, &std::fclose};
    bool createFailed = false;
    std::string header;
    bool headerEnded = false;
    std::size_t seen = 0;
    std::size_t written = 0;
    std::size_t limit = 0;

    bool Create() {
        if (!file && !createFailed) {
            file.reset(OpenPrivateFile(path, false));
            createFailed = file == nullptr;
        }
        return file != nullptr;
    }
    bool Write(const char* data, std::size_t n) {
        if (n == 0) {
            return true;
        }
        if (written + n > limit) {
            return false;
        }
        written += n;
        return std::fwrite(data, 1, n, file.get()) == n;
    }
};

std::size_t DownloadHeader(char*, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<DownloadSink*>(user);
    // The answer has started: the request was sent, so the file is made now.
    return sink->Create() ? size * count : 0;
}

std::size_t DownloadBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<DownloadSink*>(user);
    const std::size_t n = size * count;
    if (!sink->Create()) {
        return 0;
    }
    std::size_t used = 0;
    if (sink->seen < kBlock) {
        const std::size_t inBlock = std::min(n, kBlock - sink->seen);
        std::size_t fileFrom = inBlock;
        if (!sink->headerEnded) {
            const char* nul = static_cast<const char*>(std::memchr(data, '\0', inBlock));
            const std::size_t textEnd =
                nul != nullptr ? static_cast<std::size_t>(nul - data) : inBlock;
            sink->header.append(data, textEnd);
            if (nul != nullptr) {
                sink->headerEnded = true;
                fileFrom = textEnd + 1;
            }
        } else {
            fileFrom = 0;
        }
        if (sink->headerEnded && !sink->Write(data + fileFrom, inBlock - fileFrom)) {
            return 0;
        }
        sink->seen += inBlock;
        used = inBlock;
    }
    if (!sink->Write(data + used, n - used)) {
        return 0;
    }
    sink->seen += n - used;
    return n;
}

}  // namespace

std::string BodyToReplyText(std::string_view body) {
    std::string text;
    text.reserve(body.size());
    for (std::size_t at = 0; at < body.size(); at += kBlock) {
        std::string_view block = body.substr(at, kBlock);
        text.append(block.substr(0, block.find('\0')));
    }
    return text;
}

HttpSession::HttpSession(TransferSettings settings, const std::atomic<bool>& stop)
    : settings_(settings), stop_(stop) {
    InitCurlOnce();
}

HttpSession::~HttpSession() {
    Close();
}

bool HttpSession::Open(std::string_view userAgent) {
    Close();
    userAgent_ = userAgent;
    std::lock_guard lock(multiMutex_);
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (easy_ == nullptr || multi_ == nullptr) {
        if (easy_ != nullptr) {
            curl_easy_cleanup(easy_);
            easy_ = nullptr;
        }
        if (multi_ != nullptr) {
            curl_multi_cleanup(multi_);
            multi_ = nullptr;
        }
        return false;
    }
    // Always a fresh answer, from proxies too.
    headers_ = curl_slist_append(headers_, "Cache-Control: no-cache");
    headers_ = curl_slist_append(headers_, "Pragma: no-cache");
    postHeaders_ = curl_slist_append(postHeaders_, "Cache-Control: no-cache");
    postHeaders_ = curl_slist_append(postHeaders_, "Pragma: no-cache");
    // The body goes as raw bytes: no content type, no 100-continue round trip.
    postHeaders_ = curl_slist_append(postHeaders_, "Content-Type:");
    postHeaders_ = curl_slist_append(postHeaders_, "Expect:");
    return true;
}

void HttpSession::Close() {
    std::lock_guard lock(multiMutex_);
    if (easy_ != nullptr) {
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
        multi_ = nullptr;
    }
    curl_slist_free_all(headers_);
    headers_ = nullptr;
    curl_slist_free_all(postHeaders_);
    postHeaders_ = nullptr;
}

void HttpSession::Interrupt() {
    std::lock_guard lock(multiMutex_);
    if (multi_ != nullptr) {
        curl_multi_wakeup(multi_);
    }
}

void HttpSession::Prepare(const std::string& url, bool post) {
    curl_easy_reset(easy_);
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, userAgent_.c_str());
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, post ? postHeaders_ : headers_);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(settings_.connectTimeoutMs));
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(
        easy_, CURLOPT_LOW_SPEED_TIME,
        static_cast<long>(std::max<std::uint32_t>(1, settings_.stallTimeoutMs / 1000)));
    if (direct_) {
        curl_easy_setopt(easy_, CURLOPT_NOPROXY, "*");
    }
    if (!post) {
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    }
}

CURLcode HttpSession::Perform() {
    if (stop_.load()) {
        return CURLE_ABORTED_BY_CALLBACK;
    }
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_RECV_ERROR;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        bool done = false;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
                result = message->data.result;
                done = true;
            }
        }
        if (done || running == 0) {
            break;
        }
        if (stop_.load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        if (stop_.load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
    }
    curl_multi_remove_handle(multi_, easy_);
    return result;
}

bool HttpSession::Answered() const {
    long code = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
    return code != 0;
}

HttpSession::Result HttpSession::Get(const std::string& url) {
    Result result;
    if (easy_ == nullptr) {
        return result;
    }
    Prepare(url, false);
    TextSink sink;
    sink.limit = settings_.maxReplyBytes;
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &WriteText);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &sink);
    const CURLcode code = Perform();
    result.opened = Answered();
    // A reply cut short is not a reply: it could be read as a shorter list.
    result.ok = result.opened && code == CURLE_OK && !sink.body.empty();
    if (result.ok) {
        result.reply = BodyToReplyText(sink.body);
    }
    return result;
}

namespace {

// The parts of a URL must fit the buffers the request is made from.
bool FitsParts(const std::string& url) {
    CURLU* parts = curl_url();
    if (parts == nullptr) {
        return false;
    }
    bool fits = curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
    struct Limit {
        CURLUPart part;
        std::size_t max;
    };
    constexpr Limit kLimits[] = {{CURLUPART_SCHEME, 260}, {CURLUPART_HOST, 256},
                                 {CURLUPART_USER, 128},   {CURLUPART_PASSWORD, 128},
                                 {CURLUPART_PATH, 2048},  {CURLUPART_QUERY, 2048}};
    for (const Limit& limit : kLimits) {
        if (!fits) {
            break;
        }
        char* value = nullptr;
        if (curl_url_get(parts, limit.part, &value, 0) == CURLUE_OK && value != nullptr) {
            fits = std::strlen(value) < limit.max;
        }
        curl_free(value);
    }
    curl_url_cleanup(parts);
    return fits;
}

}  // namespace

HttpSession::Result HttpSession::Upload(const std::string& url, const std::string& body) {
    Result result;
    if (easy_ == nullptr || !FitsParts(url)) {
        return result;
    }
    Prepare(url, true);
    curl_easy_setopt(easy_, CURLOPT_POST, 1L);
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    TextSink sink;
    sink.limit = settings_.maxReplyBytes;
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &WriteText);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &sink);
    const CURLcode code = Perform();
    result.opened = Answered();
    result.ok = result.opened && code == CURLE_OK;
    if (result.ok) {
        result.reply = BodyToReplyText(sink.body);
    }
    return result;
}

HttpSession::Result HttpSession::Download(const std::string& url, const std::string& path) {
    Result result;
    if (easy_ == nullptr || !FitsParts(url)) {
        return result;
    }
    Prepare(url, true);
    curl_easy_setopt(easy_, CURLOPT_POST, 1L);
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
    DownloadSink sink;
    sink.path = path;
    sink.limit = settings_.maxDownloadBytes;
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &DownloadHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, &sink);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &DownloadBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &sink);
    const CURLcode code = Perform();
    result.opened = Answered();
    bool closed = true;
    if (sink.file) {
        closed = std::fclose(sink.file.release()) == 0;
    }
    result.ok = result.opened && code == CURLE_OK && !sink.createFailed && closed;
    if (result.ok) {
        result.reply = std::move(sink.header);
    }
    return result;
}

}  // namespace qv
