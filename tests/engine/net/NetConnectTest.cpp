#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "NetEngineFixture.h"

namespace qv::test {
namespace {

using Millis = std::chrono::milliseconds;
using voice::MessageType;

class NetConnectTest : public NetEngineFixture {};

TEST_F(NetConnectTest, WelcomeGivesConnectedWithTheVersionsReadableInsideTheEvent) {
    std::int32_t versionsInEvent = -1;
    Bool32 currentInEvent = -1;
    sink.onEvent = [&](const std::string& line) {
        if (line.rfind("connectionEvent 0", 0) == 0) {
            versionsInEvent = Engine().RequiredVersions();
            currentInEvent = Engine().IsCurrentVersion();
        }
    };
    EXPECT_EQ(Engine().RequiredVersions(), 0);
    EXPECT_NE(Engine().IsCurrentVersion(), 0);
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Greet());
    EXPECT_EQ(server.hello.protocol, voice::kProtocolVersion);
    EXPECT_EQ(server.hello.controlBuild, kNetBuild);
    const std::int32_t versions = (101 << 16) | 7;
    ASSERT_TRUE(server.SendWelcome(kNetBuild, versions, "Voice One"));
    ASSERT_TRUE(sink.WaitForCount(1));
    EXPECT_EQ(sink.Events(), std::vector<std::string>{"connectionEvent 0 Voice One"});
    EXPECT_EQ(versionsInEvent, versions);
    EXPECT_NE(currentInEvent, 0);
    EXPECT_EQ(Engine().StatusCode(), 0);
}

TEST_F(NetConnectTest, ARequiredControlBuildAboveOursIsNotCurrent) {
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Welcome(kNetBuild + 1, 5 << 16));
    ASSERT_TRUE(sink.WaitFor("connectionEvent 0 "));
    EXPECT_EQ(Engine().IsCurrentVersion(), 0);
    EXPECT_EQ(Engine().RequiredVersions(), 5 << 16);
}

TEST_F(NetConnectTest, ConnectRefusesWhatCannotStartASession) {
    EXPECT_EQ(Engine().Connect("", server.WirePort()), 0);
    EXPECT_EQ(Engine().Connect("127.0.0.1", 0), 0);
    ASSERT_TRUE(ConnectToServer());
    EXPECT_EQ(Engine().Connect("127.0.0.1", server.WirePort()), 0);  // one session at a time
    ASSERT_TRUE(server.Welcome());
    ASSERT_TRUE(sink.WaitForCount(1));
    EXPECT_FALSE(server.Knocking(Millis(100)));  // the refused call made no second connection
    EXPECT_TRUE(sink.StaysAt(1, Millis(100)));
}

TEST_F(NetConnectTest, AnEndedSessionMakesRoomForAnotherConnect) {
    ConnectWelcomed();
    ASSERT_TRUE(server.Send(voice::Encode(voice::Close{12, "Server full."})));
    ASSERT_TRUE(sink.WaitFor("connectionEvent 12 Server full."));
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Welcome(1, 0, "Again"));
    EXPECT_TRUE(sink.WaitFor("connectionEvent 0 Again"));
}

// One way a connection attempt or session ends, and the single event it must give.
struct Ending {
    const char* name;
    bool redirect;  // the script only changes where Connect goes
    std::function<void(FakeVoiceServer&, std::string& server, std::int16_t& port)> script;
    std::string event;
};

void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.name;
}

void GreetThen(FakeVoiceServer& s, const std::string& bytes) {
    ASSERT_TRUE(s.Greet());
    ASSERT_TRUE(s.Send(bytes));
}

void WelcomeThen(FakeVoiceServer& s, const std::string& bytes) {
    ASSERT_TRUE(s.Welcome());
    ASSERT_TRUE(s.Send(bytes));
}

// Listens on loopback without TLS and sends a Welcome to whoever connects.
class PlainGreeter {
  public:
    PlainGreeter() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), n);
        ::listen(listener_, 4);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            const int peer = ::accept(listener_, nullptr, nullptr);
            if (peer >= 0) {
                const std::string welcome = voice::Encode(voice::Welcome{1, 1, 0, "Plain"});
                ::send(peer, welcome.data(), welcome.size(), MSG_NOSIGNAL);
                char buffer[4096];
                while (::recv(peer, buffer, sizeof buffer, 0) > 0) {
                }
                ::close(peer);
            }
        });
    }
    ~PlainGreeter() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    std::int16_t Port() const { return static_cast<std::int16_t>(port_); }

  private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

const std::string kGarbage = std::string("\x00\x00\x00\x01\x01", 5);  // body shorter than a type

std::vector<Ending> Endings() {
    return {
        {"HostNotFound", true,
         [](FakeVoiceServer&, std::string& server, std::int16_t&) {
             server = "no-such-host.invalid";
         },
         "connectionEvent 1 "},
        {"Refused", true,
         [](FakeVoiceServer&, std::string&, std::int16_t& port) {
             // A port that was just free and has no listener.
             const int s = ::socket(AF_INET, SOCK_STREAM, 0);
             sockaddr_in a{};
             a.sin_family = AF_INET;
             a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
             socklen_t n = sizeof a;
             ::bind(s, reinterpret_cast<sockaddr*>(&a), n);
             ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
             ::close(s);
             port = static_cast<std::int16_t>(ntohs(a.sin_port));
         },
         "connectionEvent 2 Connection refused"},
        {"NoWelcome", false, [](FakeVoiceServer& s, std::string&, std::int16_t&) { s.Greet(); },
         "connectionEvent 3 "},
        {"UntrustedCertificate", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             s.UseUntrustedCertificate();
             s.Accept();
         },
         "connectionEvent 2 The voice server's certificate is not trusted"},
        {"PlainServer", true,
         [](FakeVoiceServer&, std::string&, std::int16_t& port) {
             // A server without TLS that greets at once: the engine never takes its words.
             static PlainGreeter greeter;
             port = greeter.Port();
         },
         "connectionEvent 2 Cannot connect to the voice server"},
        {"CloseBeforeWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             GreetThen(s, voice::Encode(voice::Close{13, "Unsupported protocol version."}));
         },
         "connectionEvent 13 Unsupported protocol version."},
        {"DropBeforeWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             s.Greet();
             s.Drop();
         },
         "connectionEvent 5 "},
        {"GarbageBeforeWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) { GreetThen(s, kGarbage); },
         "connectionEvent 5 "},
        {"OtherFrameBeforeWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             GreetThen(s, voice::Encode(voice::Watch{"7", 1}));
         },
         "connectionEvent 5 "},
        {"CloseAfterWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             WelcomeThen(s, voice::Encode(voice::Close{13, "Authentication failed."}));
         },
         "connectionEvent 13 Authentication failed."},
        {"CloseWithStateZero", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             WelcomeThen(s, voice::Encode(voice::Close{0, "Bye."}));
         },
         "connectionEvent 5 Bye."},
        {"DropAfterWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             ASSERT_TRUE(s.Welcome());
             s.Drop();
         },
         "connectionEvent 5 Connection lost"},
        {"GarbageAfterWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) { WelcomeThen(s, kGarbage); },
         "connectionEvent 5 "},
        {"UnknownTypeAfterWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             WelcomeThen(s, std::string("\x00\x00\x00\x02\x0F\x0F", 6));
         },
         "connectionEvent 5 "},
        {"ShortFieldsAfterWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             std::string watch = voice::Encode(voice::Watch{"7", 1});
             watch.pop_back();
             watch[3] = static_cast<char>(watch[3] - 1);
             WelcomeThen(s, watch);
         },
         "connectionEvent 5 "},
        {"SecondWelcome", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             WelcomeThen(s, voice::Encode(voice::Welcome{1, 1, 0, "again"}));
         },
         "connectionEvent 5 "},
        {"RegisteredUnasked", false,
         [](FakeVoiceServer& s, std::string&, std::int16_t&) {
             WelcomeThen(s, voice::Encode(voice::Registered{"42", "nick"}));
         },
         "connectionEvent 5 "},
    };
}

class NetEndingTest : public NetEngineFixture, public ::testing::WithParamInterface<Ending> {};

TEST_P(NetEndingTest, GivesExactlyOneFinalConnectionEvent) {
    // Room for the TLS handshake on a loaded machine; the NoWelcome case waits it out.
    Tuning().SetWelcomeTimeout(2000);
    std::string host = "127.0.0.1";
    std::int16_t port = server.WirePort();
    // Scripts that need the connection run after Connect; the others only change its target.
    const Ending& ending = GetParam();
    if (ending.redirect) {
        ending.script(server, host, port);
    }
    ASSERT_NE(Engine().Connect(host, port), 0);
    if (!ending.redirect) {
        ending.script(server, host, port);
    }
    ASSERT_TRUE(sink.WaitFor(ending.event)) << ::testing::PrintToString(sink.Events());
    const std::vector<std::string> events = sink.Events();
    const std::size_t count = events.size();
    EXPECT_EQ(events.back().rfind(ending.event, 0), 0u) << events.back();
    // Only a welcomed session has a connectionEvent(0) before its end.
    EXPECT_LE(count, 2u);
    EXPECT_TRUE(sink.StaysAt(count, Millis(2200)));  // longer than the Welcome timeout
    EXPECT_EQ(Engine().GetPing(), 0);
    EXPECT_EQ(Engine().SetStatus(0), 0);  // the session is over
}

INSTANTIATE_TEST_SUITE_P(Endings, NetEndingTest, ::testing::ValuesIn(Endings()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::test
