// The call panes' rules without windows: the button table, the user-list letters, the time in
// call, the ring and reminder tick, the alone grace and the blinking, with an injected clock.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TimerScheduler.h"
#include "calls/ButtonBlinker.h"
#include "calls/CallPaneButtons.h"
#include "calls/CallPaneTiming.h"
#include "calls/UserListText.h"
#include "platform/TickClock.h"

namespace qv {
namespace {

using A = ActiveSlotKind;
using S = SecondSlotKind;

struct ButtonRow {
    A active;
    S second;
    bool pickupEnabled;
    const char* pickupCaption;
    const char* pickupTooltip;
    bool hangUpEnabled;
    const char* hangUpCaption;
    const char* hangUpTooltip;
    const char* status;
};

TEST(CallPaneButtonsTest, EveryRowOfTheTable) {
    const ButtonRow rows[] = {
        {A::kForum, S::kEmpty, false, "Pickup", "", true, "Leave", "Leave this forum",
         "Joining Forum"},
        {A::kForum, S::kRinging, true, "Pickup", "Pick up incoming call and leave current forum",
         true, "Leave", "Leave this forum", "Joining Forum"},
        {A::kForum, S::kHeld, true, "Pickup", "Pick up call on hold and leave current forum", true,
         "Leave", "Leave this forum", "Joining Forum"},
        {A::kCall, S::kEmpty, true, "Hold", "Place this call on hold", true, "Hang Up",
         "Hang up active call", "Placing Call"},
        {A::kCall, S::kRinging, true, "Pickup",
         "Pick up incoming call and place current call on hold", true, "Hang Up",
         "Hang up active call", "Placing Call"},
        {A::kCall, S::kHeld, true, "Switch", "Pick up call on hold and place current call on hold",
         true, "Hang Up", "Hang up active call", "Placing Call"},
        {A::kEmpty, S::kEmpty, false, "Pickup", "Pick up incoming call", false, "Hang Up",
         "Hang up incoming call", "Ready"},
        {A::kEmpty, S::kRinging, true, "Pickup", "Pick up incoming call", true, "Hang Up",
         "Hang up incoming call", "Ready"},
        {A::kEmpty, S::kHeld, true, "Pickup", "Pick up call on hold", true, "Hang Up",
         "Hang up incoming call", "Ready"},
    };
    for (const ButtonRow& row : rows) {
        SCOPED_TRACE(std::string(row.pickupCaption) + " / " + row.pickupTooltip + " / " +
                     row.status);
        const ActivePaneButtons b = ActiveButtonsFor(row.active, row.second);
        EXPECT_EQ(b.pickupEnabled, row.pickupEnabled);
        EXPECT_EQ(b.pickupCaption, row.pickupCaption);
        EXPECT_EQ(b.pickupTooltip, row.pickupTooltip);
        EXPECT_EQ(b.hangUpEnabled, row.hangUpEnabled);
        EXPECT_EQ(b.hangUpCaption, row.hangUpCaption);
        EXPECT_EQ(b.hangUpTooltip, row.hangUpTooltip);
        EXPECT_EQ(b.statusWhenShown, row.status);
        const bool shown = row.active != A::kEmpty;
        EXPECT_EQ(b.talkEnabled, shown);
        EXPECT_EQ(b.textChatEnabled, shown);
        EXPECT_EQ(b.light, shown ? StatusLight::kInCall : StatusLight::kIdle);
        // Only a waiting call with nothing active makes the Pickup button blink.
        EXPECT_EQ(b.pickupBlinks, !shown && row.second != S::kEmpty);
    }
}

TEST(CallPaneButtonsTest, IncomingPaneByTheSecondSlot) {
    struct Row {
        S second;
        const char* title;
        bool enabled;
        StatusLight light;
    } rows[] = {{S::kEmpty, "Ready", false, StatusLight::kIdle},
                {S::kRinging, "Incoming Call", true, StatusLight::kWaiting},
                {S::kHeld, "On Hold", true, StatusLight::kWaiting}};
    for (const Row& row : rows) {
        const IncomingPaneView v = IncomingViewFor(row.second);
        EXPECT_EQ(v.title, row.title);
        EXPECT_EQ(v.buttonsEnabled, row.enabled) << row.title;
        EXPECT_EQ(v.light, row.light) << row.title;
    }
}

TEST(UserListTextTest, LettersAddToTheFlags) {
    namespace f = participant_flag;
    struct Row {
        const char* letters;
        bool moderation;
        std::uint32_t flags;
    } rows[] = {
        {"", false, f::kPresent},
        {"M", false, f::kPresent | f::kModerator},
        {"O", false, f::kPresent | f::kModerator},
        {"O", true, f::kPresent | f::kOwner},
        {"OM", true, f::kPresent | f::kOwner | f::kModerator},
        {"H", false, f::kOnHold},
        {"I", false, f::kPresent | f::kInvited},
        {"X", false, f::kMuted},
        {"T", false, f::kPresent | f::kMicrophone},
        // H and X each clear the other.
        {"HX", false, f::kMuted},
        {"XH", false, f::kOnHold},
        {"MHT", false, f::kModerator | f::kOnHold | f::kMicrophone},
        // Anything else after the second TAB is not a letter of ours.
        {"zq 7", false, f::kPresent},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FlagsFromLetters(row.letters, row.moderation), row.flags)
            << row.letters << " moderation " << row.moderation;
    }
}

TEST(UserListTextTest, LinesInOrderMalformedOnesSkipped) {
    const std::string text =
        "alice\t1001\t\n"
        "bob\t1002\tI\n"
        "no tabs at all\n"
        "\n"
        "nobody\t\tH\n"
        "alice again\t1001\tH\n"
        "carol\t1003\n"
        "dave\t1004\tXT";  // the last line without its line feed
    const std::vector<UserListRow> rows = ParseUserList(text, false);
    namespace f = participant_flag;
    const std::vector<UserListRow> expected = {
        {"1001", "alice", f::kPresent},
        {"1002", "bob", f::kPresent | f::kInvited},
        {"1003", "carol", f::kPresent},
        {"1004", "dave", f::kMuted | f::kMicrophone},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(ParseUserList("", false).empty());
    // Nicknames with blanks and non-ASCII bytes stay as they are.
    const auto odd = ParseUserList("Jos\xc3\xa9 M.\t42\t\n", false);
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].nickname, "Jos\xc3\xa9 M.");
}

TEST(CallPaneTimingTest, TimeInCall) {
    struct Row {
        std::int64_t seconds;
        const char* text;
    } rows[] = {{0, "00:00"},        {59, "00:59"},         {61, "01:01"},
                {3599, "59:59"},     {3600, "01:00:00"},    {3661, "01:01:01"},
                {36000, "10:00:00"}, {360000, "100:00:00"}, {-5, "00:00"}};
    for (const Row& row : rows) {
        EXPECT_EQ(FormatTimeInCall(row.seconds), row.text) << row.seconds;
    }
}

// Runs n ticks with the input and lists the tick numbers that played each sound.
std::vector<std::uint32_t> SoundTicks(RingTicker& t, const RingTickInput& in, std::uint32_t n,
                                      const std::string& sound) {
    std::vector<std::uint32_t> at;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t counter = t.Counter();
        const RingTickResult r = t.Tick(in);
        if (r.sound && *r.sound == sound) {
            at.push_back(counter);
        }
    }
    return at;
}

TEST(CallPaneTimingTest, RingSoundsAndTheirPeriods) {
    struct Row {
        S second;
        bool activeOccupied;
        bool silent;
        const char* sound;
        std::vector<std::uint32_t> ticks;
    } rows[] = {
        {S::kRinging,
         false,
         false,
         "IncomingCall",
         {0, 64, 128, 192, 256, 320, 384, 448, 512, 576}},
        {S::kRinging, true, false, "CallWaiting", {0, 512}},
        {S::kHeld, false, false, "HoldReminder", {512}},
        {S::kHeld, true, false, "HoldReminder", {512}},
        {S::kRinging, false, true, "IncomingCall", {}},
        {S::kRinging, true, true, "CallWaiting", {}},
        {S::kHeld, true, true, "HoldReminder", {}},
        {S::kEmpty, false, false, "IncomingCall", {}},
    };
    for (const Row& row : rows) {
        RingTicker t;
        RingTickInput in;
        in.second = row.second;
        in.activeOccupied = row.activeOccupied;
        in.silent = row.silent;
        EXPECT_EQ(SoundTicks(t, in, 600, row.sound), row.ticks)
            << row.sound << " occupied " << row.activeOccupied << " silent " << row.silent;
    }
}

TEST(CallPaneTimingTest, ResetStartsTheSoundsAgain) {
    RingTicker t;
    RingTickInput in;
    in.second = S::kRinging;
    EXPECT_EQ(SoundTicks(t, in, 10, "IncomingCall"), std::vector<std::uint32_t>{0});
    t.Reset();
    EXPECT_EQ(SoundTicks(t, in, 10, "IncomingCall"), std::vector<std::uint32_t>{0});
}

TEST(CallPaneTimingTest, RingTimeoutIsStrictlyMoreThanSixtySeconds) {
    struct Row {
        S second;
        std::int64_t elapsedMs;
        bool timedOut;
    } rows[] = {{S::kRinging, 0, false},     {S::kRinging, 59999, false},
                {S::kRinging, 60000, false}, {S::kRinging, 60001, true},
                {S::kRinging, 600000, true}, {S::kHeld, 600000, false},
                {S::kEmpty, 600000, false}};
    for (const Row& row : rows) {
        RingTicker t;
        RingTickInput in;
        in.second = row.second;
        in.elapsedMs = row.elapsedMs;
        const RingTickResult r = t.Tick(in);
        EXPECT_EQ(r.timedOut, row.timedOut) << row.elapsedMs;
        if (r.timedOut) {
            EXPECT_FALSE(r.sound.has_value());
        }
    }
}

TEST(CallPaneTimingTest, TheLightBlinksInTheFirstEightTicksOfEverySixtyFour) {
    RingTicker ringing;
    RingTicker held;
    RingTickInput r;
    r.second = S::kRinging;
    RingTickInput h;
    h.second = S::kHeld;
    for (std::uint32_t n = 0; n < 1100; ++n) {
        const RingTickResult a = ringing.Tick(r);
        const RingTickResult b = held.Tick(h);
        const bool window = n % 64 < 8;
        const StatusLight want =
            window && n % 2 == 1 ? StatusLight::kWaitingB : StatusLight::kWaiting;
        ASSERT_TRUE(a.light.has_value()) << n;
        EXPECT_EQ(*a.light, want) << n;
        // A held call blinks only once it has waited past tick 511.
        if (n <= 511) {
            EXPECT_FALSE(b.light.has_value()) << n;
        } else {
            ASSERT_TRUE(b.light.has_value()) << n;
            EXPECT_EQ(*b.light, want) << n;
        }
    }
}

TEST(CallPaneTimingTest, AloneForMoreThanOneSecond) {
    struct Step {
        std::uint32_t now;
        bool connectedCall;
        std::size_t rows;
        bool hangUp;
    };
    const std::vector<std::vector<Step>> cases = {
        // Alone: hung up once more than a second has passed.
        {{0, true, 1, false}, {1000, true, 1, false}, {1001, true, 1, true}},
        // Somebody comes back in time: the grace starts again.
        {{0, true, 1, false},
         {900, true, 2, false},
         {1500, true, 1, false},
         {2400, true, 1, false},
         {2501, true, 1, true}},
        // Not connected yet, or a forum (not a call): never.
        {{0, false, 1, false}, {5000, false, 1, false}},
        // An empty list is not "only the user".
        {{0, true, 0, false}, {5000, true, 0, false}},
        // Across the wrap of the tick count.
        {{0xFFFFFF00u, true, 1, false}, {0x00000300u, true, 1, true}},
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        AloneWatch watch;
        for (const Step& s : cases[c]) {
            EXPECT_EQ(watch.Tick(s.now, s.connectedCall, s.rows), s.hangUp)
                << "case " << c << " at " << s.now;
        }
    }
}

TEST(ButtonBlinkerTest, FlipsEverySecondAndStopsPlain) {
    ManualTickClock clock(1000);
    TimerScheduler scheduler(clock);
    std::vector<bool> painted;
    ButtonBlinker blinker(
        &scheduler, [&](bool lit) { painted.push_back(lit); }, call_pane::kBlinkPeriodMs);
    blinker.Start();
    blinker.Start();  // already blinking: nothing new
    EXPECT_EQ(painted, (std::vector<bool>{true}));
    for (int i = 0; i < 3; ++i) {
        clock.Advance(500);
        scheduler.Tick();
        clock.Advance(501);
        scheduler.Tick();
    }
    EXPECT_EQ(painted, (std::vector<bool>{true, false, true, false}));
    blinker.Stop();
    EXPECT_FALSE(blinker.Blinking());
    EXPECT_EQ(painted.back(), false);
    EXPECT_EQ(scheduler.Count(), 0u);
    const std::size_t n = painted.size();
    clock.Advance(5000);
    scheduler.Tick();
    EXPECT_EQ(painted.size(), n);
}

}  // namespace
}  // namespace qv
