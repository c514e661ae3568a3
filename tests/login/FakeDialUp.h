#pragma once

// Dial-up links as the test sets them; every enumeration is timed on the test's clock.

#include <cstdint>
#include <vector>

#include "platform/DialUp.h"
#include "platform/TickClock.h"

namespace qv::test {

class FakeDialUp final : public DialUp {
  public:
    explicit FakeDialUp(const TickClock& clock) : clock_(clock) {}
    bool Available() const override { return available; }
    std::vector<DialUpConnection> Connections() const override {
        polls.push_back(clock_.Now());
        return links;
    }

    bool available = true;
    std::vector<DialUpConnection> links;
    mutable std::vector<std::uint32_t> polls;

  private:
    const TickClock& clock_;
};

}  // namespace qv::test
