// The login throttle, password hashes and minted secrets.

#include <gtest/gtest.h>

#include <set>

#include "security/LoginThrottle.h"
#include "security/PasswordHasher.h"
#include "security/Secrets.h"
#include "util/Clock.h"

namespace qv::dirsvc {
namespace {

class LoginThrottleTest : public ::testing::Test {
  protected:
    // Runs one attempt that fails; the wait Begin reported.
    std::int64_t FailOnce(std::int64_t number) {
        const std::int64_t wait = throttle_.Begin(number);
        if (wait == 0) {
            throttle_.Finished(number, true);
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
    EXPECT_EQ(throttle_.Begin(7), 1);
    clock_.Advance(1);
    EXPECT_EQ(FailOnce(7), 0);
    EXPECT_EQ(throttle_.Begin(7), 2);
    clock_.Advance(2);
    EXPECT_EQ(FailOnce(7), 0);
    EXPECT_EQ(throttle_.Begin(7), 4);
}

TEST_F(LoginThrottleTest, TheWaitIsCapped) {
    for (int i = 0; i < 40; ++i) {
        FailOnce(7);
        clock_.Advance(LoginThrottle::Policy{}.maxDelay);
    }
    EXPECT_EQ(FailOnce(7), 0);
    EXPECT_EQ(throttle_.Begin(7), LoginThrottle::Policy{}.maxDelay);
}

TEST_F(LoginThrottleTest, SuccessClearsAndOtherNumbersAreUnaffected) {
    for (int i = 0; i < 5; ++i) {
        FailOnce(7);
    }
    EXPECT_GT(throttle_.Begin(7), 0);
    EXPECT_EQ(throttle_.Begin(8), 0);
    throttle_.Finished(8, false);
    clock_.Advance(1);
    ASSERT_EQ(throttle_.Begin(7), 0);
    throttle_.Finished(7, false);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(FailOnce(7), 0);
    }
}

TEST_F(LoginThrottleTest, OneAttemptPerNumberAtATime) {
    ASSERT_EQ(throttle_.Begin(7), 0);
    EXPECT_EQ(throttle_.Begin(7), 1);
    throttle_.Abandoned(7);
    EXPECT_EQ(throttle_.Begin(7), 0);
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
        if (small.Begin(number) == 0) {
            small.Finished(number, true);
        }
    }
    // Still works for a number that has been swept away.
    EXPECT_EQ(small.Begin(1), 0);
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
