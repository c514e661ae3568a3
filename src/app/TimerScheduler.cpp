#include "app/TimerScheduler.h"

#include <chrono>
#include <exception>
#include <vector>

#include "platform/Screen.h"
#include "platform/TickClock.h"
#include "platform/Trace.h"

namespace qv {

TimerScheduler::TimerScheduler(const TickClock& clock, Screen* screen)
    : clock_(clock), screen_(screen) {}

TimerScheduler::~TimerScheduler() {
    if (ownTimer_.joinable()) {
        ownTimer_.request_stop();
        ownTimer_.join();
    }
}

std::uint32_t TimerScheduler::Add(Callback callback, std::uintptr_t userValue,
                                  std::uint32_t intervalMs, std::uint32_t flags) {
    if ((flags & kPeriodic) != 0 && intervalMs == 0) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    std::uint32_t id = nextId_++;
    if (nextId_ == 0) {
        nextId_ = 1;
    }
    entries_[id] =
        Entry{std::move(callback), {}, userValue, intervalMs, clock_.Now(), flags | kCallCallback};
    return id;
}

void TimerScheduler::Remove(std::uint32_t id) {
    if (id == 0) {
        return;
    }
    std::unique_lock lock(mutex_);
    entries_.erase(id);
    // A copy already queued in this tick must not run: its owner may be gone.
    std::erase_if(due_, [id](const Due& d) { return d.id == id; });
    // Nor may one that runs now on another thread still be running when we return. On the
    // ticking thread itself (a callback removing its own entry) there is nothing to wait for.
    if (runningId_ == id && runningThread_ != std::this_thread::get_id()) {
        finished_.wait(lock, [this, id] { return runningId_ != id; });
    }
}

void TimerScheduler::SetText(std::uint32_t id, std::string text) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(id);
    if (it != entries_.end()) {
        it->second.text = std::move(text);
    }
}

bool TimerScheduler::Start(bool useOwnTimer) {
    if (!useOwnTimer) {
        return true;
    }
    if (ownTimer_.joinable()) {
        return true;
    }
    ownTimer_ = std::jthread([this](std::stop_token stop) {
        while (!stop.stop_requested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Tick();
        }
    });
    return true;
}

void TimerScheduler::Tick() {
    if (busy_.fetch_add(1) + 1 > 1) {
        busy_.fetch_sub(1);
        return;
    }
    struct BusyGuard {
        std::atomic<int>& busy;
        ~BusyGuard() { busy.fetch_sub(1); }
    } guard{busy_};
    {
        std::lock_guard lock(mutex_);
        const std::uint32_t now = clock_.Now();
        for (auto it = entries_.begin(); it != entries_.end();) {
            Entry& e = it->second;
            const std::uint32_t elapsed = now - e.start;
            if (elapsed <= e.interval) {
                ++it;
                continue;
            }
            if ((e.flags & (kCallCallback | kShowText)) != 0) {
                due_.push_back({it->first, e});
            }
            if ((e.flags & kPeriodic) != 0) {
                // Keeps the phase of the first registration; fires once however late the tick.
                e.start += (elapsed / e.interval) * e.interval;
                ++it;
            } else if ((e.flags & kOneShot) != 0) {
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Callbacks run without the table lock, so a worker thread calling Add never waits for a
    // callback. Remove still drops queued copies and waits for a running one.
    for (;;) {
        Due due;
        {
            std::lock_guard lock(mutex_);
            if (due_.empty()) {
                break;
            }
            due = std::move(due_.front());
            due_.pop_front();
            runningId_ = due.id;
            runningThread_ = std::this_thread::get_id();
        }
        RunDue(due);
        {
            std::lock_guard lock(mutex_);
            runningId_ = 0;
        }
        finished_.notify_all();
    }
}

void TimerScheduler::RunDue(const Due& due) {
    // One failing job must not stop the others, nor leave the busy counter up.
    try {
        if ((due.entry.flags & kShowText) != 0 && screen_ != nullptr) {
            screen_->MessageBox(due.entry.text, "", 0);
        }
        if ((due.entry.flags & kCallCallback) != 0 && due.entry.callback) {
            due.entry.callback(due.entry.text, due.entry.userValue);
        }
    } catch (const std::exception& e) {
        Trace("TimerScheduler", "Tick",
              "job " + std::to_string(due.id) + " threw: " + std::string(e.what()));
    } catch (...) {
        Trace("TimerScheduler", "Tick", "job " + std::to_string(due.id) + " threw");
    }
}

bool TimerScheduler::Contains(std::uint32_t id) const {
    std::lock_guard lock(mutex_);
    return entries_.count(id) != 0;
}

std::size_t TimerScheduler::Count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace qv
