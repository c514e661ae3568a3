// The main frame's rules that need no window: placement, storing it, tips, the wizard items.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "app/TimerScheduler.h"
#include "platform/Registry.h"
#include "platform/TickClock.h"
#include "settings/IniFile.h"
#include "settings/RegistryKey.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/MainFramePlacement.h"
#include "ui/PlacementSaver.h"
#include "ui/SetupWizard.h"
#include "ui/TipOfTheDay.h"

namespace qv {
namespace {

// A 1280 x 1000 work area with classic frame sizes: caption 19, menu 19, frames 4.
constexpr WorkArea kWork{0, 0, 1280, 1000};
FrameMetrics Classic() {
    FrameMetrics m;
    m.caption = 19;
    m.menu = 19;
    m.fx = 4;
    m.fy = 4;
    return m;
}

struct PlacementCase {
    const char* name;
    StoredPlacement stored;
    bool expanded;
    FramePlacement want;
};

TEST(FramePlacementTest, TheTableOfPlaces) {
    // W = 2*4 + 140 = 148, E = 2*4 + 280 = 288, H0 = 8 + 380 = 388,
    // T0 = 1000 - 19 - 19 - 388 = 574, default height = 19 + 19 + 388 = 426.
    const std::vector<PlacementCase> cases = {
        {"defaults: at the bottom right", {}, false, {1132, 574, 148, 426, 0}},
        {"stored place kept", {100, 200, 500, 0}, false, {100, 200, 148, 500, 0}},
        {"Left beyond the right edge: at the right edge",
         {5000, 200, 500, 0},
         false,
         {1132, 200, 148, 500, 0}},
        {"Left left of the work area", {-300, 200, 500, 0}, false, {0, 200, 148, 500, 0}},
        {"Top below the work area: default top",
         {100, 1000, 426, 0},
         false,
         {100, 574, 148, 426, 0}},
        {"Top above the work area", {100, -50, 500, 0}, false, {100, 0, 148, 500, 0}},
        {"too tall: cut at the bottom", {100, 300, 2000, 0}, false, {100, 300, 148, 700, 0}},
        // Cut to 60 pixels, less than 19 + 8 + 280 + 19 = 326: back to the default top.
        {"cut too short: default top", {100, 940, 500, 0}, false, {100, 574, 148, 426, 0}},
        {"expanded with room", {100, 200, 500, 0}, true, {100, 200, 288, 500, 0}},
        // 1100 + 288 = 1388 overflows the right edge by 108.
        {"expanded near the right edge shifts left",
         {1100, 200, 500, 0},
         true,
         {992, 200, 288, 500, 108}},
        {"collapsing puts the shift back", {992, 200, 500, 108}, false, {1100, 200, 148, 500, 0}},
        {"expanded again at the next start keeps the shift",
         {992, 200, 500, 108},
         true,
         {992, 200, 288, 500, 108}},
        {"defaults expanded", {}, true, {992, 574, 288, 426, 140}},
    };
    for (const PlacementCase& c : cases) {
        const FramePlacement got = PlaceFrame(kWork, Classic(), c.stored, c.expanded);
        EXPECT_EQ(got.x, c.want.x) << c.name;
        EXPECT_EQ(got.y, c.want.y) << c.name;
        EXPECT_EQ(got.width, c.want.width) << c.name;
        EXPECT_EQ(got.height, c.want.height) << c.name;
        EXPECT_EQ(got.expandOffset, c.want.expandOffset) << c.name;
    }
}

TEST(FramePlacementTest, AWorkAreaThatDoesNotStartAtZero) {
    const WorkArea work{1280, 24, 2560, 1024};
    const FramePlacement p = PlaceFrame(work, Classic(), {}, false);
    EXPECT_EQ(p.x, 2560 - 148);
    EXPECT_EQ(p.y, 1024 - 19 - 19 - 388);
    const FramePlacement left =
        PlaceFrame(work, Classic(), {StoredPlacement{100, 10, 500, 0}}, false);
    EXPECT_EQ(left.x, 1280);
    EXPECT_EQ(left.y, 24);
}

TEST(FramePlacementTest, SizingLimit) {
    EXPECT_EQ(MinimumTrackHeight(Classic()), 19 + 8 + 280 + 19);
    FrameMetrics wide = Classic();
    wide.columnWidth = 200;
    wide.expandedWidth = 400;
    EXPECT_EQ(CollapsedWidth(wide), 208);
    EXPECT_EQ(ExpandedWidth(wide), 408);
}

class PlacementSaverTest : public ::testing::Test {
  protected:
    int Read(const char* key) { return machine.GetInt("WindowRect", key, -1); }
    test::TempFolder root;
    IniFile machine{root.File("Quorvane.ini")};
    ManualTickClock clock{1000};
    TimerScheduler scheduler{clock};
};

TEST_F(PlacementSaverTest, ADragIsWrittenOnceItStops) {
    PlacementSaver saver(machine, &scheduler);
    machine.WriteInt("WindowRect", "ExpandOffset", 50);
    // A drag: a move every 20 ms for two seconds.
    for (int i = 0; i < 100; ++i) {
        saver.Moved(10 + i, 20 + i);
        clock.Advance(20);
        scheduler.Tick();
        ASSERT_EQ(Read("Left"), -1) << "written during the drag at step " << i;
    }
    saver.Sized(600);
    clock.Advance(PlacementSaver::kSettleMs + 1);
    scheduler.Tick();
    EXPECT_FALSE(saver.Pending());
    EXPECT_EQ(Read("Left"), 109);
    EXPECT_EQ(Read("Top"), 119);
    EXPECT_EQ(Read("Height"), 600);
    EXPECT_EQ(Read("ExpandOffset"), 0);
}

TEST_F(PlacementSaverTest, FlushWritesAtOnceAndGoingAwayWritesWhatIsDue) {
    {
        PlacementSaver saver(machine, &scheduler);
        saver.Moved(5, 6);
        saver.Flush();
        EXPECT_EQ(Read("Left"), 5);
        saver.Sized(444);
    }
    EXPECT_EQ(Read("Height"), 444);
    // Nothing fires after the saver has gone.
    clock.Advance(10000);
    scheduler.Tick();
}

TEST_F(PlacementSaverTest, WithoutASchedulerEveryChangeIsWritten) {
    PlacementSaver saver(machine, nullptr);
    saver.Moved(7, 8);
    EXPECT_EQ(Read("Left"), 7);
    EXPECT_EQ(Read("Top"), 8);
}

class TipOfTheDayTest : public ::testing::Test {
  protected:
    TipOfTheDayTest() : registry(root.File("registry/")), key(registry) {
        key.Create(Hive::CurrentUser, TipOfTheDay::kProfileKey);
    }
    test::TempFolder root;
    Registry registry;
    RegistryKey key;
};

TEST_F(TipOfTheDayTest, TipsFollowEachOtherAndWrap) {
    const std::string file =
        root.Write("tips.txt", "; comment\r\nFirst tip.\r\n\r\nSecond tip.\nThird tip.");
    TipOfTheDay tips(key, file);
    EXPECT_TRUE(tips.ShowAtStartUp());
    EXPECT_EQ(tips.NextTip(), "First tip.");
    EXPECT_EQ(tips.NextTip(), "Second tip.");
    // Where the next one starts is kept: another window goes on from there.
    TipOfTheDay again(key, file);
    EXPECT_EQ(again.NextTip(), "Third tip.");
    EXPECT_EQ(again.NextTip(), "First tip.");
    std::uint32_t pos = 0;
    ASSERT_TRUE(key.GetDword("FilePos", pos));
    EXPECT_GT(pos, 0u);
    std::string stamp;
    EXPECT_TRUE(key.GetString("TimeStamp", stamp));
    EXPECT_FALSE(stamp.empty());
}

TEST_F(TipOfTheDayTest, ANewFileStartsAtItsFirstTip) {
    const std::string file = root.Write("tips.txt", "One.\nTwo.\n");
    TipOfTheDay tips(key, file);
    EXPECT_EQ(tips.NextTip(), "One.");
    // Another stamp than the file's: the position is from another file.
    key.SetString("TimeStamp", "12345");
    EXPECT_EQ(tips.NextTip(), "One.");
    // A position beyond the end (a shorter file with the same stamp) starts again too.
    key.SetDword("FilePos", 5000);
    EXPECT_EQ(tips.NextTip(), "One.");
}

TEST_F(TipOfTheDayTest, MissingOrEmptyFileGivesNoTip) {
    TipOfTheDay missing(key, root.File("none.txt"));
    EXPECT_EQ(missing.NextTip(), std::nullopt);
    TipOfTheDay empty(key, root.Write("tips.txt", "; only a comment\n\n"));
    EXPECT_EQ(empty.NextTip(), std::nullopt);
}

TEST_F(TipOfTheDayTest, StartUpSwitch) {
    TipOfTheDay tips(key, root.File("tips.txt"));
    tips.SetShowAtStartUp(false);
    EXPECT_FALSE(tips.ShowAtStartUp());
    std::uint32_t v = 9;
    ASSERT_TRUE(key.GetDword("StartUp", v));
    EXPECT_EQ(v, 0u);
}

TEST(SetupWizardTest, WithoutTheWizardAMessageSaysSo) {
    test::TempFolder root;
    test::RecordingScreen screen;
    int released = 0;
    EXPECT_FALSE(RunSetupWizard(
        setup_wizard::kMicTest, root.Path(), [&] { ++released; }, screen));
    EXPECT_EQ(released, 1);
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kNoWizardText);
    EXPECT_TRUE(screen.programs.empty());
}

TEST(SetupWizardTest, TheWizardStartsWithItsArgumentAfterTheSoundDeviceIsReleased) {
    test::TempFolder root;
    const std::string wizard = root.Write("SoundSetup", "#!/bin/sh\n");
    ::chmod(wizard.c_str(), 0700);
    test::RecordingScreen screen;
    std::vector<std::string> order;
    struct OrderScreen final : Screen {
        std::vector<std::string>* order;
        int MessageBox(const std::string&, const std::string&, std::uint32_t) override {
            return mb::kIdOk;
        }
        void FlashMainWindow(bool) override {}
        bool OpenUrl(const std::string&) override { return true; }
        bool StartProgram(const std::string& program,
                          const std::vector<std::string>& args) override {
            order->push_back(program + " " + args.at(0));
            return true;
        }
    } ordered;
    ordered.order = &order;
    for (int argument :
         {setup_wizard::kSoundSetup, setup_wizard::kMicTest, setup_wizard::kInternetTest}) {
        order.clear();
        EXPECT_TRUE(RunSetupWizard(
            argument, root.Path(), [&] { order.push_back("release"); }, ordered));
        ASSERT_EQ(order.size(), 2u);
        EXPECT_EQ(order[0], "release");
        EXPECT_EQ(order[1], wizard + " " + std::to_string(argument));
    }
    // A wizard that cannot be started says so.
    screen.startResult = false;
    EXPECT_FALSE(RunSetupWizard(setup_wizard::kSoundSetup, root.Path(), nullptr, screen));
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_NE(screen.boxes[0].text.find("could not be started"), std::string::npos);
}

}  // namespace
}  // namespace qv
