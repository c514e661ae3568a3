#include "SimWorker.h"

namespace qv::sim {

void SimWorker::Post(Job job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (!thread_.joinable()) {
        stopping_ = false;
        thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

void SimWorker::Cancel() {
    std::lock_guard lock(mutex_);
    jobs_.clear();
    idle_.notify_all();
}

void SimWorker::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

void SimWorker::Stop() {
    std::thread finished;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
        wake_.notify_one();
        finished = std::move(thread_);
    }
    if (finished.joinable()) {
        finished.join();
    }
    idle_.notify_all();
}

void SimWorker::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) {
            return;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        lock.lock();
        running_ = false;
        if (jobs_.empty()) {
            idle_.notify_all();
        }
    }
}

}  // namespace qv::sim
