#include "app/TimerScheduler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Screen.h"
#include "platform/TickClock.h"
#include "support/RecordingScreen.h"

namespace qv {
namespace {

class TimerSchedulerTest : public ::testing::Test {
  protected:
    ManualTickClock clock{1000};
    TimerScheduler scheduler{clock};
    std::vector<std::uintptr_t> fired;

    TimerScheduler::Callback Record() {
        return [this](const std::string&, std::uintptr_t v) { fired.push_back(v); };
    }
    void TickAt(std::uint32_t t) {
        clock.Set(t);
        scheduler.Tick();
    }
};

TEST_F(TimerSchedulerTest, OneShotFiresOnceAfterItsIntervalAndIsGone) {
    std::uint32_t id = scheduler.Add(Record(), 7, 5000, TimerScheduler::kOnce);
    TickAt(6000);  // exactly t + 5000: not yet due
    EXPECT_TRUE(fired.empty());
    TickAt(6001);
    EXPECT_EQ(fired, std::vector<std::uintptr_t>{7});
    EXPECT_FALSE(scheduler.Contains(id));
    TickAt(20000);
    EXPECT_EQ(fired.size(), 1u);
    scheduler.Remove(id);  // ignored
    scheduler.Remove(0);
    EXPECT_EQ(scheduler.Count(), 0u);
}

TEST_F(TimerSchedulerTest, LatePeriodicTickFiresOnceAndKeepsItsPhase) {
    scheduler.Add(Record(), 1, 1000, TimerScheduler::kRepeat);
    TickAt(1000 + 3500);  // three and a half periods late
    EXPECT_EQ(fired.size(), 1u);
    // Next firing is after the next multiple of 1000 from registration (5000), not 1000 after 4500.
    TickAt(5000);
    EXPECT_EQ(fired.size(), 1u);
    TickAt(5001);
    EXPECT_EQ(fired.size(), 2u);
    TickAt(5500);
    EXPECT_EQ(fired.size(), 2u);
}

TEST_F(TimerSchedulerTest, CallbackRemovingItsOwnPeriodicEntryStopsIt) {
    std::uint32_t id = 0;
    int calls = 0;
    id = scheduler.Add(
        [&](const std::string&, std::uintptr_t) {
            ++calls;
            scheduler.Remove(id);
        },
        0, 100, TimerScheduler::kRepeat);
    TickAt(1101);
    TickAt(1202);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(scheduler.Contains(id));
}

TEST_F(TimerSchedulerTest, EntryAddedByCallbackGetsLargerIdAndIsNotDueInSameTick) {
    std::uint32_t first = scheduler.Add(Record(), 1, 100, TimerScheduler::kOnce);
    std::uint32_t added = 0;
    scheduler.Add(
        [&](const std::string&, std::uintptr_t) {
            added = scheduler.Add(Record(), 3, 0, TimerScheduler::kOnce);
        },
        2, 100, TimerScheduler::kOnce);
    TickAt(1101);
    EXPECT_GT(added, first + 1);
    EXPECT_EQ(fired, std::vector<std::uintptr_t>{1});
    TickAt(1102);
    EXPECT_EQ(fired, (std::vector<std::uintptr_t>{1, 3}));
}

TEST_F(TimerSchedulerTest, DueEntriesRunInAscendingIdOrder) {
    // Added in one order with different intervals, all due in the same tick.
    scheduler.Add(Record(), 1, 300, TimerScheduler::kRepeat);
    scheduler.Add(Record(), 2, 100, TimerScheduler::kOnce);
    scheduler.Add(Record(), 3, 200, TimerScheduler::kRepeat);
    TickAt(2000);
    EXPECT_EQ(fired, (std::vector<std::uintptr_t>{1, 2, 3}));
}

TEST_F(TimerSchedulerTest, EntryRemovedByEarlierCallbackOfSameTickIsNotCalled) {
    std::uint32_t victim = 0;
    scheduler.Add([&](const std::string&, std::uintptr_t) { scheduler.Remove(victim); }, 0, 10,
                  TimerScheduler::kOnce);
    victim = scheduler.Add(Record(), 9, 10, TimerScheduler::kOnce);
    TickAt(2000);
    EXPECT_TRUE(fired.empty());
}

TEST_F(TimerSchedulerTest, PeriodicIntervalZeroIsRefused) {
    EXPECT_EQ(scheduler.Add(Record(), 0, 0, TimerScheduler::kRepeat), 0u);
    EXPECT_EQ(scheduler.Count(), 0u);
    // A one-shot with interval 0 is fine: due at the first tick in a later millisecond.
    EXPECT_NE(scheduler.Add(Record(), 5, 0, TimerScheduler::kOnce), 0u);
    TickAt(1000);
    EXPECT_TRUE(fired.empty());
    TickAt(1001);
    EXPECT_EQ(fired.size(), 1u);
}

TEST_F(TimerSchedulerTest, EntryWithoutKindStaysDueEveryTick) {
    scheduler.Add(Record(), 4, 10, 0);
    TickAt(1011);
    TickAt(1012);
    TickAt(1013);
    EXPECT_EQ(fired.size(), 3u);
}

TEST_F(TimerSchedulerTest, IdsAreNeverReused) {
    std::uint32_t a = scheduler.Add(Record(), 0, 10, TimerScheduler::kOnce);
    scheduler.Remove(a);
    std::uint32_t b = scheduler.Add(Record(), 0, 10, TimerScheduler::kOnce);
    EXPECT_EQ(a, 1u);
    EXPECT_GT(b, a);
}

// Shows the box by running a nested tick later in time, as a modal message loop would.
class TickingScreen final : public Screen {
  public:
    TickingScreen(ManualTickClock& clock, std::vector<std::string>& events)
        : clock_(clock), events_(events) {}
    void Attach(TimerScheduler* scheduler) { scheduler_ = scheduler; }
    int MessageBox(const std::string&, const std::string&, std::uint32_t) override {
        events_.push_back("box shown");
        clock_.Advance(1000);
        scheduler_->Tick();
        events_.push_back("box closed");
        return mb::kIdOk;
    }
    void FlashMainWindow(bool) override {}
    bool OpenUrl(const std::string&) override { return true; }
    bool StartProgram(const std::string&, const std::vector<std::string>&) override { return true; }

  private:
    ManualTickClock& clock_;
    std::vector<std::string>& events_;
    TimerScheduler* scheduler_ = nullptr;
};

TEST(TimerSchedulerNestingTest, TickFromInsideAMessageBoxRunsNothing) {
    ManualTickClock clock(1000);
    std::vector<std::string> events;
    TickingScreen screen(clock, events);
    TimerScheduler scheduler(clock, &screen);
    screen.Attach(&scheduler);
    scheduler.Add(nullptr, 0, 10, TimerScheduler::kOneShot | TimerScheduler::kShowText);
    scheduler.Add([&](const std::string&, std::uintptr_t) { events.push_back("periodic"); }, 0, 10,
                  TimerScheduler::kRepeat);
    clock.Set(1011);
    scheduler.Tick();
    // The nested tick, 1000 ms later, would find the periodic job due again and run it twice.
    EXPECT_EQ(events, (std::vector<std::string>{"box shown", "box closed", "periodic"}));
    // Once the outer tick is over, ticking works again.
    clock.Advance(11);
    scheduler.Tick();
    EXPECT_EQ(events.back(), "periodic");
    EXPECT_EQ(events.size(), 4u);
}

TEST(TimerSchedulerFailureTest, ThrowingCallbackIsContainedAndOtherJobsGoOn) {
    ManualTickClock clock(0);
    TimerScheduler scheduler(clock);
    int throws = 0;
    int after = 0;
    scheduler.Add(
        [&](const std::string&, std::uintptr_t) {
            ++throws;
            throw std::runtime_error("job failed");
        },
        0, 10, TimerScheduler::kRepeat);
    scheduler.Add([&](const std::string&, std::uintptr_t) { throw 42; }, 0, 10,
                  TimerScheduler::kRepeat);
    scheduler.Add([&](const std::string&, std::uintptr_t) { ++after; }, 0, 10,
                  TimerScheduler::kRepeat);
    clock.Set(11);
    EXPECT_NO_THROW(scheduler.Tick());
    EXPECT_EQ(throws, 1);
    EXPECT_EQ(after, 1);  // a later job of the same tick still runs
    clock.Set(22);
    EXPECT_NO_THROW(scheduler.Tick());
    EXPECT_EQ(throws, 2);  // and the busy guard was put back
    EXPECT_EQ(after, 2);
}

struct DueRow {
    std::uint32_t start;
    std::uint32_t interval;
    std::uint32_t now;
    bool due;
};

// The due test is (now - start) > interval in 32-bit unsigned arithmetic. Rows whose due time
// lies past the wrap of the tick count catch the naive start + interval < now.
constexpr DueRow kDueRows[] = {
    {1000, 5000, 6000, false},                 // exactly at the end of the interval
    {1000, 5000, 6001, true},                  //
    {5, 0, 5, false},                          // interval 0: never in the same millisecond
    {5, 0, 6, true},                           //
    {0xFFFFFF00u, 0x200, 0xFFFFFFF0u, false},  // due after the wrap, now before it
    {0xFFFFFF00u, 0x200, 0x000000FFu, false},  // now wrapped, not yet due
    {0xFFFFFF00u, 0x200, 0x00000100u, false},  //
    {0xFFFFFF00u, 0x200, 0x00000101u, true},   //
    {0xFFFFFFF0u, 0x10, 0xFFFFFFFFu, false},   // due time is exactly the wrap
    {0xFFFFFFF0u, 0x10, 0x00000000u, false},   //
    {0xFFFFFFF0u, 0x10, 0x00000001u, true},    //
    {0xFFFFFFFFu, 1, 0x00000001u, true},       // start just before the wrap
    {0xFFFFFF00u, 0x80, 0xFFFFFF81u, true},    // no wrap involved near the top
};

TEST(TimerSchedulerDueTest, TableOfStartIntervalNowAndDue) {
    for (const DueRow& row : kDueRows) {
        for (std::uint32_t flags : {TimerScheduler::kOnce, TimerScheduler::kRepeat}) {
            if (flags == TimerScheduler::kRepeat && row.interval == 0) {
                continue;  // refused
            }
            SCOPED_TRACE(::testing::Message()
                         << std::hex << "start " << row.start << " interval " << row.interval
                         << " now " << row.now << " flags " << flags);
            ManualTickClock clock(row.start);
            TimerScheduler scheduler(clock);
            int calls = 0;
            scheduler.Add([&](const std::string&, std::uintptr_t) { ++calls; }, 0, row.interval,
                          flags);
            clock.Set(row.now);
            scheduler.Tick();
            EXPECT_EQ(calls, row.due ? 1 : 0);
        }
    }
}

TEST(TimerSchedulerDueTest, PeriodicKeepsItsPhaseAcrossTheWrap) {
    ManualTickClock clock(0xFFFFFF00u);
    TimerScheduler scheduler(clock);
    int calls = 0;
    scheduler.Add([&](const std::string&, std::uintptr_t) { ++calls; }, 0, 0x100,
                  TimerScheduler::kRepeat);
    clock.Set(0x00000050u);  // 0x150 after the start: fires, next due after start + 0x200
    scheduler.Tick();
    EXPECT_EQ(calls, 1);
    clock.Set(0x00000100u);
    scheduler.Tick();
    EXPECT_EQ(calls, 1);
    clock.Set(0x00000101u);
    scheduler.Tick();
    EXPECT_EQ(calls, 2);
}

TEST(TimerSchedulerTextTest, ShowTextEntryShowsItsTextInAMessageBox) {
    ManualTickClock clock(0);
    test::RecordingScreen screen;
    TimerScheduler scheduler(clock, &screen);
    std::string seen;
    std::uint32_t id = scheduler.Add([&](const std::string& text, std::uintptr_t) { seen = text; },
                                     0, 10, TimerScheduler::kOneShot | TimerScheduler::kShowText);
    scheduler.SetText(id, "Reminder");
    clock.Set(11);
    scheduler.Tick();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, "Reminder");
    EXPECT_EQ(screen.boxes[0].caption, "");
    EXPECT_EQ(seen, "Reminder");
}

TEST(TimerSchedulerThreadTest, AddAndRemoveFromWorkerThreadsWhileTicking) {
    ManualTickClock clock(0);
    TimerScheduler scheduler(clock);
    std::atomic<int> calls{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                std::uint32_t id =
                    scheduler.Add([&](const std::string&, std::uintptr_t) { ++calls; }, 0, 1,
                                  TimerScheduler::kRepeat);
                if (i % 2 == 0) {
                    scheduler.Remove(id);
                }
            }
        });
    }
    std::thread ticker([&] {
        while (!stop) {
            clock.Advance(2);
            scheduler.Tick();
        }
    });
    for (auto& t : workers) {
        t.join();
    }
    stop = true;
    ticker.join();
    EXPECT_EQ(scheduler.Count(), 1000u);
    clock.Advance(10);
    calls = 0;
    scheduler.Tick();
    EXPECT_EQ(calls.load(), 1000);
}

TEST(TimerSchedulerThreadTest, RemoveOnAnotherThreadWaitsForTheRunningCallback) {
    ManualTickClock clock(0);
    TimerScheduler scheduler(clock);
    std::mutex m;
    std::condition_variable cv;
    bool started = false;
    bool removeReturned = false;
    bool sawRemoveReturned = true;
    std::uint32_t id = scheduler.Add(
        [&](const std::string&, std::uintptr_t) {
            std::unique_lock lock(m);
            started = true;
            cv.notify_all();
            // Gives a Remove that does not wait ample time to return while we still run.
            cv.wait_for(lock, std::chrono::seconds(1), [&] { return removeReturned; });
            sawRemoveReturned = removeReturned;
        },
        0, 10, TimerScheduler::kRepeat);
    std::thread remover([&] {
        {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return started; });
        }
        scheduler.Remove(id);
        std::lock_guard lock(m);
        removeReturned = true;
        cv.notify_all();
    });
    clock.Set(11);
    scheduler.Tick();
    remover.join();
    EXPECT_FALSE(sawRemoveReturned);
    EXPECT_FALSE(scheduler.Contains(id));
}

TEST(TimerSchedulerOwnTimerTest, StartWithOwnTimerTicksOnItsOwnThread) {
    SteadyTickClock clock;
    TimerScheduler scheduler(clock);
    std::atomic<int> calls{0};
    scheduler.Add([&](const std::string&, std::uintptr_t) { ++calls; }, 0, 1,
                  TimerScheduler::kRepeat);
    EXPECT_TRUE(scheduler.Start(false));
    EXPECT_EQ(calls.load(), 0);
    EXPECT_TRUE(scheduler.Start(true));
    for (int i = 0; i < 100 && calls.load() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GT(calls.load(), 0);
}

}  // namespace
}  // namespace qv
