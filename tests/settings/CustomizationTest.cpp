#include "settings/Customization.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/DemoSettings.h"
#include "settings/IniFile.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using V = Customization::Values;

constexpr const char* kMissing = "<missing>";

// "Success", then each field ended by the item separator.
std::string Reply(std::initializer_list<std::string_view> fields) {
    std::string reply = "Success\xFF";
    for (std::string_view f : fields) {
        reply.append(f);
        reply.push_back('\xFF');
    }
    return reply;
}

struct IntField {
    const char* section;
    const char* key;
    int V::*field;
};

struct TextField {
    const char* section;
    const char* key;
    std::string V::*field;
};

const IntField kIntFields[] = {
    {"Features", "DisableNewUserDlg", &V::disableNewUserDlg},
    {"Features", "DisableForums", &V::disableForums},
    {"Features", "DisableTextChat", &V::disableTextChat},
    {"Features", "DisableTipOfTheDay", &V::disableTipOfTheDay},
    {"Features", "DisableVoiceMail", &V::disableVoiceMail},
    {"Features", "DisablePersonalInfo", &V::disablePersonalInfo},
    {"Features", "EnableModeration", &V::enableModeration},
    {"General", "DisplayPartnerLogo", &V::displayPartnerLogo},
    {"General", "LoginDLLVersion", &V::loginDllVersion},
    {"General", "DisableLoginDLL", &V::disableLoginDll},
    {"Personal Info", "EnableModifyNickName", &V::enableModifyNickName},
    {"Personal Info", "EnableModifyCompany", &V::enableModifyCompany},
    {"Personal Info", "EnableModifyFirstName", &V::enableModifyFirstName},
    {"Personal Info", "EnableModifyLastName", &V::enableModifyLastName},
    {"Personal Info", "EnableModifyEmail", &V::enableModifyEmail},
    {"Personal Info", "EnableModifyComment", &V::enableModifyComment},
    {"Personal Info", "EnableModifyHideEmail", &V::enableModifyHideEmail},
    {"Personal Info", "EnableModifyAllowSpam", &V::enableModifyAllowSpam},
};

const TextField kTextFields[] = {
    {"Instant Messages", "IMLabel", &V::imLabel},
    {"Instant Messages", "IMMenuLabel", &V::imMenuLabel},
    {"Instant Messages", "IMToolTipLabel", &V::imToolTipLabel},
    {"Help Menu", "QVWhatsItDoAlias", &V::whatsItDoAlias},
    {"Help Menu", "QVUpdatesAlias", &V::updatesAlias},
    {"Help Menu", "QVFAQAlias", &V::faqAlias},
    {"Help Menu", "QVServiceStatusAlias", &V::serviceStatusAlias},
    {"Help Menu", "QVWebPageAlias", &V::webPageAlias},
    {"Help Menu", "QVNewUserPageAlias", &V::newUserPageAlias},
    {"Help Menu", "QVUserGuideAlias", &V::userGuideAlias},
    {"Help Menu", "QVBugReportAlias", &V::bugReportAlias},
    {"Help Menu", "QVWHATSITDOURL", &V::whatsItDoUrl},
    {"Help Menu", "QVUpdatesURL", &V::updatesUrl},
    {"Help Menu", "QVFAQURL", &V::faqUrl},
    {"Help Menu", "QVServiceStatusURL", &V::serviceStatusUrl},
    {"Help Menu", "QVWebPageURL", &V::webPageUrl},
    {"Help Menu", "QVNewUserPageURL", &V::newUserPageUrl},
    {"Help Menu", "QVUserGuideURL", &V::userGuideUrl},
    {"Help Menu", "QVBugReportURL", &V::bugReportUrl},
    {"General", "AdDownloadURL", &V::adDownloadUrl},
    {"General", "PartnerLogoDownloadURL", &V::partnerLogoDownloadUrl},
    {"General", "LoginDLLDownloadURL", &V::loginDllDownloadUrl},
    {"General", "LXName", &V::lxName},
    {"General", "LXBrowserTitle", &V::lxBrowserTitle},
    {"General", "LXEnableLabel", &V::lxEnableLabel},
    {"General", "LXMainURL", &V::lxMainUrl},
};

class CustomizationTest : public ::testing::Test {
  protected:
    std::string Path() const { return dir_.File("Customize.ini"); }
    std::string DemoPath() const { return dir_.File("demo.ini"); }
    std::string Bytes() const { return dir_.Read("Customize.ini"); }

    test::TempFolder dir_;
    IniFile file_{Path()};
    IniFile demo_{DemoPath()};
};

TEST_F(CustomizationTest, DefaultsWithoutAFile) {
    const Customization c(Path(), DemoPath());
    const V& v = c.Get();
    EXPECT_EQ(v.version, 0);
    for (const IntField& f : kIntFields) {
        EXPECT_EQ(v.*f.field, 0) << f.key;
    }
    EXPECT_EQ(v.imLabel, "Instant Message");
    EXPECT_EQ(v.imMenuLabel, "Send Instant &Message");
    EXPECT_EQ(v.imToolTipLabel, "Send user an Instant Message");
    EXPECT_EQ(v.whatsItDoAlias, "W&hat Can Quorvane Do?");
    EXPECT_EQ(v.faqAlias, "&Troubleshooting");
    EXPECT_EQ(v.bugReportAlias, "Submit &Bug Report/Suggestions");
    EXPECT_EQ(v.webPageUrl, "http://www.quorvane.com/");
    EXPECT_EQ(v.bugReportUrl, "http://www.quorvane.com/bugreport.html");
    EXPECT_EQ(v.adDownloadUrl, "http://download1.quorvane.com/ads/adlist.txt");
    EXPECT_EQ(v.partnerLogoDownloadUrl, "");
    EXPECT_EQ(v.loginDllDownloadUrl, "");
    EXPECT_EQ(v.lxName, "Quorvane on the Web");
    EXPECT_EQ(v.lxBrowserTitle, "Quorvane on the Web");
    EXPECT_EQ(v.lxEnableLabel, "Enable");
    EXPECT_EQ(v.lxMainUrl, "http://www.quorvane.com/tour/");
    EXPECT_EQ(c.Path(), Path());
    EXPECT_FALSE(file_.Exists());
}

TEST_F(CustomizationTest, EveryKeyIsReadFromItsSection) {
    ASSERT_TRUE(file_.WriteInt("System", "Version", 17));
    int n = 100;
    for (const IntField& f : kIntFields) {
        ASSERT_TRUE(file_.WriteInt(f.section, f.key, n++));
    }
    for (const TextField& f : kTextFields) {
        ASSERT_TRUE(file_.WriteString(f.section, f.key, std::string("text of ") + f.key));
    }
    const Customization c(Path(), DemoPath());
    EXPECT_EQ(c.Get().version, 17);
    n = 100;
    for (const IntField& f : kIntFields) {
        EXPECT_EQ(c.Get().*f.field, n++) << f.key;
    }
    for (const TextField& f : kTextFields) {
        EXPECT_EQ(c.Get().*f.field, std::string("text of ") + f.key) << f.key;
    }
}

TEST_F(CustomizationTest, KeysInAnotherSectionAreNotRead) {
    const V defaults;
    ASSERT_TRUE(file_.WriteInt("General", "Version", 17));
    for (const IntField& f : kIntFields) {
        ASSERT_TRUE(file_.WriteInt("Elsewhere", f.key, 5));
    }
    for (const TextField& f : kTextFields) {
        ASSERT_TRUE(file_.WriteString("Elsewhere", f.key, "elsewhere"));
    }
    const Customization c(Path(), DemoPath());
    EXPECT_EQ(c.Get().version, 0);
    for (const IntField& f : kIntFields) {
        EXPECT_EQ(c.Get().*f.field, defaults.*f.field) << f.key;
    }
    for (const TextField& f : kTextFields) {
        EXPECT_EQ(c.Get().*f.field, defaults.*f.field) << f.key;
    }
}

TEST_F(CustomizationTest, LoadRereadsTheFile) {
    Customization c(Path(), DemoPath());
    ASSERT_TRUE(file_.WriteString("Instant Messages", "IMLabel", "Page"));
    EXPECT_EQ(c.Get().imLabel, "Instant Message");
    c.Load();
    EXPECT_EQ(c.Get().imLabel, "Page");
}

// ---------------------------------------------------------------------------------------------
// Demo switch

struct DemoCase {
    const char* name;
    const char* demoSection;  // null: no demo.ini
    int enableDemo;
    int storedLogo;
    int expectedLogo;
};

void PrintTo(const DemoCase& c, std::ostream* os) {
    *os << c.name;
}

class PartnerLogo : public CustomizationTest, public ::testing::WithParamInterface<DemoCase> {};

TEST_P(PartnerLogo, IsForcedOnByThePartnersDemo) {
    const DemoCase& c = GetParam();
    ASSERT_TRUE(file_.WriteInt("General", "DisplayPartnerLogo", c.storedLogo));
    if (c.demoSection != nullptr) {
        ASSERT_TRUE(demo_.WriteInt(c.demoSection, "EnableDemo", c.enableDemo));
    }
    EXPECT_EQ(Customization(Path(), DemoPath()).Get().displayPartnerLogo, c.expectedLogo);
}

INSTANTIATE_TEST_SUITE_P(Cases, PartnerLogo,
                         ::testing::Values(DemoCase{"NoDemoFile", nullptr, 0, 0, 0},
                                           DemoCase{"NoDemoFileLogoStored", nullptr, 0, 1, 1},
                                           DemoCase{"PartnerDemoOn", "Partner", 1, 0, 1},
                                           DemoCase{"PartnerDemoAnyNonZero", "Partner", -3, 0, 1},
                                           DemoCase{"PartnerDemoOff", "Partner", 0, 0, 0},
                                           DemoCase{"PartnerDemoOffLogoStored", "Partner", 0, 2, 2},
                                           DemoCase{"MainDemoDoesNotCount", "Main", 1, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CustomizationTest, DemoSettingsReadBothSections) {
    ASSERT_TRUE(demo_.WriteInt("Partner", "EnableDemo", 1));
    ASSERT_TRUE(demo_.WriteString("Partner", "DemoGraphic", "partner.bmp"));
    ASSERT_TRUE(demo_.WriteString("Partner", "DemoURL", "http://partner.example/demo"));
    ASSERT_TRUE(demo_.WriteInt("Main", "EnableDemo", 2));
    ASSERT_TRUE(demo_.WriteString("Main", "DemoGraphic", "main.bmp"));
    ASSERT_TRUE(demo_.WriteString("Main", "DemoURL", "http://www.quorvane.com/demo"));
    const DemoSettings d = DemoSettings::Read(DemoPath());
    EXPECT_EQ(d.partner.enableDemo, 1);
    EXPECT_EQ(d.partner.demoGraphic, "partner.bmp");
    EXPECT_EQ(d.partner.demoUrl, "http://partner.example/demo");
    EXPECT_EQ(d.main.enableDemo, 2);
    EXPECT_EQ(d.main.demoGraphic, "main.bmp");
    EXPECT_EQ(d.main.demoUrl, "http://www.quorvane.com/demo");

    const DemoSettings none = DemoSettings::Read(dir_.File("absent.ini"));
    EXPECT_EQ(none.partner.enableDemo, 0);
    EXPECT_EQ(none.partner.demoGraphic, "");
    EXPECT_EQ(none.main.demoUrl, "");
}

// ---------------------------------------------------------------------------------------------
// Update from the partner parameters

class CustomizationUpdate : public CustomizationTest {
  protected:
    // A stored customization at version 3 with a few partner keys and a foreign one.
    void StoreVersion3() {
        ASSERT_TRUE(file_.WriteInt("System", "Version", 3));
        ASSERT_TRUE(file_.WriteInt("Features", "DisableVoiceMail", 1));
        ASSERT_TRUE(file_.WriteString("Instant Messages", "IMLabel", "Old label"));
        ASSERT_TRUE(file_.WriteString("General", "LXMainURL", "http://old.example/"));
        ASSERT_TRUE(file_.WriteString("Local", "Note", "kept by hand"));
    }
};

TEST_F(CustomizationUpdate, NewVersionRebuildsTheFileFromTheReply) {
    StoreVersion3();
    Customization c(Path(), DemoPath());
    ASSERT_EQ(c.Get().version, 3);

    EXPECT_TRUE(c.Update(Reply(
        {"Version=4", "DisableForums=1", "IMLabel=Chat", "QVWebPageURL=http://partner.example/"})));

    const V& v = c.Get();
    EXPECT_EQ(v.version, 4);
    EXPECT_EQ(v.disableForums, 1);
    EXPECT_EQ(v.imLabel, "Chat");
    EXPECT_EQ(v.webPageUrl, "http://partner.example/");
    // Not in the reply: back to the defaults, the file having been replaced.
    EXPECT_EQ(v.disableVoiceMail, 0);
    EXPECT_EQ(v.lxMainUrl, "http://www.quorvane.com/tour/");
    EXPECT_EQ(file_.GetString("Local", "Note", kMissing), kMissing);
    EXPECT_EQ(file_.GetString("Features", "DisableVoiceMail", kMissing), kMissing);

    EXPECT_EQ(file_.GetInt("System", "Version", 0), 4);
    EXPECT_EQ(file_.GetString("Features", "DisableForums"), "1");
    EXPECT_EQ(file_.GetString("Instant Messages", "IMLabel"), "Chat");
    EXPECT_EQ(file_.GetString("Help Menu", "QVWebPageURL"), "http://partner.example/");
}

TEST_F(CustomizationUpdate, AnyOtherVersionCounts) {
    for (const char* version : {"Version=2", "Version=0", "Version=-3", "Version=1000"}) {
        SCOPED_TRACE(version);
        StoreVersion3();
        Customization c(Path(), DemoPath());
        EXPECT_TRUE(c.Update(Reply({version, "IMLabel=Chat"})));
        EXPECT_EQ(c.Get().imLabel, "Chat");
        EXPECT_EQ(c.Get().version, file_.GetInt("System", "Version", 12345));
        EXPECT_EQ(file_.GetString("Local", "Note", kMissing), kMissing);
    }
}

TEST_F(CustomizationUpdate, FirstUpdateOnAMissingFile) {
    Customization c(Path(), DemoPath());
    EXPECT_TRUE(c.Update(Reply({"Version=1", "LXName=Partner Web"})));
    EXPECT_EQ(c.Get().version, 1);
    EXPECT_EQ(c.Get().lxName, "Partner Web");
    EXPECT_EQ(file_.GetString("General", "LXName"), "Partner Web");
}

TEST_F(CustomizationUpdate, IntegerFieldsAreWrittenAsNumbers) {
    StoreVersion3();
    Customization c(Path(), DemoPath());
    ASSERT_TRUE(c.Update(Reply(
        {"Version=5", "DisableForums=007", "EnableModeration= 2 please", "DisableTextChat=yes"})));
    EXPECT_EQ(file_.GetString("Features", "DisableForums"), "7");
    EXPECT_EQ(file_.GetString("Features", "EnableModeration"), "2");
    EXPECT_EQ(file_.GetString("Features", "DisableTextChat"), "0");
    EXPECT_EQ(c.Get().disableForums, 7);
    EXPECT_EQ(c.Get().enableModeration, 2);
}

TEST_F(CustomizationUpdate, TextFieldsAreWrittenAsTheyCame) {
    StoreVersion3();
    Customization c(Path(), DemoPath());
    ASSERT_TRUE(c.Update(Reply({"Version=5", "IMMenuLabel=Send a &Page", "LXName=007",
                                "QVFAQURL=http://partner.example/faq?x=1&y=2"})));
    EXPECT_EQ(file_.GetString("Instant Messages", "IMMenuLabel"), "Send a &Page");
    EXPECT_EQ(file_.GetString("General", "LXName"), "007");
    EXPECT_EQ(c.Get().faqUrl, "http://partner.example/faq?x=1&y=2");
}

TEST_F(CustomizationUpdate, SameVersionChangesNothing) {
    StoreVersion3();
    const std::string before = Bytes();
    Customization c(Path(), DemoPath());
    EXPECT_FALSE(c.Update(Reply({"Version=3", "DisableForums=1", "IMLabel=Chat"})));
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(c.Get().imLabel, "Old label");
    EXPECT_EQ(c.Get().disableForums, 0);
}

TEST_F(CustomizationUpdate, ReplyWithoutVersionChangesNothing) {
    StoreVersion3();
    const std::string before = Bytes();
    Customization c(Path(), DemoPath());
    for (const std::string& reply : {Reply({"DisableForums=1", "IMLabel=Chat"}), Reply({}),
                                     std::string(), std::string("Fail\xFFNo such partner"),
                                     // Only keys that end in "Version".
                                     Reply({"LoginDLLVersion=9", "IMLabel=Chat"})}) {
        SCOPED_TRACE(reply);
        EXPECT_FALSE(c.Update(reply));
        EXPECT_EQ(Bytes(), before);
        EXPECT_EQ(c.Get().version, 3);
        EXPECT_EQ(c.Get().imLabel, "Old label");
    }
}

TEST_F(CustomizationUpdate, VersionIsTheFieldOfThatName) {
    StoreVersion3();
    Customization c(Path(), DemoPath());
    // A longer key ending in "Version" comes first; it is not the version.
    EXPECT_TRUE(c.Update(Reply({"LoginDLLVersion=3", "Version=8", "IMLabel=Chat"})));
    EXPECT_EQ(c.Get().version, 8);
    EXPECT_EQ(c.Get().loginDllVersion, 3);
    EXPECT_EQ(file_.GetInt("System", "Version", 0), 8);
}

TEST_F(CustomizationUpdate, KeyInsideAnotherFieldsValueIsNotCarried) {
    StoreVersion3();
    Customization c(Path(), DemoPath());
    ASSERT_TRUE(c.Update(
        Reply({"Version=5", "QVFAQURL=http://partner.example/faq?IMLabel=x&DisableForums=1"})));
    EXPECT_EQ(c.Get().faqUrl, "http://partner.example/faq?IMLabel=x&DisableForums=1");
    EXPECT_EQ(c.Get().imLabel, "Instant Message");
    EXPECT_EQ(c.Get().disableForums, 0);
    EXPECT_EQ(file_.GetString("Instant Messages", "IMLabel", kMissing), kMissing);
    EXPECT_EQ(file_.GetString("Features", "DisableForums", kMissing), kMissing);
}

TEST_F(CustomizationUpdate, DemoStillForcesTheLogoAfterAnUpdate) {
    ASSERT_TRUE(demo_.WriteInt("Partner", "EnableDemo", 1));
    Customization c(Path(), DemoPath());
    ASSERT_TRUE(c.Update(Reply({"Version=2", "DisplayPartnerLogo=0"})));
    EXPECT_EQ(c.Get().displayPartnerLogo, 1);
    EXPECT_EQ(file_.GetInt("General", "DisplayPartnerLogo", -1), 0);
}

// A partner's full answer, every field it may carry.
const std::vector<std::pair<std::string, std::string>> kFullReply = {
    {"Version", "12"},
    {"DisableNewUserDlg", "1"},
    {"DisableForums", "0"},
    {"DisableTextChat", "1"},
    {"DisableTipOfTheDay", "1"},
    {"DisableVoiceMail", "0"},
    {"DisablePersonalInfo", "1"},
    {"EnableModeration", "1"},
    {"IMLabel", "Page"},
    {"IMMenuLabel", "Send a &Page"},
    {"IMToolTipLabel", "Page this member"},
    {"QVWhatsItDoAlias", "&What Is Northwind Voice?"},
    {"QVUpdatesAlias", "Northwind &Updates"},
    {"QVFAQAlias", "&Help Center"},
    {"QVServiceStatusAlias", "Network &Status"},
    {"QVWebPageAlias", "Northwind &Home"},
    {"QVNewUserPageAlias", "&Getting Started"},
    {"QVUserGuideAlias", "&Manual"},
    {"QVBugReportAlias", "&Feedback"},
    {"QVWHATSITDOURL", "http://voice.northwind.example/about.html"},
    {"QVUpdatesURL", "http://voice.northwind.example/updates.html"},
    {"QVFAQURL", "http://voice.northwind.example/help/"},
    {"QVServiceStatusURL", "http://voice.northwind.example/status"},
    {"QVWebPageURL", "http://voice.northwind.example/"},
    {"QVNewUserPageURL", "http://voice.northwind.example/start.html"},
    {"QVUserGuideURL", "http://voice.northwind.example/manual/index.html"},
    {"QVBugReportURL", "mailto:feedback@northwind.example"},
    {"AdDownloadURL", "http://ads.northwind.example/list.txt"},
    {"DisplayPartnerLogo", "1"},
    {"PartnerLogoDownloadURL", "http://voice.northwind.example/logo.bmp"},
    {"LoginDLLDownloadURL", "http://voice.northwind.example/login.dll"},
    {"LoginDLLVersion", "4"},
    {"DisableLoginDLL", "0"},
    {"LXName", "Northwind on the Web"},
    {"LXBrowserTitle", "Northwind Voice Browser"},
    {"LXEnableLabel", "Turn on"},
    {"LXMainURL", "http://voice.northwind.example/tour/"},
    {"EnableModifyNickName", "1"},
    {"EnableModifyCompany", "0"},
    {"EnableModifyFirstName", "1"},
    {"EnableModifyLastName", "1"},
    {"EnableModifyEmail", "0"},
    {"EnableModifyComment", "1"},
    {"EnableModifyHideEmail", "1"},
    {"EnableModifyAllowSpam", "0"},
};

std::string FullReply() {
    std::string reply = "Success\xFF";
    for (const auto& [key, value] : kFullReply) {
        reply += key + "=" + value + '\xFF';
    }
    return reply;
}

std::string FullReplyValue(const std::string& key) {
    for (const auto& [k, value] : kFullReply) {
        if (k == key) {
            return value;
        }
    }
    ADD_FAILURE() << "no " << key << " in the reply";
    return {};
}

TEST_F(CustomizationUpdate, FullPartnerReply) {
    StoreVersion3();
    Customization c(Path(), DemoPath());
    ASSERT_TRUE(c.Update(FullReply()));

    const V& v = c.Get();
    EXPECT_EQ(v.version, 12);
    for (const IntField& f : kIntFields) {
        EXPECT_EQ(v.*f.field, std::stoi(FullReplyValue(f.key))) << f.key;
        EXPECT_EQ(file_.GetString(f.section, f.key, kMissing), FullReplyValue(f.key)) << f.key;
    }
    for (const TextField& f : kTextFields) {
        EXPECT_EQ(v.*f.field, FullReplyValue(f.key)) << f.key;
        EXPECT_EQ(file_.GetString(f.section, f.key, kMissing), FullReplyValue(f.key)) << f.key;
    }
    EXPECT_EQ(file_.GetString("Local", "Note", kMissing), kMissing);

    // The same reply again: already applied.
    const std::string after = Bytes();
    EXPECT_FALSE(c.Update(FullReply()));
    EXPECT_EQ(Bytes(), after);

    // And the next start reads the same.
    const Customization next(Path(), DemoPath());
    EXPECT_EQ(next.Get().imToolTipLabel, "Page this member");
    EXPECT_EQ(next.Get().enableModifyComment, 1);
}

}  // namespace
}  // namespace qv
