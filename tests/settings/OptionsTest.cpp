#include "settings/Options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Mixer.h"
#include "platform/Registry.h"
#include "settings/Customization.h"
#include "settings/IniFile.h"
#include "settings/RunKey.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Level = std::pair<MixerControl, std::uint32_t>;

constexpr const char* kMissing = "<missing>";
constexpr const char* kRunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The sound card: scripted current levels, every level written recorded.
class FakeMixer : public Mixer {
  public:
    std::uint32_t GetLevel(MixerControl control) override {
        auto it = levels.find(control);
        return it == levels.end() ? kMixerNotFound : it->second;
    }
    void SetLevel(MixerControl control, std::uint32_t level) override {
        written.emplace_back(control, level);
    }
    std::string ControlName(MixerControl) override { return {}; }

    std::map<MixerControl, std::uint32_t> levels;
    std::vector<Level> written;
};

enum class Where { Machine, User };

class OptionsTest : public ::testing::Test {
  protected:
    IniFile& File(Where w) { return w == Where::Machine ? machine_ : user_; }
    IniFile& Other(Where w) { return w == Where::Machine ? user_ : machine_; }

    // A fresh record, loaded: what the program sees at its next start.
    Options& Loaded(bool comicSans = false) {
        options_ =
            std::make_unique<Options>(machine_, user_, runKey_, mixer_, customization_, comicSans);
        options_->Load();
        return *options_;
    }

    void SetRunValue(const char* name, const std::string& command) {
        ASSERT_TRUE(registry_.CreateKey(Hive::LocalMachine, kRunPath));
        ASSERT_TRUE(
            registry_.SetValue(Hive::LocalMachine, kRunPath, name, RegistryValue::String(command)));
    }

    test::TempFolder dir_;
    IniFile machine_{dir_.File("Quorvane.ini")};
    IniFile user_{dir_.File("Options.ini")};
    Registry registry_{dir_.File("registry/")};
    RunKey runKey_{registry_, AutostartMirror{}};
    FakeMixer mixer_;
    Customization customization_{dir_.File("Customize.ini"), dir_.File("demo.ini")};
    std::unique_ptr<Options> options_;
};

// ---------------------------------------------------------------------------------------------
// Integer keys read by Load

struct StoredKey {
    const char* name;
    int (Options::*get)() const;
    Where where;
    const char* section;
    const char* key;
    int def;
    int stored;
};

void PrintTo(const StoredKey& c, std::ostream* os) {
    *os << c.name;
}

const StoredKey kStoredKeys[] = {
    {"BehindFirewall", &Options::BehindFirewall, Where::Machine, "Options", "BehindFirewall", 0, 1},
    {"Codec", &Options::Codec, Where::Machine, "Options", "Codec", 0, 2},
    {"ConnectionSpeed", &Options::ConnectionSpeed, Where::Machine, "Options", "ConnectionSpeed", 1,
     3},
    {"UsingSpeakers", &Options::UsingSpeakers, Where::Machine, "Options", "UsingSpeakers", 0, 1},
    {"DefaultSort", &Options::DefaultSort, Where::Machine, "Options", "DefaultSort", 0, 4},
    {"UsingModem", &Options::UsingModem, Where::Machine, "Options", "UsingModem", 1, 0},
    {"UsingLan", &Options::UsingLan, Where::Machine, "Options", "UsingLan", 0, 1},
    {"VoiceSampleRate", &Options::VoiceSampleRate, Where::Machine, "Internal", "VoiceSampleRate",
     90, 80},
    {"LocalEcho", &Options::LocalEcho, Where::Machine, "Internal", "LocalEcho", 0, 1},
    {"EnableTopLevelForumsInfo", &Options::EnableTopLevelForumsInfo, Where::Machine, "Internal",
     "Enable Top Level Forums Info", 0, 1},
    {"MinimizeOnClose", &Options::MinimizeOnClose, Where::User, "Options", "MinimizeOnClose", 1, 0},
    {"PlaySounds", &Options::PlaySounds, Where::User, "Options", "PlaySounds", 0, 1},
    {"ShowDisconnectMsg", &Options::ShowDisconnectMsg, Where::User, "Options", "ShowDisconnectMsg",
     0, 1},
    {"MuteVolume", &Options::MuteVolume, Where::User, "Options", "MuteVolume", 0, 1},
    {"Squelch", &Options::Squelch, Where::User, "Options", "Squelch", 9, 3},
    {"AutoAddToContactList", &Options::AutoAddToContactList, Where::User, "Options",
     "AutoAddToContactList", 1, 0},
    {"AutoActivateAppOnCall", &Options::AutoActivateAppOnCall, Where::User, "Options",
     "AutoActivateAppOnCall", 1, 0},
    {"PushToTalk", &Options::PushToTalk, Where::User, "Options", "PushToTalk", 0, 1},
    {"GlobalPushToTalk", &Options::GlobalPushToTalk, Where::User, "Options", "GlobalPushToTalk", 0,
     1},
    {"GlobalPushToTalkMap", &Options::GlobalPushToTalkMap, Where::User, "Options",
     "GlobalPushToTalkMap", 67109084, 0x20000041},
    {"CloseForumList", &Options::CloseForumList, Where::User, "Options", "CloseForumList", 0, 1},
    {"AutoReconnect", &Options::AutoReconnect, Where::User, "Options", "AutoReconnect", 1, 0},
    {"ShowTrafficMessages", &Options::ShowTrafficMessages, Where::User, "Options",
     "ShowTrafficMessages", 1, 0},
    {"LogEvents", &Options::LogEvents, Where::User, "Options", "LogEvents", 1, 0},
    {"AutoAnswer", &Options::AutoAnswer, Where::User, "Internal", "AutoAnswer", 0, 1},
};

const char* OtherSection(const char* section) {
    return std::strcmp(section, "Options") == 0 ? "Internal" : "Options";
}

TEST_F(OptionsTest, EveryKeyHasItsDefaultWithoutFiles) {
    const Options& o = Loaded();
    for (const StoredKey& k : kStoredKeys) {
        EXPECT_EQ((o.*k.get)(), k.def) << k.name;
    }
    EXPECT_EQ(o.CantTalkWhileMinimized(), 0);
    EXPECT_FALSE(o.RunAtStartup());
    EXPECT_EQ(o.EmailAddress(), "");
    EXPECT_EQ(o.EmailLogin(), "");
    EXPECT_EQ(o.EmailPassword(), "");
    EXPECT_EQ(o.PopServer(), "");
    EXPECT_EQ(o.SmtpServer(), "");
}

class StoredKeyRead : public OptionsTest, public ::testing::WithParamInterface<StoredKey> {};

TEST_P(StoredKeyRead, ComesFromItsFileAndSection) {
    const StoredKey& k = GetParam();
    // Decoys: the same key in the other file and in the other section.
    ASSERT_TRUE(Other(k.where).WriteInt(k.section, k.key, k.stored));
    ASSERT_TRUE(File(k.where).WriteInt(OtherSection(k.section), k.key, k.stored));
    EXPECT_EQ((Loaded().*k.get)(), k.def);

    ASSERT_TRUE(File(k.where).WriteInt(k.section, k.key, k.stored));
    EXPECT_EQ((Loaded().*k.get)(), k.stored);
}

INSTANTIATE_TEST_SUITE_P(Keys, StoredKeyRead, ::testing::ValuesIn(kStoredKeys),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsTest, PushToTalkDefaultsToUsingSpeakers) {
    ASSERT_TRUE(machine_.WriteInt("Options", "UsingSpeakers", 1));
    EXPECT_EQ(Loaded().PushToTalk(), 1);

    ASSERT_TRUE(user_.WriteInt("Options", "PushToTalk", 0));
    EXPECT_EQ(Loaded().PushToTalk(), 0);
}

TEST_F(OptionsTest, MailSettingsAreReadFromTheUserFile) {
    ASSERT_TRUE(user_.WriteString("Options", "EmailAddress", "rover@example.com"));
    ASSERT_TRUE(user_.WriteString("Options", "EmailLogin", "rover"));
    ASSERT_TRUE(user_.WriteString("Options", "EmailPassword", "secret"));
    ASSERT_TRUE(user_.WriteString("Options", "POPServer", "pop.example.com"));
    ASSERT_TRUE(user_.WriteString("Options", "SMTPServer", "smtp.example.com"));
    const Options& o = Loaded();
    EXPECT_EQ(o.EmailAddress(), "rover@example.com");
    EXPECT_EQ(o.EmailLogin(), "rover");
    EXPECT_EQ(o.EmailPassword(), "secret");
    EXPECT_EQ(o.PopServer(), "pop.example.com");
    EXPECT_EQ(o.SmtpServer(), "smtp.example.com");
}

// ---------------------------------------------------------------------------------------------
// No user known

TEST_F(OptionsTest, WithoutAUserEveryUserKeyKeepsItsDefault) {
    for (const StoredKey& k : kStoredKeys) {
        ASSERT_TRUE(File(k.where).WriteInt(k.section, k.key, k.stored));
    }
    ASSERT_TRUE(user_.WriteString("Options", "LumivexHomeURL", "http://home.example/"));
    ASSERT_TRUE(user_.WriteString("Options", "EmailAddress", "rover@example.com"));
    char away[Options::kCustomMessageSize] = "Out walking.";
    ASSERT_TRUE(user_.WriteStruct("Custom Messages", "Away Message", away, sizeof away));
    const std::string userPath = user_.Path();

    // Loaded with the user first, then again once the user is gone.
    Options& o = Loaded();
    ASSERT_EQ(o.AwayMessage(), "Out walking.");
    user_.SetPath("");
    o.Load();
    for (const StoredKey& k : kStoredKeys) {
        int expected = k.where == Where::Machine ? k.stored : k.def;
        if (k.get == &Options::PushToTalk) {
            expected = o.UsingSpeakers();  // its default follows the machine file
        }
        EXPECT_EQ((o.*k.get)(), expected) << k.name;
    }
    EXPECT_EQ(o.LumivexHomeURL(), customization_.Get().lxMainUrl);
    EXPECT_EQ(o.EmailAddress(), "");
    EXPECT_EQ(o.AwayMessage(), "I am away.");

    user_.SetPath(userPath);
    o.Load();
    EXPECT_EQ(o.Squelch(), 3);
    EXPECT_EQ(o.AwayMessage(), "Out walking.");
}

TEST_F(OptionsTest, WithoutAUserSettersKeepTheValueButWriteNothing) {
    user_.SetPath("");
    Options& o = Loaded();
    o.SetAutoAnswer(1);
    o.SetAwayMessage("Back soon.");
    EXPECT_EQ(o.AutoAnswer(), 1);
    EXPECT_EQ(o.AwayMessage(), "Back soon.");
    EXPECT_FALSE(machine_.Exists());
    EXPECT_EQ(machine_.GetString("Internal", "AutoAnswer", kMissing), kMissing);
}

// ---------------------------------------------------------------------------------------------
// Setters

struct SetterCase {
    const char* name;
    void (Options::*set)(int);
    int (Options::*get)() const;  // null: no getter
    Where where;
    const char* section;
    const char* key;
    int value;
};

void PrintTo(const SetterCase& c, std::ostream* os) {
    *os << c.name;
}

const SetterCase kSetters[] = {
    {"MasterVolume", &Options::SetMasterVolume, &Options::MasterVolume, Where::Machine, "Options",
     "MasterVolume", 30000},
    {"WaveVolume", &Options::SetWaveVolume, &Options::WaveVolume, Where::Machine, "Options",
     "WaveVolume", 30001},
    {"MicVolume", &Options::SetMicVolume, &Options::MicVolume, Where::Machine, "Options",
     "MicVolume", 30002},
    {"MicOnOff", &Options::SetMicOnOff, &Options::MicOnOff, Where::Machine, "Options", "MicOnOff",
     1},
    {"BehindFirewall", &Options::SetBehindFirewall, &Options::BehindFirewall, Where::Machine,
     "Options", "BehindFirewall", 1},
    {"Codec", &Options::SetCodec, &Options::Codec, Where::Machine, "Options", "Codec", 3},
    {"LocalEcho", &Options::SetLocalEcho, &Options::LocalEcho, Where::Machine, "Internal",
     "LocalEcho", 1},
    {"UsingModem", &Options::SetUsingModem, &Options::UsingModem, Where::Machine, "Options",
     "UsingModem", 0},
    {"UsingLan", &Options::SetUsingLan, &Options::UsingLan, Where::Machine, "Options", "UsingLan",
     1},
    {"DefaultSort", &Options::SetDefaultSort, &Options::DefaultSort, Where::Machine, "Options",
     "DefaultSort", 2},
    {"PushToTalk", &Options::SetPushToTalk, &Options::PushToTalk, Where::User, "Options",
     "PushToTalk", 1},
    {"GlobalPushToTalk", &Options::SetGlobalPushToTalk, &Options::GlobalPushToTalk, Where::User,
     "Options", "GlobalPushToTalk", 1},
    {"GlobalPushToTalkMap", &Options::SetGlobalPushToTalkMap, &Options::GlobalPushToTalkMap,
     Where::User, "Options", "GlobalPushToTalkMap", -2147483647},
    {"AutoAnswer", &Options::SetAutoAnswer, &Options::AutoAnswer, Where::User, "Internal",
     "AutoAnswer", 1},
    {"AutoActivateAppOnCall", &Options::SetAutoActivateAppOnCall, &Options::AutoActivateAppOnCall,
     Where::User, "Options", "AutoActivateAppOnCall", 0},
    {"AutoAddToContactList", &Options::SetAutoAddToContactList, &Options::AutoAddToContactList,
     Where::User, "Options", "AutoAddToContactList", 0},
    {"MinimizeOnClose", &Options::SetMinimizeOnClose, &Options::MinimizeOnClose, Where::User,
     "Options", "MinimizeOnClose", 0},
    {"Squelch", &Options::SetSquelch, &Options::Squelch, Where::User, "Options", "Squelch", 5},
    {"PlaySounds", &Options::SetPlaySounds, &Options::PlaySounds, Where::User, "Options",
     "PlaySounds", 1},
    {"ShowDisconnectMsg", &Options::SetShowDisconnectMsg, &Options::ShowDisconnectMsg, Where::User,
     "Options", "ShowDisconnectMsg", 1},
    {"RunAtStartup", &Options::SetRunAtStartup, nullptr, Where::User, "Options", "RunAtStartup", 1},
    {"AutoReconnect", &Options::SetAutoReconnect, &Options::AutoReconnect, Where::User, "Options",
     "AutoReconnect", 0},
    {"CloseForumList", &Options::SetCloseForumList, &Options::CloseForumList, Where::User,
     "Options", "CloseForumList", 1},
    {"ShowTrafficMessages", &Options::SetShowTrafficMessages, &Options::ShowTrafficMessages,
     Where::User, "Options", "ShowTrafficMessages", 0},
    {"LogEvents", &Options::SetLogEvents, &Options::LogEvents, Where::User, "Options", "LogEvents",
     0},
};

class Setter : public OptionsTest, public ::testing::WithParamInterface<SetterCase> {};

TEST_P(Setter, StoresTheValueAndWritesItsKeyAtOnce) {
    const SetterCase& c = GetParam();
    Options& o = Loaded();
    (o.*c.set)(c.value);
    if (c.get != nullptr) {
        EXPECT_EQ((o.*c.get)(), c.value);
    }
    EXPECT_EQ(File(c.where).GetString(c.section, c.key, kMissing), std::to_string(c.value));
    EXPECT_EQ(File(c.where).GetString(OtherSection(c.section), c.key, kMissing), kMissing);
    EXPECT_EQ(Other(c.where).GetString(c.section, c.key, kMissing), kMissing);
    EXPECT_EQ(Other(c.where).GetString(OtherSection(c.section), c.key, kMissing), kMissing);
    EXPECT_FALSE(Other(c.where).Exists());

    if (c.get != nullptr) {
        EXPECT_EQ((Loaded().*c.get)(), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Setters, Setter, ::testing::ValuesIn(kSetters),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsTest, SetterReplacesAnEarlierValue) {
    Options& o = Loaded();
    o.SetSquelch(2);
    o.SetSquelch(7);
    EXPECT_EQ(user_.GetInt("Options", "Squelch", 0), 7);
    EXPECT_EQ(Loaded().Squelch(), 7);
}

// ---------------------------------------------------------------------------------------------
// Start page

TEST_F(OptionsTest, HomeUrlDefaultsToThePartnersMainUrl) {
    EXPECT_EQ(Loaded().LumivexHomeURL(), "http://www.quorvane.com/tour/");

    IniFile customize(customization_.Path());
    ASSERT_TRUE(customize.WriteString("General", "LXMainURL", "http://partner.example/start"));
    customization_.Load();
    EXPECT_EQ(Loaded().LumivexHomeURL(), "http://partner.example/start");

    ASSERT_TRUE(user_.WriteString("Options", "LumivexHomeURL", "http://mine.example/"));
    EXPECT_EQ(Loaded().LumivexHomeURL(), "http://mine.example/");
}

TEST_F(OptionsTest, SetHomeUrlWritesTheUserFile) {
    Options& o = Loaded();
    o.SetLumivexHomeURL("http://mine.example/");
    EXPECT_EQ(o.LumivexHomeURL(), "http://mine.example/");
    EXPECT_EQ(user_.GetString("Options", "LumivexHomeURL"), "http://mine.example/");
    EXPECT_FALSE(machine_.Exists());
    EXPECT_EQ(Loaded().LumivexHomeURL(), "http://mine.example/");
}

TEST_F(OptionsTest, UseHomeUrlWritesNothing) {
    Options& o = Loaded();
    o.UseLumivexHomeURL("http://partner.example/");
    EXPECT_EQ(o.LumivexHomeURL(), "http://partner.example/");
    EXPECT_FALSE(user_.Exists());
    EXPECT_EQ(Loaded().LumivexHomeURL(), "http://www.quorvane.com/tour/");
}

// ---------------------------------------------------------------------------------------------
// Custom messages

struct MessageCase {
    const char* name;
    const std::string& (Options::*get)() const;
    void (Options::*set)(const std::string&);
    const char* key;
    const char* def;
};

void PrintTo(const MessageCase& c, std::ostream* os) {
    *os << c.name;
}

const MessageCase kMessages[] = {
    {"Away", &Options::AwayMessage, &Options::SetAwayMessage, "Away Message", "I am away."},
    {"Dnd", &Options::DndMessage, &Options::SetDndMessage, "DND Message",
     "Please, do not disturb!"},
    {"Occupied", &Options::OccupiedMessage, &Options::SetOccupiedMessage, "Occupied Message",
     "I am occupied."},
};

class CustomMessage : public OptionsTest, public ::testing::WithParamInterface<MessageCase> {
  protected:
    bool Store(const void* bytes, std::size_t size) {
        return user_.WriteStruct("Custom Messages", GetParam().key, bytes, size);
    }
};

TEST_P(CustomMessage, DefaultsWithoutAStoredOne) {
    EXPECT_EQ((Loaded().*GetParam().get)(), GetParam().def);
}

TEST_P(CustomMessage, StoredStructIsRead) {
    char text[Options::kCustomMessageSize] = "Gone fishing, back at five.";
    ASSERT_TRUE(Store(text, sizeof text));
    EXPECT_EQ((Loaded().*GetParam().get)(), "Gone fishing, back at five.");
}

TEST_P(CustomMessage, StructThatDoesNotReadGivesTheDefault) {
    char shortText[50] = "Too short a record.";
    ASSERT_TRUE(Store(shortText, sizeof shortText));
    EXPECT_EQ((Loaded().*GetParam().get)(), GetParam().def);

    ASSERT_TRUE(user_.WriteString("Custom Messages", GetParam().key, "not a struct at all"));
    EXPECT_EQ((Loaded().*GetParam().get)(), GetParam().def);

    // Right size, in the machine file: not where messages live.
    char text[Options::kCustomMessageSize] = "Wrong file.";
    ASSERT_TRUE(machine_.WriteStruct("Custom Messages", GetParam().key, text, sizeof text));
    EXPECT_EQ((Loaded().*GetParam().get)(), GetParam().def);
}

TEST_P(CustomMessage, TextWithoutTerminatingZeroStaysInside) {
    char full[Options::kCustomMessageSize];
    std::memset(full, 'm', sizeof full);
    ASSERT_TRUE(Store(full, sizeof full));
    const std::string got = (Loaded().*GetParam().get)();
    EXPECT_LE(got.size(), Options::kCustomMessageSize - 1);
    EXPECT_EQ(got.find_first_not_of('m'), std::string::npos);
}

TEST_P(CustomMessage, SetterWritesA100ByteStruct) {
    Options& o = Loaded();
    (o.*GetParam().set)("On the phone.");
    EXPECT_EQ((o.*GetParam().get)(), "On the phone.");

    std::array<char, Options::kCustomMessageSize> stored;
    stored.fill('?');
    ASSERT_TRUE(user_.GetStruct("Custom Messages", GetParam().key, stored.data(), stored.size()));
    std::array<char, Options::kCustomMessageSize> expected{};
    std::memcpy(expected.data(), "On the phone.", 13);
    EXPECT_EQ(stored, expected);
    EXPECT_FALSE(machine_.Exists());
    EXPECT_EQ((Loaded().*GetParam().get)(), "On the phone.");
}

TEST_P(CustomMessage, LongTextIsCutTo99Characters) {
    const std::string text(150, 'L');
    Options& o = Loaded();
    (o.*GetParam().set)(text);
    EXPECT_EQ((o.*GetParam().get)(), std::string(99, 'L'));

    std::array<char, Options::kCustomMessageSize> stored{};
    ASSERT_TRUE(user_.GetStruct("Custom Messages", GetParam().key, stored.data(), stored.size()));
    EXPECT_EQ(stored[99], '\0');
    EXPECT_EQ((Loaded().*GetParam().get)(), std::string(99, 'L'));
}

INSTANTIATE_TEST_SUITE_P(Messages, CustomMessage, ::testing::ValuesIn(kMessages),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Fonts

LogFont Typewriter() {
    LogFont f;
    f.height = -16;
    f.weight = 700;
    f.italic = 1;
    f.charSet = 0xA1;
    f.pitchAndFamily = 0x31;
    f.faceName = "Courier New";
    return f;
}

TEST_F(OptionsTest, FontsFallBackToTheBuiltInOnes) {
    EXPECT_EQ(Loaded(true).ListFont(), LogFont::DefaultListFont(true));
    EXPECT_EQ(Loaded(true).ChatFont(), LogFont::DefaultChatFont());
    EXPECT_EQ(Loaded(false).ListFont(), LogFont::DefaultListFont(false));
    EXPECT_EQ(Loaded(false).ChatFont(), LogFont::DefaultChatFont());
}

TEST_F(OptionsTest, StoredFontRecordsAreRead) {
    const auto bytes = Typewriter().ToBytes();
    ASSERT_TRUE(machine_.WriteStruct("Options", "ListFont", bytes.data(), bytes.size()));
    EXPECT_EQ(Loaded().ListFont(), Typewriter());
    EXPECT_EQ(Loaded().ChatFont(), LogFont::DefaultChatFont());

    ASSERT_TRUE(machine_.WriteStruct("Options", "ChatFont", bytes.data(), bytes.size()));
    EXPECT_EQ(Loaded().ChatFont(), Typewriter());
}

TEST_F(OptionsTest, FontRecordThatDoesNotReadGivesTheBuiltInOne) {
    const auto bytes = Typewriter().ToBytes();
    // One byte short, and the right record in the user file: neither counts.
    ASSERT_TRUE(machine_.WriteStruct("Options", "ListFont", bytes.data(), bytes.size() - 1));
    ASSERT_TRUE(user_.WriteStruct("Options", "ChatFont", bytes.data(), bytes.size()));
    EXPECT_EQ(Loaded(true).ListFont(), LogFont::DefaultListFont(true));
    EXPECT_EQ(Loaded(true).ChatFont(), LogFont::DefaultChatFont());
}

struct FontSetter {
    const char* name;
    void (Options::*set)(const LogFont&);
    const LogFont& (Options::*get)() const;
    const char* key;
};

void PrintTo(const FontSetter& c, std::ostream* os) {
    *os << c.name;
}

class FontSetterTest : public OptionsTest, public ::testing::WithParamInterface<FontSetter> {};

TEST_P(FontSetterTest, WritesA60ByteRecordToTheMachineFile) {
    const FontSetter& c = GetParam();
    Options& o = Loaded();
    (o.*c.set)(Typewriter());
    EXPECT_EQ((o.*c.get)(), Typewriter());

    std::array<std::uint8_t, LogFont::kSize> stored{};
    ASSERT_TRUE(machine_.GetStruct("Options", c.key, stored.data(), stored.size()));
    EXPECT_EQ(stored, Typewriter().ToBytes());
    EXPECT_FALSE(user_.Exists());
    EXPECT_EQ((Loaded().*c.get)(), Typewriter());
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, FontSetterTest,
    ::testing::Values(FontSetter{"List", &Options::SetListFont, &Options::ListFont, "ListFont"},
                      FontSetter{"Chat", &Options::SetChatFont, &Options::ChatFont, "ChatFont"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Mixer

TEST_F(OptionsTest, MixerLevelsDefaultToTheCurrentOnesAndAreAppliedInOrder) {
    mixer_.levels = {{MixerControl::MicOnOff, 1},
                     {MixerControl::MicVolume, 3000},
                     {MixerControl::WaveVolume, 2000},
                     {MixerControl::MasterVolume, 1000}};
    const Options& o = Loaded();
    EXPECT_EQ(o.MasterVolume(), 1000);
    EXPECT_EQ(o.WaveVolume(), 2000);
    EXPECT_EQ(o.MicVolume(), 3000);
    EXPECT_EQ(o.MicOnOff(), 1);
    EXPECT_THAT(
        mixer_.written,
        ElementsAre(Level{MixerControl::MasterVolume, 1000}, Level{MixerControl::WaveVolume, 2000},
                    Level{MixerControl::MicVolume, 3000}, Level{MixerControl::MicOnOff, 1}));
}

TEST_F(OptionsTest, StoredMixerLevelsAreAppliedInOrder) {
    mixer_.levels = {{MixerControl::MasterVolume, 1},
                     {MixerControl::WaveVolume, 2},
                     {MixerControl::MicVolume, 3},
                     {MixerControl::MicOnOff, 1}};
    ASSERT_TRUE(machine_.WriteInt("Options", "MicOnOff", 0));
    ASSERT_TRUE(machine_.WriteInt("Options", "MicVolume", 65536));
    ASSERT_TRUE(machine_.WriteInt("Options", "WaveVolume", 0));
    ASSERT_TRUE(machine_.WriteInt("Options", "MasterVolume", 40000));
    const Options& o = Loaded();
    EXPECT_EQ(o.MasterVolume(), 40000);
    EXPECT_EQ(o.WaveVolume(), 0);
    EXPECT_EQ(o.MicVolume(), 65536);
    EXPECT_EQ(o.MicOnOff(), 0);
    EXPECT_THAT(
        mixer_.written,
        ElementsAre(Level{MixerControl::MasterVolume, 40000}, Level{MixerControl::WaveVolume, 0},
                    Level{MixerControl::MicVolume, 65536}, Level{MixerControl::MicOnOff, 0}));
}

class OutOfRangeLevel : public OptionsTest, public ::testing::WithParamInterface<int> {};

TEST_P(OutOfRangeLevel, IsKeptButNotApplied) {
    mixer_.levels = {{MixerControl::MasterVolume, 100},
                     {MixerControl::WaveVolume, 200},
                     {MixerControl::MicVolume, 300},
                     {MixerControl::MicOnOff, 1}};
    ASSERT_TRUE(machine_.WriteInt("Options", "WaveVolume", GetParam()));
    const Options& o = Loaded();
    EXPECT_EQ(o.WaveVolume(), GetParam());
    EXPECT_THAT(mixer_.written,
                ElementsAre(Level{MixerControl::MasterVolume, 100},
                            Level{MixerControl::MicVolume, 300}, Level{MixerControl::MicOnOff, 1}));
}

INSTANTIATE_TEST_SUITE_P(Levels, OutOfRangeLevel,
                         ::testing::Values(-1, -65536, 65537, 0x7FFFFFFF,
                                           static_cast<int>(0x80000000u)));

TEST_F(OptionsTest, MachineWithoutMixerAppliesNothing) {
    const Options& o = Loaded();
    EXPECT_EQ(o.MasterVolume(), -1);
    EXPECT_EQ(o.WaveVolume(), -1);
    EXPECT_EQ(o.MicVolume(), -1);
    EXPECT_EQ(o.MicOnOff(), -1);
    EXPECT_THAT(mixer_.written, IsEmpty());
}

TEST_F(OptionsTest, NoSuchControlStoredEarlierIsNotAppliedToANewCard) {
    // Saved on a machine without a card, then a card appears.
    Loaded().SetMasterVolume(-1);
    ASSERT_EQ(machine_.GetString("Options", "MasterVolume"), "-1");
    mixer_.levels = {{MixerControl::MasterVolume, 5000}};
    EXPECT_EQ(Loaded().MasterVolume(), -1);
    EXPECT_THAT(mixer_.written, IsEmpty());
}

TEST_F(OptionsTest, StoringTheCurrentLevelsWritesWhatTheSystemHasNow) {
    Options& o = Loaded();
    mixer_.levels = {{MixerControl::MasterVolume, 65536},
                     {MixerControl::WaveVolume, 1234},
                     {MixerControl::MicOnOff, 0}};
    mixer_.written.clear();
    o.StoreCurrentMixerLevels();
    EXPECT_EQ(machine_.GetString("Options", "MasterVolume"), "65536");
    EXPECT_EQ(machine_.GetString("Options", "WaveVolume"), "1234");
    EXPECT_EQ(machine_.GetString("Options", "MicOnOff"), "0");
    // No microphone volume control: its key stays as it was (missing).
    EXPECT_EQ(machine_.GetString("Options", "MicVolume", kMissing), kMissing);
    EXPECT_EQ(o.WaveVolume(), 1234);
    EXPECT_THAT(mixer_.written, IsEmpty());
}

TEST_F(OptionsTest, VolumeSettersDoNotTouchTheMixer) {
    Options& o = Loaded();
    mixer_.written.clear();
    o.SetMasterVolume(100);
    o.SetWaveVolume(200);
    o.SetMicVolume(300);
    o.SetMicOnOff(0);
    EXPECT_THAT(mixer_.written, IsEmpty());
}

// ---------------------------------------------------------------------------------------------
// Run key

struct RunCase {
    const char* name;
    const char* quorvane;  // null: no such value
    const char* detector;
    bool runAtStartup;
    int modem;
    int lan;
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class RunKeyState : public OptionsTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunKeyState, DecidesStartupAndConnection) {
    const RunCase& c = GetParam();
    // Stored connection the opposite of the modem default, so any change shows.
    ASSERT_TRUE(machine_.WriteInt("Options", "UsingModem", 0));
    ASSERT_TRUE(machine_.WriteInt("Options", "UsingLan", 0));
    if (c.quorvane != nullptr) {
        SetRunValue("Quorvane", c.quorvane);
    }
    if (c.detector != nullptr) {
        SetRunValue("Quorvane Internet Detector", c.detector);
    }
    const Options& o = Loaded();
    EXPECT_EQ(o.RunAtStartup(), c.runAtStartup);
    EXPECT_EQ(o.UsingModem(), c.modem);
    EXPECT_EQ(o.UsingLan(), c.lan);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RunKeyState,
    ::testing::Values(
        RunCase{"Neither", nullptr, nullptr, false, 0, 0},
        RunCase{"Program", "/opt/quorvane/quorvane.exe", nullptr, true, 0, 1},
        RunCase{"Detector", nullptr, "/opt/quorvane/detector.exe", true, 1, 0},
        RunCase{"BothDetectorWins", "/opt/quorvane/quorvane.exe", "/opt/quorvane/detector.exe",
                true, 1, 0},
        RunCase{"EmptyProgram", "", nullptr, false, 0, 0},
        RunCase{"EmptyDetector", nullptr, "", false, 0, 0},
        RunCase{"ProgramWithEmptyDetector", "/opt/quorvane/quorvane.exe", "", true, 0, 1},
        RunCase{"EmptyProgramWithDetector", "", "/opt/quorvane/detector.exe", true, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsTest, RunValuesAreLookedUpWithoutRegardToCase) {
    SetRunValue("QUORVANE", "/opt/quorvane/quorvane.exe");
    const Options& o = Loaded();
    EXPECT_TRUE(o.RunAtStartup());
    EXPECT_EQ(o.UsingLan(), 1);
}

TEST_F(OptionsTest, RunValuesInTheUserHiveDoNotCount) {
    ASSERT_TRUE(registry_.CreateKey(Hive::CurrentUser, kRunPath));
    ASSERT_TRUE(registry_.SetValue(Hive::CurrentUser, kRunPath, "Quorvane",
                                   RegistryValue::String("/opt/quorvane/quorvane.exe")));
    const Options& o = Loaded();
    EXPECT_FALSE(o.RunAtStartup());
    EXPECT_EQ(o.UsingModem(), 1);
    EXPECT_EQ(o.UsingLan(), 0);
}

TEST_F(OptionsTest, ReloadSeesARemovedRunValue) {
    SetRunValue("Quorvane", "/opt/quorvane/quorvane.exe");
    Options& o = Loaded();
    ASSERT_TRUE(o.RunAtStartup());
    ASSERT_TRUE(registry_.DeleteValue(Hive::LocalMachine, kRunPath, "Quorvane"));
    o.Load();
    EXPECT_FALSE(o.RunAtStartup());
    EXPECT_EQ(o.UsingModem(), 1);
    EXPECT_EQ(o.UsingLan(), 0);
}

TEST_F(OptionsTest, LoadLeavesTheRunKeyOpenForItsCallers) {
    Loaded();
    EXPECT_TRUE(registry_.KeyExists(Hive::LocalMachine, kRunPath));
    EXPECT_TRUE(runKey_.Set("Quorvane Launcher", "/opt/quorvane/launcher.exe"));
    EXPECT_EQ(runKey_.Get("Quorvane Launcher"), "/opt/quorvane/launcher.exe");
}

}  // namespace
}  // namespace qv
