#include "LogQueue.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace qv::voicesvc {

namespace {

using Clock = std::chrono::steady_clock;

// Longer lines are cut: a write of at most this much to a pipe that polls writable never
// blocks.
constexpr std::size_t kMaxLine = 2048;
constexpr auto kPollStep = std::chrono::milliseconds(100);
constexpr auto kFinalDrain = std::chrono::seconds(1);

std::string Stamp() {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return stamp;
}

}  // namespace

LogQueue::LogQueue(int fd, std::size_t capacity)
    : fd_(fd), capacity_(capacity), thread_([this] { Run(); }) {}

LogQueue::~LogQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        giveUpAt_ = Clock::now() + kFinalDrain;
    }
    wake_.notify_all();
    thread_.join();
}

void LogQueue::Write(const std::string& line) {
    std::string text = Stamp() + " " + line;
    if (text.size() > kMaxLine - 1) {
        text.resize(kMaxLine - 1);
    }
    text.push_back('\n');
    {
        std::lock_guard lock(mutex_);
        if (lines_.size() >= capacity_) {
            ++dropped_;
            ++unreported_;
            return;
        }
        lines_.push_back(std::move(text));
    }
    wake_.notify_one();
}

std::size_t LogQueue::Dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void LogQueue::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !lines_.empty(); });
        if (lines_.empty()) {
            return;
        }
        std::string text = std::move(lines_.front());
        lines_.pop_front();
        std::size_t unreported = unreported_;
        unreported_ = 0;
        lock.unlock();
        if (unreported > 0) {
            Put(Stamp() + " " + std::to_string(unreported) +
                " log lines dropped: the log output was too slow\n");
        }
        const bool written = Put(text);
        lock.lock();
        if (!written) {
            // Stopping and the output takes nothing: what is left cannot be written either.
            dropped_ += 1 + lines_.size();
            lines_.clear();
            return;
        }
    }
}

bool LogQueue::Put(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(kPollStep.count()));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (ready <= 0) {
            std::lock_guard lock(mutex_);
            if (stopping_ && Clock::now() >= giveUpAt_) {
                return false;
            }
            continue;
        }
        if ((p.revents & (POLLERR | POLLNVAL)) != 0) {
            return false;
        }
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace qv::voicesvc
