// The sonaro-server program against a real directory service, spoken to by fake engines over
// loopback.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
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

// A frame of any type with any body, right or wrong.
std::string RawFrame(std::uint16_t type, const std::string& fields) {
    const std::uint32_t body = static_cast<std::uint32_t>(fields.size() + 2);
    std::string frame;
    for (int shift = 24; shift >= 0; shift -= 8) {
        frame.push_back(static_cast<char>((body >> shift) & 0xFF));
    }
    frame.push_back(static_cast<char>(type >> 8));
    frame.push_back(static_cast<char>(type & 0xFF));
    return frame + fields;
}

std::string Header(std::uint32_t body) {
    std::string header;
    for (int shift = 24; shift >= 0; shift -= 8) {
        header.push_back(static_cast<char>((body >> shift) & 0xFF));
    }
    return header;
}

std::string List(const std::vector<std::string>& ids) {
    std::string list;
    for (const std::string& id : ids) {
        list += id + "\n";
    }
    return list;
}

class VoiceServerProgramTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(directory.Host().empty()) << "no directory service"; }
    // Whatever a test did, the server stops cleanly and the sanitizers found nothing.
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
                                                                directory.Host(), extra);
        ASSERT_GT(server->Port(), 0) << "the voice server did not start";
    }

    std::unique_ptr<RawVoiceClient> Connected(const char* source = nullptr, int receiveBuffer = 0) {
        auto client = std::make_unique<RawVoiceClient>();
        client->caFile = server->CaFile();
        EXPECT_TRUE(client->Connect(server->Port(), source, receiveBuffer));
        return client;
    }

    std::unique_ptr<RawVoiceClient> LoggedIn(const Account& account, int receiveBuffer = 0) {
        auto client = Connected(nullptr, receiveBuffer);
        const auto registered = client->Login(account.id, account.connectionId);
        EXPECT_TRUE(registered.has_value()) << account.id;
        return client;
    }

    qv::test::TempFolder folder;
    qv::test::DirectoryServiceProcess directory{QV_DIRECTORY_PROGRAM, folder};
    std::unique_ptr<qv::test::VoiceServerProcess> server;
};

TEST_F(VoiceServerProgramTest, TheWelcomeCarriesTheConfiguredValues) {
    const std::string config =
        folder.Write("voice.conf",
                     "# test server\nRequiredControlBuild=555\nRequiredProgramBuild=7\n"
                     "RequiredPatcherBuild=3\nServerName=Test Voice\n");
    Start({"--config", config});
    auto client = Connected();
    const auto welcome = client->Handshake();
    ASSERT_TRUE(welcome.has_value());
    EXPECT_EQ(welcome->protocol, voice::kProtocolVersion);
    EXPECT_EQ(welcome->requiredControlBuild, 555u);
    EXPECT_EQ(welcome->requiredVersions, (7 << 16) | 3);
    EXPECT_EQ(welcome->serverName, "Test Voice");
    // Pings are answered before registration too.
    EXPECT_TRUE(client->RoundTrip());
    EXPECT_NE(server->Log().find("connected from 127.0.0.1"), std::string::npos);
}

TEST_F(VoiceServerProgramTest, DefaultsAndAStopSignalEndTheProgramCleanly) {
    Start();
    auto client = Connected();
    const auto welcome = client->Handshake();
    ASSERT_TRUE(welcome.has_value());
    EXPECT_EQ(welcome->requiredControlBuild, static_cast<std::uint32_t>(QV_NET_BUILD));
    EXPECT_EQ(welcome->requiredVersions, QV_PROGRAM_BUILD << 16);
    EXPECT_EQ(welcome->serverName, "Quorvane Voice Server");
    const int status = server->Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(client->WaitClosed());
}

TEST_F(VoiceServerProgramTest, ABadConfigurationStopsTheProgramWithStatusTwo) {
    const std::string config = folder.Write("bad.conf", "ServerName=x\nColour=red\n");
    server = std::make_unique<qv::test::VoiceServerProcess>(
        QV_VOICE_SERVER_PROGRAM, folder, directory.Host(),
        std::vector<std::string>{"--config", config});
    EXPECT_EQ(server->Port(), 0);
    const int status = server->Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_NE(server->Log().find("unknown key 'Colour'"), std::string::npos) << server->Log();
}

TEST_F(VoiceServerProgramTest, AnotherProtocolVersionIsClosedWithState13) {
    Start();
    auto client = Connected();
    ASSERT_TRUE(client->Send(voice::Encode(voice::Hello{0, 401})));
    const auto close = client->Expect<voice::Close>(MessageType::kClose);
    ASSERT_TRUE(close.has_value());
    EXPECT_EQ(close->state, 13);
    EXPECT_FALSE(close->text.empty());
    EXPECT_TRUE(client->WaitClosed());
}

TEST_F(VoiceServerProgramTest, RegistrationUsesTheDirectorysNickname) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    auto client = Connected();
    ASSERT_TRUE(client->Handshake());
    ASSERT_TRUE(client->Send(voice::Encode(voice::Register{ann.id, "Impostor", ann.connectionId})));
    const auto registered = client->Expect<voice::Registered>(MessageType::kRegistered);
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(registered->userId, ann.id);
    EXPECT_EQ(registered->nickname, "Annie");
    EXPECT_TRUE(client->RoundTrip());
    EXPECT_NE(server->Log().find("registered as " + ann.id), std::string::npos);
    EXPECT_EQ(server->Log().find(ann.connectionId), std::string::npos);
}

TEST_F(VoiceServerProgramTest, AConnectionIdThatIsNotTheUsersIsRefused) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    const Account bob = CreateAccount(directory, "Bobby");
    for (const auto& [id, connection] : std::vector<std::pair<std::string, std::string>>{
             {ann.id, std::string(32, '0')}, {ann.id, bob.connectionId}}) {
        auto client = Connected();
        ASSERT_TRUE(client->Handshake());
        ASSERT_TRUE(client->Send(voice::Encode(voice::Register{id, "Annie", connection})));
        const auto message = client->Expect<voice::ServerMessage>(MessageType::kServerMessage);
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->type, 3);
        EXPECT_EQ(message->number, 8);
        EXPECT_FALSE(message->text.empty());
        const auto close = client->Expect<voice::Close>(MessageType::kClose);
        ASSERT_TRUE(close.has_value());
        EXPECT_EQ(close->state, 13);
        EXPECT_EQ(close->text, "Authentication failed.");
        EXPECT_TRUE(client->WaitClosed());
    }
    // The right pair still passes afterwards.
    LoggedIn(ann);
}

TEST_F(VoiceServerProgramTest, AnUnreachableDirectoryClosesTheSession) {
    // A bound port that nobody listens on refuses every connection.
    const int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t size = sizeof address;
    ::getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &size);
    server = std::make_unique<qv::test::VoiceServerProcess>(
        QV_VOICE_SERVER_PROGRAM, folder, "127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    ASSERT_GT(server->Port(), 0);
    auto client = Connected();
    ASSERT_TRUE(client->Handshake());
    ASSERT_TRUE(client->Send(voice::Encode(voice::Register{"100", "Annie", "abc"})));
    const auto close = client->Expect<voice::Close>(MessageType::kClose);
    ASSERT_TRUE(close.has_value());
    EXPECT_EQ(close->state, 13);
    EXPECT_EQ(close->text, "The directory service cannot be reached.");
    EXPECT_TRUE(client->WaitClosed());
    ::close(blocker);
}

TEST_F(VoiceServerProgramTest, ASecondLoginIsRefusedAndTheFirstKept) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    auto first = LoggedIn(ann);
    struct Case {
        const char* source;
        std::int16_t number;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1", 3, "Alias in use - " + ann.id},
        {"127.0.0.2", 4, "Already logged in - " + ann.id},
    };
    for (const Case& c : cases) {
        auto second = Connected(c.source);
        ASSERT_TRUE(second->Handshake()) << c.source;
        ASSERT_TRUE(
            second->Send(voice::Encode(voice::Register{ann.id, "Annie", ann.connectionId})));
        const auto message = second->Expect<voice::ServerMessage>(MessageType::kServerMessage);
        ASSERT_TRUE(message.has_value()) << c.source;
        EXPECT_EQ(message->type, 3);
        EXPECT_EQ(message->number, c.number);
        EXPECT_EQ(message->text, c.text);
        const auto close = second->Expect<voice::Close>(MessageType::kClose);
        ASSERT_TRUE(close.has_value());
        EXPECT_EQ(close->state, 13);
        EXPECT_TRUE(second->WaitClosed());
        EXPECT_TRUE(first->RoundTrip());
    }
}

TEST_F(VoiceServerProgramTest, PresenceAndMessagesBetweenTwoEngines) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    const Account bob = CreateAccount(directory, "Bobby");
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    const auto watch = [](RawVoiceClient& client) {
        return client.Expect<voice::Watch>(MessageType::kWatch);
    };
    const auto expectWatch = [&](RawVoiceClient& client, const std::string& id, int status) {
        const auto w = watch(client);
        ASSERT_TRUE(w.has_value()) << id << " " << status;
        EXPECT_EQ(w->userId, id);
        EXPECT_EQ(w->status, status);
    };

    // The burst: one per line, offline until the first status, none for the own id, a line
    // that is no id answered without one.
    ASSERT_TRUE(a->Send(voice::EncodeWatchList({0, List({bob.id, ann.id, "x", bob.id})})));
    expectWatch(*a, bob.id, 0);
    expectWatch(*a, "", 0);
    expectWatch(*a, bob.id, 0);
    ASSERT_TRUE(b->Send(voice::Encode(voice::SetStatus{2})));
    expectWatch(*a, bob.id, 3);
    ASSERT_TRUE(a->Send(voice::Encode(voice::SetStatus{32})));
    ASSERT_TRUE(a->RoundTrip());
    ASSERT_TRUE(b->Send(voice::EncodeWatchList({1, List({ann.id})})));
    expectWatch(*b, ann.id, 32);

    // Bob blocks Ann: she sees him offline and her messages vanish without a word.
    ASSERT_TRUE(b->Send(voice::EncodeBlockList({1, List({ann.id})})));
    expectWatch(*a, bob.id, 0);
    ASSERT_TRUE(a->Send(voice::Encode(voice::SendUserMessage{bob.id, 8, 0, "dropped"})));
    ASSERT_TRUE(a->Send(voice::EncodePing({5, 1234})));
    auto next = a->Next();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->type, MessageType::kPong);
    ASSERT_TRUE(b->Send(voice::EncodePing({6, 1234})));
    next = b->Next();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->type, MessageType::kPong);

    ASSERT_TRUE(b->Send(voice::EncodeBlockList({2, List({ann.id})})));
    expectWatch(*a, bob.id, 3);
    ASSERT_TRUE(a->Send(voice::Encode(voice::SendUserMessage{bob.id, 8, 5, "Hello Bob"})));
    const auto message = b->Expect<voice::UserMessage>(MessageType::kUserMessage);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->alias, "Annie");
    EXPECT_EQ(message->userId, ann.id);
    EXPECT_EQ(message->number, 8);
    EXPECT_EQ(message->parameter, 5);
    EXPECT_EQ(message->text, "Hello Bob");
    EXPECT_EQ(server->Log().find("Hello Bob"), std::string::npos);

    ASSERT_TRUE(a->Send(voice::Encode(voice::SendUserMessage{"4000000000", 8, 0, "x"})));
    const auto offline = a->Expect<voice::ServerMessage>(MessageType::kServerMessage);
    ASSERT_TRUE(offline.has_value());
    EXPECT_EQ(offline->type, 1);
    EXPECT_EQ(offline->number, 2);
    EXPECT_EQ(offline->text, "User is offline - 4000000000");

    // Leaving makes Bob offline at once, with Bye or by hanging up.
    ASSERT_TRUE(b->Send(voice::Encode(voice::Bye{})));
    expectWatch(*a, bob.id, 0);
    EXPECT_TRUE(b->WaitClosed());
    b = LoggedIn(bob);
    ASSERT_TRUE(b->Send(voice::Encode(voice::SetStatus{0})));
    expectWatch(*a, bob.id, 1);
    b.reset();
    expectWatch(*a, bob.id, 0);
}

TEST_F(VoiceServerProgramTest, HostileEnginesLoseTheirConnectionAndOthersAreServed) {
    Start();
    const Account witnessAccount = CreateAccount(directory, "Witness");
    const Account hostile = CreateAccount(directory, "Hostile");
    auto witness = LoggedIn(witnessAccount);
    enum class Stage { kConnected, kWelcomed, kRegistered };
    std::string flood;
    for (int i = 0; i < 600; ++i) {
        flood += voice::EncodePing({static_cast<std::uint32_t>(i), 1});
    }
    struct Case {
        const char* name;
        Stage stage;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"garbage", Stage::kConnected, "GET / HTTP/1.1\r\nHost: x\r\n\r\n"},
        {"oversized length", Stage::kWelcomed, Header(65537) + std::string(100, 'x')},
        {"length shorter than a type", Stage::kWelcomed, Header(1) + "x"},
        {"frame before Hello", Stage::kConnected, voice::EncodePing({1, 2})},
        {"Hello with a byte too many", Stage::kConnected, RawFrame(1, std::string(7, '\0'))},
        {"unknown type", Stage::kWelcomed, RawFrame(0x7777, "")},
        {"a server message type", Stage::kWelcomed, voice::Encode(voice::Close{13, "x"})},
        {"status before registration", Stage::kWelcomed, voice::Encode(voice::SetStatus{0})},
        {"Register with a bad id", Stage::kWelcomed,
         voice::Encode(voice::Register{"0123", "n", "c"})},
        {"second Hello", Stage::kRegistered, voice::Encode(voice::Hello{1, 401})},
        {"unknown mode", Stage::kRegistered, voice::Encode(voice::SetStatus{3})},
        {"unknown list op", Stage::kRegistered, voice::EncodeWatchList({3, ""})},
        {"text over its limit", Stage::kRegistered,
         voice::Encode(voice::SendUserMessage{witnessAccount.id, 8, 0, std::string(1024, 't')})},
        {"NUL in a text", Stage::kRegistered,
         voice::Encode(voice::SendUserMessage{witnessAccount.id, 8, 0, std::string("a\0b", 3)})},
        {"truncated Ping", Stage::kRegistered, RawFrame(7, "abc")},
        {"flood", Stage::kWelcomed, flood},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto client = Connected();
        if (c.stage == Stage::kWelcomed) {
            ASSERT_TRUE(client->Handshake());
        } else if (c.stage == Stage::kRegistered) {
            ASSERT_TRUE(client->Login(hostile.id, hostile.connectionId));
        }
        client->Send(c.bytes);
        EXPECT_TRUE(client->WaitClosed());
        EXPECT_TRUE(witness->RoundTrip());
    }
    // Nothing reached the witness but its pongs.
    ASSERT_TRUE(witness->Send(voice::EncodePing({99, 1234})));
    const auto next = witness->Next();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->type, MessageType::kPong);
    EXPECT_NE(server->Log().find("too many frames"), std::string::npos);
}

TEST_F(VoiceServerProgramTest, AnEngineThatNeverReadsIsClosed) {
    Start();
    const Account sleeperAccount = CreateAccount(directory, "Sleeper");
    auto sleeper = LoggedIn(sleeperAccount, 4096);
    std::vector<std::unique_ptr<RawVoiceClient>> senders;
    const std::string text(1000, 'm');
    for (int i = 0; i < 8 && !sleeper->Closed(); ++i) {
        const Account account = CreateAccount(directory, "Sender" + std::string(1, 'a' + i));
        senders.push_back(LoggedIn(account));
        std::string burst;
        for (int j = 0; j < 300; ++j) {
            burst += voice::Encode(voice::SendUserMessage{sleeperAccount.id, 8, 0, text});
        }
        ASSERT_TRUE(senders.back()->Send(burst));
        ASSERT_TRUE(senders.back()->RoundTrip());
        if (server->Log().find("unread") != std::string::npos) {
            break;
        }
    }
    EXPECT_NE(server->Log().find("bytes of output unread"), std::string::npos) << server->Log();
    EXPECT_TRUE(sleeper->WaitClosed(10000));
    for (auto& sender : senders) {
        EXPECT_TRUE(sender->RoundTrip());
    }
}

TEST_F(VoiceServerProgramTest, SilentEnginesAreClosedAfterTheTimeouts) {
    Start({"--hello-timeout-ms", "200", "--idle-timeout-ms", "500"});
    const Account ann = CreateAccount(directory, "Annie");
    auto live = LoggedIn(ann);
    auto noHello = Connected();
    auto silent = Connected();
    ASSERT_TRUE(silent->Handshake());
    // The live engine pings faster than the idle limit and keeps its session.
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(live->RoundTrip(static_cast<std::uint32_t>(i)));
        EXPECT_TRUE(live->Quiet(100));
    }
    EXPECT_TRUE(noHello->WaitClosed());
    EXPECT_TRUE(silent->WaitClosed());
    EXPECT_TRUE(live->RoundTrip());
    EXPECT_NE(server->Log().find("no Hello in time"), std::string::npos);
    EXPECT_NE(server->Log().find("nothing received in time"), std::string::npos);
}

TEST_F(VoiceServerProgramTest, AnEngineThatNeverRegistersIsToldAndClosed) {
    Start({"--register-timeout-ms", "300"});
    auto waiting = Connected();
    ASSERT_TRUE(waiting->Handshake());
    ASSERT_TRUE(waiting->RoundTrip());  // pinging does not keep an unregistered session
    const auto close = waiting->Expect<voice::Close>(MessageType::kClose);
    ASSERT_TRUE(close.has_value());
    EXPECT_EQ(close->state, 13);
    EXPECT_EQ(close->text, "No login arrived in time. Please log in again.");
    EXPECT_TRUE(waiting->WaitClosed());
    EXPECT_NE(server->Log().find("no Register in time"), std::string::npos);
}

TEST_F(VoiceServerProgramTest, AFullServerSaysSo) {
    Start({"--max-sessions", "1"});
    auto first = Connected();
    ASSERT_TRUE(first->Handshake());
    auto second = Connected();
    ASSERT_TRUE(second->Send(voice::Encode(voice::Hello{1, 401})));
    const auto close = second->Expect<voice::Close>(MessageType::kClose);
    ASSERT_TRUE(close.has_value());
    EXPECT_EQ(close->state, 12);
    EXPECT_EQ(close->text, "The server is full.");
    EXPECT_TRUE(second->WaitClosed());
    // The place comes free when the first one goes.
    first->Send(voice::Encode(voice::Bye{}));
    EXPECT_TRUE(first->WaitClosed());
    auto third = Connected();
    EXPECT_TRUE(third->Handshake());
}

}  // namespace
}  // namespace qv::voicesvc::test
