// The connection status line: its states, texts, icons and click actions.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TimerScheduler.h"
#include "platform/TickClock.h"
#include "ui/ConnectionStatusLine.h"

namespace qv {
namespace {

struct FakeSource final : StatusLineSource {
    int ManagerState() const override { return manager; }
    bool CallOrForumActive() const override { return active; }
    bool ActiveIsForum() const override { return forum; }
    bool IncomingCallWaiting() const override { return waiting; }
    std::int32_t Ping() const override {
        ++pings;
        return ping;
    }
    float PacketLoss() const override { return loss; }

    int manager = 0;
    bool active = false;
    bool forum = false;
    bool waiting = false;
    std::int32_t ping = 0;
    float loss = 0.0f;
    mutable int pings = 0;
};

struct RecordingView final : StatusLineView {
    struct Shown {
        int state;
        int icon;
        std::string text;
    };
    void ShowStatus(int state, int icon, const std::string& text) override {
        shown.push_back({state, icon, text});
    }
    std::vector<Shown> shown;
};

using Click = ConnectionStatusLine::Click;

struct StateCase {
    const char* name;
    int manager;
    bool active, forum, waiting;
    std::int32_t ping;
    float loss;
    int state;
    int icon;
    const char* text;
    Click click;
};

TEST(StatusLineTest, TheTableOfStates) {
    const std::vector<StateCase> cases = {
        {"idle", 0, false, false, false, 0, 0, 0, 439,
         "Disconnected - Click to connect to the Quorvane voice server", Click::Connect},
        {"idle, a ping left over is not shown", 0, false, false, false, 40, 3, 0, 439,
         "Disconnected - Click to connect to the Quorvane voice server", Click::Connect},
        {"no manager", -1, false, false, false, 0, 0, 0, 439,
         "Disconnected - Click to connect to the Quorvane voice server", Click::Connect},
        {"disconnecting", 1, false, false, false, 0, 0, 1, 438, "Connecting", Click::None},
        {"connecting", 2, false, false, false, 35, 0, 1, 438, "Connecting", Click::None},
        {"connected, no ping yet", 3, false, false, false, 0, 0, 2, 437, "Online", Click::None},
        {"logged in with a ping", 4, false, false, false, 123, 2.4f, 2, 437,
         "Online - Ping: 123 ms  Ploss:   2%", Click::None},
        {"a call waiting", 4, false, false, true, 80, 12.6f, 3, 442,
         "Click here to answer this call - Ping: 80 ms  Ploss:  13%", Click::Answer},
        {"in a call", 4, true, false, false, 0, 0, 5, 443, "Click here to hang up this call",
         Click::HangUp},
        {"in a call with another ringing", 4, true, false, true, 9, 100.0f, 5, 443,
         "Click here to hang up this call - Ping: 9 ms  Ploss: 100%", Click::HangUp},
        {"in a forum", 3, true, true, false, 50, 0, 5, 443,
         "Click here to leave this forum - Ping: 50 ms  Ploss:   0%", Click::Leave},
    };
    for (const StateCase& c : cases) {
        FakeSource source;
        source.manager = c.manager;
        source.active = c.active;
        source.forum = c.forum;
        source.waiting = c.waiting;
        source.ping = c.ping;
        source.loss = c.loss;
        ConnectionStatusLine line(source, nullptr);
        RecordingView view;
        line.SetView(&view);
        line.Update();
        EXPECT_EQ(line.State(), c.state) << c.name;
        EXPECT_EQ(line.Icon(), c.icon) << c.name;
        EXPECT_EQ(line.Text(), c.text) << c.name;
        EXPECT_EQ(line.ClickAction(), c.click) << c.name;
        ASSERT_FALSE(view.shown.empty()) << c.name;
        EXPECT_EQ(view.shown.back().text, c.text) << c.name;
        EXPECT_EQ(view.shown.back().icon, c.icon) << c.name;
    }
}

TEST(StatusLineTest, NothingIsShownAgainWhileStateAndPingStay) {
    FakeSource source;
    source.manager = 4;
    source.ping = 100;
    source.loss = 1;
    ConnectionStatusLine line(source, nullptr);
    RecordingView view;
    line.SetView(&view);
    line.Update();
    const std::size_t shown = view.shown.size();
    // The loss alone changing does not redraw it.
    source.loss = 50;
    line.Update();
    line.Update();
    EXPECT_EQ(view.shown.size(), shown);
    source.ping = 101;
    line.Update();
    ASSERT_EQ(view.shown.size(), shown + 1);
    EXPECT_EQ(view.shown.back().text, "Online - Ping: 101 ms  Ploss:  50%");
    // A call that becomes a forum in the same state changes the text.
    source.active = true;
    line.Update();
    source.forum = true;
    line.Update();
    EXPECT_EQ(view.shown.back().text, "Click here to leave this forum - Ping: 101 ms  Ploss:  50%");
}

TEST(StatusLineTest, TheJobRunsEvery200MsOnceStarted) {
    ManualTickClock clock(1000);
    TimerScheduler scheduler(clock);
    FakeSource source;
    RecordingView view;
    {
        ConnectionStatusLine line(source, &scheduler);
        line.SetView(&view);
        clock.Advance(1000);
        scheduler.Tick();
        EXPECT_EQ(line.State(), 0);
        source.manager = 2;
        // Not started: nothing looks.
        clock.Advance(1000);
        scheduler.Tick();
        EXPECT_EQ(line.State(), 0);
        line.Start();
        line.Start();
        EXPECT_EQ(line.State(), 1);
        source.manager = 4;
        clock.Advance(ConnectionStatusLine::kPeriodMs + 1);
        scheduler.Tick();
        EXPECT_EQ(line.State(), 2);
        EXPECT_EQ(view.shown.back().text, "Online");
        line.SetView(nullptr);
    }
    // Gone: its job is gone with it.
    source.manager = 0;
    clock.Advance(1000);
    scheduler.Tick();
}

}  // namespace
}  // namespace qv
