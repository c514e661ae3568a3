#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "EngineTestSupport.h"
#include "NetEngineFixture.h"

namespace qv::test {
namespace {

using Millis = std::chrono::milliseconds;
using voice::MessageType;

class NetLifetimeTest : public NetEngineFixture {};

TEST_F(NetLifetimeTest, DisconnectDuringTheAttemptEndsItWithoutAnEvent) {
    Tuning().SetWelcomeTimeout(1500);
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Greet());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(Engine().Disconnect(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_TRUE(server.WaitForHangUp());
    EXPECT_TRUE(sink.StaysAt(0, Millis(1700)));  // not even the timeout
}

TEST_F(NetLifetimeTest, DisconnectBeforeTheServerAcceptsRaisesNothing) {
    Tuning().SetWelcomeTimeout(200);
    ASSERT_TRUE(ConnectToServer());
    EXPECT_NE(Engine().Disconnect(), 0);
    EXPECT_TRUE(sink.StaysAt(0, Millis(400)));
}

TEST_F(NetLifetimeTest, NothingComesAfterDisconnectEvenWithEventsUnderWay) {
    LogIn();
    // The engine's thread is held inside the first Watch while the test disconnects, with the
    // rest of the burst and a Close already read or on their way.
    std::mutex mutex;
    std::condition_variable inside;
    bool entered = false;
    sink.onEvent = [&](const std::string& line) {
        if (line == "Watch 100 1") {
            {
                std::lock_guard lock(mutex);
                entered = true;
            }
            inside.notify_all();
            std::this_thread::sleep_for(Millis(200));
        }
    };
    std::string burst;
    for (int i = 0; i < 300; ++i) {
        burst += voice::Encode(voice::Watch{std::to_string(100 + i), 1});
    }
    burst += voice::Encode(voice::Close{13, "late"});
    ASSERT_TRUE(server.Send(burst));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(inside.wait_for(lock, Millis(5000), [&] { return entered; }));
    }
    Engine().Disconnect();
    EXPECT_EQ(sink.Events().back(), "Watch 100 1");
    EXPECT_TRUE(sink.StaysAt(3, Millis(200)));
}

TEST_F(NetLifetimeTest, DisconnectSaysByeAndHangsUp) {
    LogIn();
    Engine().Disconnect();
    ASSERT_TRUE(server.WaitForHangUp());
    ASSERT_FALSE(server.Rest().empty());
    EXPECT_EQ(server.Rest().back().type, MessageType::kBye);
    EXPECT_EQ(Engine().SetStatus(0), 0);
}

TEST_F(NetLifetimeTest, DisconnectFromInsideAFailureEventDoesNotDeadlock) {
    sink.onEvent = [this](const std::string& line) {
        if (line.rfind("connectionEvent 13", 0) == 0) {
            Engine().Disconnect();
        }
    };
    ConnectWelcomed();
    ASSERT_TRUE(server.Send(voice::Encode(voice::Close{13, "Server closed."})));
    ASSERT_TRUE(sink.WaitFor("connectionEvent 13 Server closed."));
    EXPECT_NE(Engine().Disconnect(), 0);  // and again from the test's thread
    EXPECT_TRUE(sink.StaysAt(2, Millis(100)));
}

TEST_F(NetLifetimeTest, DisconnectFromInsideConnectedEndsTheSessionThere) {
    sink.onEvent = [this](const std::string& line) {
        if (line.rfind("connectionEvent 0", 0) == 0) {
            Engine().Disconnect();
        }
    };
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Welcome());
    ASSERT_TRUE(sink.WaitFor("connectionEvent 0 "));
    ASSERT_TRUE(server.WaitForHangUp());
    ASSERT_FALSE(server.Rest().empty());
    EXPECT_EQ(server.Rest().back().type, MessageType::kBye);
    EXPECT_TRUE(sink.StaysAt(1, Millis(100)));
    // The instance is usable again.
    sink.onEvent = nullptr;
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Welcome(1, 0, "Again"));
    EXPECT_TRUE(sink.WaitFor("connectionEvent 0 Again"));
}

TEST_F(NetLifetimeTest, PropertiesOutliveTheSession) {
    Credentials().SetVoiceTicket("conn-1");
    Engine().SetUserId("42");
    ConnectWelcomed();
    Engine().Disconnect();
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Welcome());
    ASSERT_TRUE(sink.WaitForCount(2));
    Engine().SetUserName("nick");  // id and connection id are still known
    const auto reg = As<voice::RegisterTicket>(server.Next(), MessageType::kRegisterTicket);
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->userId, "42");
    EXPECT_EQ(reg->ticket, "conn-1");
}

TEST_F(NetLifetimeTest, DestroyingTheInstanceLeavesNoThreadAndUnloadsTheFile) {
    TempFolder folder;
    const std::string copy = folder.File("Sonaro.ocx");
    CopyFile(kNetPath, copy);
    engine.reset();
    library.reset();
    const int before = ThreadCount();
    {
        std::unique_ptr<SonaroInstance> net =
            SonaroLibrary::CreateInstance(SonaroLibrary::Load(copy), sink);
        ASSERT_TRUE(net);
        net->Extension<SonaroTransport>(kSonaroTransportExtension)
            ->SetTrustedAuthorities(server.CaFile());
        EXPECT_EQ(net->Control().Connect("127.0.0.1", server.WirePort()), 1);
        ASSERT_TRUE(server.Welcome());
        ASSERT_TRUE(sink.WaitFor("connectionEvent 0 "));
        EXPECT_GT(ThreadCount(), before);
        EXPECT_TRUE(IsMapped(copy));
    }
    EXPECT_EQ(ThreadCount(), before);
    EXPECT_FALSE(IsMapped(copy));
    EXPECT_TRUE(server.WaitForHangUp());
}

TEST_F(NetLifetimeTest, RegistersTheSharedProgIdAndItsOwnPath) {
    TempFolder folder;
    Registry registry(folder.Path() + "registry/");
    RegistryForComponents writer(registry);
    ASSERT_TRUE(library->RegisterServer(writer));
    std::string path;
    ASSERT_TRUE(GetRegisteredControlPath(registry, path));
    EXPECT_EQ(path, std::filesystem::weakly_canonical(kNetPath).string());
    EXPECT_EQ(library->Build(), kNetBuild);
}

}  // namespace
}  // namespace qv::test
