#include "app/TimerScheduler.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

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

TEST_F(TimerSchedulerTest, NestedTickDoesNothing) {
    int inner = 0;
    scheduler.Add([&](const std::string&, std::uintptr_t) { scheduler.Tick(); }, 0, 10,
                  TimerScheduler::kRepeat);
    scheduler.Add([&](const std::string&, std::uintptr_t) { ++inner; }, 0, 10,
                  TimerScheduler::kRepeat);
    TickAt(1011);
    EXPECT_EQ(inner, 1);
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

TEST(TimerSchedulerWrapTest, DueTestAndPhaseSurviveTickCountWrap) {
    ManualTickClock clock(0xFFFFFF00u);
    TimerScheduler scheduler(clock);
    int periodic = 0;
    int once = 0;
    scheduler.Add([&](const std::string&, std::uintptr_t) { ++periodic; }, 0, 0x100,
                  TimerScheduler::kRepeat);
    scheduler.Add([&](const std::string&, std::uintptr_t) { ++once; }, 0, 0x180,
                  TimerScheduler::kOnce);
    clock.Set(0x00000010u);  // wrapped: 0x110 ms later
    scheduler.Tick();
    EXPECT_EQ(periodic, 1);
    EXPECT_EQ(once, 0);
    clock.Set(0x00000081u);  // 0x181 ms after the start
    scheduler.Tick();
    EXPECT_EQ(once, 1);
    EXPECT_EQ(periodic, 1);
    clock.Set(0x00000101u);  // the periodic's phase: next due after 0x200 from its start
    scheduler.Tick();
    EXPECT_EQ(periodic, 2);
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
