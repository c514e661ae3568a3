#include <gtest/gtest.h>

#include "QualityMeter.h"

namespace qv::net {
namespace {

constexpr QualityMeter::Micros kSecond = 1'000'000;

TEST(QualityMeterTest, PingIsTheLatestRoundTripInWholeMillisecondsAtLeastOne) {
    QualityMeter meter;
    EXPECT_EQ(meter.PingMs(), 0);
    const std::uint32_t first = meter.Sent(10 * kSecond);
    meter.Answered(first, 10 * kSecond + 42'000);
    EXPECT_EQ(meter.PingMs(), 42);
    const std::uint32_t second = meter.Sent(11 * kSecond);
    meter.Answered(second, 11 * kSecond + 200);  // 0.2 ms
    EXPECT_EQ(meter.PingMs(), 1);
    const std::uint32_t third = meter.Sent(12 * kSecond);
    meter.Answered(third, 12 * kSecond + 7'400);
    EXPECT_EQ(meter.PingMs(), 8);         // rounded up
    meter.Answered(third, 14 * kSecond);  // a repeat changes nothing
    meter.Answered(9999, 14 * kSecond);   // nor a sequence never sent
    EXPECT_EQ(meter.PingMs(), 8);
}

TEST(QualityMeterTest, LossCountsOnlyPingsOlderThanThreeSeconds) {
    QualityMeter meter;
    EXPECT_EQ(meter.LossPercent(0), 0.0f);
    for (int i = 0; i < 4; ++i) {
        meter.Sent(static_cast<QualityMeter::Micros>(i) * kSecond);
    }
    // At 3 s only the first is older than three seconds... and not strictly.
    EXPECT_EQ(meter.LossPercent(3 * kSecond), 0.0f);
    EXPECT_EQ(meter.LossPercent(3 * kSecond + 1), 100.0f);
    EXPECT_EQ(meter.LossPercent(5 * kSecond + 1), 100.0f);  // three judged, none answered
}

TEST(QualityMeterTest, LossIsTheShareOfTheLatestTwentyJudgedPings) {
    QualityMeter meter;
    // 40 pings a second apart; the first 30 answered, the next 10 not.
    for (std::uint32_t i = 0; i < 40; ++i) {
        const QualityMeter::Micros at = i * kSecond;
        const std::uint32_t sequence = meter.Sent(at);
        if (i < 30) {
            meter.Answered(sequence, at + 50'000);
        }
    }
    const QualityMeter::Micros now = 39 * kSecond;
    // Judged: sent at 36 s or before (ping 36 is exactly three seconds old, not older), the latest
    // 20 are pings 16..35; 30..35 (6) got no Pong.
    EXPECT_FLOAT_EQ(meter.LossPercent(now), 30.0f);
    // A late Pong still counts.
    meter.Answered(31, now);  // sequence 31 is ping 30
    EXPECT_FLOAT_EQ(meter.LossPercent(now), 25.0f);
}

}  // namespace
}  // namespace qv::net
