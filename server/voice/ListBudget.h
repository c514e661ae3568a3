#pragma once

// How much list work (ids looked up, answered or dropped) a session may cause per second. Work
// is charged after it is done and may run the budget into debt; the session's next list
// operation waits until the debt is paid off, so one session that keeps replacing a long list
// gets a fixed share of the io thread however fast it sends, and the others are served.

#include <chrono>
#include <cstddef>

namespace qv::voicesvc {

class ListBudget {
  public:
    using Clock = std::chrono::steady_clock;

    // perSecond: ids earned each second; burst: the most a quiet session can save up.
    ListBudget(std::size_t perSecond, std::size_t burst);

    // Whether an operation may run now.
    bool Ready(Clock::time_point now);
    // When the debt is paid off.
    Clock::time_point ReadyAt() const;
    void Charge(std::size_t ids, Clock::time_point now);

  private:
    void Refill(Clock::time_point now);

    double perSecond_;
    double burst_;
    double balance_;
    Clock::time_point last_;
};

}  // namespace qv::voicesvc
