#include "engine/SubscriberRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace qv {
namespace {

using Registry = SubscriberRegistry<int>;

struct Log {
    std::vector<std::string> calls;
};

Log* g_log = nullptr;  // the callbacks below report here (a test's own log)

void A(int v, void* c) {
    g_log->calls.push_back("A" + std::to_string(v) + (c ? *static_cast<std::string*>(c) : ""));
}
void B(int v, void* c) {
    g_log->calls.push_back("B" + std::to_string(v) + (c ? *static_cast<std::string*>(c) : ""));
}
void C(int v, void* c) {
    g_log->calls.push_back("C" + std::to_string(v) + (c ? *static_cast<std::string*>(c) : ""));
}

class SubscriberRegistryTest : public ::testing::Test {
  protected:
    SubscriberRegistryTest() { g_log = &log; }
    ~SubscriberRegistryTest() override { g_log = nullptr; }
    Log log;
    std::string x = "x";
    std::string y = "y";
};

TEST_F(SubscriberRegistryTest, SubscribingTwiceKeepsOneEntryWithTheLaterContext) {
    Registry r;
    r.Subscribe(&A, &x);
    r.Subscribe(&A, &y);
    EXPECT_EQ(r.Size(), 1u);
    EXPECT_EQ(r.ContextOf(&A), &y);
    r.Deliver(1);
    EXPECT_EQ(log.calls, std::vector<std::string>{"A1y"});
}

TEST_F(SubscriberRegistryTest, UnsubscribeNeedsTheStoredContext) {
    Registry r;
    r.Subscribe(&A, &x);
    r.Unsubscribe(&A, &y);
    EXPECT_TRUE(r.Contains(&A));
    r.Unsubscribe(&A, &x);
    EXPECT_FALSE(r.Contains(&A));
    r.Unsubscribe(&B, &x);  // absent: nothing happens
    EXPECT_EQ(r.Size(), 0u);
}

TEST_F(SubscriberRegistryTest, DeliversInKeyOrderNotSubscriptionOrder) {
    std::vector<Registry::Callback> keys{&A, &B, &C};
    std::sort(keys.begin(), keys.end(), std::less<Registry::Callback>());
    std::vector<std::string> expected;
    for (Registry::Callback k : keys) {
        expected.push_back(k == &A ? "A2" : k == &B ? "B2" : "C2");
    }
    Registry r;
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        r.Subscribe(*it, nullptr);  // subscribe against key order
    }
    r.Deliver(2);
    EXPECT_EQ(log.calls, expected);
}

TEST_F(SubscriberRegistryTest, NullCallbackIsIgnored) {
    Registry r;
    r.Subscribe(nullptr, &x);
    EXPECT_EQ(r.Size(), 0u);
}

// A subscriber that goes away while the event is delivered must not be called afterwards, and
// delivery must go on with the others.
Registry* g_registry = nullptr;
std::vector<Registry::Callback> g_order;

void Remover(int, void*) {
    g_log->calls.push_back("remover");
    for (Registry::Callback k : g_order) {
        if (k != &Remover) {
            g_registry->Unsubscribe(k, nullptr);
        }
    }
}

TEST_F(SubscriberRegistryTest, UnsubscribingDuringDeliveryIsSafe) {
    Registry r;
    g_registry = &r;
    g_order = {&A, &B, &Remover};
    for (Registry::Callback k : g_order) {
        r.Subscribe(k, nullptr);
    }
    r.Deliver(3);
    // Everything before the remover in key order ran; everything after it was removed first.
    std::vector<Registry::Callback> keys = g_order;
    std::sort(keys.begin(), keys.end(), std::less<Registry::Callback>());
    std::vector<std::string> expected;
    for (Registry::Callback k : keys) {
        if (k == &Remover) {
            expected.push_back("remover");
            break;
        }
        expected.push_back(k == &A ? "A3" : "B3");
    }
    EXPECT_EQ(log.calls, expected);
    EXPECT_EQ(r.Size(), 1u);
    g_registry = nullptr;
}

}  // namespace
}  // namespace qv
