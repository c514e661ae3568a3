// The sonaro-server program's transport, version negotiation, long lists, list budget and log
// under hostile and heavy use, spoken to by fake engines over loopback.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "DirectoryAccounts.h"
#include "RawVoiceClient.h"
#include "support/DirectoryServiceProcess.h"
#include "support/TempFolder.h"
#include "support/VoiceServerProcess.h"

namespace qv::voicesvc::test {
namespace {

using voice::MessageType;

// n distinct ids from first on, each a line; by default far from the directory's own numbers.
std::string IdList(int n, int first = 70000000) {
    std::string list;
    for (int i = 0; i < n; ++i) {
        list += std::to_string(first + i) + "\n";
    }
    return list;
}

class VoiceServerLimitsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(directory.Host().empty()) << "no directory service"; }
    void TearDown() override {
        if (server == nullptr || server->Port() == 0) {
            return;
        }
        const int status = server->Stop();
        EXPECT_TRUE(status < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        const std::string log = server->Log();
        EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
        EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
    }

    void Start(std::vector<std::string> extra = {}) {
        server = std::make_unique<qv::test::VoiceServerProcess>(QV_VOICE_SERVER_PROGRAM, folder,
                                                                directory.TicketPublicKey(), extra);
        ASSERT_GT(server->Port(), 0) << "the voice server did not start";
    }

    // Over TLS to the server's port; plain TCP to another port when given one.
    std::unique_ptr<RawVoiceClient> Connected(int plainPort = 0) {
        auto client = std::make_unique<RawVoiceClient>();
        if (plainPort == 0) {
            client->caFile = server->CaFile();
        }
        EXPECT_TRUE(client->Connect(plainPort != 0 ? plainPort : server->Port()));
        return client;
    }

    std::unique_ptr<RawVoiceClient> LoggedIn(const Account& account) {
        auto client = Connected();
        EXPECT_TRUE(client->Login(account.id, SignedTicket(directory, account)).has_value())
            << account.id;
        return client;
    }

    // Sends a whole list the way a version 2 engine does: parts, then the update.
    static bool SendList(RawVoiceClient& client, bool watch, const std::string& list) {
        std::vector<std::string> pieces = voice::SplitList(list);
        std::string bytes;
        for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
            bytes += watch ? voice::EncodeWatchListPart({pieces[i]})
                           : voice::EncodeBlockListPart({pieces[i]});
        }
        bytes += watch ? voice::EncodeWatchList({0, pieces.back()})
                       : voice::EncodeBlockList({0, pieces.back()});
        return client.Send(bytes);
    }

    // The next count Watch frames; fewer when something else or nothing came.
    static std::vector<voice::Watch> Watches(RawVoiceClient& client, std::size_t count,
                                             int timeoutMs = 10000) {
        std::vector<voice::Watch> watches;
        while (watches.size() < count) {
            auto watch = client.Expect<voice::Watch>(MessageType::kWatch, timeoutMs);
            if (!watch) {
                break;
            }
            watches.push_back(*watch);
        }
        return watches;
    }

    qv::test::TempFolder folder;
    qv::test::DirectoryServiceProcess directory{QV_DIRECTORY_PROGRAM, folder};
    std::unique_ptr<qv::test::VoiceServerProcess> server;
};

TEST_F(VoiceServerLimitsTest, EnginesConnectOverTlsAndPlainTcpOnlyWhereAskedFor) {
    const int plainPort = qv::test::FreeLoopbackPort();
    Start({"--plain-listen", "127.0.0.1:" + std::to_string(plainPort)});
    // TLS, checked against the server's authority.
    auto tls = Connected();
    ASSERT_TRUE(tls->Handshake().has_value());
    EXPECT_TRUE(tls->RoundTrip());
    // Plain TCP on the TLS port: the handshake fails and nothing is said.
    auto plainOnTls = std::make_unique<RawVoiceClient>();
    ASSERT_TRUE(plainOnTls->Connect(server->Port()));
    ASSERT_TRUE(plainOnTls->Send(voice::Encode(voice::Hello{1, 401})));
    EXPECT_FALSE(plainOnTls->Next(5000).has_value());
    EXPECT_TRUE(plainOnTls->WaitClosed());
    EXPECT_TRUE(server->LogShows("TLS handshake failed")) << server->Log();
    // The plain listener asked for serves an old engine.
    auto old = Connected(plainPort);
    const auto welcome = old->Handshake(1);
    ASSERT_TRUE(welcome.has_value());
    EXPECT_EQ(welcome->protocol, 1);
    EXPECT_TRUE(old->RoundTrip());
}

TEST_F(VoiceServerLimitsTest, WithoutACertificateTheServerDoesNotStart) {
    qv::test::ListeningProcess process({QV_VOICE_SERVER_PROGRAM, "--listen", "127.0.0.1:0",
                                        "--ticket-public-key", directory.TicketPublicKey()},
                                       folder.File("bare.log"));
    EXPECT_EQ(process.Port(), 0);
    const int status = process.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_NE(process.Log().find("no certificate"), std::string::npos) << process.Log();
}

TEST_F(VoiceServerLimitsTest, TheWelcomeNamesTheLowerVersionAndItsTypesOnly) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    struct Case {
        std::uint16_t hello;
        std::uint16_t welcome;
    };
    for (const Case c : {Case{1, 1}, Case{2, 2}, Case{9, voice::kProtocolVersion}}) {
        SCOPED_TRACE(c.hello);
        auto client = Connected();
        const auto welcome = client->Handshake(c.hello);
        ASSERT_TRUE(welcome.has_value());
        EXPECT_EQ(welcome->protocol, c.welcome);
        // A version 1 session cannot register any more (it is told to update), so it can only
        // break the protocol with a part, which is a type of version 2.
        if (c.welcome >= 2) {
            ASSERT_TRUE(client->Send(
                voice::Encode(voice::RegisterTicket{ann.id, "n", SignedTicket(directory, ann)})));
            ASSERT_TRUE(client->Expect<voice::Registered>(MessageType::kRegistered).has_value());
        }
        ASSERT_TRUE(client->Send(voice::EncodeWatchListPart({"7\n"})));
        if (c.welcome >= 2) {
            EXPECT_TRUE(client->RoundTrip());
            ASSERT_TRUE(client->Send(voice::Encode(voice::Bye{})));
        }
        // Gone before the next session registers the same user.
        EXPECT_TRUE(client->WaitClosed());
    }
    EXPECT_TRUE(server->LogShows("protocol error: frame before registration")) << server->Log();
}

TEST_F(VoiceServerLimitsTest, EveryNonEmptyLineOfALongWatchListIsAnswered) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    auto client = LoggedIn(ann);
    // A contact list of 10000, the own id, lines that are no id, an empty line and three ids
    // past the limit: over 60000 bytes, so in parts.
    std::string list = IdList(5000) + ann.id + "\n" + "abc\n\n\r\n" + "0123\n" +
                       IdList(5000, 71000000) + IdList(3, 72000000);
    ASSERT_GT(list.size(), voice::kMaxIdList);
    ASSERT_TRUE(SendList(*client, true, list));
    const std::vector<voice::Watch> watches = Watches(*client, 10006);
    ASSERT_EQ(watches.size(), 10006u);
    EXPECT_EQ(watches[0].userId, "70000000");
    EXPECT_EQ(watches[4999].userId, "70004999");
    // "abc", the lone CR and "0123" are no ids: answered without one.
    for (std::size_t i = 5000; i < 5003; ++i) {
        EXPECT_EQ(watches[i].userId, "");
        EXPECT_EQ(watches[i].status, 0);
    }
    EXPECT_EQ(watches[5003].userId, "71000000");
    EXPECT_EQ(watches[10002].userId, "71004999");
    EXPECT_EQ(watches[10003].userId, "72000000");
    EXPECT_EQ(watches[10005].userId, "72000002");
    EXPECT_EQ(watches[10005].status, 0);
    EXPECT_TRUE(client->Quiet(200));
    // An addition past the limit is answered too.
    ASSERT_TRUE(client->Send(voice::EncodeWatchList({1, "73000000\n"})));
    const auto added = client->Expect<voice::Watch>(MessageType::kWatch);
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(added->userId, "73000000");
}

TEST_F(VoiceServerLimitsTest, ALongBlockListIsAppliedWhole) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    const Account bob = CreateAccount(directory, "Bobby");
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    ASSERT_TRUE(a->Send(voice::Encode(voice::SetStatus{0})));
    // Two sessions' frames have no order between them: Ann's status must be in first.
    ASSERT_TRUE(a->RoundTrip());
    ASSERT_TRUE(b->Send(voice::EncodeWatchList({0, ann.id + "\n"})));
    const auto online = b->Expect<voice::Watch>(MessageType::kWatch);
    ASSERT_TRUE(online.has_value());
    EXPECT_EQ(online->status, 1);
    // Bob's id at the end of a block list of 9000 lines.
    const std::string list = IdList(9000) + bob.id + "\n";
    std::vector<std::string> pieces = voice::SplitList(list);
    ASSERT_GE(pieces.size(), 2u);
    // The parts alone change nothing.
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        ASSERT_TRUE(a->Send(voice::EncodeBlockListPart({pieces[i]})));
    }
    ASSERT_TRUE(a->RoundTrip());
    EXPECT_TRUE(b->Quiet(200));
    ASSERT_TRUE(a->Send(voice::EncodeBlockList({0, pieces.back()})));
    const auto blocked = b->Expect<voice::Watch>(MessageType::kWatch);
    ASSERT_TRUE(blocked.has_value());
    EXPECT_EQ(blocked->userId, ann.id);
    EXPECT_EQ(blocked->status, 0);
    // And Bob's messages no longer reach Ann.
    ASSERT_TRUE(b->Send(voice::Encode(voice::SendUserMessage{ann.id, 8, 0, "hi"})));
    ASSERT_TRUE(b->RoundTrip());
    EXPECT_TRUE(a->Quiet(200));
}

TEST_F(VoiceServerLimitsTest, AListLongerThanTheWholeLimitEndsTheSession) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    auto client = LoggedIn(ann);
    std::string bytes;
    const std::string part(voice::kMaxIdList - 1, 'x');
    for (std::size_t sent = 0; sent <= voice::kMaxWholeList; sent += part.size() + 1) {
        bytes += voice::EncodeWatchListPart({part + "\n"});
    }
    client->Send(bytes);
    EXPECT_TRUE(client->WaitClosed());
    EXPECT_TRUE(server->LogShows("list longer than the limit"));
}

TEST_F(VoiceServerLimitsTest, AClientThatChurnsItsWatchListWaitsForItsBudget) {
    // 1000 ids a second and a burst of 8000: the first two replaces of 7500 ids run, the third
    // waits until 14500 ids of debt are paid, some 14 seconds later.
    Start({"--list-ids-per-second", "1000", "--list-ids-burst", "8000"});
    const Account churnAccount = CreateAccount(directory, "Churner");
    const Account witnessAccount = CreateAccount(directory, "Witness");
    auto witness = LoggedIn(witnessAccount);
    auto churner = LoggedIn(churnAccount);
    // 7-digit ids: the list just fits one frame.
    const std::string list = IdList(7500, 8000000);
    std::string burst;
    for (int i = 0; i < 4; ++i) {
        burst += voice::EncodeWatchList({0, list});
    }
    ASSERT_TRUE(churner->Send(burst));
    EXPECT_EQ(Watches(*churner, 15000).size(), 15000u);
    // The witness is served while the churner's third replace waits.
    for (std::uint32_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(witness->RoundTrip(i));
    }
    EXPECT_TRUE(churner->Quiet(1000));
    // The churner is slowed, not cut off.
    EXPECT_FALSE(churner->Closed());
}

TEST_F(VoiceServerLimitsTest, AFullLogOutputNeverHoldsTheServer) {
    // Standard error is a pipe that nobody reads.
    const std::string fifo = folder.File("stderr.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    server = std::make_unique<qv::test::VoiceServerProcess>(
        QV_VOICE_SERVER_PROGRAM, folder, directory.TicketPublicKey(), std::vector<std::string>{});
    // The process's log file is the FIFO: keep the test's own checks away from it.
    ASSERT_GT(server->Port(), 0);
    // Each connection that fails its handshake logs two lines: far more than a pipe holds.
    for (int i = 0; i < 1500; ++i) {
        RawVoiceClient plain;
        ASSERT_TRUE(plain.Connect(server->Port()));
        plain.Send("x");
    }
    auto witness = Connected();
    const bool served = witness->Handshake().has_value() && witness->RoundTrip();
    EXPECT_TRUE(served);
    if (!served) {
        ::close(reader);  // a server stuck writing its log would not stop either
    }
    // Stopping does not wait for the log either.
    const int status = server->Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    if (served) {
        ::close(reader);
    }
    server.reset();
}

}  // namespace
}  // namespace qv::voicesvc::test
