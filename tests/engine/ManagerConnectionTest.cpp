#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/SonaroCredentials.h"
#include "engine/SonaroLibrary.h"
#include "engine/SonaroTransport.h"

namespace qv {
namespace {

using Calls = std::vector<std::string>;
using States = std::vector<int>;

class ManagerConnectionTest : public ::testing::Test {
  protected:
    void Connect() { ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick  ", "42 ")); }
    void RaiseConnected() {
        h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(0, "hello"); });
    }
    void RaiseRegistered() {
        h.RaiseAndDrain([](SonaroEventSink& e) { e.Registered("nick"); });
    }
    std::vector<std::string> TraceLines() {
        std::ifstream in(h.manager->TraceFilePath(), std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < all.size()) {
            const std::size_t end = all.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back(all.substr(start) + "<no CRLF>");
                break;
            }
            lines.push_back(all.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    test::EngineHarness h;
};

TEST_F(ManagerConnectionTest, ConnectWritesTheSettingsThenConnects) {
    h.options.SetSquelch(7);
    h.options.SetBehindFirewall(1);
    h.options.SetCodec(3);
    h.machine.WriteInt("Internal", "VoiceSampleRate", 80);
    h.machine.WriteInt("Options", "ConnectionSpeed", 2);
    h.options.Load();
    Connect();
    EXPECT_EQ(h.Calls(),
              (Calls{"Squelch=7", "MuteVolume=0", "SetParameter(1, 1)", "Codec=3", "SampleRate=80",
                     "SetParameter(2, 2)", "Connect(\"voice.example\", 12011)"}));
    EXPECT_EQ(h.manager->State(), CSonaroManager::kConnecting);
    EXPECT_EQ(h.events.states, States{2});
    EXPECT_EQ(h.manager->NickName(), "nick");
    EXPECT_EQ(h.manager->UserId(), "42");
    EXPECT_TRUE(h.manager->IsAlive());
}

TEST_F(ManagerConnectionTest, ConnectInPushToTalkStartsWithTheGateOpenAndVoiceMuted) {
    h.options.SetPushToTalk(1);
    Connect();
    const Calls calls = h.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "Squelch=0");
    EXPECT_EQ(calls[1], "MuteVolume=1");
}

TEST_F(ManagerConnectionTest, ThePanesPushToTalkSwitchCountsToo) {
    h.manager->SetPushToTalkSwitch([] { return true; });
    Connect();
    EXPECT_EQ(h.Calls()[0], "Squelch=0");
}

TEST_F(ManagerConnectionTest, APortAboveSignedRangeIsPassedAsItsSixteenBits) {
    ASSERT_TRUE(h.manager->Connect("voice.example", 40000, "nick", "42"));
    EXPECT_EQ(h.Calls().back(), "Connect(\"voice.example\", -25536)");
}

TEST_F(ManagerConnectionTest, EngineRefusingToConnectLeavesTheManagerIdle) {
    h.factory->beforeUse = [](sim::SonaroSimulation& s) {
        s.ScriptResults(sonaro_id::kConnect, {0});
    };
    EXPECT_FALSE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    EXPECT_EQ(h.manager->State(), 0);
    EXPECT_TRUE(h.events.states.empty());
    EXPECT_EQ(h.Calls().back(), "Connect(\"voice.example\", 12011)");
    EXPECT_EQ(h.manager->NickName(), "");
}

TEST_F(ManagerConnectionTest, UpAndDownThroughEveryState) {
    h.options.SetBehindFirewall(1);
    h.options.Load();
    h.manager->SetWatchList("7\n8\n");
    h.manager->SetBlockList("9\n");
    h.manager->SetStatus(2);
    Connect();
    h.ClearCalls();

    RaiseConnected();
    EXPECT_EQ(h.manager->State(), 3);
    EXPECT_EQ(h.Calls(), (Calls{"UserId=\"42\"", "UserName=\"nick\"", "StartAudio()",
                                "SetParameter(0, 0)", "ModeFlags=0"}));
    EXPECT_TRUE(h.manager->AudioStarted());
    EXPECT_FALSE(h.manager->InStandby());
    h.ClearCalls();

    RaiseRegistered();
    EXPECT_EQ(h.manager->State(), 4);
    EXPECT_EQ(h.Calls(), (Calls{"SetWatchList(\"7\\n8\\n\", 0)", "SetBlockList(\"9\\n\", 0)",
                                "SetStatus(2)", "Talk(1)", "Talk(0)"}));
    h.ClearCalls();

    EXPECT_TRUE(h.manager->Disconnect(true));
    EXPECT_EQ(h.Calls(), (Calls{"StopAudio()", "Disconnect()"}));
    EXPECT_EQ(h.manager->State(), 0);
    EXPECT_EQ(h.events.states, (States{2, 3, 4, 1, 0}));
    EXPECT_EQ(h.events.log[1], "ConnectionState 3");
    EXPECT_EQ(h.events.log[2], "connectionEvent 0 hello");  // after the state changed
    EXPECT_EQ(h.manager->NickName(), "");
    EXPECT_EQ(h.manager->UserId(), "");
    EXPECT_FALSE(h.manager->AudioStarted());
    EXPECT_TRUE(h.manager->InStandby());
    EXPECT_TRUE(h.manager->IsAlive());  // disconnecting keeps the engine
    EXPECT_TRUE(h.ui.log.empty());      // no waiting notice after the connection was up
}

TEST_F(ManagerConnectionTest, DisconnectWithoutNotifySkipsTheDisconnectingState) {
    h.LogIn();
    h.manager->Disconnect(false);
    EXPECT_EQ(h.events.states, States{0});
}

TEST_F(ManagerConnectionTest, DisconnectWhileConnectingShowsTheWaitingNotice) {
    Connect();
    EXPECT_TRUE(h.manager->Disconnect(true));
    EXPECT_EQ(h.ui.log, (Calls{"show Disconnecting... | Attempting to abort the connection in "
                               "progress.  This may take several seconds.",
                               "close"}));
    EXPECT_EQ(h.events.states, (States{2, 0}));
    EXPECT_EQ(h.Calls().back(), "Disconnect()");
    EXPECT_EQ(h.manager->State(), 0);
}

TEST_F(ManagerConnectionTest, DisconnectWhenIdleDoesNothing) {
    EXPECT_FALSE(h.manager->Disconnect(true));
    EXPECT_TRUE(h.events.states.empty());
}

TEST_F(ManagerConnectionTest, FailedConnectionEventDisconnectsAndIsTraced) {
    Connect();
    h.ClearCalls();
    h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(5, "Server lost"); });
    EXPECT_EQ(h.manager->State(), 0);
    EXPECT_EQ(h.Calls(), Calls{"Disconnect()"});
    EXPECT_EQ(h.events.states, (States{2, 0}));
    EXPECT_EQ(h.events.log.back(), "connectionEvent 5 Server lost");

    const std::vector<std::string> lines = TraceLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "<----------------------->");
    // "mm/dd/yy hh:mm:ss: " then the message.
    const std::string& entry = lines[1];
    ASSERT_GT(entry.size(), 19u);
    for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u, 9u, 10u, 12u, 13u, 15u, 16u}) {
        EXPECT_TRUE(entry[i] >= '0' && entry[i] <= '9') << entry;
    }
    EXPECT_EQ(entry.substr(2, 1) + entry.substr(5, 1) + entry.substr(8, 1), "// ");
    EXPECT_EQ(entry.substr(11, 1) + entry.substr(14, 1), "::");
    EXPECT_EQ(entry.substr(17), ": Connection Error: State=5 Msg=Server lost");
}

TEST_F(ManagerConnectionTest, LostConnectionWhenLoggedInGoesStraightToIdle) {
    h.LogIn();
    h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(5, "lost"); });
    EXPECT_EQ(h.events.states, States{0});
    EXPECT_EQ(h.manager->State(), 0);
}

TEST_F(ManagerConnectionTest, TraceFileStartsWithOneSeparatorPerRunAndCutsLongMessages) {
    Connect();
    h.RaiseAndDrain([](SonaroEventSink& e) { e.connectionEvent(7, "again"); });
    Connect();
    const std::string huge(3000, 'x');
    h.RaiseAndDrain([&](SonaroEventSink& e) { e.connectionEvent(11, huge); });
    std::vector<std::string> lines = TraceLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "<----------------------->");
    EXPECT_EQ(lines[1].substr(19), "Connection Error: State=7 Msg=again");
    EXPECT_EQ(lines[2].size(), 19u + 1023u);

    // A new run (a new manager) starts with the separator again, appending to the file.
    h.events.UnsubscribeAll(*h.manager);
    auto factory = std::make_unique<test::ScriptedSimFactory>(h.registry);
    h.factory = factory.get();
    h.manager = std::make_unique<CSonaroManager>(h.registry, h.screen, h.options, h.machine,
                                                 h.sounds, h.clock, h.ProgramFolder(),
                                                 h.SystemFolder(), std::move(factory));
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    h.Sim()->Raise().connectionEvent(3, "x");
    h.manager->DrainEvents();
    lines = TraceLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "<----------------------->");
    h.events.SubscribeAll(*h.manager);
}

TEST_F(ManagerConnectionTest, ConnectingAgainDisconnectsFirst) {
    h.LogIn();
    Connect();
    EXPECT_EQ(h.events.states, (States{1, 0, 2}));
    EXPECT_EQ(h.factory->created, 2);  // the component was checked and loaded again
}

TEST_F(ManagerConnectionTest, EventsOfAnEndedSessionAreNotDelivered) {
    Connect();
    // Raised by the engine before the user disconnected, not yet delivered.
    h.Raise([](SonaroEventSink& e) {
        e.connectionEvent(0, "late");
        e.UserMessage("Ann", "7", 8, 0, "hi");
        e.Registered("nick");
    });
    h.manager->Disconnect(true);
    h.events.log.clear();
    h.manager->DrainEvents();
    EXPECT_EQ(h.manager->State(), 0);
    EXPECT_EQ(h.events.log, Calls{"UserMessage Ann 7 8 0 hi"});
}

TEST_F(ManagerConnectionTest, AnEventLoopInsideDisconnectDeliversNothing) {
    Connect();
    h.events.states.clear();
    h.Raise([](SonaroEventSink& e) { e.connectionEvent(0, "late"); });
    std::size_t deliveredInside = 99;
    h.ui.onShow = [&] { deliveredInside = h.manager->DrainEvents(); };
    ASSERT_TRUE(h.manager->Disconnect(true));
    EXPECT_EQ(deliveredInside, 0u);
    // Connecting ends in idle, and nothing of the ended session comes afterwards.
    EXPECT_EQ(h.events.states, (States{0}));
    EXPECT_EQ(h.manager->DrainEvents(), 0u);
    EXPECT_EQ(h.events.states, (States{0}));
}

TEST_F(ManagerConnectionTest, AnEventHandlerThatDrainsAgainDeliversNothingInside) {
    Connect();
    h.events.states.clear();
    std::size_t deliveredInside = 99;
    bool once = false;
    std::function<void()> drain = [&] {
        if (!once) {
            once = true;
            deliveredInside = h.manager->DrainEvents();
        }
    };
    h.manager->Subscribe<engine_event::connectionEvent>(
        [](std::int16_t, const std::string&, void* context) {
            (*static_cast<std::function<void()>*>(context))();
        },
        &drain);
    h.Raise([](SonaroEventSink& e) {
        e.connectionEvent(0, "ok");
        e.Registered("nick");
    });
    EXPECT_EQ(h.manager->DrainEvents(), 2u);
    EXPECT_EQ(deliveredInside, 0u);
    EXPECT_EQ(h.events.states, (States{3, 4}));
}

TEST_F(ManagerConnectionTest, NoEventIsHandledInsideAMethodCall) {
    Connect();
    h.Raise([](SonaroEventSink& e) { e.connectionEvent(0, "ok"); });
    EXPECT_EQ(h.manager->State(), 2);
    EXPECT_EQ(h.manager->PendingEvents(), 1u);
    EXPECT_EQ(h.manager->DrainEvents(), 1u);
    EXPECT_EQ(h.manager->State(), 3);
}

TEST_F(ManagerConnectionTest, DestroyControlDisconnectsAndUnloads) {
    h.LogIn();
    const std::string copy = h.SystemFolder() + "Sonaro.ocx";
    EXPECT_TRUE(test::IsMapped(copy));
    h.manager->DestroyControl();
    EXPECT_FALSE(h.manager->IsAlive());
    EXPECT_EQ(h.events.states, (States{1, 0}));
    EXPECT_FALSE(test::IsMapped(copy));
    EXPECT_FALSE(h.manager->SetTalkDirect(true));
}

TEST_F(ManagerConnectionTest, NoShippedEngineMeansNoConnection) {
    std::remove((h.ProgramFolder() + "Sonaro.ocx").c_str());
    EXPECT_FALSE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    ASSERT_EQ(h.screen.boxes.size(), 2u);
    EXPECT_EQ(h.screen.boxes[0].text, "Problem copying Sonaro.ocx to System directory");
    EXPECT_EQ(h.screen.boxes[1].text, "Failed to install Sonaro Control.");
    EXPECT_EQ(h.manager->State(), 0);
}

TEST_F(ManagerConnectionTest, AnEngineThatCannotBeMadeIsReportedLikeAFailedInstall) {
    h.factory->replacement = [](SonaroEventSink&) { return nullptr; };
    EXPECT_FALSE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    ASSERT_EQ(h.screen.boxes.size(), 1u);
    EXPECT_EQ(h.screen.boxes[0].text, "Failed to install Sonaro Control.");
}

// An engine that takes the directory's voice ticket and says when it got it, relative to Connect.
class CredentialedControl final : public test::QuietControl, public SonaroCredentials {
  public:
    explicit CredentialedControl(std::vector<std::string>& log) : log_(log) {}
    void* QueryExtension(const char* name) override {
        return std::string(name) == kSonaroCredentialsExtension
                   ? static_cast<SonaroCredentials*>(this)
                   : nullptr;
    }
    void SetVoiceTicket(const std::string& ticket) override { log_.push_back("ticket " + ticket); }
    Bool32 Connect(const std::string&, std::int16_t) override {
        log_.push_back("connect");
        return 1;
    }

  private:
    std::vector<std::string>& log_;
};

// An engine that takes the voice server's authorities file and says when it got it.
class TransportControl final : public test::QuietControl, public SonaroTransport {
  public:
    explicit TransportControl(std::vector<std::string>& log) : log_(log) {}
    void* QueryExtension(const char* name) override {
        return std::string(name) == kSonaroTransportExtension ? static_cast<SonaroTransport*>(this)
                                                              : nullptr;
    }
    void SetTrustedAuthorities(const std::string& caFile) override {
        log_.push_back("ca " + caFile);
    }
    Bool32 Connect(const std::string&, std::int16_t) override {
        log_.push_back("connect");
        return 1;
    }

  private:
    std::vector<std::string>& log_;
};

TEST_F(ManagerConnectionTest, TheVoiceAuthoritiesReachTheEngineBeforeEveryConnect) {
    std::vector<std::string> log;
    h.factory->replacement = [&log](SonaroEventSink&) {
        return SonaroInstance::Adopt(std::make_unique<TransportControl>(log));
    };
    h.manager->SetVoiceAuthorities("/etc/quorvane/voice-ca.pem");
    Connect();
    h.manager->SetVoiceAuthorities("");
    Connect();
    EXPECT_EQ(log, (std::vector<std::string>{"ca /etc/quorvane/voice-ca.pem", "connect", "ca ",
                                             "connect"}));
}

TEST_F(ManagerConnectionTest, TheTicketReachesTheEngineBeforeConnectAndWhenItChanges) {
    std::vector<std::string> log;
    h.factory->replacement = [&log](SonaroEventSink&) {
        return SonaroInstance::Adopt(std::make_unique<CredentialedControl>(log));
    };
    h.manager->SetVoiceTicket("old");  // no engine yet: kept for the next Connect
    EXPECT_TRUE(log.empty());
    Connect();
    h.manager->SetVoiceTicket("fresh");  // the login's reply came after the engine started
    h.manager->SetVoiceTicket("");
    EXPECT_EQ(log, (std::vector<std::string>{"ticket old", "connect", "ticket fresh", "ticket "}));
    EXPECT_EQ(h.manager->VoiceTicket(), "");
}

TEST_F(ManagerConnectionTest, AnEngineWithoutCredentialsIsNotAskedForThem) {
    Connect();
    h.manager->SetVoiceTicket("abc");
    EXPECT_EQ(h.manager->State(), 2);
    EXPECT_EQ(h.manager->VoiceTicket(), "abc");
}

}  // namespace
}  // namespace qv
