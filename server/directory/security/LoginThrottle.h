#pragma once

// Slows down password guessing per Quorvane Number: after a few failures in a row each further
// failure makes the number wait twice as long as before (capped). A waiting number is answered
// at once, without checking the password, so no server thread sleeps; and only one attempt per
// number runs at a time, so parallel guesses gain nothing.

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace qv::dirsvc {

class Clock;

class LoginThrottle {
  public:
    struct Policy {
        int freeFailures = 5;
        std::int64_t firstDelay = 1;  // seconds
        std::int64_t maxDelay = 900;
        // A number's failures are forgotten after this long without one.
        std::int64_t forgetAfter = 24 * 3600;
        size_t maxTracked = 100000;
    };

    LoginThrottle(const Clock& clock, Policy policy) : clock_(clock), policy_(policy) {}
    explicit LoginThrottle(const Clock& clock) : LoginThrottle(clock, Policy{}) {}

    // 0 when an attempt may go ahead (the caller then reports it with Finished), otherwise the
    // seconds to wait.
    std::int64_t Begin(std::int64_t number);
    // failed: the password was wrong. Not called for attempts that never checked it.
    void Finished(std::int64_t number, bool failed);
    // Ends an attempt that did not check the password (busy service): it counts neither way.
    void Abandoned(std::int64_t number);

  private:
    struct Entry {
        int failures = 0;
        std::int64_t lastFailure = 0;
        std::int64_t nextAllowed = 0;
        bool inFlight = false;
    };

    void Sweep(std::int64_t now);

    const Clock& clock_;
    Policy policy_;
    std::mutex mutex_;
    std::unordered_map<std::int64_t, Entry> entries_;
};

}  // namespace qv::dirsvc
