// The push-to-talk rules: key names, the key symbols of the named keys, the Talk/Mute button, the
// program's own keys and the global key's timing and registration.

#include <gtest/gtest.h>
// After the test framework: Xlib's macros (Bool, None, ...) would break its templates.
#include <X11/Xlib.h>
#undef Bool
#undef None
#undef Status

#include <set>
#include <string>
#include <vector>

#include "app/TimerScheduler.h"
#include "calls/GlobalPushToTalk.h"
#include "calls/GlobalTalkTimer.h"
#include "calls/KeyNames.h"
#include "calls/LocalKeys.h"
#include "calls/TalkMuteButton.h"
#include "platform/GlobalHotKey.h"
#include "platform/TickClock.h"

namespace qv {
namespace {

// ---- Key names -------------------------------------------------------------------------------

TEST(KeyNames, CombinationsAreNamedWithTheirModifiersInTableOrder) {
    struct Case {
        std::uint32_t combination;
        const char* name;
    };
    const Case cases[] = {
        {key_combo::kDefault, "SHIFT +  \\"},
        {0x40000DC, "SHIFT +  \\"},
        {7, "ASCII(7)"},
        {0x4000007, "SHIFT +  ASCII(7)"},
        {'A', "A"},
        {112, "F1"},
        {key_combo::kCtrl | key_combo::kAlt | 'T', "ALT + CTRL +  T"},
        {key_combo::kDouble | key_combo::kShift | key_combo::kRelease | 32,
         "DOUBLE + SHIFT + RELEASE +  SPACE"},
        {key_combo::kCtrl | key_combo::kShift | key_combo::kAlt | 220, "ALT + CTRL + SHIFT +  \\"},
        // The key's own modifier is not written again.
        {key_combo::kShift | 16, "SHIFT"},
        {key_combo::kCtrl | key_combo::kShift | 17, "SHIFT +  CTRL"},
        {key_combo::kAlt | 18, "ALT"},
        // LSHIFT is not SHIFT: the bit stays.
        {key_combo::kShift | 160, "SHIFT +  LSHIFT"},
        {0, "ASCII(0)"},
        {255, "ASCII(255)"},
        {1, "LBUTTON"},
        {0x40000BA, "SHIFT +  ;"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CombinationName(c.combination), c.name) << std::hex << c.combination;
    }
}

TEST(KeyNames, ModifierTableIsInDisplayOrderAfterNone) {
    const std::vector<std::pair<std::string, std::uint32_t>> expected = {
        {"NONE", 0},          {"DOUBLE", 0x20000000}, {"ALT", 0x8000000},
        {"CTRL", 0x10000000}, {"SHIFT", 0x4000000},   {"RELEASE", 0x2000000}};
    ASSERT_EQ(ModifierNames().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(ModifierNames()[i].name, expected[i].first);
        EXPECT_EQ(ModifierNames()[i].bit, expected[i].second);
    }
}

TEST(KeyNames, TheTableNamesTheDocumentedKeys) {
    EXPECT_EQ(VirtualKeys().size(), 138u);
    std::set<int> codes;
    for (const VirtualKeyEntry& e : VirtualKeys()) {
        EXPECT_TRUE(codes.insert(e.code).second) << "twice: " << int(e.code);
    }
    struct Case {
        std::uint32_t code;
        const char* name;
    };
    const Case cases[] = {
        {1, "LBUTTON"},      {2, "RBUTTON"},      {3, "CANCEL"},
        {4, "MBUTTON"},      {8, "BACK"},         {9, "TAB"},
        {12, "CLEAR"},       {13, "RETURN"},      {16, "SHIFT"},
        {17, "CTRL"},        {18, "ALT"},         {19, "PAUSE"},
        {20, "CAPITAL"},     {27, "ESC"},         {32, "SPACE"},
        {33, "PGUP"},        {34, "PGDN"},        {35, "END"},
        {36, "HOME"},        {37, "LEFT"},        {38, "UP"},
        {39, "RIGHT"},       {40, "DOWN"},        {41, "SELECT"},
        {42, "PRINT"},       {43, "EXECUTE"},     {44, "SNAPSHOT"},
        {45, "INSERT"},      {46, "DELETE"},      {47, "HELP"},
        {48, "0"},           {57, "9"},           {65, "A"},
        {90, "Z"},           {91, "LWIN"},        {92, "RWIN"},
        {93, "APPS"},        {96, "NUMPAD0"},     {105, "NUMPAD9"},
        {106, "MULTIPLY"},   {107, "ADD"},        {108, "NUMPADENTER"},
        {109, "SUBTRACT"},   {110, "DECIMAL"},    {111, "DIVIDE"},
        {112, "F1"},         {135, "F24"},        {144, "NUMLOCK"},
        {145, "SCROLL"},     {160, "LSHIFT"},     {161, "RSHIFT"},
        {162, "LCONTROL"},   {163, "RCONTROL"},   {164, "LALT"},
        {165, "RALT"},       {229, "PROCESSKEY"}, {246, "ATTN"},
        {247, "CRSEL"},      {248, "EXSEL"},      {249, "EREOF"},
        {250, "PLAY"},       {251, "ZOOM"},       {252, "NONAME"},
        {253, "PA1"},        {254, "OEMCLEAR"},   {189, "-"},
        {187, "="},          {220, "\\"},         {221, "]"},
        {219, "["},          {222, "'"},          {186, ";"},
        {191, "/"},          {190, "."},          {188, ","},
        {192, "`"},          {5, "ASCII(5)"},     {94, "ASCII(94)"},
        {136, "ASCII(136)"}, {193, "ASCII(193)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VirtualKeyName(c.code), c.name) << c.code;
    }
    // The punctuation keys come last, in their own order.
    const std::uint8_t tail[] = {189, 187, 220, 221, 219, 222, 186, 191, 190, 188, 192};
    for (std::size_t i = 0; i < std::size(tail); ++i) {
        EXPECT_EQ(VirtualKeys()[127 + i].code, tail[i]);
    }
}

// Every named key against X11's own names of its key symbols.
TEST(KeyNames, EveryNamedKeyHasItsX11KeySymbolOrNone) {
    struct Case {
        std::uint32_t code;
        const char* x11;  // null: no key symbol, cannot be grabbed
    };
    std::vector<Case> cases = {
        {1, nullptr},
        {2, nullptr},
        {3, "Cancel"},
        {4, nullptr},
        {8, "BackSpace"},
        {9, "Tab"},
        {12, "Clear"},
        {13, "Return"},
        {16, "Shift_L"},
        {17, "Control_L"},
        {18, "Alt_L"},
        {19, "Pause"},
        {20, "Caps_Lock"},
        {27, "Escape"},
        {32, "space"},
        {33, "Prior"},
        {34, "Next"},
        {35, "End"},
        {36, "Home"},
        {37, "Left"},
        {38, "Up"},
        {39, "Right"},
        {40, "Down"},
        {41, "Select"},
        {42, nullptr},
        {43, "Execute"},
        {44, "Print"},
        {45, "Insert"},
        {46, "Delete"},
        {47, "Help"},
        {91, "Super_L"},
        {92, "Super_R"},
        {93, "Menu"},
        {106, "KP_Multiply"},
        {107, "KP_Add"},
        {108, "KP_Enter"},
        {109, "KP_Subtract"},
        {110, "KP_Decimal"},
        {111, "KP_Divide"},
        {144, "Num_Lock"},
        {145, "Scroll_Lock"},
        {160, "Shift_L"},
        {161, "Shift_R"},
        {162, "Control_L"},
        {163, "Control_R"},
        {164, "Alt_L"},
        {165, "Alt_R"},
        {229, nullptr},
        {246, "3270_Attn"},
        {247, "3270_CursorSelect"},
        {248, "3270_ExSelect"},
        {249, "3270_EraseEOF"},
        {250, "3270_Play"},
        {251, nullptr},
        {252, nullptr},
        {253, "3270_PA1"},
        {254, nullptr},
        {189, "minus"},
        {187, "equal"},
        {220, "backslash"},
        {221, "bracketright"},
        {219, "bracketleft"},
        {222, "apostrophe"},
        {186, "semicolon"},
        {191, "slash"},
        {190, "period"},
        {188, "comma"},
        {192, "grave"},
    };
    static const char* const kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    static const char* const kKp[] = {"KP_0", "KP_1", "KP_2", "KP_3", "KP_4",
                                      "KP_5", "KP_6", "KP_7", "KP_8", "KP_9"};
    for (int i = 0; i < 10; ++i) {
        cases.push_back({static_cast<std::uint32_t>(48 + i), kDigits[i]});
        cases.push_back({static_cast<std::uint32_t>(96 + i), kKp[i]});
    }
    static std::vector<std::string> letters;
    static std::vector<std::string> functionKeys;
    letters.reserve(26);
    functionKeys.reserve(24);
    for (int i = 0; i < 26; ++i) {
        letters.push_back(std::string(1, static_cast<char>('a' + i)));
    }
    for (int i = 0; i < 24; ++i) {
        functionKeys.push_back("F" + std::to_string(i + 1));
    }
    for (int i = 0; i < 26; ++i) {
        cases.push_back({static_cast<std::uint32_t>(65 + i), letters[i].c_str()});
    }
    for (int i = 0; i < 24; ++i) {
        cases.push_back({static_cast<std::uint32_t>(112 + i), functionKeys[i].c_str()});
    }
    ASSERT_EQ(cases.size(), 138u);
    std::set<std::uint32_t> covered;
    for (const Case& c : cases) {
        covered.insert(c.code);
        const std::uint32_t expected =
            c.x11 != nullptr ? static_cast<std::uint32_t>(XStringToKeysym(c.x11)) : 0;
        ASSERT_TRUE(c.x11 == nullptr || expected != NoSymbol) << c.x11;
        EXPECT_EQ(KeySymForVirtualKey(c.code), expected) << VirtualKeyName(c.code);
        if (expected != 0 && c.code != 160 && c.code != 162 && c.code != 164) {
            EXPECT_EQ(VirtualKeyForKeySym(expected), c.code) << VirtualKeyName(c.code);
        }
    }
    for (const VirtualKeyEntry& e : VirtualKeys()) {
        EXPECT_TRUE(covered.count(e.code)) << e.name;
    }
    EXPECT_EQ(KeySymForVirtualKey(7), 0u);
    EXPECT_EQ(VirtualKeyForKeySym('Q'), 81);
    EXPECT_EQ(VirtualKeyForKeySym('|'), 220) << "Shift with backslash";
    EXPECT_EQ(VirtualKeyForKeySym('!'), 49);
    EXPECT_FALSE(VirtualKeyForKeySym(0).has_value());
}

TEST(KeyNames, TheProgramsOwnKeysAreFoundByTheirScanCodes) {
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("p")), 25u);
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("t")), 20u);
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("m")), 50u);
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("h")), 35u);
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("o")), 24u);
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("Control_L")), 29u);
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("Control_R")), 29u);
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("q")), 0u);
    EXPECT_EQ(ScanCodeForKeySym(XStringToKeysym("Shift_L")), 0u);
}

// ---- The Talk/Mute button --------------------------------------------------------------------

struct EngineLog {
    std::vector<std::string> calls;
    TalkMuteButton::Engine Engine() {
        return {[this](bool mute) { calls.push_back(mute ? "SetTalk(true)" : "SetTalk(false)"); },
                [this](bool on) {
                    calls.push_back(on ? "SetPushToTalk(true)" : "SetPushToTalk(false)");
                }};
    }
};

TEST(TalkMuteButton, LooksOfBothModes) {
    EngineLog log;
    TalkMuteButton b(log.Engine());
    b.Update(false);
    TalkMuteLook look = b.Look();
    EXPECT_EQ(look.caption, "Mute");
    EXPECT_EQ(look.tooltip, "Mute your voice");
    EXPECT_FALSE(look.redCaption);
    EXPECT_FALSE(look.pushed);
    b.Click();
    EXPECT_TRUE(b.Look().pushed);
    b.Update(true);
    look = b.Look();
    EXPECT_EQ(look.caption, "Talk");
    EXPECT_EQ(look.tooltip, "Push To Talk");
    EXPECT_TRUE(look.redCaption);
    EXPECT_EQ(look.captionColour, 0x0000FFu);
    // The muted flag is cleared in push-to-talk mode.
    EXPECT_FALSE(look.pushed);
    EXPECT_FALSE(b.Muted());
}

TEST(TalkMuteButton, StepsAndWhatTheEngineHears) {
    enum Step {
        kVoice,
        kPtt,
        kClick,
        kStart,
        kStartNoRecord,
        kStartDisabled,
        kStop,
        kStopNoRecord,
        kRelease
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> engine;
        bool pushed;
        bool talking;
    };
    const std::vector<Case> cases = {
        {"voice click mutes",
         {kVoice, kClick},
         {"SetPushToTalk(false)", "SetTalk(true)"},
         true,
         false},
        {"voice click twice unmutes",
         {kVoice, kClick, kClick},
         {"SetPushToTalk(false)", "SetTalk(true)", "SetTalk(false)"},
         false,
         false},
        {"voice ignores talk keys",
         {kVoice, kStart, kStop},
         {"SetPushToTalk(false)"},
         false,
         false},
        {"ptt start opens", {kPtt, kStart}, {"SetPushToTalk(true)", "SetTalk(false)"}, true, true},
        {"ptt start then stop",
         {kPtt, kStart, kStop},
         {"SetPushToTalk(true)", "SetTalk(false)", "SetTalk(true)"},
         false,
         false},
        {"ptt ignores clicks", {kPtt, kClick}, {"SetPushToTalk(true)"}, false, false},
        {"no record: nothing",
         {kPtt, kStartNoRecord, kStopNoRecord},
         {"SetPushToTalk(true)"},
         false,
         false},
        {"disabled: no start, stop still",
         {kPtt, kStartDisabled, kStop},
         {"SetPushToTalk(true)", "SetTalk(true)"},
         false,
         false},
        {"leaving ptt while talking releases",
         {kPtt, kStart, kVoice},
         {"SetPushToTalk(true)", "SetTalk(false)", "SetPushToTalk(false)"},
         false,
         false},
        {"muted stays muted when told the mode again",
         {kVoice, kClick, kVoice},
         {"SetPushToTalk(false)", "SetTalk(true)", "SetPushToTalk(false)", "SetTalk(true)"},
         true,
         false},
        {"muted then ptt clears muted",
         {kVoice, kClick, kPtt},
         {"SetPushToTalk(false)", "SetTalk(true)", "SetPushToTalk(true)"},
         false,
         false},
        {"release while talking closes",
         {kPtt, kStart, kRelease},
         {"SetPushToTalk(true)", "SetTalk(false)", "SetTalk(true)"},
         false,
         false},
        {"release while muted unmutes the flag",
         {kVoice, kClick, kRelease},
         {"SetPushToTalk(false)", "SetTalk(true)"},
         false,
         false},
    };
    for (const Case& c : cases) {
        EngineLog log;
        TalkMuteButton b(log.Engine());
        for (Step s : c.steps) {
            switch (s) {
                case kVoice:
                    b.Update(false);
                    break;
                case kPtt:
                    b.Update(true);
                    break;
                case kClick:
                    b.Click();
                    break;
                case kStart:
                    b.TalkStart(true, true);
                    break;
                case kStartNoRecord:
                    b.TalkStart(false, true);
                    break;
                case kStartDisabled:
                    b.TalkStart(true, false);
                    break;
                case kStop:
                    b.TalkStop(true);
                    break;
                case kStopNoRecord:
                    b.TalkStop(false);
                    break;
                case kRelease:
                    b.Release();
                    break;
            }
        }
        EXPECT_EQ(log.calls, c.engine) << c.name;
        EXPECT_EQ(b.Look().pushed, c.pushed) << c.name;
        EXPECT_EQ(b.Talking(), c.talking) << c.name;
    }
}

// ---- The program's own keys ------------------------------------------------------------------

class FakeCalls final : public LocalKeyTarget {
  public:
    void PickUp() override { log.push_back("PickUp"); }
    void TogglePushToTalk() override { log.push_back("TogglePushToTalk"); }
    void SendInstantMessage() override { log.push_back("SendInstantMessage"); }
    void HangUp() override { log.push_back("HangUp"); }
    void HoldOrSwitch() override { log.push_back("HoldOrSwitch"); }
    bool IsRinging() const override { return ringing; }
    void TalkStart() override { log.push_back("TalkStart"); }
    void TalkStop() override { log.push_back("TalkStop"); }
    std::vector<std::string> log;
    bool ringing = false;
};

TEST(LocalKeys, ActionsOfTheKeys) {
    const std::uint32_t p = 'p', t = 't', m = 'm', h = 'h', o = 'o', q = 'q';
    const std::uint32_t ctrlL = 0xffe3, ctrlR = 0xffe4;
    struct Case {
        const char* name;
        LocalKeyEvent event;
        bool ringing;
        bool swallowed;
        std::vector<std::string> log;
    };
    const std::vector<Case> cases = {
        {"Ctrl+P picks up", {p, true, false, true, false}, false, true, {"PickUp"}},
        {"Ctrl+Shift+P (capital) picks up",
         {'P', true, false, true, false},
         false,
         true,
         {"PickUp"}},
        {"P alone is typing", {p, true, false, false, false}, false, false, {}},
        {"Ctrl+P release passes", {p, false, false, true, false}, false, false, {}},
        {"Ctrl+Alt+T toggles", {t, true, false, true, true}, false, true, {"TogglePushToTalk"}},
        {"Ctrl+T passes", {t, true, false, true, false}, false, false, {}},
        {"Ctrl+M sends a message",
         {m, true, false, true, false},
         false,
         true,
         {"SendInstantMessage"}},
        {"Ctrl+H hangs up", {h, true, false, true, false}, false, true, {"HangUp"}},
        {"Ctrl+O holds", {o, true, false, true, false}, false, true, {"HoldOrSwitch"}},
        {"Ctrl+O while ringing does nothing", {o, true, false, true, false}, true, true, {}},
        {"Ctrl+H repeat is not run again", {h, true, true, true, false}, false, true, {}},
        {"Ctrl+Q passes", {q, true, false, true, false}, false, false, {}},
        {"left Ctrl press talks", {ctrlL, true, false, true, false}, false, true, {"TalkStart"}},
        {"right Ctrl press talks", {ctrlR, true, false, true, false}, false, true, {"TalkStart"}},
        {"Ctrl release stops", {ctrlL, false, false, false, false}, false, true, {"TalkStop"}},
        {"Ctrl auto-repeat passes", {ctrlL, true, true, true, false}, false, false, {}},
    };
    for (const Case& c : cases) {
        FakeCalls calls;
        calls.ringing = c.ringing;
        LocalKeys keys(calls);
        EXPECT_EQ(keys.OnKey(c.event), c.swallowed) << c.name;
        EXPECT_EQ(calls.log, c.log) << c.name;
    }
}

// ---- The global key's timing -----------------------------------------------------------------

struct TimingRig {
    ManualTickClock clock{5000};
    TimerScheduler scheduler{clock};
    std::vector<std::pair<std::uint32_t, std::string>> log;
    GlobalTalkTimer timer{scheduler, [this] { log.emplace_back(clock.Now(), "start"); },
                          [this] { log.emplace_back(clock.Now(), "stop"); }};
    // Moves the clock in 10 ms steps up to `until`, ticking the scheduler.
    void RunTo(std::uint32_t until) {
        while (clock.Now() < until) {
            clock.Advance(10);
            scheduler.Tick();
        }
    }
    std::uint32_t StopAt() const {
        for (const auto& [at, what] : log) {
            if (what == "stop") {
                return at;
            }
        }
        return 0;
    }
};

TEST(GlobalTalkTimer, ATapTalksForAboutASecond) {
    TimingRig r;
    r.timer.Press();
    r.RunTo(5050);
    r.timer.Release();
    r.RunTo(8000);
    ASSERT_EQ(r.log.size(), 2u);
    EXPECT_EQ(r.log[0], (std::pair<std::uint32_t, std::string>{5000, "start"}));
    EXPECT_GT(r.StopAt(), 6000u);
    EXPECT_LE(r.StopAt(), 6020u);
}

TEST(GlobalTalkTimer, RepeatsHoldItUntilAQuarterSecondAfterTheLast) {
    TimingRig r;
    // Auto-repeat every 30 ms for three seconds, each repeat a press and a release (the hot key
    // events of a system that reports no release, or X11 without detectable auto-repeat).
    for (std::uint32_t t = 5000; t < 8000; t += 30) {
        r.RunTo(t);
        r.timer.Press();
        r.timer.Release();
    }
    const std::uint32_t last = r.clock.Now();
    r.RunTo(10000);
    EXPECT_EQ(r.log.back().second, "stop");
    EXPECT_GT(r.StopAt(), last + 250);
    EXPECT_LE(r.StopAt(), last + 270);
}

TEST(GlobalTalkTimer, AHeldKeyWithoutRepeatsTalksUntilAfterItsRelease) {
    TimingRig r;
    r.timer.Press();
    r.RunTo(8000);
    EXPECT_EQ(r.StopAt(), 0u) << "still held";
    r.timer.Release();
    r.RunTo(9000);
    EXPECT_GT(r.StopAt(), 8000u);
    EXPECT_LE(r.StopAt(), 8000u + 260);
}

TEST(GlobalTalkTimer, CancelStopsAtOnce) {
    TimingRig r;
    r.timer.Press();
    r.RunTo(5100);
    r.timer.Cancel();
    EXPECT_EQ(r.StopAt(), 5100u);
    EXPECT_FALSE(r.timer.Armed());
    r.RunTo(7000);
    EXPECT_EQ(r.log.size(), 2u);
}

// ---- Registration ----------------------------------------------------------------------------

class FakeHotKey final : public GlobalHotKey {
  public:
    bool Register(const HotKeyCombination& c) override {
        registered.push_back(c);
        on = true;
        return true;
    }
    void Unregister() override { on = false; }
    bool Registered() const override { return on; }
    std::string Mechanism() const override { return "Fake"; }
    std::string StatusText() const override { return on ? "Fake: works" : "Fake: off"; }
    bool DesktopBindsKey() const override { return desktop; }
    void Press() const { Pressed(); }
    void Release() const { Released(); }
    std::vector<HotKeyCombination> registered;
    bool on = false;
    bool desktop = false;
};

TEST(GlobalPushToTalk, RegisteredOnlyWithBothSettingsOn) {
    ManualTickClock clock;
    TimerScheduler scheduler(clock);
    FakeHotKey key;
    GlobalPushToTalk g(key, scheduler, nullptr, nullptr);
    struct Case {
        bool ptt, global, registered;
    };
    for (const Case& c : {Case{false, false, false}, Case{true, false, false},
                          Case{false, true, false}, Case{true, true, true}}) {
        g.Refresh(c.ptt, c.global, key_combo::kDefault);
        EXPECT_EQ(g.Registered(), c.registered) << c.ptt << c.global;
    }
    ASSERT_EQ(key.registered.size(), 1u);
    EXPECT_EQ(key.registered[0].keysym, static_cast<std::uint32_t>(XStringToKeysym("backslash")));
    EXPECT_TRUE(key.registered[0].shift);
    EXPECT_FALSE(key.registered[0].ctrl);
    EXPECT_FALSE(key.registered[0].alt);
    EXPECT_EQ(key.registered[0].name, "SHIFT +  \\");
    EXPECT_EQ(g.StatusText(), "Fake: works");
    g.Refresh(true, false, key_combo::kDefault);
    EXPECT_EQ(g.StatusText(), "Global Push To Talk is off (Fake).");
}

TEST(GlobalPushToTalk, KeysWithoutAKeySymbolAreNotGrabbedAndSaySo) {
    ManualTickClock clock;
    TimerScheduler scheduler(clock);
    FakeHotKey key;
    GlobalPushToTalk g(key, scheduler, nullptr, nullptr);
    g.Refresh(true, true, key_combo::kCtrl | 1);
    EXPECT_FALSE(g.Registered());
    EXPECT_TRUE(key.registered.empty());
    EXPECT_EQ(g.StatusText(),
              "CTRL +  LBUTTON cannot be grabbed: the key has no key symbol on this system.");
    g.Refresh(true, true, key_combo::kCtrl | key_combo::kAlt | 17);
    ASSERT_EQ(key.registered.size(), 1u);
    EXPECT_FALSE(key.registered[0].ctrl) << "the key's own modifier is dropped";
    EXPECT_TRUE(key.registered[0].alt);
}

TEST(GlobalPushToTalk, PressesGoThroughTheTimingUnlessTheDesktopBindsTheKey) {
    ManualTickClock clock;
    TimerScheduler scheduler(clock);
    FakeHotKey key;
    std::vector<std::string> log;
    GlobalPushToTalk g(
        key, scheduler, [&] { log.push_back("start"); }, [&] { log.push_back("stop"); });
    g.Refresh(true, true, key_combo::kDefault);
    key.Press();
    key.Release();
    EXPECT_EQ(log, (std::vector<std::string>{"start"}));
    clock.Advance(1001);
    scheduler.Tick();
    EXPECT_EQ(log, (std::vector<std::string>{"start", "stop"}));
    log.clear();
    key.desktop = true;
    key.Press();
    key.Release();
    EXPECT_EQ(log, (std::vector<std::string>{"start", "stop"}));
    // Turning it off while talking stops the talk.
    key.desktop = false;
    log.clear();
    key.Press();
    g.Refresh(false, true, key_combo::kDefault);
    EXPECT_EQ(log, (std::vector<std::string>{"start", "stop"}));
}

TEST(GlobalPushToTalk, WithoutAMechanismTheStatusSaysWhy) {
    ManualTickClock clock;
    TimerScheduler scheduler(clock);
    auto none = MakeNoGlobalHotKey("no X11 display and no desktop portal.");
    GlobalPushToTalk g(*none, scheduler, nullptr, nullptr);
    g.Refresh(true, true, key_combo::kDefault);
    EXPECT_FALSE(g.Registered());
    EXPECT_EQ(g.StatusText(),
              "Global Push To Talk is not available: no X11 display and no desktop portal. The "
              "program's own keys still work while one of its windows has the focus.");
}

}  // namespace
}  // namespace qv
