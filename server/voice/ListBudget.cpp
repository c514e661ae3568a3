#include "ListBudget.h"

#include <algorithm>

namespace qv::voicesvc {

ListBudget::ListBudget(std::size_t perSecond, std::size_t burst)
    : perSecond_(static_cast<double>(std::max<std::size_t>(perSecond, 1))),
      burst_(static_cast<double>(burst)),
      balance_(burst_),
      last_(Clock::now()) {}

void ListBudget::Refill(Clock::time_point now) {
    if (now <= last_) {
        return;
    }
    const double seconds = std::chrono::duration<double>(now - last_).count();
    balance_ = std::min(burst_, balance_ + seconds * perSecond_);
    last_ = now;
}

bool ListBudget::Ready(Clock::time_point now) {
    Refill(now);
    return balance_ >= 0;
}

ListBudget::Clock::time_point ListBudget::ReadyAt() const {
    if (balance_ >= 0) {
        return last_;
    }
    const auto wait = std::chrono::duration<double>(-balance_ / perSecond_);
    return last_ + std::chrono::duration_cast<Clock::duration>(wait) + std::chrono::milliseconds(1);
}

void ListBudget::Charge(std::size_t ids, Clock::time_point now) {
    Refill(now);
    balance_ -= static_cast<double>(ids);
}

}  // namespace qv::voicesvc
