// The small parts of the voice server: configuration file, command line, list lines, the
// directory's reply and the flood meter.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CheckReply.h"
#include "CommandLine.h"
#include "FloodMeter.h"
#include "IdLines.h"
#include "ServerConfig.h"
#include "support/TempFolder.h"

namespace qv::voicesvc {
namespace {

TEST(ServerConfigTest, DefaultsAreTheShippedBuilds) {
    const ServerConfig config;
    EXPECT_EQ(config.requiredControlBuild, static_cast<std::uint32_t>(SONARO_NET_BUILD));
    EXPECT_EQ(config.requiredProgramBuild, QUORVANE_BUILD);
    EXPECT_EQ(config.requiredPatcherBuild, 0);
    EXPECT_EQ(config.serverName, "Quorvane Voice Server");
    EXPECT_EQ(config.RequiredVersions(), QUORVANE_BUILD << 16);
}

TEST(ServerConfigTest, ReadsKeysOverTheDefaults) {
    ServerConfig config;
    std::string error;
    ASSERT_TRUE(
        ServerConfig::Parse("# comment\n; another\n\n  RequiredControlBuild = 4000000000\r\n"
                            "RequiredProgramBuild=65535\nRequiredPatcherBuild=7\n"
                            "ServerName=Voice = One\n",
                            config, error))
        << error;
    EXPECT_EQ(config.requiredControlBuild, 4000000000u);
    EXPECT_EQ(config.RequiredVersions(), static_cast<std::int32_t>(0xFFFF0007u));
    EXPECT_EQ(config.serverName, "Voice = One");
}

TEST(ServerConfigTest, FaultsNameTheLineAndChangeNothing) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"ServerName=x\nPort=1\n", "line 2: unknown key 'Port'"},
        {"RequiredControlBuild=-1", "line 1: RequiredControlBuild wants a number"},
        {"RequiredControlBuild=4294967296", "line 1: RequiredControlBuild wants a number"},
        {"RequiredProgramBuild=65536", "line 1: RequiredProgramBuild wants a number"},
        {"RequiredPatcherBuild=1x", "line 1: RequiredPatcherBuild wants a number"},
        {"RequiredPatcherBuild=", "line 1: RequiredPatcherBuild wants a number"},
        {"just words", "line 1: expected Key=Value"},
        {"ServerName=" + std::string(256, 'n'), "line 1: ServerName is longer than 255 bytes"},
    };
    for (const Case& c : cases) {
        ServerConfig config;
        std::string error;
        EXPECT_FALSE(ServerConfig::Parse(c.text, config, error)) << c.text;
        EXPECT_TRUE(error.starts_with(c.error)) << error;
        EXPECT_EQ(config.serverName, "Quorvane Voice Server");
    }
}

TEST(ServerConfigTest, AMissingFileIsAnError) {
    qv::test::TempFolder folder;
    ServerConfig config;
    std::string error;
    EXPECT_FALSE(ServerConfig::Load(folder.File("none.conf"), config, error));
    EXPECT_NE(error.find("none.conf"), std::string::npos);
    EXPECT_TRUE(ServerConfig::Load(folder.Write("a.conf", "ServerName=A\n"), config, error));
    EXPECT_EQ(config.serverName, "A");
}

TEST(CommandLineTest, OptionsAndDefaults) {
    CommandLine line = CommandLine::Parse({});
    EXPECT_EQ(line.action, CommandLine::Action::kRun);
    EXPECT_EQ(line.options.listenHost, "127.0.0.1");
    EXPECT_EQ(line.options.listenPort, 12011);
    EXPECT_EQ(line.options.directoryPort, 8080);
    EXPECT_EQ(line.options.limits.maxSessions, 10000u);
    EXPECT_EQ(line.options.limits.idleTimeout.count(), 20000);
    EXPECT_EQ(line.options.limits.helloTimeout.count(), 10000);

    line = CommandLine::Parse({"--listen", "0.0.0.0:0", "--directory", "[::1]:81", "--config",
                               "x.conf", "--max-sessions", "3", "--idle-timeout-ms", "250"});
    ASSERT_EQ(line.action, CommandLine::Action::kRun) << line.error;
    EXPECT_EQ(line.options.listenHost, "0.0.0.0");
    EXPECT_EQ(line.options.listenPort, 0);
    EXPECT_EQ(line.options.directoryHost, "::1");
    EXPECT_EQ(line.options.directoryPort, 81);
    EXPECT_EQ(line.configPath, "x.conf");
    EXPECT_EQ(line.options.limits.maxSessions, 3u);
    EXPECT_EQ(line.options.limits.idleTimeout.count(), 250);
    EXPECT_EQ(CommandLine::Parse({"--help"}).action, CommandLine::Action::kHelp);
}

TEST(CommandLineTest, BadOptionsAreErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"--listen"},
        {"--listen", "127.0.0.1"},
        {"--listen", "127.0.0.1:65536"},
        {"--directory", "127.0.0.1:0"},
        {"--max-sessions", "0"},
        {"--max-sessions", "ten"},
        {"--hello-timeout-ms", "0"},
    };
    for (const auto& args : cases) {
        const CommandLine line = CommandLine::Parse(args);
        EXPECT_EQ(line.action, CommandLine::Action::kError) << args[0];
        EXPECT_FALSE(line.error.empty());
    }
}

TEST(IdLinesTest, WholeLinesThatAreIdsInOrder) {
    EXPECT_EQ(IdLines("12\n312\n12\r\nabc\n007\n\n4294967295\n4294967296\n 5\n9"),
              (std::vector<std::string>{"12", "312", "12", "4294967295", "9"}));
    EXPECT_TRUE(IdLines("").empty());
}

TEST(CheckReplyTest, TheDirectorysAnswers) {
    using Outcome = CheckReply::Outcome;
    struct Case {
        std::string body;
        Outcome outcome;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"Success\xFFUserId=100\xFFNickName=Ann\xFF", Outcome::kPassed, "Ann"},
        {"Success\xFFNickName=Ann Lee\xFFUserId=100", Outcome::kPassed, "Ann Lee"},
        {"Success\xFFUserId=101\xFFNickName=Ann\xFF", Outcome::kUnreachable, ""},
        {"Success\xFFUserId=100\xFF", Outcome::kUnreachable, ""},
        {"Success\xFFUserId=100\xFFNickName=\xFF", Outcome::kUnreachable, ""},
        {"Success\xFFUserId=100\xFFNickName=" + std::string(65, 'a'), Outcome::kUnreachable, ""},
        {"Fail\xFFYour connection has expired.", Outcome::kRefused, "Your connection has expired."},
        {"Fail\xFFNo\xFF", Outcome::kRefused, "No"},
        {"Fail", Outcome::kRefused, ""},
        {"<html>busy</html>", Outcome::kUnreachable, ""},
        {"", Outcome::kUnreachable, ""},
    };
    for (const Case& c : cases) {
        const CheckReply reply = CheckReply::Parse("100", c.body);
        EXPECT_EQ(reply.outcome, c.outcome) << c.body;
        EXPECT_EQ(c.outcome == Outcome::kRefused ? reply.reason : reply.nickname, c.value)
            << c.body;
    }
    const CheckReply longReason = CheckReply::Parse("1", "Fail\xFF" + std::string(3000, 'r'));
    EXPECT_EQ(longReason.reason.size(), voice::kMaxServerText);
}

TEST(FloodMeterTest, MoreThanTheRateOverTheWindowIsAFlood) {
    using namespace std::chrono_literals;
    FloodMeter meter(200, 2000ms);
    const auto start = FloodMeter::Clock::time_point(1000h);
    for (int i = 0; i < 400; ++i) {
        ASSERT_FALSE(meter.Count(start + std::chrono::milliseconds(i))) << i;
    }
    EXPECT_TRUE(meter.Count(start + 500ms));

    // A steady 190 frames a second goes on for ever.
    FloodMeter steady(200, 2000ms);
    for (int i = 0; i < 190 * 10; ++i) {
        ASSERT_FALSE(steady.Count(start + std::chrono::microseconds(i * 1000000 / 190))) << i;
    }
    // A burst that has slid out of the window no longer counts.
    FloodMeter burst(200, 2000ms);
    for (int i = 0; i < 400; ++i) {
        burst.Count(start);
    }
    EXPECT_FALSE(burst.Count(start + 2100ms));
}

}  // namespace
}  // namespace qv::voicesvc
