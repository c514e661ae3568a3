#include "app/SingleInstance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "support/TempFolder.h"

namespace qv {
namespace {

std::vector<std::string> PollFor(SingleInstance& primary, std::size_t count) {
    std::vector<std::string> got;
    for (int i = 0; i < 200 && got.size() < count; ++i) {
        for (auto& r : primary.Poll()) {
            got.push_back(r);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return got;
}

TEST(SingleInstanceTest, SecondInstanceHandsItsRequestsToTheFirst) {
    test::TempFolder root;
    SingleInstance first(root.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::Primary);
    SingleInstance second(root.Path());
    ASSERT_EQ(second.Acquire(), SingleInstance::Role::Secondary);
    ASSERT_TRUE(second.SendToPrimary({SingleInstance::kShow, SingleInstance::kOpen}));
    EXPECT_EQ(PollFor(first, 2), (std::vector<std::string>{"show", "open"}));
    EXPECT_TRUE(first.Poll().empty());
}

TEST(SingleInstanceTest, InstancesOfDifferentDataRootsDoNotMeet) {
    test::TempFolder a;
    test::TempFolder b;
    SingleInstance first(a.Path());
    SingleInstance other(b.Path());
    EXPECT_EQ(first.Acquire(), SingleInstance::Role::Primary);
    EXPECT_EQ(other.Acquire(), SingleInstance::Role::Primary);
}

TEST(SingleInstanceTest, LockOfACrashedInstanceDoesNotBlock) {
    test::TempFolder root;
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SingleInstance crashed(root.Path());
        if (crashed.Acquire() != SingleInstance::Role::Primary) {
            ::_exit(3);
        }
        ::kill(::getpid(), SIGKILL);  // no clean-up of any kind
        ::_exit(4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    SingleInstance next(root.Path());
    EXPECT_EQ(next.Acquire(), SingleInstance::Role::Primary);
}

TEST(SingleInstanceTest, SenderGivesUpWhenNobodyListens) {
    test::TempFolder root;
    auto first = std::make_unique<SingleInstance>(root.Path());
    ASSERT_EQ(first->Acquire(), SingleInstance::Role::Primary);
    SingleInstance second(root.Path());
    ASSERT_EQ(second.Acquire(), SingleInstance::Role::Secondary);
    // The first goes away after the second found the lock taken.
    first.reset();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(second.SendToPrimary({SingleInstance::kShow}, 2000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(SingleInstanceTest, HostileConnectionsAreDroppedWithoutBlocking) {
    test::TempFolder root;
    SingleInstance first(root.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::Primary);
    SingleInstance flood(root.Path());
    ASSERT_EQ(flood.Acquire(), SingleInstance::Role::Secondary);
    // Oversized and unknown requests are not taken; a good one after them is.
    ASSERT_TRUE(flood.SendToPrimary({std::string(100000, 'x')}));
    ASSERT_TRUE(flood.SendToPrimary({"format-disk", "show"}));
    auto got = PollFor(first, 1);
    EXPECT_EQ(got, std::vector<std::string>{"show"});
}

}  // namespace
}  // namespace qv
