#pragma once

// The simulated network: a thread that runs queued replies in order. It exists only while there
// is work or until the owner stops it; Stop joins it, so nothing runs after the owner is gone.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qv::sim {

class SimWorker {
  public:
    using Job = std::function<void()>;

    ~SimWorker() { Stop(); }

    // Queues a job; the thread starts on the first one.
    void Post(Job job);
    // Forgets the jobs not yet started.
    void Cancel();
    // Returns once every job posted before has run.
    void WaitIdle();
    // Ends the thread after the job it runs (if any); later posts start it again.
    void Stop();

  private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    std::thread thread_;
    bool running_ = false;  // a job is being run
    bool stopping_ = false;
};

}  // namespace qv::sim
