#include "DirectoryCheck.h"

#include <httplib.h>

#include <asio/post.hpp>

namespace qv::voicesvc {

namespace {

std::string UrlEncoded(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        }
    }
    return encoded;
}

}  // namespace

DirectoryCheck::DirectoryCheck(std::string host, int port, std::chrono::milliseconds timeout,
                               std::size_t threads)
    : host_(std::move(host)), port_(port), timeout_(timeout), pool_(threads) {}

DirectoryCheck::~DirectoryCheck() {
    pool_.stop();
    pool_.join();
}

void DirectoryCheck::Check(std::string userId, std::string connectionId,
                           std::function<void(CheckReply)> done) {
    asio::post(pool_, [this, userId = std::move(userId), connectionId = std::move(connectionId),
                       done = std::move(done)] { done(Ask(userId, connectionId)); });
}

CheckReply DirectoryCheck::Ask(const std::string& userId, const std::string& connectionId) const {
    httplib::Client client(host_, port_);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout_);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout_ - seconds);
    client.set_connection_timeout(static_cast<time_t>(seconds.count()),
                                  static_cast<time_t>(micros.count()));
    client.set_read_timeout(static_cast<time_t>(seconds.count()),
                            static_cast<time_t>(micros.count()));
    client.set_write_timeout(static_cast<time_t>(seconds.count()),
                             static_cast<time_t>(micros.count()));
    const auto result = client.Get("/Quorvane/CheckConnection.asp?UserID=" + userId +
                                   "&ConnectionID=" + UrlEncoded(connectionId));
    if (!result) {
        return {};
    }
    // The page refuses with a Fail body even when the HTTP status is not 200.
    return CheckReply::Parse(userId, result->body);
}

}  // namespace qv::voicesvc
