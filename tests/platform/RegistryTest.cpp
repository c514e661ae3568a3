#include "platform/Registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

namespace qv {
namespace {

// "<anything>.corrupt-YYYYMMDD-HHMMSS"
bool IsCorruptStamp(const std::string& name) {
    const std::string tag = ".corrupt-";
    std::size_t at = name.rfind(tag);
    if (at == std::string::npos) {
        return false;
    }
    const std::string stamp = name.substr(at + tag.size());
    if (stamp.size() != 15 || stamp[8] != '-') {
        return false;
    }
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        if (i != 8 && !std::isdigit(static_cast<unsigned char>(stamp[i]))) {
            return false;
        }
    }
    return true;
}

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace fs = std::filesystem;

constexpr Hive kAllHives[] = {Hive::CurrentUser, Hive::LocalMachine, Hive::ClassesRoot};

std::string AllBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) {
        s += static_cast<char>(i);
    }
    return s;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return s;
}

std::string Describe(const RegistryValue& v) {
    switch (v.type) {
        case RegistryValueType::Dword:
            return "dword " + std::to_string(v.dword);
        case RegistryValueType::String:
            return "string[" + std::to_string(v.data.size()) + "] " + v.data;
        case RegistryValueType::Binary:
            return "binary[" + std::to_string(v.data.size()) + "] " + v.data;
    }
    return "?";
}

// Everything in a hive, read through the public interface, as "path|name" -> value, plus the
// listing order of every key's subkeys and values.
std::map<std::string, std::string> Dump(const Registry& reg, Hive hive) {
    std::map<std::string, std::string> out;
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
        std::string path = pending.back();
        pending.pop_back();
        std::string order;
        for (const std::string& name : reg.ValueNames(hive, path)) {
            std::optional<RegistryValue> v = reg.GetValue(hive, path, name);
            out[path + "|" + name] = v ? Describe(*v) : "missing";
            order += name + "/";
        }
        out[path + "|<values>"] = order;
        order.clear();
        for (const std::string& sub : reg.SubkeyNames(hive, path)) {
            pending.push_back(path.empty() ? sub : path + "\\" + sub);
            order += sub + "/";
        }
        out[path + "|<subkeys>"] = order;
    }
    return out;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> CorruptCopies(const std::string& folder, const std::string& hiveFile) {
    std::vector<std::string> names;
    for (const std::string& name : FilesIn(folder)) {
        if (name.rfind(hiveFile + ".corrupt-", 0) == 0) {
            names.push_back(name);
        }
    }
    return names;
}

// A valid current-user file; the malformed cases below each break one thing in it.
const std::string kValidFile =
    "QUORVANE-REGISTRY 1\n"
    "\n"
    "[HKEY_CURRENT_USER]\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software]\n"
    "\"Text\"=\"a\\\\b\\\"c\\x00\\xff\"\n"
    "\"Count\"=dword:0000002a\n"
    "\"Blob\"=hex:00,01,ff\n"
    "@=\"default\"\n"
    "END\n";

TEST(RegistryTest, KeysAndValuesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    test::TempFolder tmp;
    {
        Registry reg(tmp.Path());
        ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "Software\\Quorvane"));
        EXPECT_TRUE(reg.KeyExists(Hive::CurrentUser, "SOFTWARE\\quorvane"));
        ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "software\\QUORVANE\\Audio"));
        EXPECT_THAT(reg.SubkeyNames(Hive::CurrentUser, ""), ElementsAre("Software"));
        EXPECT_THAT(reg.SubkeyNames(Hive::CurrentUser, "SOFTWARE"), ElementsAre("Quorvane"));

        ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "Software\\Quorvane", "MicVolume",
                                 RegistryValue::Dword(10)));
        ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "software\\quorvane", "MICVOLUME",
                                 RegistryValue::Dword(20)));
        EXPECT_THAT(reg.ValueNames(Hive::CurrentUser, "Software\\Quorvane"),
                    ElementsAre("MicVolume"));
        EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "SOFTWARE\\QUORVANE", "micvolume"),
                  RegistryValue::Dword(20));
    }
    Registry again(tmp.Path());
    EXPECT_THAT(again.SubkeyNames(Hive::CurrentUser, "software"), ElementsAre("Quorvane"));
    EXPECT_THAT(again.ValueNames(Hive::CurrentUser, "Software\\Quorvane"),
                ElementsAre("MicVolume"));
    EXPECT_EQ(again.GetValue(Hive::CurrentUser, "software\\quorvane", "Micvolume"),
              RegistryValue::Dword(20));
}

TEST(RegistryTest, CaseFoldingIsAsciiOnly) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "\xc3\x84"));   // "Ä" in UTF-8
    EXPECT_FALSE(reg.KeyExists(Hive::CurrentUser, "\xc3\xa4"));  // "ä"
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "", "[", RegistryValue::Dword(1)));
    EXPECT_FALSE(reg.GetValue(Hive::CurrentUser, "", "{"));  // '[' + 32, not a letter
}

TEST(RegistryTest, ExtraBackslashesInPathsAreIgnored) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "\\\\a\\\\\\b\\"));
    EXPECT_THAT(reg.SubkeyNames(Hive::CurrentUser, ""), ElementsAre("a"));
    EXPECT_THAT(reg.SubkeyNames(Hive::CurrentUser, "a"), ElementsAre("b"));
    EXPECT_TRUE(reg.KeyExists(Hive::CurrentUser, "a\\b"));
    EXPECT_TRUE(reg.KeyExists(Hive::CurrentUser, "\\a\\\\b\\\\"));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "\\A\\B\\", "v", RegistryValue::Dword(3)));
    EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "a\\\\b", "v"), RegistryValue::Dword(3));
    EXPECT_TRUE(reg.DeleteKey(Hive::CurrentUser, "\\a\\b\\"));
    EXPECT_FALSE(reg.KeyExists(Hive::CurrentUser, "a\\b"));
}

TEST(RegistryTest, RootAlwaysExistsCannotBeDeletedAndHoldsValues) {
    test::TempFolder tmp;
    {
        Registry reg(tmp.Path());
        for (Hive hive : kAllHives) {
            EXPECT_TRUE(reg.KeyExists(hive, ""));
            EXPECT_TRUE(reg.KeyExists(hive, "\\\\"));
            EXPECT_TRUE(reg.CreateKey(hive, ""));
            EXPECT_FALSE(reg.DeleteKey(hive, ""));
            EXPECT_FALSE(reg.DeleteKey(hive, "\\"));
        }
        ASSERT_TRUE(reg.SetValue(Hive::LocalMachine, "", "AtRoot", RegistryValue::String("r")));
    }
    Registry again(tmp.Path());
    EXPECT_EQ(again.GetValue(Hive::LocalMachine, "\\", "atroot"), RegistryValue::String("r"));
}

TEST(RegistryTest, EmptyNameIsTheDefaultValueDistinctFromAnAtSign) {
    test::TempFolder tmp;
    {
        Registry reg(tmp.Path());
        ASSERT_TRUE(reg.CreateKey(Hive::ClassesRoot, ".qvn"));
        ASSERT_TRUE(reg.SetValue(Hive::ClassesRoot, ".qvn", "", RegistryValue::String("Doc")));
        ASSERT_TRUE(reg.SetValue(Hive::ClassesRoot, ".qvn", "@", RegistryValue::String("at")));
        ASSERT_TRUE(reg.SetValue(Hive::ClassesRoot, ".qvn", "\"\"", RegistryValue::Dword(1)));
    }
    Registry again(tmp.Path());
    EXPECT_THAT(again.ValueNames(Hive::ClassesRoot, ".qvn"), ElementsAre("", "@", "\"\""));
    EXPECT_EQ(again.GetValue(Hive::ClassesRoot, ".qvn", ""), RegistryValue::String("Doc"));
    EXPECT_EQ(again.GetValue(Hive::ClassesRoot, ".qvn", "@"), RegistryValue::String("at"));
    EXPECT_EQ(again.GetValue(Hive::ClassesRoot, ".qvn", "\"\""), RegistryValue::Dword(1));
    EXPECT_TRUE(again.DeleteValue(Hive::ClassesRoot, ".qvn", ""));
    EXPECT_FALSE(again.GetValue(Hive::ClassesRoot, ".qvn", ""));
    EXPECT_TRUE(again.GetValue(Hive::ClassesRoot, ".qvn", "@"));
}

TEST(RegistryTest, TypedValuesWithHostileBytesSurviveARestart) {
    const std::string hostileKey = std::string("k\0ey", 4) + " [x] %41 \"q\" \xff\r\n\t%";
    const std::string path = "Software\\" + hostileKey + "\\ \\]";
    const std::vector<std::pair<std::string, RegistryValue>> values = {
        {"dword zero", RegistryValue::Dword(0)},
        {"dword max", RegistryValue::Dword(0xFFFFFFFFu)},
        {"dword 42", RegistryValue::Dword(42)},
        {"empty string", RegistryValue::String("")},
        {"all bytes string", RegistryValue::String(AllBytes())},
        {"hostile string", RegistryValue::String(std::string("\0\xff\r\n\"\\\\x41\\\"", 11))},
        {"looks like syntax", RegistryValue::String("\"=dword:00000001\n[HKEY_CURRENT_USER]\nEND")},
        {"empty binary", RegistryValue::Binary("")},
        {"all bytes binary", RegistryValue::Binary(AllBytes())},
        {"large binary", RegistryValue::Binary(RandomBytes(300000, 7))},
        {"large string", RegistryValue::String(RandomBytes(300000, 8))},
        {std::string("name\0with nul", 13), RegistryValue::String("n")},
        {"name \"quoted\" \\ \xff\n", RegistryValue::Binary(std::string(1, '\0'))},
        {"=", RegistryValue::Dword(7)},
    };
    test::TempFolder tmp;
    {
        Registry reg(tmp.Path());
        ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, path));
        for (const auto& [name, value] : values) {
            ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, path, name, value)) << name;
        }
    }
    Registry again(tmp.Path());
    EXPECT_THAT(again.LoadProblems(), IsEmpty());
    EXPECT_THAT(again.SubkeyNames(Hive::CurrentUser, "Software"), ElementsAre(hostileKey));
    EXPECT_THAT(again.SubkeyNames(Hive::CurrentUser, "Software\\" + hostileKey), ElementsAre(" "));
    EXPECT_THAT(again.SubkeyNames(Hive::CurrentUser, "Software\\" + hostileKey + "\\ "),
                ElementsAre("]"));
    std::vector<std::string> expectedNames;
    for (const auto& [name, value] : values) {
        expectedNames.push_back(name);
        std::optional<RegistryValue> got = again.GetValue(Hive::CurrentUser, path, name);
        ASSERT_TRUE(got) << name;
        EXPECT_TRUE(*got == value) << name;
    }
    EXPECT_EQ(again.ValueNames(Hive::CurrentUser, path), expectedNames);
}

TEST(RegistryTest, FileIsPrintableAsciiWithKeysInTreeOrder) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "a"));
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "b"));
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "a\\c"));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "a\\c", "Volume", RegistryValue::Dword(42)));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "b", "Nick", RegistryValue::String("x\ny")));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "b", "", RegistryValue::Binary("\x01\xfe")));

    const std::string file = tmp.Read("HKEY_CURRENT_USER.reg");
    EXPECT_EQ(file.rfind("QUORVANE-REGISTRY 1\n", 0), 0u);
    for (char c : file) {
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << static_cast<int>(c);
    }
    const std::size_t a = file.find("\n[HKEY_CURRENT_USER\\a]\n");
    const std::size_t ac = file.find("\n[HKEY_CURRENT_USER\\a\\c]\n");
    const std::size_t b = file.find("\n[HKEY_CURRENT_USER\\b]\n");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(ac, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    EXPECT_LT(a, ac);
    EXPECT_LT(ac, b);
    EXPECT_THAT(file, HasSubstr("\n\"Volume\"=dword:0000002a\n"));
    EXPECT_THAT(file, HasSubstr("\n\"Nick\"=\"x\\x0ay\"\n"));
    EXPECT_THAT(file, HasSubstr("\n@=hex:01,fe\n"));
}

TEST(RegistryTest, ListsFollowCreationOrderAcrossARestart) {
    test::TempFolder tmp;
    {
        Registry reg(tmp.Path());
        for (const char* name : {"zeta", "Alpha", "mid", "beta"}) {
            ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, std::string("k\\") + name));
            ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "k", name, RegistryValue::Dword(1)));
        }
        // Deleting and recreating moves a name to the end; overwriting keeps its place.
        ASSERT_TRUE(reg.DeleteKey(Hive::CurrentUser, "k\\alpha"));
        ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "k\\ALPHA"));
        ASSERT_TRUE(reg.DeleteValue(Hive::CurrentUser, "k", "MID"));
        ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "k", "Mid", RegistryValue::Dword(2)));
        ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "k", "ZETA", RegistryValue::Dword(3)));
    }
    Registry again(tmp.Path());
    EXPECT_THAT(again.SubkeyNames(Hive::CurrentUser, "k"),
                ElementsAre("zeta", "mid", "beta", "ALPHA"));
    EXPECT_THAT(again.ValueNames(Hive::CurrentUser, "k"),
                ElementsAre("zeta", "Alpha", "beta", "Mid"));
    EXPECT_EQ(again.GetValue(Hive::CurrentUser, "k", "zeta"), RegistryValue::Dword(3));
}

TEST(RegistryTest, DeleteKeyRefusesAKeyWithSubkeysThenSucceedsBottomUp) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "a\\b\\c"));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "a\\b", "v", RegistryValue::String("x")));

    EXPECT_FALSE(reg.DeleteKey(Hive::CurrentUser, "a"));
    EXPECT_FALSE(reg.DeleteKey(Hive::CurrentUser, "a\\b"));
    EXPECT_TRUE(reg.KeyExists(Hive::CurrentUser, "a\\b\\c"));
    EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "a\\b", "v"), RegistryValue::String("x"));

    EXPECT_TRUE(reg.DeleteKey(Hive::CurrentUser, "A\\B\\C"));
    EXPECT_TRUE(reg.DeleteKey(Hive::CurrentUser, "a\\b"));
    EXPECT_FALSE(reg.GetValue(Hive::CurrentUser, "a\\b", "v"));
    EXPECT_FALSE(reg.DeleteKey(Hive::CurrentUser, "a\\b"));
    EXPECT_FALSE(reg.DeleteKey(Hive::CurrentUser, "a\\b\\c"));

    // A recreated key starts without the values of the deleted one.
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "a\\b"));
    EXPECT_THAT(reg.ValueNames(Hive::CurrentUser, "a\\b"), IsEmpty());
    EXPECT_TRUE(reg.DeleteKey(Hive::CurrentUser, "a\\b"));
    EXPECT_TRUE(reg.DeleteKey(Hive::CurrentUser, "a"));
    EXPECT_FALSE(reg.DeleteKey(Hive::CurrentUser, "a"));

    Registry again(tmp.Path());
    EXPECT_THAT(again.SubkeyNames(Hive::CurrentUser, ""), IsEmpty());
}

TEST(RegistryTest, MissingKeysAndValuesAreRefusedWithoutSideEffects) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    EXPECT_FALSE(reg.SetValue(Hive::CurrentUser, "nope", "v", RegistryValue::Dword(1)));
    EXPECT_FALSE(reg.KeyExists(Hive::CurrentUser, "nope"));
    EXPECT_FALSE(reg.GetValue(Hive::CurrentUser, "nope", "v"));
    EXPECT_THAT(reg.ValueNames(Hive::CurrentUser, "nope"), IsEmpty());
    EXPECT_THAT(reg.SubkeyNames(Hive::CurrentUser, "nope"), IsEmpty());
    EXPECT_FALSE(reg.DeleteKey(Hive::CurrentUser, "nope\\deeper"));

    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "k"));
    EXPECT_FALSE(reg.DeleteValue(Hive::CurrentUser, "k", "v"));
    EXPECT_FALSE(reg.DeleteValue(Hive::CurrentUser, "nope", "v"));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "k", "v", RegistryValue::Dword(1)));
    EXPECT_TRUE(reg.DeleteValue(Hive::CurrentUser, "k", "V"));
    EXPECT_FALSE(reg.DeleteValue(Hive::CurrentUser, "k", "v"));
    EXPECT_FALSE(reg.GetValue(Hive::CurrentUser, "k", "v"));
}

TEST(RegistryTest, ValueTypeChangesAndCopiesAreIndependent) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "k"));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "k", "v", RegistryValue::String("text")));
    std::optional<RegistryValue> copy = reg.GetValue(Hive::CurrentUser, "k", "v");
    ASSERT_TRUE(copy);
    copy->data = "changed";
    EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "k", "v"), RegistryValue::String("text"));

    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "k", "v", RegistryValue::Binary("bin")));
    EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "k", "v"), RegistryValue::Binary("bin"));
    // A Dword carrying stray bytes reads back the same before and after a restart.
    RegistryValue odd = RegistryValue::Dword(5);
    odd.data = "stray";
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "k", "v", odd));
    EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "k", "v"), RegistryValue::Dword(5));
    Registry again(tmp.Path());
    EXPECT_EQ(again.GetValue(Hive::CurrentUser, "k", "v"), RegistryValue::Dword(5));
}

TEST(RegistryTest, HivesAreIndependent) {
    test::TempFolder tmp;
    {
        Registry reg(tmp.Path());
        EXPECT_EQ(reg.HiveFile(Hive::CurrentUser), tmp.File("HKEY_CURRENT_USER.reg"));
        EXPECT_EQ(reg.HiveFile(Hive::LocalMachine), tmp.File("HKEY_LOCAL_MACHINE.reg"));
        EXPECT_EQ(reg.HiveFile(Hive::ClassesRoot), tmp.File("HKEY_CLASSES_ROOT.reg"));

        ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "Software\\Quorvane"));
        ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "Software\\Quorvane", "Who",
                                 RegistryValue::String("user")));
        EXPECT_FALSE(reg.KeyExists(Hive::LocalMachine, "Software"));
        EXPECT_FALSE(reg.KeyExists(Hive::ClassesRoot, "Software"));
        EXPECT_FALSE(
            reg.SetValue(Hive::LocalMachine, "Software\\Quorvane", "Who", RegistryValue::Dword(1)));
        // Only the changed hive has a file so far.
        EXPECT_THAT(FilesIn(tmp.Path()), ElementsAre("HKEY_CURRENT_USER.reg"));

        ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, "SOFTWARE\\Quorvane"));
        ASSERT_TRUE(reg.SetValue(Hive::LocalMachine, "Software\\Quorvane", "Who",
                                 RegistryValue::String("machine")));
        ASSERT_TRUE(reg.CreateKey(Hive::ClassesRoot, "Software"));
        EXPECT_TRUE(reg.DeleteKey(Hive::ClassesRoot, "Software"));
        EXPECT_TRUE(reg.KeyExists(Hive::CurrentUser, "Software"));
    }
    Registry again(tmp.Path());
    EXPECT_EQ(again.GetValue(Hive::CurrentUser, "Software\\Quorvane", "Who"),
              RegistryValue::String("user"));
    EXPECT_EQ(again.GetValue(Hive::LocalMachine, "Software\\Quorvane", "Who"),
              RegistryValue::String("machine"));
    EXPECT_THAT(again.SubkeyNames(Hive::LocalMachine, ""), ElementsAre("SOFTWARE"));
    EXPECT_THAT(again.SubkeyNames(Hive::ClassesRoot, ""), IsEmpty());
}

TEST(RegistryTest, EveryChangeIsOnDiskAtOnce) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    auto reloaded = [&] { return Dump(Registry(tmp.Path()), Hive::CurrentUser); };

    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "a\\b"));
    EXPECT_EQ(reloaded(), Dump(reg, Hive::CurrentUser));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "a", "v", RegistryValue::Dword(1)));
    EXPECT_EQ(reloaded(), Dump(reg, Hive::CurrentUser));
    ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "a", "V", RegistryValue::String("2")));
    EXPECT_EQ(reloaded(), Dump(reg, Hive::CurrentUser));
    ASSERT_TRUE(reg.DeleteValue(Hive::CurrentUser, "a", "v"));
    EXPECT_EQ(reloaded(), Dump(reg, Hive::CurrentUser));
    ASSERT_TRUE(reg.DeleteKey(Hive::CurrentUser, "a\\b"));
    EXPECT_EQ(reloaded(), Dump(reg, Hive::CurrentUser));
    EXPECT_THAT(Registry(tmp.Path()).SubkeyNames(Hive::CurrentUser, "a"), IsEmpty());
}

TEST(RegistryTest, MissingFolderIsCreated) {
    test::TempFolder tmp;
    const std::string folder = tmp.File("deep/er/reg");
    {
        Registry reg(folder);
        EXPECT_THAT(reg.LoadProblems(), IsEmpty());
        EXPECT_TRUE(fs::is_directory(folder));
        ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "k"));
    }
    EXPECT_TRUE(Registry(folder).KeyExists(Hive::CurrentUser, "k"));
}

TEST(RegistryTest, UncreatableFolderIsReportedAndSavesFail) {
    test::TempFolder tmp;
    const std::string blocker = tmp.Write("plain-file", "not a folder");
    const std::string folder = blocker + "/reg";
    Registry reg(folder);
    ASSERT_EQ(reg.LoadProblems().size(), 1u);
    EXPECT_THAT(reg.LoadProblems()[0], HasSubstr(folder));
    // Changes still hold for this session, but report that they were not saved.
    EXPECT_FALSE(reg.CreateKey(Hive::CurrentUser, "k"));
    EXPECT_TRUE(reg.KeyExists(Hive::CurrentUser, "k"));
    EXPECT_FALSE(reg.SetValue(Hive::CurrentUser, "k", "v", RegistryValue::Dword(1)));
    EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "k", "v"), RegistryValue::Dword(1));
    EXPECT_EQ(tmp.Read("plain-file"), "not a folder");
}

TEST(RegistryTest, FailedSaveKeepsTheChangeAndTheNextSaveCatchesUp) {
    test::TempFolder tmp;
    const std::string folder = tmp.File("reg");
    Registry reg(folder);
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "k"));

    fs::remove_all(folder);
    tmp.Write("reg", "now a file");
    EXPECT_FALSE(reg.SetValue(Hive::CurrentUser, "k", "v", RegistryValue::Dword(1)));
    EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "k", "v"), RegistryValue::Dword(1));
    EXPECT_FALSE(reg.CreateKey(Hive::CurrentUser, "k"));

    fs::remove(folder);
    fs::create_directory(folder);
    // Nothing new to create, but the unsaved state is written now.
    EXPECT_TRUE(reg.CreateKey(Hive::CurrentUser, "k"));
    Registry again(folder);
    EXPECT_EQ(again.GetValue(Hive::CurrentUser, "k", "v"), RegistryValue::Dword(1));
}

TEST(RegistryTest, CorruptFileIsSetAsideWithItsExactBytes) {
    test::TempFolder tmp;
    {
        Registry reg(tmp.Path());
        ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, "kept"));
    }
    const std::string garbage =
        std::string("QUORVANE-REGISTRY 1\n[HKEY_CURRENT_USER]\n\"a\"=\"\\q\"", 48) +
        std::string("\0\xff\r\n", 4) + "END\n";
    tmp.Write("HKEY_CURRENT_USER.reg", garbage);
    {
        Registry reg(tmp.Path());
        std::vector<std::string> aside = CorruptCopies(tmp.Path(), "HKEY_CURRENT_USER.reg");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_TRUE(IsCorruptStamp(aside[0])) << aside[0];
        EXPECT_EQ(tmp.Read(aside[0]), garbage);
        EXPECT_FALSE(fs::exists(reg.HiveFile(Hive::CurrentUser)));

        ASSERT_EQ(reg.LoadProblems().size(), 1u);
        EXPECT_THAT(reg.LoadProblems()[0], HasSubstr(reg.HiveFile(Hive::CurrentUser)));
        EXPECT_THAT(reg.LoadProblems()[0], HasSubstr(tmp.File(aside[0])));

        EXPECT_THAT(reg.SubkeyNames(Hive::CurrentUser, ""), IsEmpty());
        EXPECT_THAT(reg.ValueNames(Hive::CurrentUser, ""), IsEmpty());
        EXPECT_TRUE(reg.KeyExists(Hive::LocalMachine, "kept"));

        ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "fresh"));
        ASSERT_TRUE(reg.SetValue(Hive::CurrentUser, "fresh", "v", RegistryValue::Dword(9)));
    }
    Registry again(tmp.Path());
    EXPECT_THAT(again.LoadProblems(), IsEmpty());
    EXPECT_EQ(again.GetValue(Hive::CurrentUser, "fresh", "v"), RegistryValue::Dword(9));
    std::vector<std::string> aside = CorruptCopies(tmp.Path(), "HKEY_CURRENT_USER.reg");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(tmp.Read(aside[0]), garbage);
}

TEST(RegistryTest, SetAsideNeverOverwritesAnEarlierCopy) {
    test::TempFolder tmp;
    // Occupy the names for the next few seconds so the counter has to be used.
    std::vector<std::string> occupied;
    std::time_t now = std::time(nullptr);
    for (int i = 0; i < 3; ++i) {
        std::time_t t = now + i;
        std::tm local{};
        ASSERT_NE(::localtime_r(&t, &local), nullptr);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        occupied.push_back(std::string("HKEY_CLASSES_ROOT.reg.corrupt-") + stamp);
        tmp.Write(occupied.back(), "older copy " + std::to_string(i));
    }
    for (int round = 0; round < 3; ++round) {
        tmp.Write("HKEY_CLASSES_ROOT.reg", "garbage " + std::to_string(round));
        Registry reg(tmp.Path());
        EXPECT_EQ(reg.LoadProblems().size(), 1u);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tmp.Read(occupied[i]), "older copy " + std::to_string(i));
    }
    std::vector<std::string> aside = CorruptCopies(tmp.Path(), "HKEY_CLASSES_ROOT.reg");
    ASSERT_EQ(aside.size(), 6u);
    std::vector<std::string> contents;
    for (const std::string& name : aside) {
        contents.push_back(tmp.Read(name));
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_THAT(contents, ElementsAre("garbage 0", "garbage 1", "garbage 2", "older copy 0",
                                      "older copy 1", "older copy 2"));
}

TEST(RegistryTest, HiveFileThatIsNotAFileIsLeftAloneAndNotSaved) {
    test::TempFolder tmp;
    tmp.Write("HKEY_CURRENT_USER.reg/inside", "keep me");
    Registry reg(tmp.Path());
    ASSERT_EQ(reg.LoadProblems().size(), 1u);
    EXPECT_THAT(reg.LoadProblems()[0], HasSubstr(reg.HiveFile(Hive::CurrentUser)));
    EXPECT_FALSE(reg.CreateKey(Hive::CurrentUser, "k"));
    EXPECT_TRUE(reg.KeyExists(Hive::CurrentUser, "k"));
    EXPECT_EQ(tmp.Read("HKEY_CURRENT_USER.reg/inside"), "keep me");
    EXPECT_TRUE(reg.CreateKey(Hive::LocalMachine, "k"));
}

TEST(RegistryTest, MalformedFilesAreAllCorrupt) {
    auto replaced = [](const std::string& from, const std::string& to) {
        std::string s = kValidFile;
        std::size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    std::string deep = "QUORVANE-REGISTRY 1\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 600; ++i) {
        deep += "\\k";
    }
    deep += "]\nEND\n";

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"wrong header", replaced("QUORVANE-REGISTRY 1", "REGEDIT4")},
        {"newer version", replaced("QUORVANE-REGISTRY 1", "QUORVANE-REGISTRY 2")},
        {"header with trailing text", replaced("QUORVANE-REGISTRY 1", "QUORVANE-REGISTRY 1 x")},
        {"blank first line", "\n" + kValidFile},
        {"no END", replaced("END\n", "")},
        {"cut off in a string", kValidFile.substr(0, kValidFile.find("\\x00"))},
        {"cut off in hex bytes", kValidFile.substr(0, kValidFile.find("1,ff"))},
        {"cut off in a key line", kValidFile.substr(0, kValidFile.find("Software]"))},
        {"text after END", kValidFile + "\"x\"=dword:00000001\n"},
        {"unknown escape", replaced("\\x00", "\\q")},
        {"short hex escape", replaced("\\x00\\xff\"", "\\x0\"")},
        {"non-hex escape", replaced("\\x00", "\\xzz")},
        {"backslash at line end", replaced("\\xff\"\n", "\\xff\\\n")},
        {"unescaped quote", replaced("a\\\\b", "a\"b")},
        {"text after a string", replaced("\\xff\"", "\\xff\"x")},
        {"raw NUL", replaced("a\\\\b", std::string("a\0b", 3))},
        {"raw 0xFF", replaced("a\\\\b",
                              "a\xff"
                              "b")},
        {"raw tab", replaced("a\\\\b", "a\tb")},
        {"lone CR mid line", replaced("a\\\\b", "a\rb")},
        {"short dword", replaced("dword:0000002a", "dword:2a")},
        {"long dword", replaced("dword:0000002a", "dword:00000002a")},
        {"non-hex dword", replaced("dword:0000002a", "dword:0000002g")},
        {"signed dword", replaced("dword:0000002a", "dword:-000002a")},
        {"hex trailing comma", replaced("hex:00,01,ff", "hex:00,01,ff,")},
        {"hex odd digit", replaced("hex:00,01,ff", "hex:00,01,f")},
        {"hex three digits", replaced("hex:00,01,ff", "hex:00,011,ff")},
        {"hex with spaces", replaced("hex:00,01,ff", "hex:00, 01,ff")},
        {"hex non-digit", replaced("hex:00,01,ff", "hex:00,0g,ff")},
        {"unknown type", replaced("dword:0000002a", "qword:000000000000002a")},
        {"bare data", replaced("dword:0000002a", "42")},
        {"missing =", replaced("\"Count\"=", "\"Count\"")},
        {"unterminated name", replaced("\"Count\"=", "\"Count=")},
        {"default as empty quotes", replaced("@=", "\"\"=")},
        {"duplicate value", replaced("\"Count\"", "\"TEXT\"")},
        {"duplicate default", replaced("@=\"default\"", "@=\"default\"\n@=\"again\"")},
        {"duplicate key",
         kValidFile.substr(0, kValidFile.size() - 4) + "[HKEY_CURRENT_USER\\SOFTWARE]\nEND\n"},
        {"value before any key", replaced("\n[HKEY_CURRENT_USER]\n", "\n\"x\"=dword:00000001\n")},
        {"other hive", replaced("[HKEY_CURRENT_USER\\", "[HKEY_LOCAL_MACHINE\\")},
        {"hive name prefix only", replaced("[HKEY_CURRENT_USER\\", "[HKEY_CURRENT_USERX\\")},
        {"empty key component", replaced("USER\\Software]", "USER\\\\Software]")},
        {"trailing backslash", replaced("Software]", "Software\\]")},
        {"unclosed key", replaced("Software]", "Software")},
        {"bad percent escape", replaced("Software]", "Soft%g0ware]")},
        {"short percent escape", replaced("Software]", "Software%4]")},
        {"escaped backslash in key", replaced("Software]", "Soft%5cware]")},
        {"stray line", replaced("\n\n[HKEY_CURRENT_USER]", "\nhello\n[HKEY_CURRENT_USER]")},
        {"indented value", replaced("\"Count\"", " \"Count\"")},
        {"too deep", deep},
        {"only NULs", std::string(64, '\0')},
        {"only a newline", "\n"},
        {"random bytes", RandomBytes(4096, 1)},
        {"valid file after random bytes", RandomBytes(100, 2) + kValidFile},
    };

    {
        // The base file itself is fine, so each case fails for its own defect.
        test::TempFolder tmp;
        tmp.Write("HKEY_CURRENT_USER.reg", kValidFile);
        Registry reg(tmp.Path());
        EXPECT_THAT(reg.LoadProblems(), IsEmpty());
        EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "software", "text"),
                  RegistryValue::String(std::string("a\\b\"c\0\xff", 7)));
        EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "software", "count"), RegistryValue::Dword(42));
        EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "software", "blob"),
                  RegistryValue::Binary(std::string("\0\x01\xff", 3)));
        EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "software", ""),
                  RegistryValue::String("default"));
    }
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        test::TempFolder tmp;
        tmp.Write("HKEY_CURRENT_USER.reg", bytes);
        Registry reg(tmp.Path());
        EXPECT_EQ(reg.LoadProblems().size(), 1u);
        EXPECT_THAT(reg.SubkeyNames(Hive::CurrentUser, ""), IsEmpty());
        EXPECT_THAT(reg.ValueNames(Hive::CurrentUser, ""), IsEmpty());
        std::vector<std::string> aside = CorruptCopies(tmp.Path(), "HKEY_CURRENT_USER.reg");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_TRUE(tmp.Read(aside[0]) == bytes);
    }
}

TEST(RegistryTest, HandWrittenFileWithWindowsLineEndsLoads) {
    test::TempFolder tmp;
    tmp.Write("HKEY_LOCAL_MACHINE.reg",
              "QUORVANE-REGISTRY 1\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Quorvane]\r\n"
              "\"Port\"=dword:0000FFFF\r\n"
              "\"Key\"=hex:DE,AD\r\n"
              "\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software]\r\n"
              "\"Name\"=\"x%41\"\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\%41%25b]\r\n"
              "END");
    Registry reg(tmp.Path());
    EXPECT_THAT(reg.LoadProblems(), IsEmpty());
    EXPECT_EQ(reg.GetValue(Hive::LocalMachine, "software\\quorvane", "port"),
              RegistryValue::Dword(0xFFFF));
    EXPECT_EQ(reg.GetValue(Hive::LocalMachine, "software\\quorvane", "key"),
              RegistryValue::Binary("\xde\xad"));
    EXPECT_EQ(reg.GetValue(Hive::LocalMachine, "software", "name"), RegistryValue::String("x%41"));
    EXPECT_THAT(reg.SubkeyNames(Hive::LocalMachine, ""), ElementsAre("Software", "A%b"));
    EXPECT_THAT(reg.SubkeyNames(Hive::LocalMachine, "Software"), ElementsAre("Quorvane"));
}

TEST(RegistryTest, EmptyFileIsAnEmptyHive) {
    test::TempFolder tmp;
    tmp.Write("HKEY_CURRENT_USER.reg", "");
    {
        Registry reg(tmp.Path());
        EXPECT_THAT(reg.LoadProblems(), IsEmpty());
        EXPECT_THAT(CorruptCopies(tmp.Path(), "HKEY_CURRENT_USER.reg"), IsEmpty());
        EXPECT_THAT(reg.SubkeyNames(Hive::CurrentUser, ""), IsEmpty());
        ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "k"));
    }
    EXPECT_TRUE(Registry(tmp.Path()).KeyExists(Hive::CurrentUser, "k"));
}

TEST(RegistryTest, TenMegabyteGarbageFileIsSetAsideIntact) {
    test::TempFolder tmp;
    const std::string garbage = RandomBytes(10u * 1024u * 1024u, 3);
    tmp.Write("HKEY_LOCAL_MACHINE.reg", garbage);
    Registry reg(tmp.Path());
    EXPECT_EQ(reg.LoadProblems().size(), 1u);
    std::vector<std::string> aside = CorruptCopies(tmp.Path(), "HKEY_LOCAL_MACHINE.reg");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_TRUE(tmp.Read(aside[0]) == garbage);
    EXPECT_TRUE(reg.CreateKey(Hive::LocalMachine, "k"));
}

TEST(RegistryTest, LargeValidFileLoadsQuickly) {
    test::TempFolder tmp;
    std::string file = "QUORVANE-REGISTRY 1\n[HKEY_CURRENT_USER]\n";
    for (int i = 0; i < 100000; ++i) {
        file += "\"v" + std::to_string(i) + "\"=dword:00000001\n";
    }
    for (int i = 0; i < 20000; ++i) {
        file += "[HKEY_CURRENT_USER\\k" + std::to_string(i) + "]\n";
    }
    file += "END\n";
    tmp.Write("HKEY_CURRENT_USER.reg", file);
    Registry reg(tmp.Path());
    EXPECT_THAT(reg.LoadProblems(), IsEmpty());
    EXPECT_EQ(reg.ValueNames(Hive::CurrentUser, "").size(), 100000u);
    EXPECT_EQ(reg.SubkeyNames(Hive::CurrentUser, "").size(), 20000u);
    EXPECT_EQ(reg.GetValue(Hive::CurrentUser, "", "V99999"), RegistryValue::Dword(1));
}

TEST(RegistryTest, NoTemporaryFileRemainsAfterWrites) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    for (int i = 0; i < 20; ++i) {
        for (Hive hive : kAllHives) {
            const std::string key = "k" + std::to_string(i);
            ASSERT_TRUE(reg.CreateKey(hive, key));
            ASSERT_TRUE(reg.SetValue(hive, key, "v", RegistryValue::Binary(RandomBytes(100, i))));
            if (i % 2 == 0) {
                ASSERT_TRUE(reg.DeleteValue(hive, key, "v"));
                ASSERT_TRUE(reg.DeleteKey(hive, key));
            }
        }
    }
    EXPECT_THAT(FilesIn(tmp.Path()), ElementsAre("HKEY_CLASSES_ROOT.reg", "HKEY_CURRENT_USER.reg",
                                                 "HKEY_LOCAL_MACHINE.reg"));
}

TEST(RegistryTest, ConcurrentWritersLeaveAConsistentFileThatReloads) {
    test::TempFolder tmp;
    constexpr int kThreads = 8;
    constexpr int kRounds = 40;
    {
        Registry reg(tmp.Path());
        std::atomic<bool> failed{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                const Hive hive = kAllHives[t % 3];
                const std::string mine = "Thread" + std::to_string(t);
                for (int r = 0; r < kRounds; ++r) {
                    const std::string key = mine + "\\Round" + std::to_string(r);
                    bool ok = reg.CreateKey(hive, key) &&
                              reg.SetValue(hive, key, "r", RegistryValue::Dword(r)) &&
                              reg.SetValue(hive, "", mine, RegistryValue::Dword(r)) &&
                              reg.SetValue(hive, key, "s", RegistryValue::String(key + "\n"));
                    if (r % 3 == 0) {
                        ok = ok && reg.DeleteValue(hive, key, "s") && reg.DeleteKey(hive, key);
                    }
                    // Readers run alongside the writers.
                    reg.SubkeyNames(hive, mine);
                    reg.GetValue(hive, "", mine);
                    if (!ok) {
                        failed = true;
                    }
                }
            });
        }
        for (std::thread& th : threads) {
            th.join();
        }
        EXPECT_FALSE(failed);
        Registry reloaded(tmp.Path());
        EXPECT_THAT(reloaded.LoadProblems(), IsEmpty());
        for (Hive hive : kAllHives) {
            EXPECT_EQ(Dump(reloaded, hive), Dump(reg, hive));
        }
    }
    Registry reg(tmp.Path());
    for (int t = 0; t < kThreads; ++t) {
        const Hive hive = kAllHives[t % 3];
        const std::string mine = "Thread" + std::to_string(t);
        EXPECT_EQ(reg.GetValue(hive, "", mine), RegistryValue::Dword(kRounds - 1));
        std::vector<std::string> expected;
        for (int r = 0; r < kRounds; ++r) {
            if (r % 3 != 0) {
                expected.push_back("Round" + std::to_string(r));
            }
        }
        EXPECT_EQ(reg.SubkeyNames(hive, mine), expected);
        EXPECT_EQ(reg.GetValue(hive, mine + "\\round1", "s"),
                  RegistryValue::String(mine + "\\Round1\n"));
    }
    EXPECT_THAT(FilesIn(tmp.Path()), ElementsAre("HKEY_CLASSES_ROOT.reg", "HKEY_CURRENT_USER.reg",
                                                 "HKEY_LOCAL_MACHINE.reg"));
}

TEST(RegistryTest, OverlyDeepPathsAreRefused) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    std::string path;
    for (int i = 0; i < 512; ++i) {
        path += "k\\";
    }
    EXPECT_TRUE(reg.CreateKey(Hive::CurrentUser, path));
    EXPECT_FALSE(reg.CreateKey(Hive::CurrentUser, path + "one-more"));
    EXPECT_FALSE(reg.KeyExists(Hive::CurrentUser, path + "one-more"));
    EXPECT_THAT(Registry(tmp.Path()).LoadProblems(), IsEmpty());
}

TEST(RegistryTest, UnknownHiveIsRefused) {
    test::TempFolder tmp;
    Registry reg(tmp.Path());
    const Hive bogus = static_cast<Hive>(7);
    EXPECT_FALSE(reg.CreateKey(bogus, "k"));
    EXPECT_FALSE(reg.KeyExists(bogus, ""));
    EXPECT_FALSE(reg.DeleteKey(bogus, "k"));
    EXPECT_FALSE(reg.SetValue(bogus, "", "v", RegistryValue::Dword(1)));
    EXPECT_FALSE(reg.GetValue(bogus, "", "v"));
    EXPECT_FALSE(reg.DeleteValue(bogus, "", "v"));
    EXPECT_THAT(reg.ValueNames(bogus, ""), IsEmpty());
    EXPECT_THAT(reg.SubkeyNames(bogus, ""), IsEmpty());
    EXPECT_EQ(reg.HiveFile(bogus), "");
}

}  // namespace
}  // namespace qv
