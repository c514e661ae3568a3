#include <gtest/gtest.h>

#include <vector>

#include "MediaBudget.h"

namespace qv::media {
namespace {

constexpr MediaBudget::Nanos kMs = 1'000'000;

// Sends count packets of size, one every gap, from start; how many got through.
int Sent(MediaBudget& budget, int count, std::size_t size, MediaBudget::Nanos gap,
         MediaBudget::Nanos start = 0) {
    int passed = 0;
    for (int i = 0; i < count; ++i) {
        passed += budget.Take(size, start + i * gap) ? 1 : 0;
    }
    return passed;
}

TEST(MediaBudgetTest, PacketsAndBytesAreMeteredWithABurst) {
    const MediaBudget::Settings settings{100, 10, 10000, 2000};
    struct Case {
        const char* name;
        int count;
        std::size_t size;
        MediaBudget::Nanos gap;
        int passed;
    };
    const std::vector<Case> cases = {
        // 10 ms voice of 80 bytes: 100 packets and 8000 bytes a second, within both.
        {"voice at its rate", 500, 80, 10 * kMs, 500},
        // All at once: the packet burst.
        {"a burst of small packets", 50, 10, 0, 10},
        // All at once: the byte burst (2000 / 300 = 6).
        {"a burst of large packets", 50, 300, 0, 6},
        // Twice the packet rate for 5 s: the burst, then what 4.995 s refill.
        {"twice the packet rate", 1000, 10, 5 * kMs, 10 + 499},
        // 100 packets a second of 200 bytes = 20000 B/s, twice the byte rate: the burst, then
        // 4.99 s of 10000 B/s.
        {"twice the byte rate", 500, 200, 10 * kMs, 10 + 249},
    };
    for (const Case& c : cases) {
        MediaBudget budget(settings);
        const int passed = Sent(budget, c.count, c.size, c.gap);
        // Rounding of the refills may let one more through.
        EXPECT_GE(passed, c.passed) << c.name;
        EXPECT_LE(passed, c.passed + 1) << c.name;
        EXPECT_EQ(budget.Dropped(), static_cast<std::uint64_t>(c.count - passed)) << c.name;
    }
}

TEST(MediaBudgetTest, AClockThatGoesBackRefillsNothing) {
    MediaBudget budget({100, 2, 100000, 100000});
    EXPECT_TRUE(budget.Take(10, 1000 * kMs));
    EXPECT_TRUE(budget.Take(10, 1000 * kMs));
    EXPECT_FALSE(budget.Take(10, 1000 * kMs));
    EXPECT_FALSE(budget.Take(10, 0));
    EXPECT_TRUE(budget.Take(10, 1010 * kMs));
}

}  // namespace
}  // namespace qv::media
