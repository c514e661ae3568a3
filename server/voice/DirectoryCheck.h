#pragma once

// Asks the directory service's CheckConnection page whether a connection id belongs to a user.
// The HTTP requests run on a small pool of their own so that a slow directory never holds up
// the sessions.

#include <asio/thread_pool.hpp>
#include <chrono>
#include <functional>
#include <string>

#include "CheckReply.h"

namespace qv::voicesvc {

class DirectoryCheck {
  public:
    DirectoryCheck(std::string host, int port, std::chrono::milliseconds timeout,
                   std::size_t threads = 2);
    // Waits for the requests under way; the queued ones are dropped.
    ~DirectoryCheck();
    DirectoryCheck(const DirectoryCheck&) = delete;
    DirectoryCheck& operator=(const DirectoryCheck&) = delete;

    // done runs on a pool thread.
    void Check(std::string userId, std::string connectionId, std::function<void(CheckReply)> done);

  private:
    CheckReply Ask(const std::string& userId, const std::string& connectionId) const;

    std::string host_;
    int port_;
    std::chrono::milliseconds timeout_;
    asio::thread_pool pool_;
};

}  // namespace qv::voicesvc
