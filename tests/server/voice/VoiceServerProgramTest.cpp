// The sonaro-server program with the voice tickets of a real directory service, spoken to by fake
// engines over loopback.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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
                                                                directory.TicketPublicKey(), extra);
        ASSERT_GT(server->Port(), 0) << "the voice server did not start";
    }

    std::unique_ptr<RawVoiceClient> Connected(const char* source = nullptr, int receiveBuffer = 0) {
        auto client = std::make_unique<RawVoiceClient>();
        client->caFile = server->CaFile();
        EXPECT_TRUE(client->Connect(server->Port(), source, receiveBuffer));
        return client;
    }

    // A connection the server closes at once: over TLS its handshake fails or it closes after.
    bool ClosedAtOnce(const char* source) {
        RawVoiceClient client;
        client.caFile = server->CaFile();
        return !client.Connect(server->Port(), source) || client.WaitClosed();
    }

    std::unique_ptr<RawVoiceClient> LoggedIn(const Account& account, int receiveBuffer = 0) {
        auto client = Connected(nullptr, receiveBuffer);
        const auto registered = client->Login(account.id, SignedTicket(directory, account));
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
    EXPECT_TRUE(server->LogShows("connected from 127.0.0.1"));
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
        QV_VOICE_SERVER_PROGRAM, folder, directory.TicketPublicKey(),
        std::vector<std::string>{"--config", config});
    EXPECT_EQ(server->Port(), 0);
    const int status = server->Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_TRUE(server->LogShows("unknown key 'Colour'")) << server->Log();
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

TEST_F(VoiceServerProgramTest, WithoutItsTicketKeyTheServerRefusesToStart) {
    struct Case {
        const char* name;
        std::string key;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"none given", "", "no ticket public key"},
        {"unreadable", folder.File("missing.pub"), "cannot read " + folder.File("missing.pub")},
        {"not a key", folder.Write("bad.pub", "hello\n"), "does not hold a key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qv::test::VoiceServerProcess refused(QV_VOICE_SERVER_PROGRAM, folder, c.key);
        EXPECT_EQ(refused.Port(), 0);
        const int status = refused.Stop();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
        EXPECT_NE(refused.Log().find(c.message), std::string::npos) << refused.Log();
    }
}

TEST_F(VoiceServerProgramTest, TheVersionIsNegotiatedAndAnOldEngineIsToldToUpdate) {
    Start();
    struct Case {
        std::uint16_t offered;
        std::uint16_t spoken;
    };
    for (const Case& c : std::vector<Case>{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {9, 5}}) {
        auto client = Connected();
        const auto welcome = client->Handshake(c.offered);
        ASSERT_TRUE(welcome.has_value()) << c.offered;
        EXPECT_EQ(welcome->protocol, c.spoken);
    }
    // Version 0 does not exist.
    auto none = Connected();
    ASSERT_TRUE(none->Send(voice::Encode(voice::Hello{0, 402})));
    const auto refused = none->Expect<voice::Close>(MessageType::kClose);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->state, 13);
    EXPECT_TRUE(none->WaitClosed());

    // An engine of version 1 registers with a connection id: it is out of date (11, which
    // starts the update), never refused with message 8, which would wipe the stored login.
    const Account ann = CreateAccount(directory, "Annie");
    for (std::uint16_t version : {1, 2}) {
        auto old = Connected();
        ASSERT_TRUE(old->Handshake(version));
        ASSERT_TRUE(old->Send(voice::Encode(voice::Register{ann.id, "Annie", ann.connectionId})));
        const auto close = old->Next();
        ASSERT_TRUE(close.has_value());
        ASSERT_EQ(close->type, MessageType::kClose) << "no message 8 or anything else first";
        voice::Close decoded;
        ASSERT_TRUE(voice::Decode(close->fields, decoded));
        EXPECT_EQ(decoded.state, 11);
        EXPECT_TRUE(old->WaitClosed());
    }
    // A version-1 session may not use what it did not negotiate.
    auto v1 = Connected();
    ASSERT_TRUE(v1->Handshake(1));
    ASSERT_TRUE(v1->Send(
        voice::Encode(voice::RegisterTicket{ann.id, "Annie", SignedTicket(directory, ann)})));
    EXPECT_TRUE(v1->WaitClosed());
    EXPECT_TRUE(server->LogShows("protocol error"));
}

TEST_F(VoiceServerProgramTest, TheLoginsTicketRegistersWithTheDirectorysNickname) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    ASSERT_FALSE(ann.ticket.empty()) << "LoginEx2 gave no VoiceTicket";
    auto client = Connected();
    ASSERT_TRUE(client->Handshake());
    ASSERT_TRUE(client->Send(voice::Encode(voice::RegisterTicket{ann.id, "Impostor", ann.ticket})));
    const auto registered = client->Expect<voice::Registered>(MessageType::kRegistered);
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(registered->userId, ann.id);
    EXPECT_EQ(registered->nickname, "Annie");
    EXPECT_TRUE(client->RoundTrip());
    EXPECT_TRUE(server->LogShows("registered as " + ann.id));
    EXPECT_EQ(server->Log().find(ann.ticket), std::string::npos);
}

TEST_F(VoiceServerProgramTest, AFailedTicketIsALostConnectionNeverMessage8) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    const Account bob = CreateAccount(directory, "Bobby");
    // A ticket used once already.
    const std::string used = SignedTicket(directory, ann);
    {
        auto first = Connected();
        ASSERT_TRUE(first->Login(ann.id, used));
        ASSERT_TRUE(first->Send(voice::Encode(voice::Bye{})));
        EXPECT_TRUE(first->WaitClosed());
    }
    TicketFields expired;
    expired.expiresIn = -5;
    TicketFields west;
    west.cluster = "west";
    std::string forged = SignedTicket(directory, ann);
    // Not the last character: its low bits are padding, and a change there can make the text
    // non-canonical base64, which is a malformed ticket rather than a forged one.
    char& inSignature = forged[forged.size() - 10];
    inSignature = inSignature == 'A' ? 'B' : 'A';
    struct Case {
        const char* name;
        std::string ticket;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"bad signature", forged, "bad signature"},
        {"expired", SignedTicket(directory, ann, expired), "expired"},
        {"another user's", SignedTicket(directory, bob), "issued to another user"},
        {"another cluster", SignedTicket(directory, ann, west), "meant for another voice cluster"},
        {"replayed", used, "used before"},
        {"not a ticket", std::string(32, '0'), "malformed ticket"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto client = Connected();
        ASSERT_TRUE(client->Handshake());
        ASSERT_TRUE(client->Send(voice::Encode(voice::RegisterTicket{ann.id, "Annie", c.ticket})));
        const auto frame = client->Next();
        ASSERT_TRUE(frame.has_value());
        ASSERT_EQ(frame->type, MessageType::kClose) << "no message 8 or anything else first";
        voice::Close close;
        ASSERT_TRUE(voice::Decode(frame->fields, close));
        EXPECT_EQ(close.state, 5);
        EXPECT_NE(close.text.find(c.reason), std::string::npos) << close.text;
        EXPECT_TRUE(client->WaitClosed());
        EXPECT_TRUE(
            server->LogShows("ticket refused for " + ann.id + ": " + c.reason + " (1 so far)"))
            << server->Log();
    }
    // Refusals are counted per reason.
    auto again = Connected();
    ASSERT_TRUE(again->Handshake());
    ASSERT_TRUE(again->Send(voice::Encode(voice::RegisterTicket{ann.id, "Annie", used})));
    EXPECT_TRUE(again->WaitClosed());
    EXPECT_TRUE(server->LogShows(": used before (2 so far)"));
    // A fresh ticket still logs in afterwards.
    LoggedIn(ann);
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
        ASSERT_TRUE(second->Send(
            voice::Encode(voice::RegisterTicket{ann.id, "Annie", SignedTicket(directory, ann)})));
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
        {"RegisterTicket with a bad id", Stage::kWelcomed,
         voice::Encode(voice::RegisterTicket{"0123", "n", "c"})},
        {"a large frame before registration", Stage::kConnected,
         Header(4000) + std::string(4000, 'x')},
        {"a large frame after Hello", Stage::kWelcomed, Header(2100) + std::string(2100, 'x')},
        {"second Hello", Stage::kRegistered, voice::Encode(voice::Hello{2, 402})},
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
            ASSERT_TRUE(client->Login(hostile.id, SignedTicket(directory, hostile)));
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
    EXPECT_TRUE(server->LogShows("too many frames"));
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
    EXPECT_TRUE(server->LogShows("bytes of output unread")) << server->Log();
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
    EXPECT_TRUE(server->LogShows("no Hello in time"));
    EXPECT_TRUE(server->LogShows("nothing received in time"));
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
    EXPECT_TRUE(server->LogShows("no Register in time"));
}

TEST_F(VoiceServerProgramTest, AFullServerSaysSoAtRegistration) {
    Start({"--max-sessions", "1"});
    const Account ann = CreateAccount(directory, "Annie");
    const Account bob = CreateAccount(directory, "Bobby");
    auto first = LoggedIn(ann);
    // Unregistered sessions take no place: the second is welcomed, and told at registration.
    auto second = Connected();
    ASSERT_TRUE(second->Handshake());
    ASSERT_TRUE(second->Send(
        voice::Encode(voice::RegisterTicket{bob.id, "Bobby", SignedTicket(directory, bob)})));
    const auto close = second->Expect<voice::Close>(MessageType::kClose);
    ASSERT_TRUE(close.has_value());
    EXPECT_EQ(close->state, 12);
    EXPECT_EQ(close->text, "The server is full.");
    EXPECT_TRUE(second->WaitClosed());
    // The place comes free when the first one goes.
    first->Send(voice::Encode(voice::Bye{}));
    EXPECT_TRUE(first->WaitClosed());
    LoggedIn(bob);
}

TEST_F(VoiceServerProgramTest, SessionsNotRegisteredAreCappedInAllAndPerAddress) {
    Start({"--max-unregistered", "5", "--max-unregistered-per-address", "3"});
    const Account ann = CreateAccount(directory, "Annie");
    auto witness = LoggedIn(ann);  // a registered session counts in neither cap
    std::vector<std::unique_ptr<RawVoiceClient>> waiting;
    for (int i = 0; i < 3; ++i) {
        waiting.push_back(Connected("127.0.0.2"));
        ASSERT_TRUE(waiting.back()->Handshake()) << i;
    }
    // A fourth from that address is closed at once, without a word.
    EXPECT_TRUE(ClosedAtOnce("127.0.0.2"));
    for (int i = 0; i < 2; ++i) {
        waiting.push_back(Connected("127.0.0.3"));
        ASSERT_TRUE(waiting.back()->Handshake()) << i;
    }
    // Five in all: one more from anywhere is closed too.
    EXPECT_TRUE(ClosedAtOnce("127.0.0.4"));
    EXPECT_TRUE(server->LogShows("too many sessions not registered"));
    EXPECT_TRUE(witness->RoundTrip());
    // A place comes free when one of them goes.
    waiting.front().reset();
    EXPECT_TRUE(witness->RoundTrip());
    for (int tries = 0; tries < 50; ++tries) {
        auto next = Connected("127.0.0.4");
        if (next->Handshake()) {
            return;
        }
    }
    ADD_FAILURE() << "no place came free";
}

TEST_F(VoiceServerProgramTest, AStopSignalEndsTheServerPromptlyWhateverIsInFlight) {
    Start();
    const Account ann = CreateAccount(directory, "Annie");
    auto registered = LoggedIn(ann);
    auto welcomed = Connected();
    ASSERT_TRUE(welcomed->Handshake());
    auto halfFrame = Connected();
    ASSERT_TRUE(halfFrame->Send(Header(40) + "\x00\x01"));
    // A session closing with its Close unread lingers for seconds.
    auto lingering = Connected(nullptr, 4096);
    ASSERT_TRUE(lingering->Send(voice::Encode(voice::Hello{0, 402})));
    ASSERT_TRUE(registered->RoundTrip());
    const auto start = std::chrono::steady_clock::now();
    const int status = server->Stop();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // Well under the 5 s a closing session may linger.
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_TRUE(registered->WaitClosed());
    EXPECT_TRUE(welcomed->WaitClosed());
}

}  // namespace
}  // namespace qv::voicesvc::test
