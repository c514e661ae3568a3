#include "ui/ProgramArguments.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <string>
#include <vector>

namespace qv {
namespace {

// What main does: Qt first, then our options from what Qt left.
ProgramArguments ParseAsMainDoes(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int argc = static_cast<int>(args.size());
    QApplication application(argc, argv.data());
    return ParseProgramArguments(argc, argv.data());
}

TEST(ProgramArgumentsTest, QtsOwnArgumentsAreNotTheCommandFile) {
    const std::string cwd = std::filesystem::current_path().string();
    struct Row {
        std::vector<std::string> args;
        std::string commandLine;
    };
    const Row rows[] = {
        {{"quorvane", "-style", "fusion"}, ""},
        {{"quorvane", "-session", "1234abcd", "-minimized"}, "-minimized"},
        {{"quorvane", "-style", "fusion", "join.qdx"}, cwd + "/join.qdx"},
        {{"quorvane", "--home", "/data/q", "-session", "x", "/tmp/a.qdx"}, "/tmp/a.qdx"},
        {{"quorvane", "\"/tmp/b c.qdx\""}, "\"/tmp/b c.qdx\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.size());
        ProgramArguments parsed = ParseAsMainDoes(row.args);
        EXPECT_EQ(parsed.outcome, ProgramArguments::Outcome::Run);
        EXPECT_EQ(parsed.commandLine, row.commandLine);
    }
}

TEST(ProgramArgumentsTest, OwnOptions) {
    const char* argv[] = {"quorvane", "--home=/h", "--engine", "sim"};
    ProgramArguments parsed = ParseProgramArguments(4, argv);
    EXPECT_EQ(parsed.homeOption, "/h");
    EXPECT_TRUE(parsed.simulatedEngine);
    EXPECT_EQ(parsed.commandLine, "");
    const char* bad[] = {"quorvane", "--engine=other"};
    EXPECT_EQ(ParseProgramArguments(2, bad).outcome, ProgramArguments::Outcome::Usage);
    const char* missing[] = {"quorvane", "--home"};
    EXPECT_EQ(ParseProgramArguments(2, missing).outcome, ProgramArguments::Outcome::Usage);
    const char* help[] = {"quorvane", "-style", "x", "--help"};
    EXPECT_TRUE(AsksForHelp(4, help));
}

}  // namespace
}  // namespace qv
