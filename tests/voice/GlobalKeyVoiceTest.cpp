// The global push-to-talk key in a real call: on an Xvfb display of the test's own, another X
// client's window has the keyboard focus while xdotool holds the key; the program's X11 grab,
// its tap and hold timing and the active-call pane tell Ann's engine manager over the networked
// engine to talk, and Bob's playback file holds Ann's microphone only while the key is held (and
// about a quarter second after). The margins are wide: what is checked is where voice is and is
// not, not how fast it starts.

#include <gtest/gtest.h>
#include <poll.h>

#include <QApplication>
#include <QInputDevice>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AudioCall.h"
#include "XFocusWindow.h"
#include "XvfbServer.h"
#include "app/TimerScheduler.h"
#include "calls/CallRecord.h"
#include "calls/GlobalPushToTalk.h"
#include "calls/KeyNames.h"
#include "platform/GlobalHotKey.h"
#include "platform/TickClock.h"
#include "ui/CActiveCallPane.h"

namespace qv::test {
namespace {

class GlobalKeyVoiceTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_global_key_voice_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }
};

// When Ann's engine was told to talk or to stop, from the start of her microphone file.
struct TalkChange {
    bool talking = false;
    double atMs = 0;
};

TEST_F(GlobalKeyVoiceTest, BobHearsAnnOnlyWhileHerGlobalKeyIsHeldInAnotherProgramsWindow) {
    if (!Exists("Xvfb") || !Exists("xdotool")) {
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps)";
    }
    Xvfb server;
    ASSERT_FALSE(server.display.empty()) << "no Xvfb display came up";
    auto other = XFocusWindow::Open(server.display);
    ASSERT_NE(other, nullptr);

    AudioCall call;
    ASSERT_TRUE(call.Ready()) << "a server did not start";
    std::unique_ptr<AudioParty> ann = call.LogIn("Ann", {}, 0);
    std::unique_ptr<AudioParty> bob = call.LogIn("Bob");
    ASSERT_TRUE(ann && bob);
    ASSERT_NE(call.Call(*ann, *bob), 0);

    // A burst every quarter second in Ann's microphone, all of one frequency; Bob says nothing.
    constexpr int kTotalMs = 9500;
    const auto bursts = BurstTrain(500, 250, 35, 700, 80, 1);
    const std::vector<double> freqs = Frequencies(bursts);
    const std::string annMic = call.rig.folder.File("ann-mic.wav");
    const std::string bobMic = call.rig.folder.File("bob-mic.wav");
    const std::string annHears = call.rig.folder.File("ann-hears.wav");
    const std::string bobHears = call.rig.folder.File("bob-hears.wav");
    ASSERT_TRUE(audio::testing::WriteToneBursts(annMic, bursts, kTotalMs));
    ASSERT_TRUE(audio::testing::WriteToneBursts(bobMic, {}, kTotalMs));
    ASSERT_TRUE(call.StartOnFiles(*bob, bobMic, bobHears));
    ASSERT_TRUE(call.StartOnFiles(*ann, annMic, annHears));
    const std::int64_t start = ann->audioStartNs;
    const auto nowMs = [start] { return static_cast<double>(MonotonicNs() - start) / 1e6; };

    // The program's wiring of Ann's side: the pane over her engine manager in push-to-talk mode
    // (which closes her microphone at once), the scheduler on the real clock.
    SteadyTickClock clock;
    TimerScheduler scheduler(clock);
    std::vector<TalkChange> talks;
    CallPaneParts parts;
    parts.manager = &ann->M();
    parts.scheduler = &scheduler;
    parts.clock = &clock;
    parts.pushToTalk = [] { return true; };
    parts.setTalk = [&](bool muted) {
        talks.push_back({!muted, nowMs()});
        ann->M().SetTalk(muted);
    };
    parts.setPushToTalk = [&](bool on) { ann->M().SetPushToTalk(on); };
    CActiveCallPane pane(parts);
    CallRecord record;
    record.userId = bob->account.id;
    record.nickname = bob->account.nick;
    record.connected = true;
    pane.ShowActive(&record);
    ASSERT_TRUE(pane.PushToTalkMode());
    talks.clear();

    auto key = MakeX11GlobalHotKey(server.display);
    ASSERT_NE(key, nullptr);
    GlobalPushToTalk global(
        *key, scheduler, [&] { pane.PostTalkStart(); }, [&] { pane.PostTalkStop(); });
    global.Refresh(true, true, key_combo::kDefault);
    ASSERT_TRUE(global.Registered()) << global.StatusText();

    // Everything the program's event loop would run, until that time of Ann's file.
    const auto driveTo = [&](double ms) {
        while (nowMs() < ms) {
            pollfd p{key->Fd(), POLLIN, 0};
            poll(&p, 1, 5);
            key->Pump();
            QApplication::processEvents();
            scheduler.Tick();
            ann->user->DriveFor(5);
            bob->user->DriveFor(5);
        }
    };
    driveTo(3000);
    const double pressMs = nowMs();
    ASSERT_EQ(RunProgram({"xdotool", "keydown", "shift+backslash"}, server.display), 0);
    driveTo(pressMs + 2500);
    const double releaseMs = nowMs();
    ASSERT_EQ(RunProgram({"xdotool", "keyup", "backslash", "keyup", "shift"}, server.display), 0);
    driveTo(kTotalMs - 500);
    global.Stop();
    AudioCall::StopAudio(*ann);
    AudioCall::StopAudio(*bob);

    // Talk-start at the press, again at each of the key's repeats, talk-stop once after the
    // release.
    std::string talkTimes;
    for (const TalkChange& t : talks) {
        talkTimes += (t.talking ? " start " : " stop ") + std::to_string(static_cast<int>(t.atMs));
    }
    SCOPED_TRACE("talk:" + talkTimes);
    ASSERT_GE(talks.size(), 2u);
    EXPECT_TRUE(talks.front().talking);
    EXPECT_GE(talks.front().atMs, pressMs);
    EXPECT_FALSE(talks.back().talking);
    EXPECT_GE(talks.back().atMs, releaseMs);
    for (std::size_t i = 0; i + 1 < talks.size(); ++i) {
        EXPECT_TRUE(talks[i].talking) << "stopped while held at " << talks[i].atMs;
    }
    EXPECT_EQ(other->KeyEventsOf("backslash"), 0) << "the grabbed key reached the focused window";

    // Bob's playback on the clock of Ann's microphone file.
    const double offsetMs = static_cast<double>(bob->audioStartNs - start) / 1e6;
    std::vector<double> heard;
    for (const audio::testing::FoundBurst& b : audio::testing::FindBursts(bobHears, freqs)) {
        heard.push_back(b.onsetMs + offsetMs);
    }
    const auto heardBetween = [&](double from, double to) {
        int n = 0;
        for (double t : heard) {
            n += (t >= from && t < to) ? 1 : 0;
        }
        return n;
    };
    std::string times;
    for (double t : heard) {
        times += " " + std::to_string(static_cast<int>(t));
    }
    SCOPED_TRACE("press " + std::to_string(static_cast<int>(pressMs)) + " ms, release " +
                 std::to_string(static_cast<int>(releaseMs)) + " ms, heard at" + times);
    // Before the press the microphone was closed.
    EXPECT_EQ(heardBetween(0, pressMs), 0);
    // In the middle of the hold (six bursts were sent there).
    EXPECT_GE(heardBetween(pressMs + 500, releaseMs - 500), 4);
    // The quarter second after the release, the latency and wide margins: then silence again
    // while the microphone went on with its bursts.
    EXPECT_EQ(heardBetween(releaseMs + 1000, kTotalMs + 1000), 0);
    // Ann hears nothing of her own.
    EXPECT_TRUE(audio::testing::FindBursts(annHears, freqs).empty());
    std::printf("[ GlobalKey ] press %.0f ms, release %.0f ms, talk %.0f-%.0f ms, heard at%s\n",
                pressMs, releaseMs, talks.front().atMs, talks.back().atMs, times.c_str());
}

}  // namespace
}  // namespace qv::test
