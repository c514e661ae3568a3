#pragma once

// The networked engine component, loaded from its built file, with a recording sink and a fake
// voice server on loopback.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakeVoiceServer.h"
#include "RecordingSink.h"
#include "SonaroNetTuning.h"
#include "engine/SonaroCredentials.h"
#include "engine/SonaroLibrary.h"
#include "engine/SonaroTransport.h"

namespace qv::test {

inline const std::string kNetPath = SONARO_NET_PATH;
inline constexpr std::uint32_t kNetBuild = SONARO_NET_BUILD;

class NetEngineFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        library = SonaroLibrary::Load(kNetPath);
        ASSERT_TRUE(library);
        engine = SonaroLibrary::CreateInstance(library, sink);
        ASSERT_TRUE(engine);
        Transport().SetTrustedAuthorities(server.CaFile());
    }
    void TearDown() override {
        engine.reset();
        library.reset();
    }

    SonaroControl& Engine() { return engine->Control(); }
    SonaroCredentials& Credentials() {
        return *engine->Extension<SonaroCredentials>(kSonaroCredentialsExtension);
    }
    SonaroTransport& Transport() {
        return *engine->Extension<SonaroTransport>(kSonaroTransportExtension);
    }
    net::SonaroNetTuning& Tuning() {
        return *engine->Extension<net::SonaroNetTuning>(net::kSonaroNetTuningExtension);
    }
    bool ConnectToServer() { return Engine().Connect("127.0.0.1", server.WirePort()) != 0; }

    // Connect and Welcome, up to connectionEvent(0).
    void ConnectWelcomed() {
        ASSERT_TRUE(ConnectToServer());
        ASSERT_TRUE(server.Welcome());
        ASSERT_TRUE(sink.WaitFor("connectionEvent 0 "));
    }

    // A whole login as the client does it, up to Registered.
    void LogIn() {
        Credentials().SetVoiceTicket("conn-1");
        ConnectWelcomed();
        Engine().SetUserId("42");
        Engine().SetUserName("nick");
        const auto reg =
            As<voice::RegisterTicket>(server.Next(), voice::MessageType::kRegisterTicket);
        ASSERT_TRUE(reg);
        ASSERT_TRUE(server.Send(voice::Encode(voice::Registered{"42", "Nick"})));
        ASSERT_TRUE(sink.WaitFor("Registered Nick"));
    }

    // First, so they outlive the engine.
    RecordingSink sink;
    FakeVoiceServer server;
    std::shared_ptr<SonaroLibrary> library;
    std::unique_ptr<SonaroInstance> engine;
};

}  // namespace qv::test
