// The small parts of the voice server: configuration file, command line, list lines, the flood
// meter, the list budget, the log queue and the protocol's RegisterTicket and frame limit.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CommandLine.h"
#include "FloodMeter.h"
#include "IdLines.h"
#include "ListBudget.h"
#include "LogQueue.h"
#include "ServerConfig.h"
#include "VoiceProtocol.h"
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
    EXPECT_EQ(config.mediaPort, 0);
}

TEST(ServerConfigTest, ReadsKeysOverTheDefaults) {
    ServerConfig config;
    std::string error;
    ASSERT_TRUE(
        ServerConfig::Parse("# comment\n; another\n\n  RequiredControlBuild = 4000000000\r\n"
                            "RequiredProgramBuild=65535\nRequiredPatcherBuild=7\n"
                            "ServerName=Voice = One\nMediaPort=40000\n",
                            config, error))
        << error;
    EXPECT_EQ(config.mediaPort, 40000);
    EXPECT_EQ(config.requiredControlBuild, 4000000000u);
    EXPECT_EQ(config.RequiredVersions(), static_cast<std::int32_t>(0xFFFF0007u));
    EXPECT_EQ(config.serverName, "Voice = One");
}

TEST(ServerConfigTest, TheCertificateAndKeyAreTakenFromTheFilesFolder) {
    qv::test::TempFolder folder;
    const std::string path = folder.Write("voice.conf",
                                          "Certificate=tls/server.pem\nPrivateKey=/etc/key.pem\n"
                                          "PlainListen=127.0.0.1:4000\n");
    ServerConfig config;
    std::string error;
    ASSERT_TRUE(ServerConfig::Load(path, config, error)) << error;
    EXPECT_EQ(config.certificateFile, folder.Path() + "tls/server.pem");
    EXPECT_EQ(config.privateKeyFile, "/etc/key.pem");
    EXPECT_EQ(config.plainHost, "127.0.0.1");
    EXPECT_EQ(config.plainPort, 4000);
    // No plain listener unless asked for.
    EXPECT_EQ(ServerConfig().plainPort, -1);
    EXPECT_FALSE(ServerConfig::Parse("PlainListen=nowhere\n", config, error));
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
        {"TicketPublicKey=", "line 1: TicketPublicKey wants a file name"},
        {"VoiceCluster=" + std::string(65, 'c'), "line 1: VoiceCluster wants a name"},
        {"MediaPort=65536", "line 1: MediaPort wants a number from 0 to 65535"},
        {"MediaPort=", "line 1: MediaPort wants a number"},
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
    // The ticket key is found beside the file unless its path is absolute.
    EXPECT_TRUE(ServerConfig::Load(
        folder.Write("b.conf", "TicketPublicKey=keys/t.pub\nVoiceCluster=east\n"), config, error));
    EXPECT_EQ(config.ticketPublicKey, folder.File("keys/t.pub"));
    EXPECT_EQ(config.voiceCluster, "east");
    EXPECT_TRUE(
        ServerConfig::Load(folder.Write("c.conf", "TicketPublicKey=/etc/t.pub\n"), config, error));
    EXPECT_EQ(config.ticketPublicKey, "/etc/t.pub");
    // So is the forum file.
    EXPECT_TRUE(
        ServerConfig::Load(folder.Write("d.conf", "ForumFile = forums.conf\n"), config, error));
    EXPECT_EQ(config.forumFile, folder.File("forums.conf"));
    // The shipped settings name the default forum file beside them.
    ServerConfig shipped;
    ASSERT_TRUE(ServerConfig::Load(QV_SHIPPED_SETTINGS, shipped, error)) << error;
    EXPECT_EQ(shipped.forumFile, std::string(QV_DEFAULT_FORUM_FILE));
}

TEST(CommandLineTest, TheForumFileAndTheListInterval) {
    CommandLine line = CommandLine::Parse({});
    EXPECT_EQ(line.options.limits.groupListInterval.count(), 2000);
    line = CommandLine::Parse({"--forums", "f.conf", "--group-list-interval-ms", "50"});
    ASSERT_EQ(line.action, CommandLine::Action::kRun) << line.error;
    EXPECT_EQ(line.options.limits.groupListInterval.count(), 50);
    ServerConfig config;
    config.forumFile = "from-settings.conf";
    line.ApplyOverrides(config);
    EXPECT_EQ(config.forumFile, "f.conf");
    EXPECT_EQ(CommandLine::Parse({"--forums"}).action, CommandLine::Action::kError);
}

TEST(CommandLineTest, OptionsAndDefaults) {
    CommandLine line = CommandLine::Parse({});
    EXPECT_EQ(line.action, CommandLine::Action::kRun);
    EXPECT_EQ(line.options.listenHost, "127.0.0.1");
    EXPECT_EQ(line.options.listenPort, 12011);
    EXPECT_EQ(line.options.limits.maxSessions, 10000u);
    EXPECT_EQ(line.options.limits.maxUnregistered, 4096u);
    EXPECT_EQ(line.options.limits.maxUnregisteredPerAddress, 64u);
    EXPECT_EQ(line.options.limits.idleTimeout.count(), 20000);
    EXPECT_EQ(line.options.limits.helloTimeout.count(), 10000);
    EXPECT_EQ(line.options.limits.invitationLifetime.count(), 75000);
    EXPECT_EQ(line.options.limits.blockedInvitationLifetime.count(), 60000);

    line = CommandLine::Parse({"--listen", "0.0.0.0:0", "--ticket-public-key", "k.pub", "--config",
                               "x.conf", "--max-sessions", "3", "--idle-timeout-ms", "250",
                               "--max-unregistered", "9", "--max-unregistered-per-address", "2"});
    ASSERT_EQ(line.action, CommandLine::Action::kRun) << line.error;
    EXPECT_EQ(line.options.listenHost, "0.0.0.0");
    EXPECT_EQ(line.options.listenPort, 0);
    EXPECT_EQ(line.ticketPublicKey, "k.pub");
    EXPECT_EQ(line.options.limits.maxUnregistered, 9u);
    EXPECT_EQ(line.options.limits.maxUnregisteredPerAddress, 2u);
    EXPECT_EQ(line.configPath, "x.conf");
    EXPECT_EQ(line.options.limits.maxSessions, 3u);
    EXPECT_EQ(line.options.limits.idleTimeout.count(), 250);
    line =
        CommandLine::Parse({"--invitation-lifetime-ms", "900", "--blocked-invitation-ms", "600"});
    ASSERT_EQ(line.action, CommandLine::Action::kRun) << line.error;
    EXPECT_EQ(line.options.limits.invitationLifetime.count(), 900);
    EXPECT_EQ(line.options.limits.blockedInvitationLifetime.count(), 600);
    EXPECT_EQ(CommandLine::Parse({"--help"}).action, CommandLine::Action::kHelp);
    // The media port goes over the configuration's; not given, the configuration's stays.
    line = CommandLine::Parse({"--media-port", "41000"});
    ASSERT_EQ(line.action, CommandLine::Action::kRun) << line.error;
    ServerConfig config;
    config.mediaPort = 5;
    line.ApplyOverrides(config);
    EXPECT_EQ(config.mediaPort, 41000);
    config.mediaPort = 5;
    CommandLine::Parse({}).ApplyOverrides(config);
    EXPECT_EQ(config.mediaPort, 5);
}

TEST(CommandLineTest, BadOptionsAreErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"--listen"},
        {"--listen", "127.0.0.1"},
        {"--listen", "127.0.0.1:65536"},
        {"--directory", "127.0.0.1:8080"},
        {"--max-unregistered", "0"},
        {"--max-sessions", "0"},
        {"--max-sessions", "ten"},
        {"--hello-timeout-ms", "0"},
        {"--invitation-lifetime-ms", "-1"},
        {"--blocked-invitation-ms"},
        {"--media-port", "65536"},
        {"--media-port", "-1"},
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

TEST(IdLinesTest, EveryNonEmptyLineIsAnEntry) {
    EXPECT_EQ(ListLines("12\n\nabc\r\n\r\n9"),
              (std::vector<std::string_view>{"12", "abc", "", "9"}));
    EXPECT_TRUE(ListLines("\n\n").empty());
    EXPECT_EQ(LineCount(""), 1u);
    EXPECT_EQ(LineCount("1\n2\n"), 3u);
}

TEST(ListBudgetTest, WorkRunsIntoDebtAndTheNextOperationWaitsUntilItIsPaid) {
    using Clock = ListBudget::Clock;
    using std::chrono::milliseconds;
    ListBudget budget(1000, 5000);
    const Clock::time_point t0 = Clock::now() + std::chrono::seconds(1);
    ASSERT_TRUE(budget.Ready(t0));
    budget.Charge(4000, t0);
    EXPECT_TRUE(budget.Ready(t0));  // 1000 left
    budget.Charge(3000, t0);        // 2000 in debt
    EXPECT_FALSE(budget.Ready(t0));
    EXPECT_FALSE(budget.Ready(t0 + milliseconds(1990)));
    EXPECT_GE(budget.ReadyAt(), t0 + milliseconds(2000));
    EXPECT_LE(budget.ReadyAt(), t0 + milliseconds(2010));
    EXPECT_TRUE(budget.Ready(t0 + milliseconds(2000)));
    // A quiet session saves up no more than the burst.
    const Clock::time_point later = t0 + std::chrono::hours(1);
    budget.Charge(5000, later);
    EXPECT_TRUE(budget.Ready(later));
    budget.Charge(1, later);
    EXPECT_FALSE(budget.Ready(later));
}

TEST(LogQueueTest, AFullOutputDropsAndCountsInsteadOfBlocking) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    // Fill the pipe, then leave its write end blocking as standard error is.
    ::fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
    const std::string block(4096, 'f');
    while (::write(pipeFds[1], block.data(), block.size()) > 0) {
    }
    ::fcntl(pipeFds[1], F_SETFL, 0);
    {
        LogQueue log(pipeFds[1], 4);
        for (int i = 0; i < 20; ++i) {
            log.Write("line " + std::to_string(i));
        }
        // Four queued, one in the writer's hands at most: the rest dropped, none waited for.
        EXPECT_GE(log.Dropped(), 15u);
        ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
        std::string drained;
        char buffer[65536];
        for (int tries = 0; tries < 200 && drained.find("line ") == std::string::npos; ++tries) {
            const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n > 0) {
                drained.append(buffer, static_cast<std::size_t>(n));
            } else {
                ::usleep(10000);
            }
        }
        EXPECT_NE(drained.find(" line 0\n"), std::string::npos);
        log.Write("after");
        for (int tries = 0; tries < 200 && drained.find("after") == std::string::npos; ++tries) {
            const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n > 0) {
                drained.append(buffer, static_cast<std::size_t>(n));
            } else {
                ::usleep(10000);
            }
        }
        EXPECT_NE(drained.find("log lines dropped"), std::string::npos);
        EXPECT_NE(drained.find(" after\n"), std::string::npos);
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

TEST(ProtocolTest, RegisterTicketRoundTripsAndKeepsItsLimits) {
    const voice::RegisterTicket sent{"4294967295", "Ann", std::string(voice::kMaxTicket, 't')};
    voice::FrameReader reader;
    const std::string frame = voice::Encode(sent);
    reader.Append(frame.data(), frame.size());
    voice::Frame read;
    ASSERT_EQ(reader.Next(read), voice::FrameReader::Result::kFrame);
    EXPECT_EQ(read.type, voice::MessageType::kRegisterTicket);
    voice::RegisterTicket decoded;
    ASSERT_TRUE(voice::Decode(read.fields, decoded));
    EXPECT_EQ(decoded.userId, sent.userId);
    EXPECT_EQ(decoded.nickname, sent.nickname);
    EXPECT_EQ(decoded.ticket, sent.ticket);
    // Everything a session sends before registration fits the server's small-frame limit.
    EXPECT_LE(frame.size() - voice::kFrameHeaderSize, ServerLimits{}.maxUnregisteredFrame);

    const std::vector<voice::RegisterTicket> bad = {
        {"0", "Ann", "t"},
        {"12", "Ann", std::string(voice::kMaxTicket + 1, 't')},
        {"12", std::string(voice::kMaxNickname + 1, 'n'), "t"},
    };
    for (const auto& message : bad) {
        const std::string encoded = voice::Encode(message);
        EXPECT_FALSE(voice::Decode(encoded.substr(voice::kFrameHeaderSize + 2), decoded));
    }
}

TEST(ProtocolTest, ALoweredFrameLimitRefusesLargerFrames) {
    const std::string small = voice::EncodePing({1, 2});
    const std::string large = voice::Encode(voice::ServerMessage{1, 2, std::string(1000, 'x')});
    voice::FrameReader reader;
    reader.SetMaxBody(100);
    reader.Append(small.data(), small.size());
    reader.Append(large.data(), 4);  // the header alone is enough to tell
    voice::Frame frame;
    EXPECT_EQ(reader.Next(frame), voice::FrameReader::Result::kFrame);
    EXPECT_EQ(reader.Next(frame), voice::FrameReader::Result::kBad);
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
