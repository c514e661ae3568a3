#pragma once

// Runs every periodic and delayed job of the program from one place. The main view ticks it from
// its 50 ms window timer, so callbacks run on the user-interface thread; Add and Remove may be
// called from any thread. Once Remove has returned, the entry's callback is not running and never
// runs again: called on another thread while that callback runs, Remove waits for it to return
// (so a callback must not wait for a thread that removes the callback's own entry). A callback
// that throws is contained: the exception is traced and dropped, and the other jobs go on.
//
// Time is the 32-bit tick count of the injected clock. An entry is due once more than its
// interval has passed since its start, measured as (now - start) in unsigned 32-bit arithmetic:
// that difference stays right across the wrap of the tick count every 49.7 days, as long as the
// scheduler is ticked at least once in that time.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qv {

class Screen;
class TickClock;

class TimerScheduler {
  public:
    using Callback = std::function<void(const std::string& text, std::uintptr_t userValue)>;

    // Entry flags.
    static constexpr std::uint32_t kPeriodic = 1;
    static constexpr std::uint32_t kOneShot = 2;
    static constexpr std::uint32_t kCallCallback = 4;
    static constexpr std::uint32_t kShowText = 8;
    // What the program passes to Add.
    static constexpr std::uint32_t kRepeat = kPeriodic | kCallCallback;  // 5
    static constexpr std::uint32_t kOnce = kOneShot | kCallCallback;     // 6

    // screen shows the text of entries flagged kShowText; it may be null (nothing is shown).
    explicit TimerScheduler(const TickClock& clock, Screen* screen = nullptr);
    ~TimerScheduler();
    TimerScheduler(const TimerScheduler&) = delete;
    TimerScheduler& operator=(const TimerScheduler&) = delete;

    // Returns the new entry's id (ids start at 1 and are never reused), or 0 when refused: a
    // periodic entry with interval 0 would be due at every tick with no phase to keep.
    std::uint32_t Add(Callback callback, std::uintptr_t userValue, std::uint32_t intervalMs,
                      std::uint32_t flags);
    // Removes the entry; unknown ids and 0 are ignored. A removed entry's callback is not called
    // afterwards, even when it was already due in the tick that is running; when it is running on
    // another thread, waits until it has returned.
    void Remove(std::uint32_t id);
    // Sets the text passed to the callback and shown by kShowText entries.
    void SetText(std::uint32_t id, std::string text);

    // With false does nothing and reports success; with true ticks itself every 100 ms on a
    // thread of its own (callbacks then run on that thread) and reports whether it started.
    bool Start(bool useOwnTimer);
    void Tick();

    bool Contains(std::uint32_t id) const;
    std::size_t Count() const;

  private:
    struct Entry {
        Callback callback;
        std::string text;
        std::uintptr_t userValue = 0;
        std::uint32_t interval = 0;
        std::uint32_t start = 0;
        std::uint32_t flags = 0;
    };
    struct Due {
        std::uint32_t id;
        Entry entry;
    };

    void RunDue(const Due& due);

    const TickClock& clock_;
    Screen* screen_;
    mutable std::mutex mutex_;
    std::condition_variable finished_;  // a callback returned (runningId_ changed)
    std::uint32_t runningId_ = 0;       // the entry whose callback runs now, 0 for none
    std::thread::id runningThread_;
    std::uint32_t nextId_ = 1;
    std::map<std::uint32_t, Entry> entries_;
    std::deque<Due> due_;
    std::atomic<int> busy_{0};
    std::jthread ownTimer_;
};

}  // namespace qv
