#pragma once

// What the directory client needs of the program's timer scheduler: a periodic job on the
// user-interface thread. The signature is the scheduler's own, so SchedulerAdapter wraps it as is.

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

class JobScheduler {
  public:
    using Callback = std::function<void(const std::string& text, std::uintptr_t userValue)>;
    // Flags of a job that repeats and calls its callback.
    static constexpr std::uint32_t kRepeat = 5;

    virtual ~JobScheduler() = default;
    // Returns the job's id, 0 when refused.
    virtual std::uint32_t Add(Callback callback, std::uintptr_t userValue, std::uint32_t intervalMs,
                              std::uint32_t flags) = 0;
    // Unknown ids and 0 are ignored.
    virtual void Remove(std::uint32_t id) = 0;
};

// Any scheduler with Add(callback, userValue, intervalMs, flags) -> id and Remove(id).
template <typename Scheduler>
class SchedulerAdapter final : public JobScheduler {
  public:
    explicit SchedulerAdapter(Scheduler& scheduler) : scheduler_(scheduler) {}

    std::uint32_t Add(Callback callback, std::uintptr_t userValue, std::uint32_t intervalMs,
                      std::uint32_t flags) override {
        return scheduler_.Add(std::move(callback), userValue, intervalMs, flags);
    }
    void Remove(std::uint32_t id) override { scheduler_.Remove(id); }

  private:
    Scheduler& scheduler_;
};

}  // namespace qv
