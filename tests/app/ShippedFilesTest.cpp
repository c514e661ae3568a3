// The files that ship with the program: tips and event sounds copied into the data root, and the
// sound of every event the program plays.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "engine/CSonaroManager.h"
#include "platform/FileIo.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "platform/WavePlayer.h"
#include "settings/IniFile.h"
#include "settings/Options.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

class QuietShell final : public AppShell {
  public:
    Screen& GetScreen() override { return screen; }
    bool HasFontFamily(const std::string&) override { return false; }
    void SetFonts(const LogFont&, const LogFont&, const LogFont&) override {}
    bool CreateMainWindow() override { return true; }
    void ShowMainWindow(bool) override {}
    void ActivateMainWindow() override {}
    void DestroyMainWindow() override {}
    test::RecordingScreen screen;
};

class RecordingPlayer final : public WavePlayer {
  public:
    explicit RecordingPlayer(std::vector<std::string>& played) : played_(played) {}
    void Play(const std::string& path, int) override { played_.push_back(path); }
    void Stop() override {}

  private:
    std::vector<std::string>& played_;
};

// Every sound event the program plays.
const std::vector<std::string> kEvents = {"Connected",
                                          "Disconnected",
                                          "ContactOnline",
                                          "IncomingInstantMessage",
                                          "OutgoingInstantMessage",
                                          "SystemMessageHighPriority",
                                          "IncomingForumInvitation",
                                          "IncomingWebsiteInvitation",
                                          "IncomingWebtourInvitation",
                                          "IncomingVoiceMail",
                                          "OutgoingVoiceMail",
                                          "OutgoingCall",
                                          "IncomingCall",
                                          "CallWaiting",
                                          "PlaceOnHold",
                                          "HoldReminder",
                                          "RemovedFromCall",
                                          "ReceiveWhisper",
                                          "TextNotification"};
const std::set<std::string> kAlways = {
    "IncomingInstantMessage",    "IncomingVoiceMail",        "IncomingCall", "CallWaiting",
    "IncomingWebsiteInvitation", "IncomingWebtourInvitation"};

class ShippedFilesTest : public ::testing::Test {
  protected:
    ~ShippedFilesTest() override {
        if (app) {
            app->ExitInstance();
        }
        std::filesystem::current_path(cwd);
    }
    void Start() {
        AppEnvironment env;
        env.homeOption = root.Path();
        env.executable = "/opt/quorvane/bin/quorvane";
        env.shareFolder = QUORVANE_SHARE_FOLDER;
        app = std::make_unique<CQuorvaneApp>(env, shell, nullptr, clock);
        ASSERT_TRUE(app->InitInstance());
    }

    test::TempFolder root;
    ManualTickClock clock{100};
    QuietShell shell;
    std::unique_ptr<CQuorvaneApp> app;
    std::string cwd = std::filesystem::current_path().string();
};

TEST_F(ShippedFilesTest, EveryEventHasAShortSoundOfItsOwn) {
    Start();
    IniFile sounds(root.File("Sounds.ini"));
    ASSERT_TRUE(sounds.Exists());
    std::set<std::string> files;
    for (const std::string& event : kEvents) {
        const std::string wav = sounds.GetString("General", event + "Wav", "");
        ASSERT_EQ(wav, ".\\sounds\\" + event + ".wav") << event;
        EXPECT_EQ(sounds.GetInt("General", event + "Vol", -1), 100) << event;
        const std::string path = root.File("sounds/" + event + ".wav");
        const std::optional<std::string> bytes = ReadWholeFile(path);
        ASSERT_TRUE(bytes.has_value()) << path;
        // A few kilobytes, a playable wave, and not the same as another event's.
        EXPECT_LT(bytes->size(), 16u * 1024u) << event;
        const std::optional<PcmWave> wave = ParsePcmWave(*bytes);
        ASSERT_TRUE(wave.has_value()) << event;
        EXPECT_GT(wave->samples.size(), 500u) << event;
        EXPECT_TRUE(files.insert(*bytes).second) << event << " sounds like another event";
    }
    EXPECT_TRUE(ParsePcmWave(ReadWholeFile(root.File("default.wav")).value_or("")).has_value());
    ASSERT_TRUE(FileExists(root.File("tips.txt")));
}

TEST_F(ShippedFilesTest, WhatTheUserChangedIsNotCopiedOver) {
    root.Write("Sounds.ini", "[General]\r\nIncomingCallWav=.\\mine.wav\r\n");
    root.Write("tips.txt", "My own tip.\n");
    Start();
    EXPECT_EQ(IniFile(root.File("Sounds.ini")).GetString("General", "IncomingCallWav", ""),
              ".\\mine.wav");
    EXPECT_EQ(root.Read("tips.txt"), "My own tip.\n");
    // The sounds themselves are still there for the other events.
    EXPECT_TRUE(FileExists(root.File("sounds/CallWaiting.wav")));
}

TEST_F(ShippedFilesTest, TheSixCallAndMessageSoundsAlwaysPlayTheOthersOnlyWithPlaySounds) {
    Start();
    std::vector<std::string> played;
    app->SonaroManager()->SetWavePlayer(std::make_unique<RecordingPlayer>(played));
    for (int playSounds : {0, 1}) {
        app->GetOptions()->SetPlaySounds(playSounds);
        for (const std::string& event : kEvents) {
            played.clear();
            app->SonaroManager()->PlaySoundEvent(event);
            const bool expected = playSounds == 1 || kAlways.count(event) != 0;
            ASSERT_EQ(played.size(), expected ? 1u : 0u) << event << " PlaySounds=" << playSounds;
            if (expected) {
                EXPECT_EQ(played[0], root.File("sounds/" + event + ".wav"));
            }
        }
    }
}

TEST_F(ShippedFilesTest, AMissingOrBrokenSoundStaysSilent) {
    Start();
    root.Write("sounds/IncomingCall.wav", "RIFF this is no wave");
    std::filesystem::remove(root.File("sounds/CallWaiting.wav"));
    // The program's own player, whatever the machine has for a sound device.
    app->SonaroManager()->SetWavePlayer(MakeWavePlayer());
    app->SonaroManager()->PlaySoundEvent("IncomingCall");
    app->SonaroManager()->PlaySoundEvent("CallWaiting");
    app->SonaroManager()->SetWavePlayer(MakeNullWavePlayer());
    EXPECT_TRUE(shell.screen.boxes.empty());
}

}  // namespace
}  // namespace qv
