#pragma once

// Slows down password guessing. Failures count per (Quorvane Number, caller's address): after a
// few in a row each further failure makes that pair wait twice as long as before (capped), so
// a stranger who keeps guessing locks out only himself. A looser bound per number catches
// guessing spread over many addresses; its wait is short, so the owner still gets in. A
// waiting pair or number is answered at once, without checking the password, so no server
// thread sleeps; and only one attempt per pair runs at a time, so parallel guesses gain
// nothing.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qv::dirsvc {

class Clock;

class LoginThrottle {
  public:
    struct Policy {
        int freeFailures = 5;
        std::int64_t firstDelay = 1;  // seconds
        std::int64_t maxDelay = 900;
        // Over every address: many more free failures, a much shorter longest wait.
        int numberFreeFailures = 100;
        std::int64_t numberMaxDelay = 60;
        // Failures are forgotten after this long without one.
        std::int64_t forgetAfter = 24 * 3600;
        size_t maxTracked = 100000;
    };

    LoginThrottle(const Clock& clock, Policy policy) : clock_(clock), policy_(policy) {}
    explicit LoginThrottle(const Clock& clock) : LoginThrottle(clock, Policy{}) {}

    // 0 when an attempt may go ahead (the caller then reports it with Finished), otherwise the
    // seconds to wait.
    std::int64_t Begin(std::int64_t number, std::string_view address);
    // failed: the password was wrong. Not called for attempts that never checked it.
    void Finished(std::int64_t number, std::string_view address, bool failed);
    // Ends an attempt that did not check the password (busy service): it counts neither way.
    void Abandoned(std::int64_t number, std::string_view address);

  private:
    struct Entry {
        int failures = 0;
        std::int64_t lastFailure = 0;
        std::int64_t nextAllowed = 0;
        bool inFlight = false;
    };
    template <typename Key>
    using Table = std::unordered_map<Key, Entry>;

    static std::string PairKey(std::int64_t number, std::string_view address);
    void Fail(Entry& entry, std::int64_t now, int freeFailures, std::int64_t maxDelay) const;
    template <typename Key>
    void Sweep(Table<Key>& table, std::int64_t now) const;

    const Clock& clock_;
    Policy policy_;
    std::mutex mutex_;
    Table<std::string> pairs_;
    Table<std::int64_t> numbers_;
};

}  // namespace qv::dirsvc
