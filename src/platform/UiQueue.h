#pragma once

// Work that worker threads hand to the user-interface thread. Any thread may Post; the UI thread
// runs everything posted so far with Drain (the main view's 50 ms timer does, tests do by hand).

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace qv {

class UiQueue {
  public:
    using Job = std::function<void()>;

    void Post(Job job);
    // Runs the jobs posted before this call, in posting order; jobs posted while draining wait for
    // the next Drain. Returns how many ran. A Drain from inside a job (a nested event loop) runs
    // nothing: the jobs after the running one keep their turn.
    std::size_t Drain();
    std::size_t Pending() const;

  private:
    mutable std::mutex mutex_;
    std::vector<Job> jobs_;
    std::atomic<bool> draining_{false};
};

}  // namespace qv
