#include "engine/SonaroEventQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qv {
namespace {

// Records what is delivered; can raise more into the queue while being delivered to.
class Target final : public SonaroEventSink {
  public:
    explicit Target(SonaroEventQueue& q) : queue(q) {}
    void userListUpdate() override { log.push_back("userListUpdate"); }
    void userTalking(const std::string& n, const std::string& s, Bool32 on) override {
        log.push_back("userTalking " + n + " " + s + " " + std::to_string(on));
    }
    void canTalkEvent(Bool32 on) override { log.push_back("canTalk " + std::to_string(on)); }
    void mikeActive(std::int16_t s) override { log.push_back("mike " + std::to_string(s)); }
    void serverMessage(std::int16_t t, std::int16_t n, const std::string& m) override {
        log.push_back("server " + std::to_string(t) + " " + std::to_string(n) + " " + m);
    }
    void UserMessage(const std::string& a, const std::string& u, std::int16_t n, std::int16_t p,
                     const std::string& m) override {
        log.push_back("user " + a + " " + u + " " + std::to_string(n) + " " + std::to_string(p) +
                      " " + m);
    }
    void groupListUpdate() override { log.push_back("groupListUpdate"); }
    void connectionEvent(std::int16_t s, const std::string& m) override {
        log.push_back("connection " + std::to_string(s) + " " + m);
        if (raiseOnConnection) {
            queue.Watch("late", 1);
        }
    }
    void JoinedGroup(const std::string& g) override { log.push_back("joined " + g); }
    void Found(const std::string& a, Bool32 o, const std::string& g) override {
        log.push_back("found " + a + " " + std::to_string(o) + " " + g);
    }
    void Watch(const std::string& n, std::int16_t s) override {
        log.push_back("watch " + n + " " + std::to_string(s));
    }
    void UserChange(const std::string& n, const std::string& s, std::int16_t t, Bool32 e) override {
        log.push_back("change " + n + " " + s + " " + std::to_string(t) + " " + std::to_string(e));
    }
    void JoinedConference(std::int32_t i, Bool32 j, Bool32 d) override {
        log.push_back("conference " + std::to_string(i) + " " + std::to_string(j) + " " +
                      std::to_string(d));
    }
    void Invitation(std::int32_t i, const std::string& a, const std::string& f, std::int16_t n,
                    const std::string& m) override {
        log.push_back("invitation " + std::to_string(i) + " " + a + " " + f + " " +
                      std::to_string(n) + " " + m);
    }
    void AcceptedConference(Bool32 fl, const std::string& a, const std::string& f, std::int16_t n,
                            const std::string& m) override {
        log.push_back("accepted " + std::to_string(fl) + " " + a + " " + f + " " +
                      std::to_string(n) + " " + m);
    }
    void ConferenceMessage(const std::string& a, const std::string& f, std::int16_t n,
                           const std::string& m) override {
        log.push_back("confmsg " + a + " " + f + " " + std::to_string(n) + " " + m);
    }
    void InvitationCancel(std::int32_t i, const std::string& a, const std::string& f,
                          std::int16_t n, const std::string& m) override {
        log.push_back("cancel " + std::to_string(i) + " " + a + " " + f + " " + std::to_string(n) +
                      " " + m);
    }
    void Registered(const std::string& n) override { log.push_back("registered " + n); }
    void FirewallNotify(std::int32_t c) override { log.push_back("firewall " + std::to_string(c)); }

    SonaroEventQueue& queue;
    bool raiseOnConnection = false;
    std::vector<std::string> log;
};

TEST(SonaroEventQueueTest, NothingIsDeliveredUntilDrainedThenEverythingInOrder) {
    SonaroEventQueue q;
    Target t(q);
    q.userListUpdate();
    q.userTalking("n", "s", 1);
    q.canTalkEvent(1);
    q.mikeActive(1);
    q.serverMessage(3, 2, "m");
    q.UserMessage("a", "u", 8, 2, "hi");
    q.groupListUpdate();
    q.connectionEvent(0, "ok");
    q.JoinedGroup("g");
    q.Found("a", 1, "g");
    q.Watch("12", 3);
    q.UserChange("n", "s", 1, 0);
    q.JoinedConference(7, 1, 0);
    q.Invitation(7, "a", "f", 0, "m");
    q.AcceptedConference(0, "a", "f", 4, "busy");
    q.ConferenceMessage("a", "f", 1, "m");
    q.InvitationCancel(7, "a", "f", 0, "m");
    q.Registered("nick");
    q.FirewallNotify(9);
    EXPECT_TRUE(t.log.empty());
    EXPECT_EQ(q.Pending(), 19u);
    EXPECT_EQ(q.Drain(t), 19u);
    EXPECT_EQ(t.log, (std::vector<std::string>{
                         "userListUpdate", "userTalking n s 1", "canTalk 1", "mike 1",
                         "server 3 2 m", "user a u 8 2 hi", "groupListUpdate", "connection 0 ok",
                         "joined g", "found a 1 g", "watch 12 3", "change n s 1 0",
                         "conference 7 1 0", "invitation 7 a f 0 m", "accepted 0 a f 4 busy",
                         "confmsg a f 1 m", "cancel 7 a f 0 m", "registered nick", "firewall 9"}));
    EXPECT_EQ(q.Pending(), 0u);
}

TEST(SonaroEventQueueTest, EventsRaisedWhileDrainingWaitForTheNextDrain) {
    SonaroEventQueue q;
    Target t(q);
    t.raiseOnConnection = true;
    q.connectionEvent(0, "ok");
    EXPECT_EQ(q.Drain(t), 1u);
    EXPECT_EQ(t.log, std::vector<std::string>{"connection 0 ok"});
    EXPECT_EQ(q.Drain(t), 1u);
    EXPECT_EQ(t.log.back(), "watch late 1");
}

TEST(SonaroEventQueueTest, DroppingASessionKeepsOnlyUserMessages) {
    SonaroEventQueue q;
    Target t(q);
    q.connectionEvent(5, "lost");
    q.UserMessage("a", "u", 8, 0, "still here");
    q.Registered("nick");
    q.JoinedGroup("g");
    q.DropSessionEvents();
    q.Drain(t);
    EXPECT_EQ(t.log, std::vector<std::string>{"user a u 8 0 still here"});
}

TEST(SonaroEventQueueTest, OtherThreadsRaiseInTheirOrder) {
    SonaroEventQueue q;
    Target t(q);
    std::thread network([&q] {
        for (int i = 0; i < 100; ++i) {
            q.Watch(std::to_string(i), 0);
        }
    });
    network.join();
    q.Drain(t);
    ASSERT_EQ(t.log.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(t.log[i], "watch " + std::to_string(i) + " 0");
    }
}

TEST(SonaroEventQueueTest, ClearForgetsEverything) {
    SonaroEventQueue q;
    Target t(q);
    q.UserMessage("a", "u", 8, 0, "x");
    q.Clear();
    EXPECT_EQ(q.Drain(t), 0u);
}

}  // namespace
}  // namespace qv
