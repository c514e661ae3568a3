#include "settings/OptionsSheet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Mixer.h"
#include "platform/Registry.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/Options.h"
#include "settings/RunKey.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kProgramFolder = "/home/rover/.local/share/quorvane/";
constexpr const char* kProgramCommand = "\"/usr/bin/quorvane\" --home /home/rover/q";

class NoMixer : public Mixer {
  public:
    std::uint32_t GetLevel(MixerControl) override { return kMixerNotFound; }
    void SetLevel(MixerControl, std::uint32_t) override {}
    std::string ControlName(MixerControl) override { return {}; }
};

// The real settings files, run key and autostart folder in a temporary folder; every effect
// recorded in the order it came.
class OptionsSheetTest : public ::testing::Test {
  protected:
    OptionsSheetTest() {
        runKey_.Open();
        options_.Load();
    }

    OptionsEffects Recording() {
        OptionsEffects e;
        e.sendBehindFirewall = [this](int v) { log.push_back("firewall " + std::to_string(v)); };
        e.sendLocalEcho = [this](int v) { log.push_back("echo " + std::to_string(v)); };
        e.sendCodec = [this](int v) { log.push_back("codec " + std::to_string(v)); };
        e.engineIdle = [this] { return engineIdle; };
        e.refreshPushToTalk = [this] { log.push_back("push-to-talk"); };
        e.applyFonts = [this](const LogFont& list, const LogFont& chat) {
            log.push_back("fonts " + list.faceName + " / " + chat.faceName);
        };
        e.updateCustomMessage = [this](const std::string& key, const std::string& text) {
            log.push_back(key + ": " + text);
        };
        e.homeUrlChanged = [this](const std::string& url) { log.push_back("home " + url); };
        e.applyPersonalInfo = [this] {
            log.push_back("personal info");
            return personalInfoPasses;
        };
        e.addAlert = [this](const std::string& text) { log.push_back("alert " + text); };
        return e;
    }

    std::unique_ptr<OptionsSheet> Sheet(OptionsConditions c = {true, false, true}) {
        return std::make_unique<OptionsSheet>(options_, runKey_, user_, kProgramFolder, c,
                                              Recording());
    }

    std::vector<std::string> StoredRunValues() const {
        std::vector<std::string> values;
        for (const char* name : {RunKey::kQuorvane, RunKey::kInternetDetector}) {
            if (runKey_.Has(name)) {
                values.push_back(std::string(name) + "=" + runKey_.Get(name));
            }
        }
        return values;
    }

    std::vector<std::string> AutostartEntries() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir_.File("autostart/"), ec)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder dir_;
    IniFile machine_{dir_.File("Quorvane.ini")};
    IniFile user_{dir_.File("Options.ini")};
    Registry registry_{dir_.File("registry/")};
    RunKey runKey_{registry_,
                   AutostartMirror{dir_.File("autostart/"), kProgramFolder, kProgramCommand}};
    NoMixer mixer_;
    Customization customization_{dir_.File("Customize.ini"), dir_.File("demo.ini")};
    Options options_{machine_, user_, runKey_, mixer_, customization_, false};

    std::vector<std::string> log;
    bool engineIdle = false;
    bool personalInfoPasses = true;
};

const std::string kLanValue = std::string("Quorvane=") + kProgramFolder + "Quorvane.exe -minimized";
const std::string kModemValue =
    std::string("Quorvane Internet Detector=") + kProgramFolder + "InternetDetector.exe -noprompt";

// ---- Pages ----------------------------------------------------------------------------------

struct PagesCase {
    OptionsConditions conditions;
    std::vector<OptionsPage> pages;
};

std::ostream& operator<<(std::ostream& os, const PagesCase& c) {
    return os << "account " << c.conditions.accountStored << " disable personal info "
              << c.conditions.disablePersonalInfo << " internal "
              << c.conditions.showInternalOptions;
}

class Pages : public ::testing::TestWithParam<PagesCase> {};

TEST_P(Pages, FollowTheirConditionsInTabOrder) {
    EXPECT_EQ(VisibleOptionsPages(GetParam().conditions), GetParam().pages);
}

using P = OptionsPage;
INSTANTIATE_TEST_SUITE_P(
    Conditions, Pages,
    ::testing::Values(
        PagesCase{{false, false, false}, {P::Internet}},
        PagesCase{{false, true, false}, {P::Internet}},
        PagesCase{{false, false, true}, {P::Internet, P::Internal}},
        PagesCase{{true, false, false},
                  {P::General, P::Internet, P::PersonalInfo, P::Messages, P::Fonts}},
        PagesCase{{true, true, false}, {P::General, P::Internet, P::Messages, P::Fonts}},
        PagesCase{{true, false, true},
                  {P::General, P::Internet, P::PersonalInfo, P::Messages, P::Fonts, P::Internal}},
        PagesCase{{true, true, true},
                  {P::General, P::Internet, P::Messages, P::Fonts, P::Internal}}));

// ---- Apply enablement and order -------------------------------------------------------------

TEST_F(OptionsSheetTest, ApplyIsOfferedOnlyAfterAChangeAndDoesNothingBefore) {
    auto sheet = Sheet();
    EXPECT_FALSE(sheet->ApplyEnabled());
    sheet->general.pushToTalk = true;
    EXPECT_TRUE(sheet->Apply());
    EXPECT_THAT(log, IsEmpty());
    EXPECT_EQ(options_.PushToTalk(), 0);

    sheet->Changed(OptionsPage::General);
    EXPECT_TRUE(sheet->ApplyEnabled());
    EXPECT_TRUE(sheet->Apply());
    EXPECT_EQ(options_.PushToTalk(), 1);
    EXPECT_FALSE(sheet->ApplyEnabled());
    log.clear();
    // Once applied, a second Apply is no Apply.
    EXPECT_TRUE(sheet->Apply());
    EXPECT_THAT(log, IsEmpty());
}

TEST_F(OptionsSheetTest, ApplyRunsThePagesInTheirOrder) {
    auto sheet = Sheet();
    sheet->internet.behindFirewall = true;
    sheet->internet.homeUrl = "http://tour.example/";
    sheet->fonts.list.faceName = "List Face";
    sheet->fonts.chat.faceName = "Chat Face";
    sheet->messages.away = "Out for lunch";
    sheet->internal.localEcho = true;
    sheet->internal.codec = 3;
    sheet->Changed(OptionsPage::Internal);
    sheet->Changed(OptionsPage::PersonalInfo);
    ASSERT_TRUE(sheet->Apply());
    EXPECT_THAT(
        log, ElementsAre("firewall 1", "home http://tour.example/", "push-to-talk",
                         "fonts List Face / Chat Face", "Away Message: Out for lunch",
                         "DND Message: Please, do not disturb!", "Occupied Message: I am occupied.",
                         "echo 1", "codec 3", "personal info",
                         std::string("alert ") + OptionsSheet::kNetworkAlert));
}

TEST_F(OptionsSheetTest, WithoutAnAccountOnlyTheInternetPageApplies) {
    auto sheet = Sheet({false, false, false});
    sheet->internet.homeUrl = "http://elsewhere/";
    sheet->general.pushToTalk = true;
    sheet->Changed(OptionsPage::Internet);
    ASSERT_TRUE(sheet->Apply());
    EXPECT_THAT(log, ElementsAre("firewall 0"));
    EXPECT_EQ(options_.PushToTalk(), 0);
    EXPECT_NE(options_.LumivexHomeURL(), "http://elsewhere/");
}

TEST_F(OptionsSheetTest, FailedPersonalInfoStopsApplyAndKeepsItOffered) {
    personalInfoPasses = false;
    auto sheet = Sheet();
    sheet->internet.behindFirewall = true;
    sheet->Changed(OptionsPage::PersonalInfo);
    EXPECT_FALSE(sheet->Apply());
    EXPECT_TRUE(sheet->ApplyEnabled());
    EXPECT_EQ(log.back(), "personal info");
    // The steps before it did their work; the network alert waits for a passing Apply.
    EXPECT_EQ(options_.BehindFirewall(), 1);
    personalInfoPasses = true;
    log.clear();
    EXPECT_TRUE(sheet->Apply());
    EXPECT_EQ(log.back(), std::string("alert ") + OptionsSheet::kNetworkAlert);
    EXPECT_FALSE(sheet->ApplyEnabled());
}

TEST_F(OptionsSheetTest, HiddenOrUntouchedPersonalInfoIsNotSent) {
    auto hidden = Sheet({true, true, false});
    hidden->Changed(OptionsPage::PersonalInfo);
    ASSERT_TRUE(hidden->Apply());
    auto untouched = Sheet();
    untouched->Changed(OptionsPage::General);
    ASSERT_TRUE(untouched->Apply());
    EXPECT_THAT(log, ::testing::Not(::testing::Contains("personal info")));
}

TEST_F(OptionsSheetTest, StartUpWithoutAConnectionTypeKeepsTheOneInUse) {
    auto sheet = Sheet();
    sheet->internet.runAtStartup = true;
    sheet->Changed(OptionsPage::Internet);
    ASSERT_TRUE(sheet->Apply());
    // UsingModem is on by default.
    EXPECT_EQ(StoredRunValues(), std::vector<std::string>{kModemValue});
}

// ---- Run at start-up ------------------------------------------------------------------------

struct RunCase {
    const char* name;
    bool before;  // a LAN run value and a detector value are there before
    bool runAtStartup;
    bool lan;
    bool modem;
    std::vector<std::string> values;
    std::vector<std::string> entries;
    int usingLan;
    int usingModem;
};

std::ostream& operator<<(std::ostream& os, const RunCase& c) {
    return os << c.name;
}

class RunValues : public OptionsSheetTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunValues, AreWrittenAndMirrored) {
    const RunCase& c = GetParam();
    if (c.before) {
        runKey_.Set(RunKey::kQuorvane, std::string(kProgramFolder) + "Quorvane.exe -minimized");
        runKey_.Set(RunKey::kInternetDetector, "/somewhere/else -x");
        options_.Load();
    }
    auto sheet = Sheet();
    sheet->internet.runAtStartup = c.runAtStartup;
    sheet->internet.usingLan = c.lan;
    sheet->internet.usingModem = c.modem;
    sheet->Changed(OptionsPage::Internet);
    ASSERT_TRUE(sheet->Apply());
    EXPECT_EQ(StoredRunValues(), c.values);
    EXPECT_EQ(AutostartEntries(), c.entries);
    EXPECT_EQ(machine_.GetInt("Options", "UsingLan", -1), c.usingLan);
    EXPECT_EQ(machine_.GetInt("Options", "UsingModem", -1), c.usingModem);
    EXPECT_EQ(user_.GetInt("Options", "RunAtStartup", -1), c.runAtStartup ? 1 : 0);
    if (!c.runAtStartup) {
        EXPECT_FALSE(sheet->internet.usingLan);
        EXPECT_FALSE(sheet->internet.usingModem);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, RunValues,
    ::testing::Values(
        RunCase{"LanLeavesExactlyTheProgram",
                true,
                true,
                true,
                false,
                {kLanValue},
                {"quorvane.desktop"},
                1,
                0},
        RunCase{
            "LanFromNothing", false, true, true, false, {kLanValue}, {"quorvane.desktop"}, 1, 0},
        RunCase{"ModemLeavesExactlyTheDetector",
                true,
                true,
                false,
                true,
                {kModemValue},
                {"quorvane-internet-detector.desktop"},
                0,
                1},
        RunCase{"OffDeletesBoth", true, false, true, false, {}, {}, -1, -1},
        RunCase{"OffWhateverTheButtonsShowed", true, false, false, true, {}, {}, -1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsSheetTest, TheModemEntryStartsTheProgramItselfHidden) {
    auto sheet = Sheet();
    sheet->internet.runAtStartup = true;
    sheet->internet.usingModem = true;
    sheet->Changed(OptionsPage::Internet);
    ASSERT_TRUE(sheet->Apply());
    const std::string entry = dir_.Read("autostart/quorvane-internet-detector.desktop");
    EXPECT_THAT(entry,
                ::testing::HasSubstr(std::string("\nExec=") + kProgramCommand + " -minimized\n"));
    const std::string lanLike = dir_.File("autostart/quorvane.desktop");
    EXPECT_FALSE(std::filesystem::exists(lanLike));
}

TEST_F(OptionsSheetTest, TheLoadedPageShowsTheRunValues) {
    runKey_.Set(RunKey::kQuorvane, std::string(kProgramFolder) + "Quorvane.exe -minimized");
    options_.Load();
    auto sheet = Sheet();
    EXPECT_TRUE(sheet->internet.runAtStartup);
    EXPECT_TRUE(sheet->internet.usingLan);
    EXPECT_FALSE(sheet->internet.usingModem);
}

// ---- The engine hears only changes ----------------------------------------------------------

struct InternalCase {
    const char* name;
    int storedCodec;
    int storedEcho;
    int codec;
    bool echo;
    std::vector<std::string> sent;
};

std::ostream& operator<<(std::ostream& os, const InternalCase& c) {
    return os << c.name;
}

class InternalPage : public OptionsSheetTest, public ::testing::WithParamInterface<InternalCase> {};

TEST_P(InternalPage, SendsOnlyWhatChanged) {
    const InternalCase& c = GetParam();
    options_.SetCodec(c.storedCodec);
    options_.SetLocalEcho(c.storedEcho);
    auto sheet = Sheet({false, false, true});
    sheet->internal.codec = c.codec;
    sheet->internal.localEcho = c.echo;
    sheet->internal.autoAnswer = true;
    sheet->Changed(OptionsPage::Internal);
    ASSERT_TRUE(sheet->Apply());
    std::vector<std::string> sent;
    for (const std::string& line : log) {
        if (line.rfind("codec", 0) == 0 || line.rfind("echo", 0) == 0) {
            sent.push_back(line);
        }
    }
    EXPECT_EQ(sent, c.sent);
    EXPECT_EQ(options_.AutoAnswer(), 1);
    EXPECT_EQ(machine_.GetInt("Options", "Codec", -1), c.sent.empty() && c.storedCodec == c.codec
                                                           ? c.storedCodec
                                                           : std::clamp(c.codec, 0, 6));
}

INSTANTIATE_TEST_SUITE_P(
    Values, InternalPage,
    ::testing::Values(InternalCase{"UnchangedCodecSendsNothing", 2, 0, 2, false, {}},
                      InternalCase{"NewCodec", 2, 0, 5, false, {"codec 5"}},
                      InternalCase{"EchoOn", 0, 0, 0, true, {"echo 1"}},
                      InternalCase{"EchoOffAndCodec", 1, 1, 0, false, {"echo 0", "codec 0"}},
                      InternalCase{"CodecOutOfRangeIsCut", 0, 0, 99, false, {"codec 6"}},
                      InternalCase{"NegativeCodecIsZero", 0, 0, -4, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The network alert ----------------------------------------------------------------------

struct NetworkCase {
    const char* name;
    bool firewall;
    bool lan;  // run at start-up with LAN; else start-up stays off
    bool engineIdle;
    bool alert;
};

std::ostream& operator<<(std::ostream& os, const NetworkCase& c) {
    return os << c.name;
}

class NetworkAlert : public OptionsSheetTest, public ::testing::WithParamInterface<NetworkCase> {};

TEST_P(NetworkAlert, ComesOnlyForANetworkChangeWhileConnected) {
    const NetworkCase& c = GetParam();
    engineIdle = c.engineIdle;
    auto sheet = Sheet();
    sheet->internet.behindFirewall = c.firewall;
    sheet->internet.runAtStartup = c.lan;
    sheet->internet.usingLan = c.lan;
    sheet->general.playSounds = true;
    sheet->Changed(OptionsPage::General);
    ASSERT_TRUE(sheet->Apply());
    const bool alerted =
        std::find(log.begin(), log.end(), std::string("alert ") + OptionsSheet::kNetworkAlert) !=
        log.end();
    EXPECT_EQ(alerted, c.alert);
    // The flag is cleared: an Apply of something else says nothing.
    log.clear();
    sheet->Changed(OptionsPage::General);
    ASSERT_TRUE(sheet->Apply());
    EXPECT_THAT(log, ::testing::Not(
                         ::testing::Contains(std::string("alert ") + OptionsSheet::kNetworkAlert)));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, NetworkAlert,
    ::testing::Values(NetworkCase{"NothingOfTheNetwork", false, false, false, false},
                      NetworkCase{"Firewall", true, false, false, true},
                      NetworkCase{"FirewallWhileIdle", true, false, true, false},
                      NetworkCase{"ConnectionType", false, true, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Messages, fonts, the global key ---------------------------------------------------------

TEST_F(OptionsSheetTest, MessagesPageWritesItsSwitchesAndMessages) {
    auto sheet = Sheet();
    sheet->messages.dnd = "Busy writing";
    sheet->messages.dndNoPrompt = true;
    sheet->messages.occupied = std::string(150, 'x');
    sheet->Changed(OptionsPage::Messages);
    ASSERT_TRUE(sheet->Apply());
    EXPECT_EQ(user_.GetInt("Custom Messages", "DND Message Dialog", -1), 1);
    EXPECT_EQ(user_.GetInt("Custom Messages", "Away Message Dialog", -1), 0);
    EXPECT_EQ(user_.GetInt("Custom Messages", "Occupied Message Dialog", -1), 0);
    EXPECT_EQ(options_.DndMessage(), "Busy writing");
    // What the stored form holds is what is used.
    EXPECT_EQ(options_.OccupiedMessage(), std::string(99, 'x'));
    options_.Load();
    EXPECT_EQ(options_.DndMessage(), "Busy writing");
    auto again = Sheet();
    EXPECT_TRUE(again->messages.dndNoPrompt);
}

TEST_F(OptionsSheetTest, RestoreDefaultsPutsBackTheBuiltInFonts) {
    LogFont odd;
    odd.faceName = "Odd";
    odd.height = -30;
    options_.SetListFont(odd);
    options_.SetChatFont(odd);
    auto sheet = Sheet();
    EXPECT_EQ(sheet->fonts.list, odd);
    sheet->RestoreDefaultFonts(false);
    EXPECT_TRUE(sheet->ApplyEnabled());
    ASSERT_TRUE(sheet->Apply());
    EXPECT_EQ(options_.ListFont(), LogFont::DefaultListFont(false));
    EXPECT_EQ(options_.ChatFont(), LogFont::DefaultChatFont());
}

TEST_F(OptionsSheetTest, ACapturedKeyIsStoredWithTheGeneralPage) {
    auto sheet = Sheet();
    sheet->SetGlobalKey(0x10000000u | 0x54u);
    EXPECT_TRUE(sheet->ApplyEnabled());
    ASSERT_TRUE(sheet->Apply());
    EXPECT_EQ(options_.GlobalPushToTalkMap(), 0x10000054);
    EXPECT_EQ(user_.GetInt("Options", "GlobalPushToTalkMap", 0), 0x10000054);
    EXPECT_THAT(log, ::testing::Contains("push-to-talk"));
}

}  // namespace
}  // namespace qv
