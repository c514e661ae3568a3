#include "CommandLine.h"

#include <gtest/gtest.h>

namespace qv::dirsvc {
namespace {

using Action = CommandLine::Action;

const std::vector<std::string> kRequired = {"--db", "d.db", "--files", "f", "--mail-dir", "m"};

std::vector<std::string> With(std::vector<std::string> extra) {
    std::vector<std::string> arguments = kRequired;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

TEST(CommandLineTest, DefaultsToLoopback) {
    const CommandLine line = CommandLine::Parse(kRequired);
    ASSERT_EQ(line.action, Action::kRun) << line.error;
    EXPECT_EQ(line.host, "127.0.0.1");
    EXPECT_EQ(line.port, 8080);
    EXPECT_EQ(line.options.databasePath, "d.db");
    EXPECT_EQ(line.options.filesFolder, "f");
    EXPECT_EQ(line.options.mailFolder, "m");
    EXPECT_EQ(line.options.hashCost.opsLimit, HashCost::Interactive().opsLimit);
}

TEST(CommandLineTest, ReadsEveryOption) {
    const CommandLine line = CommandLine::Parse(
        With({"--listen", "[::1]:0", "--threads", "3", "--hash-cost", "minimal"}));
    ASSERT_EQ(line.action, Action::kRun) << line.error;
    EXPECT_EQ(line.host, "::1");
    EXPECT_EQ(line.port, 0);
    EXPECT_EQ(line.options.http.threads, 3u);
    EXPECT_EQ(line.options.hashCost.memLimit, HashCost::Minimal().memLimit);
    const CommandLine tickets =
        CommandLine::Parse(With({"--ticket-key", "k/t.key", "--voice-cluster", "east"}));
    ASSERT_EQ(tickets.action, Action::kRun) << tickets.error;
    EXPECT_EQ(tickets.options.tickets.keyPath, "k/t.key");
    EXPECT_EQ(tickets.options.tickets.cluster, "east");
    EXPECT_EQ(CommandLine::Parse(kRequired).options.tickets.cluster, "quorvane");
    EXPECT_EQ(CommandLine::Parse(With({"--partners", "p.txt"})).partnersFile, "p.txt");
    EXPECT_EQ(CommandLine::Parse(kRequired).partnersFile, "");
}

TEST(CommandLineTest, RefusesWhatItCannotUse) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--db", "d.db"},
        With({"--listen", "8080"}),
        With({"--listen", "127.0.0.1:99999"}),
        With({"--listen", "127.0.0.1:x"}),
        With({"--threads", "0"}),
        With({"--hash-cost", "cheap"}),
        With({"--verbose"}),
        With({"--db"}),
        With({"--partners"}),
        With({"--voice-cluster", ""}),
        With({"--voice-cluster", std::string(65, 'c')}),
    };
    for (const auto& arguments : bad) {
        const CommandLine line = CommandLine::Parse(arguments);
        EXPECT_EQ(line.action, Action::kError) << testing::PrintToString(arguments);
        EXPECT_FALSE(line.error.empty());
    }
    EXPECT_EQ(CommandLine::Parse({"--help"}).action, Action::kHelp);
}

}  // namespace
}  // namespace qv::dirsvc
