#include "platform/UiQueue.h"

namespace qv {

void UiQueue::Post(Job job) {
    if (!job) {
        return;
    }
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
}

std::size_t UiQueue::Drain() {
    if (draining_.exchange(true)) {
        return 0;
    }
    struct Done {
        std::atomic<bool>& flag;
        ~Done() { flag.store(false); }
    } done{draining_};
    std::vector<Job> ready;
    {
        std::lock_guard lock(mutex_);
        ready.swap(jobs_);
    }
    // Run outside the lock: a job may post more work.
    for (Job& job : ready) {
        job();
    }
    return ready.size();
}

std::size_t UiQueue::Pending() const {
    std::lock_guard lock(mutex_);
    return jobs_.size();
}

}  // namespace qv
