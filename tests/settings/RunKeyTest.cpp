#include "settings/RunKey.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

constexpr const char* kRunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kProgramFolder = "/home/rover/.local/share/quorvane/";
constexpr const char* kProgramCommand = "\"/usr/bin/quorvane\" --data /home/rover/q";

class RunKeyTest : public ::testing::Test {
  protected:
    // Nested and not yet there: the mirror makes its folder.
    std::string Autostart() const { return dir_.File("config/autostart/"); }
    AutostartMirror Mirror() const { return {Autostart(), kProgramFolder, kProgramCommand}; }

    std::unique_ptr<RunKey> Opened(AutostartMirror mirror) {
        auto key = std::make_unique<RunKey>(registry_, std::move(mirror));
        EXPECT_TRUE(key->Open());
        return key;
    }

    std::vector<std::string> EntryFiles() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(Autostart(), ec)) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }

    std::string EntryText(const std::string& file) const {
        return dir_.Read("config/autostart/" + file);
    }

    // The entry's "key=value" lines, and every line as it stands.
    static std::map<std::string, std::string> Fields(const std::string& text) {
        std::map<std::string, std::string> fields;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            auto eq = line.find('=');
            if (eq != std::string::npos) {
                fields[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        return fields;
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            lines.push_back(line);
        }
        return lines;
    }

    test::TempFolder dir_;
    Registry registry_{dir_.File("registry/")};
};

TEST_F(RunKeyTest, OpenCreatesTheMachineRunKey) {
    RunKey key(registry_, Mirror());
    EXPECT_FALSE(key.Set("Quorvane", "x"));  // not open yet
    ASSERT_TRUE(key.Open());
    EXPECT_TRUE(registry_.KeyExists(Hive::LocalMachine, kRunPath));
    EXPECT_FALSE(registry_.KeyExists(Hive::CurrentUser, kRunPath));
}

TEST_F(RunKeyTest, SetStoresTheValueAndWritesTheEntry) {
    auto key = Opened(Mirror());
    ASSERT_TRUE(key->Set("Quorvane", "/opt/other/tool --quiet"));

    auto stored = registry_.GetValue(Hive::LocalMachine, kRunPath, "Quorvane");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, RegistryValue::String("/opt/other/tool --quiet"));
    EXPECT_EQ(key->Get("Quorvane"), "/opt/other/tool --quiet");
    EXPECT_TRUE(key->Has("quorvane"));

    EXPECT_THAT(EntryFiles(), ElementsAre("quorvane.desktop"));
    EXPECT_EQ(key->EntryPath("Quorvane"), Autostart() + "quorvane.desktop");
    const std::string text = EntryText("quorvane.desktop");
    EXPECT_EQ(Lines(text).front(), "[Desktop Entry]");
    const auto fields = Fields(text);
    EXPECT_EQ(fields.at("Type"), "Application");
    EXPECT_EQ(fields.at("Name"), "Quorvane");
    EXPECT_EQ(fields.at("Exec"), "/opt/other/tool --quiet");
}

TEST_F(RunKeyTest, MissingValueReadsEmpty) {
    auto key = Opened(Mirror());
    EXPECT_EQ(key->Get("Quorvane"), "");
    EXPECT_FALSE(key->Has("Quorvane"));
}

TEST_F(RunKeyTest, SetReplacesTheEntry) {
    auto key = Opened(Mirror());
    ASSERT_TRUE(key->Set("Quorvane", "/opt/first"));
    ASSERT_TRUE(key->Set("Quorvane", "/opt/second"));
    EXPECT_EQ(key->Get("Quorvane"), "/opt/second");
    EXPECT_THAT(EntryFiles(), ElementsAre("quorvane.desktop"));
    EXPECT_EQ(Fields(EntryText("quorvane.desktop")).at("Exec"), "/opt/second");
}

TEST_F(RunKeyTest, DeleteRemovesValueAndEntry) {
    auto key = Opened(Mirror());
    ASSERT_TRUE(key->Set("Quorvane", "/opt/first"));
    ASSERT_TRUE(key->Set("Quorvane Internet Detector", "/opt/detector"));
    EXPECT_TRUE(key->Delete("Quorvane"));
    EXPECT_FALSE(key->Has("Quorvane"));
    EXPECT_FALSE(registry_.GetValue(Hive::LocalMachine, kRunPath, "Quorvane").has_value());
    EXPECT_THAT(EntryFiles(), ElementsAre("quorvane-internet-detector.desktop"));

    EXPECT_FALSE(key->Delete("Quorvane"));
    EXPECT_TRUE(key->Delete("QUORVANE INTERNET DETECTOR"));
    EXPECT_THAT(EntryFiles(), IsEmpty());
}

TEST_F(RunKeyTest, ValuesSurviveARestart) {
    {
        auto key = Opened(Mirror());
        ASSERT_TRUE(key->Set("Quorvane Launcher", "/opt/launcher"));
    }
    Registry again(dir_.File("registry/"));
    RunKey key(again, Mirror());
    ASSERT_TRUE(key.Open());
    EXPECT_EQ(key.Get("Quorvane Launcher"), "/opt/launcher");
}

TEST_F(RunKeyTest, WithoutAMirrorFolderOnlyTheValueIsWritten) {
    auto key = Opened(AutostartMirror{"", kProgramFolder, kProgramCommand});
    ASSERT_TRUE(key->Set("Quorvane", "/opt/first"));
    EXPECT_EQ(key->Get("Quorvane"), "/opt/first");
    EXPECT_FALSE(std::filesystem::exists(Autostart()));
    EXPECT_TRUE(key->Delete("Quorvane"));
}

// ---------------------------------------------------------------------------------------------
// Entry file names

struct NameCase {
    const char* value;
    const char* file;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.value;
}

class EntryName : public RunKeyTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(EntryName, IsLowercasedWithDashesForOtherCharacters) {
    auto key = Opened(Mirror());
    ASSERT_TRUE(key->Set(GetParam().value, "/opt/x"));
    EXPECT_THAT(EntryFiles(), ElementsAre(GetParam().file));
    EXPECT_EQ(key->EntryPath(GetParam().value), Autostart() + GetParam().file);
    EXPECT_TRUE(key->Delete(GetParam().value));
    EXPECT_THAT(EntryFiles(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, EntryName,
    ::testing::Values(NameCase{"Quorvane", "quorvane.desktop"},
                      NameCase{"Quorvane Internet Detector", "quorvane-internet-detector.desktop"},
                      NameCase{"Quorvane Launcher", "quorvane-launcher.desktop"},
                      NameCase{"My_App.v2", "my-app-v2.desktop"},
                      NameCase{"../Escape", "---escape.desktop"},
                      NameCase{"Caf\xC3\xA9 9", "caf---9.desktop"}));

TEST_F(RunKeyTest, SeveralValuesHaveSeveralEntries) {
    auto key = Opened(Mirror());
    ASSERT_TRUE(key->Set("Quorvane", "/opt/a"));
    ASSERT_TRUE(key->Set("Quorvane Internet Detector", "/opt/b"));
    ASSERT_TRUE(key->Set("Quorvane Launcher", "/opt/c"));
    EXPECT_THAT(EntryFiles(),
                UnorderedElementsAre("quorvane.desktop", "quorvane-internet-detector.desktop",
                                     "quorvane-launcher.desktop"));
}

// ---------------------------------------------------------------------------------------------
// The command line

struct ExecCase {
    const char* name;
    std::string command;
    std::string programCommand;
    std::string exec;
};

void PrintTo(const ExecCase& c, std::ostream* os) {
    *os << c.name;
}

class EntryExec : public RunKeyTest, public ::testing::WithParamInterface<ExecCase> {};

TEST_P(EntryExec, NamesThisProgramAsItStartsHere) {
    const ExecCase& c = GetParam();
    auto key = Opened(AutostartMirror{Autostart(), kProgramFolder, c.programCommand});
    ASSERT_TRUE(key->Set("Quorvane", c.command));
    // The run value itself keeps the command as given.
    EXPECT_EQ(key->Get("Quorvane"), c.command);
    EXPECT_EQ(Fields(EntryText("quorvane.desktop")).at("Exec"), c.exec);
}

const std::string kSelf = std::string(kProgramFolder) + "quorvane.exe";

INSTANTIATE_TEST_SUITE_P(
    Commands, EntryExec,
    ::testing::Values(
        ExecCase{"ProgramAlone", kSelf, kProgramCommand, kProgramCommand},
        ExecCase{"ProgramWithArguments", kSelf + " /startup /min", kProgramCommand,
                 std::string(kProgramCommand) + " /startup /min"},
        ExecCase{"OtherCase", "/HOME/Rover/.LOCAL/share/Quorvane/QUORVANE.EXE /startup",
                 kProgramCommand, std::string(kProgramCommand) + " /startup"},
        ExecCase{"OtherProgramInTheFolder", std::string(kProgramFolder) + "detector.exe -q",
                 kProgramCommand, std::string(kProgramFolder) + "detector.exe -q"},
        ExecCase{"ProgramElsewhere", "/opt/quorvane/quorvane.exe /startup", kProgramCommand,
                 "/opt/quorvane/quorvane.exe /startup"},
        ExecCase{"ProgramNotLeading", "nice " + kSelf, kProgramCommand, "nice " + kSelf},
        ExecCase{"NoProgramCommand", kSelf + " /startup", "", kSelf + " /startup"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunKeyTest, LineBreaksNeverReachTheEntry) {
    auto key = Opened(Mirror());
    const std::string command = kSelf + " /a\nX-Injected=1\r\nExec=rm -rf /\rtail";
    ASSERT_TRUE(key->Set("Quorvane", command));
    const std::string text = EntryText("quorvane.desktop");

    const auto lines = Lines(text);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "[Desktop Entry]");
    int execLines = 0;
    for (const std::string& line : lines) {
        EXPECT_NE(line.rfind("X-Injected", 0), 0u) << line;
        execLines += line.rfind("Exec=", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(execLines, 1);
    const std::string exec = Fields(text).at("Exec");
    EXPECT_EQ(exec.rfind(kProgramCommand, 0), 0u) << exec;
    EXPECT_NE(exec.find("tail"), std::string::npos) << exec;
}

TEST_F(RunKeyTest, LineBreaksInTheNameNeverReachTheEntry) {
    auto key = Opened(Mirror());
    ASSERT_TRUE(key->Set("Quorvane\nHidden=false", "/opt/x"));
    const std::string text = EntryText("quorvane-hidden-false.desktop");
    ASSERT_FALSE(text.empty());
    for (const std::string& line : Lines(text)) {
        EXPECT_NE(line.rfind("Hidden", 0), 0u) << line;
    }
    EXPECT_EQ(Fields(text).at("Exec"), "/opt/x");
}

}  // namespace
}  // namespace qv
