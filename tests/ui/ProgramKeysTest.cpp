// The program's keys on Qt's offscreen platform, the Volume Control window and the remap
// dialog; and, on a display of its own (Xvfb), the global push-to-talk key grabbed while another
// window has the focus, pressed and held with xdotool, reaching the engine through the pane.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QInputDevice>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "XFocusWindow.h"
#include "XvfbServer.h"
#include "app/TimerScheduler.h"
#include "calls/CallRecord.h"
#include "calls/GlobalPushToTalk.h"
#include "calls/KeyNames.h"
#include "platform/GlobalHotKey.h"
#include "platform/Mixer.h"
#include "platform/Registry.h"
#include "platform/TickClock.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/Options.h"
#include "settings/RunKey.h"
#include "support/TempFolder.h"
#include "ui/CActiveCallPane.h"
#include "ui/CRemapKeyDialog.h"
#include "ui/CVolumeControlDialog.h"
#include "ui/QtProgramKeys.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

class ProgramKeysTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_program_keys_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            QInputDevice::devices();
            static QApplication application(argc, argv);
        }
    }

  protected:
    ProgramKeysTest() {
        parts.scheduler = &scheduler;
        parts.clock = &clock;
        parts.setTalk = [this](bool muted) { log.push_back(muted ? "Talk(false)" : "Talk(true)"); };
        parts.pushToTalk = [this] { return pushToTalk; };
        parts.setPushToTalk = [this](bool on) {
            log.push_back(on ? "SetPushToTalk(true)" : "SetPushToTalk(false)");
        };
        pane = std::make_unique<CActiveCallPane>(parts);
        call = std::make_unique<CallRecord>();
        call->userId = "200";
        call->nickname = "Bob";
        call->connected = true;
    }

    // Talk calls only: what the engine does with the microphone.
    Lines TalkLog() const {
        Lines out;
        for (const std::string& l : log) {
            if (l.rfind("Talk(", 0) == 0) {
                out.push_back(l);
            }
        }
        return out;
    }

    ManualTickClock clock{1000};
    TimerScheduler scheduler{clock};
    CallPaneParts parts;
    bool pushToTalk = true;
    Lines log;
    std::unique_ptr<CActiveCallPane> pane;
    std::unique_ptr<CallRecord> call;
};

// ---- The Talk/Mute button in the pane -------------------------------------------------------

TEST_F(ProgramKeysTest, TheButtonFollowsTheMode) {
    pushToTalk = false;
    pane->ShowActive(call.get());
    QPushButton* talk = pane->TalkButton();
    EXPECT_EQ(talk->text(), "Mute");
    EXPECT_EQ(talk->toolTip(), "Mute your voice");
    talk->click();
    EXPECT_TRUE(talk->isChecked());
    EXPECT_EQ(TalkLog(), (Lines{"Talk(false)"}));
    pushToTalk = true;
    pane->UpdateTalkButton();
    EXPECT_EQ(talk->text(), "Talk");
    EXPECT_EQ(talk->toolTip(), "Push To Talk");
    EXPECT_EQ(talk->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_FALSE(talk->isChecked());
    log.clear();
    // Held: talks while pressed.
    emit talk->pressed();
    EXPECT_TRUE(talk->isChecked());
    emit talk->released();
    EXPECT_FALSE(talk->isChecked());
    EXPECT_EQ(TalkLog(), (Lines{"Talk(true)", "Talk(false)"}));
}

TEST_F(ProgramKeysTest, LeavingPushToTalkWhileTalkingReleasesIt) {
    pane->ShowActive(call.get());
    pane->TalkStart();
    EXPECT_TRUE(pane->Talk().Talking());
    pushToTalk = false;
    pane->UpdateTalkButton();
    EXPECT_FALSE(pane->Talk().Talking());
    EXPECT_FALSE(pane->TalkButton()->isChecked());
    EXPECT_EQ(log.back(), "SetPushToTalk(false)");
}

TEST_F(ProgramKeysTest, ForcedPushToTalkTakesTheSamePath) {
    pushToTalk = false;
    pane->ShowActive(call.get());
    pane->SetForcedPushToTalk(true);
    EXPECT_TRUE(pane->PushToTalkMode());
    EXPECT_EQ(pane->TalkButton()->text(), "Talk");
    EXPECT_EQ(log.back(), "SetPushToTalk(true)");
    pane->TalkStart();
    pane->TalkStop();
    pane->SetForcedPushToTalk(false);
    EXPECT_EQ(pane->TalkButton()->text(), "Mute");
    EXPECT_EQ(TalkLog(), (Lines{"Talk(true)", "Talk(false)"}));
}

TEST_F(ProgramKeysTest, TalkKeysAreIgnoredWithoutARecordOrWhenDisabled) {
    pane->ShowActive(nullptr);
    pane->TalkStart();
    pane->TalkStop();
    EXPECT_TRUE(TalkLog().empty());
    pane->ShowActive(call.get());
    pane->TalkButton()->setEnabled(false);
    pane->TalkStart();
    EXPECT_TRUE(TalkLog().empty());
}

// ---- The program's own keys through the application's filter --------------------------------

TEST_F(ProgramKeysTest, CtrlAloneTalksOnlyWhileAWindowOfTheProgramHasTheFocus) {
    ProgramKeyParts k;
    k.activePane = [this] { return pane.get(); };
    k.scheduler = &scheduler;
    QtProgramKeys keys(std::move(k), MakeNoGlobalHotKey("test."));
    pane->ShowActive(call.get());
    pane->show();
    pane->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), pane.get());

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, QString(), true);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    QApplication::sendEvent(pane->TalkButton(), &press);
    QApplication::processEvents();
    EXPECT_TRUE(press.isAccepted());
    EXPECT_EQ(TalkLog(), (Lines{"Talk(true)"}));
    EXPECT_FALSE(keys.HandleKey(repeat)) << "auto-repeat passes through";
    QApplication::sendEvent(pane->TalkButton(), &release);
    QApplication::processEvents();
    EXPECT_EQ(TalkLog(), (Lines{"Talk(true)", "Talk(false)"}));

    // With push-to-talk off, Ctrl does nothing at the engine.
    pushToTalk = false;
    pane->UpdateTalkButton();
    log.clear();
    QApplication::sendEvent(pane->TalkButton(), &press);
    QApplication::sendEvent(pane->TalkButton(), &release);
    QApplication::processEvents();
    EXPECT_TRUE(TalkLog().empty());

    // No window of the program in front: the keys are not ours.
    pushToTalk = true;
    pane->UpdateTalkButton();
    pane->hide();
    QApplication::processEvents();
    log.clear();
    if (QApplication::activeWindow() == nullptr) {
        QWidget other;
        QApplication::sendEvent(&other, &press);
        QApplication::processEvents();
        EXPECT_TRUE(TalkLog().empty());
    }
}

TEST_F(ProgramKeysTest, CtrlAltTTogglesTheSettingAndReleasesTalking) {
    test::TempFolder dir;
    IniFile machine(dir.File("Quorvane.ini"));
    IniFile user(dir.File("Options.ini"));
    Registry registry(dir.File("registry/"));
    RunKey runKey(registry, AutostartMirror{});
    auto mixer = MakeNullMixer();
    Customization customization(dir.File("Customize.ini"), dir.File("demo.ini"));
    Options options(machine, user, runKey, *mixer, customization, false);
    options.Load();
    options.SetPushToTalk(1);
    parts.pushToTalk = [&] { return options.PushToTalk() != 0; };
    auto optionsPane = std::make_unique<CActiveCallPane>(parts);
    optionsPane->ShowActive(call.get());
    optionsPane->TalkStart();
    ASSERT_TRUE(optionsPane->Talk().Talking());

    ProgramKeyParts k;
    k.activePane = [&] { return optionsPane.get(); };
    k.options = &options;
    k.scheduler = &scheduler;
    int refreshed = 0;
    k.pushToTalkChanged = [&] { ++refreshed; };
    QtProgramKeys keys(std::move(k), MakeNoGlobalHotKey("test."));
    QKeyEvent t(QEvent::KeyPress, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(keys.HandleKey(t));
    EXPECT_EQ(options.PushToTalk(), 0);
    EXPECT_EQ(user.GetInt("Options", "PushToTalk", 7), 0);
    EXPECT_FALSE(optionsPane->Talk().Talking());
    EXPECT_EQ(optionsPane->TalkButton()->text(), "Mute");
    EXPECT_EQ(refreshed, 1);
    EXPECT_TRUE(keys.HandleKey(t));
    EXPECT_EQ(options.PushToTalk(), 1);
    EXPECT_EQ(optionsPane->TalkButton()->text(), "Talk");
    EXPECT_EQ(keys.GlobalKeyStatus(),
              "Global Push To Talk is not available: test. The program's own keys still work while "
              "one of its windows has the focus.");
}

// ---- Volume Control ---------------------------------------------------------------------------

class FakeMixer final : public Mixer {
  public:
    std::uint32_t GetLevel(MixerControl c) override {
        return levels.count(c) ? levels[c] : kMixerNotFound;
    }
    void SetLevel(MixerControl c, std::uint32_t level) override {
        writes.push_back({c, level});
        levels[c] = level;
    }
    std::string ControlName(MixerControl) override { return "fake"; }
    std::map<MixerControl, std::uint32_t> levels;
    std::vector<std::pair<MixerControl, std::uint32_t>> writes;
};

TEST_F(ProgramKeysTest, VolumeControlShowsWritesAndSaves) {
    FakeMixer mixer;
    mixer.levels = {{MixerControl::MasterVolume, 65536},
                    {MixerControl::WaveVolume, 0},
                    {MixerControl::MicVolume, 20000},
                    {MixerControl::MicOnOff, 1}};
    test::TempFolder dir;
    IniFile machine(dir.File("Quorvane.ini"));
    IniFile user(dir.File("Options.ini"));
    Registry registry(dir.File("registry/"));
    RunKey runKey(registry, AutostartMirror{});
    Customization customization(dir.File("Customize.ini"), dir.File("demo.ini"));
    Options options(machine, user, runKey, mixer, customization, false);
    options.Load();
    mixer.writes.clear();

    CVolumeControlDialog dialog(mixer, &options);
    EXPECT_EQ(dialog.windowTitle(), "Volume Control");
    for (QSlider* s : {dialog.MasterSlider(), dialog.WaveSlider(), dialog.MicSlider()}) {
        EXPECT_EQ(s->minimum(), 0);
        EXPECT_EQ(s->maximum(), 65535);
        EXPECT_EQ(s->tickInterval(), 8192);
        EXPECT_EQ(s->orientation(), Qt::Vertical);
        EXPECT_TRUE(s->invertedAppearance()) << "position 0 is drawn at the top";
    }
    EXPECT_EQ(dialog.MasterSlider()->value(), 0) << "a full control sits at the top";
    EXPECT_EQ(dialog.WaveSlider()->value(), 65535);
    EXPECT_EQ(dialog.MicSlider()->value(), 65535 - 20000);
    EXPECT_TRUE(dialog.MicOnOff()->isChecked());
    EXPECT_EQ(dialog.MicOnOff()->text(), "Mic On/Off Control");
    EXPECT_TRUE(dialog.NoMixerLabel()->isHidden());
    EXPECT_TRUE(mixer.writes.empty());

    dialog.WaveSlider()->setValue(65535 - 30000);
    ASSERT_EQ(mixer.writes.size(), 1u);
    EXPECT_EQ(mixer.writes[0],
              (std::pair<MixerControl, std::uint32_t>{MixerControl::WaveVolume, 30000}));
    dialog.MicOnOff()->setChecked(false);
    EXPECT_EQ(mixer.writes.back(),
              (std::pair<MixerControl, std::uint32_t>{MixerControl::MicOnOff, 0}));
    dialog.accept();
    EXPECT_EQ(machine.GetInt("Options", "WaveVolume", -1), 30000);
    EXPECT_EQ(machine.GetInt("Options", "MicVolume", -1), 20000);
    EXPECT_EQ(machine.GetInt("Options", "MasterVolume", -1), 65535);
    EXPECT_EQ(machine.GetInt("Options", "MicOnOff", -1), 0);
}

TEST_F(ProgramKeysTest, VolumeControlWithoutAMixerSaysSo) {
    auto mixer = MakeNullMixer();
    CVolumeControlDialog dialog(*mixer, nullptr);
    EXPECT_FALSE(dialog.NoMixerLabel()->isHidden());
    EXPECT_EQ(dialog.NoMixerLabel()->text(), "No sound mixer was found on this computer.");
    EXPECT_FALSE(dialog.MasterSlider()->isEnabled());
    EXPECT_FALSE(dialog.MicOnOff()->isEnabled());
    dialog.accept();
}

// ---- Remap dialog -----------------------------------------------------------------------------

TEST_F(ProgramKeysTest, RemapDialogCapturesTheFirstPressWithItsModifiers) {
    std::vector<std::uint32_t> handed;
    CRemapKeyDialog dialog(key_combo::kDefault, [&](std::uint32_t c) { handed.push_back(c); });
    EXPECT_EQ(dialog.windowTitle(), "Remap Global Push To Talk Key");
    EXPECT_EQ(dialog.CurrentKey()->text(), "SHIFT +  \\");
    EXPECT_NE(dialog.findChild<QLabel*>()->text().indexOf("When finished, press Escape"), -1);

    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_G, Qt::NoModifier, QString(), true);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent altF4(QEvent::KeyPress, Qt::Key_F4, Qt::AltModifier);
    QKeyEvent bar(QEvent::KeyPress, Qt::Key_Bar, Qt::ShiftModifier, "|");
    EXPECT_TRUE(dialog.Capture(f5)) << "F5 is not named by Qt's key alone";
    EXPECT_FALSE(dialog.Capture(repeat));
    EXPECT_FALSE(dialog.Capture(escape));
    EXPECT_FALSE(dialog.Capture(altF4));
    EXPECT_TRUE(dialog.Capture(bar));
    EXPECT_EQ(handed, (std::vector<std::uint32_t>{key_combo::kDefault}));
    EXPECT_EQ(dialog.CurrentKey()->text(), "SHIFT +  \\");
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "a");
    EXPECT_TRUE(dialog.Capture(a));
    EXPECT_EQ(dialog.CurrentKey()->text(), "CTRL +  A");

    CRemapKeyDialog none(0, nullptr);
    EXPECT_EQ(none.CurrentKey()->text(), "NONE");
}

// ---- The global key under X11 ------------------------------------------------------------------

using test::Exists;
using test::RunProgram;
using test::Xvfb;

// Pumps the grab's connection until `done` or a bound is reached.
template <typename Done>
void PumpUntil(X11GlobalHotKey& key, Done done) {
    for (int i = 0; i < 200 && !done(); ++i) {
        pollfd p{key.Fd(), POLLIN, 0};
        poll(&p, 1, 25);
        key.Pump();
        QApplication::processEvents();
    }
}

TEST_F(ProgramKeysTest, GlobalKeyGrabbedOnX11ReachesTheEngineWhileAnotherWindowHasTheFocus) {
    if (!Exists("Xvfb") || !Exists("xdotool")) {
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps)";
    }
    Xvfb server;
    ASSERT_FALSE(server.display.empty()) << "no Xvfb display came up";

    // Another program's window with the keyboard focus.
    auto other = test::XFocusWindow::Open(server.display);
    ASSERT_NE(other, nullptr);

    // The engine manager over the simulation, logged in and in a conference, in push-to-talk
    // mode: what the pane's talk-start and talk-stop make it tell the engine is recorded.
    test::EngineHarness h;
    h.options.SetPushToTalk(1);
    h.LogIn();
    h.RaiseAndDrain([](SonaroEventSink& e) { e.JoinedConference(5, 1, 0); });
    CallPaneParts engineParts = parts;
    engineParts.manager = h.manager.get();
    engineParts.pushToTalk = [&h] { return h.options.PushToTalk() != 0; };
    engineParts.setTalk = [&h](bool muted) { h.manager->SetTalk(muted); };
    engineParts.setPushToTalk = [&h](bool on) { h.manager->SetPushToTalk(on); };
    CActiveCallPane enginePane(engineParts);
    enginePane.ShowActive(call.get());
    h.ClearCalls();
    const auto talkLog = [&h] {
        Lines out;
        for (const std::string& c : h.Calls()) {
            if (c.rfind("Talk(", 0) == 0) {
                out.push_back(c == "Talk(1)" ? "Talk(true)" : "Talk(false)");
            }
        }
        return out;
    };

    auto key = MakeX11GlobalHotKey(server.display);
    ASSERT_NE(key, nullptr);
    GlobalPushToTalk global(
        *key, scheduler, [&] { enginePane.PostTalkStart(); }, [&] { enginePane.PostTalkStop(); });
    global.Refresh(true, true, key_combo::kDefault);
    ASSERT_TRUE(global.Registered()) << global.StatusText();
    EXPECT_EQ(global.StatusText(),
              "X11 key grab: SHIFT +  \\ works while other programs have the focus.");

    // Held: talks while held, stops about a quarter second after the release.
    ASSERT_EQ(RunProgram({"xdotool", "keydown", "shift+backslash"}, server.display), 0);
    PumpUntil(*key, [&] { return !talkLog().empty(); });
    EXPECT_EQ(talkLog(), (Lines{"Talk(true)"}));
    clock.Advance(3000);
    scheduler.Tick();
    clock.Advance(3000);
    scheduler.Tick();
    QApplication::processEvents();
    EXPECT_EQ(talkLog(), (Lines{"Talk(true)"})) << "still held";
    ASSERT_EQ(RunProgram({"xdotool", "keyup", "backslash", "keyup", "shift"}, server.display), 0);
    int rounds = 0;
    PumpUntil(*key, [&] { return ++rounds > 8; });  // lets the release arrive
    clock.Advance(300);
    scheduler.Tick();
    QApplication::processEvents();
    EXPECT_EQ(talkLog(), (Lines{"Talk(true)", "Talk(false)"}));

    // A tap talks for about a second.
    h.ClearCalls();
    ASSERT_EQ(RunProgram({"xdotool", "key", "shift+backslash"}, server.display), 0);
    PumpUntil(*key, [&] { return !talkLog().empty(); });
    clock.Advance(900);
    scheduler.Tick();
    QApplication::processEvents();
    EXPECT_EQ(talkLog(), (Lines{"Talk(true)"}));
    clock.Advance(200);
    scheduler.Tick();
    QApplication::processEvents();
    EXPECT_EQ(talkLog(), (Lines{"Talk(true)", "Talk(false)"}));

    // The focused window did not get the grabbed key; once let go, the key reaches it again.
    EXPECT_EQ(other->KeyEventsOf("backslash"), 0);
    global.Refresh(false, true, key_combo::kDefault);
    EXPECT_FALSE(global.Registered());
    ASSERT_EQ(RunProgram({"xdotool", "key", "shift+backslash"}, server.display), 0);
    EXPECT_GT(other->KeyEventsOf("backslash"), 0);

    // The program's own wiring: the settings say global push-to-talk, the grab's connection is
    // watched from the event loop.
    h.options.SetGlobalPushToTalk(1);
    h.options.SetGlobalPushToTalkMap(static_cast<int>(key_combo::kCtrl | 121));  // CTRL + F10
    ProgramKeyParts k;
    k.activePane = [&] { return &enginePane; };
    k.options = &h.options;
    k.scheduler = &scheduler;
    QtProgramKeys keys(std::move(k), MakeX11GlobalHotKey(server.display));
    EXPECT_EQ(keys.GlobalKeyStatus(),
              "X11 key grab: CTRL +  F10 works while other programs have the focus.");
    h.ClearCalls();
    ASSERT_EQ(RunProgram({"xdotool", "key", "ctrl+F10"}, server.display), 0);
    for (int i = 0; i < 400 && talkLog().empty(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        usleep(5000);
    }
    EXPECT_EQ(talkLog(), (Lines{"Talk(true)"}));
    EXPECT_EQ(other->KeyEventsOf("F10"), 0);
}

TEST_F(ProgramKeysTest, AKeyAnotherProgramHoldsIsReported) {
    if (!Exists("Xvfb")) {
        GTEST_SKIP() << "Xvfb is needed (scripts/install-deps)";
    }
    Xvfb server;
    ASSERT_FALSE(server.display.empty());
    auto first = MakeX11GlobalHotKey(server.display);
    auto second = MakeX11GlobalHotKey(server.display);
    ASSERT_TRUE(first && second);
    HotKeyCombination c{test::KeySymNamed("F9"), false, true, false, "CTRL +  F9"};
    EXPECT_TRUE(first->Register(c));
    EXPECT_FALSE(second->Register(c));
    EXPECT_EQ(second->StatusText(),
              "X11 key grab: another program holds CTRL +  F9; choose another key.");
    first->Unregister();
    EXPECT_TRUE(second->Register(c));
}

}  // namespace
}  // namespace qv
