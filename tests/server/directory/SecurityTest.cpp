// The login throttle, password hashes and minted secrets.

#include <gtest/gtest.h>

#include <set>

#include "security/LoginThrottle.h"
#include "security/PasswordHasher.h"
#include "security/RateLimiter.h"
#include "security/Secrets.h"
#include "security/SourceAddress.h"
#include "util/Clock.h"

namespace qv::dirsvc {
namespace {

constexpr const char* kHome = "192.0.2.1";

class LoginThrottleTest : public ::testing::Test {
  protected:
    // Runs one attempt that fails; the wait Begin reported.
    std::int64_t FailOnce(std::int64_t number) {
        const std::int64_t wait = throttle_.Begin(number, kHome);
        if (wait == 0) {
            throttle_.Finished(number, kHome, true);
        }
        return wait;
    }

    ManualClock clock_;
    LoginThrottle throttle_{clock_};
};

TEST_F(LoginThrottleTest, FirstFailuresAreFreeThenTheWaitDoubles) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(FailOnce(7), 0);
    }
    EXPECT_EQ(FailOnce(7), 0);  // the fifth failure starts the waiting
    EXPECT_EQ(throttle_.Begin(7, kHome), 1);
    clock_.Advance(1);
    EXPECT_EQ(FailOnce(7), 0);
    EXPECT_EQ(throttle_.Begin(7, kHome), 2);
    clock_.Advance(2);
    EXPECT_EQ(FailOnce(7), 0);
    EXPECT_EQ(throttle_.Begin(7, kHome), 4);
}

TEST_F(LoginThrottleTest, TheWaitIsCapped) {
    for (int i = 0; i < 40; ++i) {
        FailOnce(7);
        clock_.Advance(LoginThrottle::Policy{}.maxDelay);
    }
    EXPECT_EQ(FailOnce(7), 0);
    EXPECT_EQ(throttle_.Begin(7, kHome), LoginThrottle::Policy{}.maxDelay);
}

TEST_F(LoginThrottleTest, SuccessClearsAndOtherNumbersAreUnaffected) {
    for (int i = 0; i < 5; ++i) {
        FailOnce(7);
    }
    EXPECT_GT(throttle_.Begin(7, kHome), 0);
    EXPECT_EQ(throttle_.Begin(8, kHome), 0);
    throttle_.Finished(8, kHome, false);
    clock_.Advance(1);
    ASSERT_EQ(throttle_.Begin(7, kHome), 0);
    throttle_.Finished(7, kHome, false);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(FailOnce(7), 0);
    }
}

TEST_F(LoginThrottleTest, OneAttemptPerNumberAtATime) {
    ASSERT_EQ(throttle_.Begin(7, kHome), 0);
    EXPECT_EQ(throttle_.Begin(7, kHome), 1);
    throttle_.Abandoned(7, kHome);
    EXPECT_EQ(throttle_.Begin(7, kHome), 0);
}

TEST_F(LoginThrottleTest, FailuresAreForgottenAfterADayWithoutOne) {
    for (int i = 0; i < 5; ++i) {
        FailOnce(7);
    }
    clock_.Advance(LoginThrottle::Policy{}.forgetAfter + 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(FailOnce(7), 0);
    }
}

TEST_F(LoginThrottleTest, ManyNumbersStayBounded) {
    LoginThrottle::Policy policy;
    policy.maxTracked = 100;
    LoginThrottle small(clock_, policy);
    for (std::int64_t number = 0; number < 1000; ++number) {
        if (small.Begin(number, kHome) == 0) {
            small.Finished(number, kHome, true);
        }
    }
    // Still works for a number that has been swept away.
    EXPECT_EQ(small.Begin(1, kHome), 0);
}

TEST_F(LoginThrottleTest, AStrangersGuessesDoNotLockTheOwnerOut) {
    for (int i = 0; i < 30; ++i) {
        if (throttle_.Begin(7, "203.0.113.9") == 0) {
            throttle_.Finished(7, "203.0.113.9", true);
        }
        clock_.Advance(1);
    }
    EXPECT_GT(throttle_.Begin(7, "203.0.113.9"), 0);
    // The same stranger behind another port or in the IPv4-mapped form is the same caller.
    EXPECT_GT(throttle_.Begin(7, "::ffff:203.0.113.9"), 0);
    ASSERT_EQ(throttle_.Begin(7, kHome), 0);
    throttle_.Finished(7, kHome, false);
}

TEST_F(LoginThrottleTest, GuessesFromManyAddressesMeetALooserBoundPerNumber) {
    const LoginThrottle::Policy policy;
    // Each address stays within its free failures, together they pass the number's bound.
    int address = 0;
    for (int failures = 0; failures < policy.numberFreeFailures; ++address) {
        const std::string from = "198.51.100." + std::to_string(address);
        for (int i = 0; i < 2; ++i, ++failures) {
            ASSERT_EQ(throttle_.Begin(7, from), 0) << from;
            throttle_.Finished(7, from, true);
        }
    }
    const std::int64_t wait = throttle_.Begin(7, kHome);
    EXPECT_GT(wait, 0);
    EXPECT_LE(wait, policy.numberMaxDelay);
    // The bound's wait stays short: the owner gets a turn within a minute.
    for (int i = 0; i < 20; ++i) {
        clock_.Advance(policy.numberMaxDelay);
        const std::string from = "203.0.113." + std::to_string(i);
        ASSERT_EQ(throttle_.Begin(7, from), 0) << i;
        throttle_.Finished(7, from, true);
    }
    const std::int64_t later = throttle_.Begin(7, kHome);
    EXPECT_GT(later, 0);
    EXPECT_LE(later, policy.numberMaxDelay);
    clock_.Advance(later);
    ASSERT_EQ(throttle_.Begin(7, kHome), 0);
    throttle_.Finished(7, kHome, false);
}

TEST(SourceKeyTest, IPv4AsItIsIPv6ByItsSlash64) {
    const struct {
        const char* address;
        const char* key;
    } cases[] = {
        {"192.0.2.1", "192.0.2.1"},
        {"::ffff:192.0.2.1", "192.0.2.1"},
        {"2001:db8:1:2:3:4:5:6", "2001:0db8:0001:0002::/64"},
        {"2001:db8:1:2::ffff", "2001:0db8:0001:0002::/64"},
        {"::1", "0000:0000:0000:0000::/64"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SourceKey(c.address), c.key) << c.address;
    }
}

TEST(RateLimiterTest, BurstThenOnePerIntervalPerKey) {
    ManualClock clock;
    RateLimiter limiter(clock, {2, 10, 100});
    EXPECT_TRUE(limiter.Take("a"));
    EXPECT_TRUE(limiter.Take("a"));
    EXPECT_FALSE(limiter.Take("a"));
    EXPECT_TRUE(limiter.Take("b"));
    clock.Advance(9);
    EXPECT_FALSE(limiter.Take("a"));
    clock.Advance(1);
    EXPECT_TRUE(limiter.Take("a"));
    EXPECT_FALSE(limiter.Take("a"));
    // A long pause refills no more than the burst.
    clock.Advance(1000);
    EXPECT_TRUE(limiter.Take("a"));
    EXPECT_TRUE(limiter.Take("a"));
    EXPECT_FALSE(limiter.Take("a"));
}

TEST(RateLimiterTest, TheTableIsBounded) {
    ManualClock clock;
    RateLimiter limiter(clock, {1, 10, 3});
    for (const char* key : {"a", "b", "c"}) {
        EXPECT_TRUE(limiter.Take(key));
    }
    // Full of active keys: a new one is refused rather than the table growing.
    EXPECT_FALSE(limiter.Take("d"));
    // Refilled keys are the same as none and make room.
    clock.Advance(10);
    EXPECT_TRUE(limiter.Take("d"));
}

TEST(PasswordHasherTest, HashesVerifyAndAreSalted) {
    ASSERT_TRUE(secrets::Initialize());
    PasswordHasher hasher(HashCost::Minimal(), 2);
    const std::string hash = hasher.Hash("correct horse");
    ASSERT_FALSE(hash.empty());
    EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u);
    EXPECT_EQ(hash.find("correct horse"), std::string::npos);
    EXPECT_NE(hasher.Hash("correct horse"), hash);
    EXPECT_EQ(hasher.Verify(hash, "correct horse"), PasswordHasher::Verdict::kMatch);
    EXPECT_EQ(hasher.Verify(hash, "correct horsE"), PasswordHasher::Verdict::kMismatch);
    EXPECT_EQ(hasher.Verify("", "anything"), PasswordHasher::Verdict::kMismatch);
    EXPECT_EQ(hasher.Verify("garbage", "anything"), PasswordHasher::Verdict::kMismatch);
    EXPECT_EQ(hasher.VerifyUnknown("anything"), PasswordHasher::Verdict::kMismatch);
    EXPECT_FALSE(hasher.NeedsRehash(hash));
    PasswordHasher stronger(
        HashCost{HashCost::Minimal().opsLimit + 1, HashCost::Minimal().memLimit}, 1);
    EXPECT_TRUE(stronger.NeedsRehash(hash));
}

TEST(PasswordHasherTest, RehashesOnlyToAStrongerCost) {
    ASSERT_TRUE(secrets::Initialize());
    const HashCost minimal = HashCost::Minimal();
    const std::string hash = PasswordHasher(minimal, 1).Hash("pw");
    const auto cost = PasswordHasher::CostOf(hash);
    ASSERT_TRUE(cost);
    EXPECT_EQ(cost->opsLimit, minimal.opsLimit);
    EXPECT_EQ(cost->memLimit, minimal.memLimit);
    const struct {
        HashCost current;
        bool rehash;
    } cases[] = {
        {minimal, false},
        {{minimal.opsLimit + 1, minimal.memLimit}, true},
        {{minimal.opsLimit, minimal.memLimit * 2}, true},
        // Lowered in one part: keep the stored hash.
        {{minimal.opsLimit + 1, minimal.memLimit / 2}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PasswordHasher(c.current, 1).NeedsRehash(hash), c.rehash)
            << c.current.opsLimit << " " << c.current.memLimit;
    }
    // A stronger stored hash is never rewritten with a lowered cost.
    PasswordHasher interactive(HashCost::Interactive(), 1);
    const std::string strong = interactive.Hash("pw");
    EXPECT_FALSE(PasswordHasher(minimal, 1).NeedsRehash(strong));
    EXPECT_FALSE(PasswordHasher(minimal, 1).NeedsRehash("garbage"));
    EXPECT_FALSE(PasswordHasher::CostOf("$argon2id$v=19$m=x,t=1,p=1$"));
}

TEST(SecretsTest, ConnectionIdsAreRandomHexAndPasswordsPlain) {
    ASSERT_TRUE(secrets::Initialize());
    std::set<std::string> ids;
    for (int i = 0; i < 200; ++i) {
        const std::string id = secrets::NewConnectionId();
        ASSERT_EQ(id.size(), 32u);
        EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
        ids.insert(id);
        const std::string password = secrets::NewPassword();
        ASSERT_EQ(password.size(), 10u);
        EXPECT_EQ(password.find_first_of("0O1lI"), std::string::npos);
        for (const char c : password) {
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)));
        }
    }
    EXPECT_EQ(ids.size(), 200u);
    EXPECT_EQ(secrets::Digest("x").size(), 32u);
    EXPECT_NE(secrets::Digest("x"), secrets::Digest("y"));
}

}  // namespace
}  // namespace qv::dirsvc
