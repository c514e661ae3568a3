#pragma once

// The server's log lines, written by a thread of their own so that a slow or full standard
// error (a pipe nobody reads, a stalled terminal) never holds the io thread. The queue is
// bounded; lines that find it full are dropped and counted, and the count is written once
// there is room again.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace qv::voicesvc {

class LogQueue {
  public:
    // fd: where the lines go; capacity: lines held at most.
    explicit LogQueue(int fd, std::size_t capacity = 4096);
    // Writes what is queued for at most a second more, then gives up on the rest.
    ~LogQueue();
    LogQueue(const LogQueue&) = delete;
    LogQueue& operator=(const LogQueue&) = delete;

    // Never blocks on the output; a time stamp is put in front of the line now.
    void Write(const std::string& line);
    std::size_t Dropped() const;

  private:
    void Run();
    // False when the output did not take the text before the deadline (or ever).
    bool Put(const std::string& text);

    const int fd_;
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> lines_;
    std::size_t dropped_ = 0;
    std::size_t unreported_ = 0;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point giveUpAt_{};
    std::thread thread_;
};

}  // namespace qv::voicesvc
