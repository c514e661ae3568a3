#include "engine/SonaroInstaller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "EngineTestSupport.h"
#include "engine/SonaroLibrary.h"
#include "platform/FileVersion.h"

namespace qv {
namespace {

using test::kSimBuild;
using test::kSimNextBuild;
using test::kSimNextPath;
using test::kSimPath;
using Box = test::RecordingScreen::Box;

constexpr const char* kProblem = "Problem Installing Sonaro Control!";

class SonaroInstallerTest : public ::testing::Test {
  protected:
    SonaroInstallerTest() {
        installer.SetDestroyControl([this] { ++destroyed; });
    }

    std::string Program() const { return folder.Path(); }
    std::string System() const { return folder.Path() + "system/"; }
    void Ship(const std::string& component) { test::CopyFile(component, Program() + "Sonaro.ocx"); }
    // A registration as a former installation left it.
    void RegisterAsInstalled(const std::string& component) {
        test::CopyFile(component, System() + "Sonaro.ocx");
        RegistryForComponents writer(registry);
        ASSERT_TRUE(SonaroLibrary::Load(System() + "Sonaro.ocx")->RegisterServer(writer));
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const Box& b : screen.boxes) {
            out.push_back(b.text + " | " + b.caption);
        }
        return out;
    }

    test::TempFolder folder;
    Registry registry{folder.Path() + "registry/"};
    IniFile machine{folder.Path() + "Quorvane.ini"};
    test::RecordingScreen screen;
    SonaroInstaller installer{registry, screen, machine, folder.Path(), folder.Path() + "system/"};
    int destroyed = 0;
};

TEST_F(SonaroInstallerTest, FreshMachineIsNotCurrentUntilInstalled) {
    Ship(kSimPath);
    EXPECT_FALSE(installer.IsControlCurrent());
    EXPECT_EQ(destroyed, 1);
    ASSERT_TRUE(installer.InstallControl());
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(ReadFileBuild(System() + "Sonaro.ocx"), kSimBuild);
    std::string path;
    ASSERT_TRUE(installer.GetRegisteredControlPath(path));
    EXPECT_EQ(path, System() + "Sonaro.ocx");
    EXPECT_TRUE(installer.IsControlCurrent());
    EXPECT_TRUE(screen.boxes.empty());
    // Neither check nor installation keeps the component loaded.
    EXPECT_FALSE(test::IsMapped(System() + "Sonaro.ocx"));
}

TEST_F(SonaroInstallerTest, OutdatedRegisteredCopyIsReplacedByTheShippedBuild) {
    RegisterAsInstalled(kSimPath);
    Ship(kSimNextPath);
    EXPECT_FALSE(installer.IsControlCurrent());
    ASSERT_TRUE(installer.InstallControl());
    EXPECT_EQ(ReadFileBuild(System() + "Sonaro.ocx"), kSimNextBuild);
    EXPECT_TRUE(installer.IsControlCurrent());
}

TEST_F(SonaroInstallerTest, RegisteredPathThatDoesNotExistCountsAsOutdated) {
    Ship(kSimPath);
    RegisterAsInstalled(kSimPath);
    ASSERT_TRUE(installer.IsControlCurrent());
    std::filesystem::remove(System() + "Sonaro.ocx");
    EXPECT_FALSE(installer.IsControlCurrent());
}

TEST_F(SonaroInstallerTest, SameBuildThatMakesNoInstanceIsNotCurrent) {
    // The registered file carries the shipped build number but is no engine.
    Ship(kSimPath);
    RegisterAsInstalled(kSimPath);
    folder.Write("system/Sonaro.ocx", "QUORVANE-BUILD:" + std::to_string(kSimBuild));
    EXPECT_FALSE(installer.IsControlCurrent());
}

TEST_F(SonaroInstallerTest, DisablePatcherRefusesAndLeavesTheRegistrationAlone) {
    RegisterAsInstalled(kSimPath);
    Ship(kSimNextPath);
    machine.WriteInt("Internal", "DisablePatcher", 1);
    EXPECT_FALSE(installer.InstallControl());
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "The Sonaro Control could not be updated because you have set\nthe "
                           "DisablePatcher entry to 1 in the Dravonel.ini file | Problem "
                           "Installing Sonaro Control..."});
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(ReadFileBuild(System() + "Sonaro.ocx"), kSimBuild);
}

TEST_F(SonaroInstallerTest, MissingShippedFileIsACopyProblem) {
    EXPECT_FALSE(installer.InstallControl());
    EXPECT_EQ(Texts(),
              std::vector<std::string>{
                  std::string("Problem copying Sonaro.ocx to System directory | ") + kProblem});
}

TEST_F(SonaroInstallerTest, ShippedFileThatIsNoLibraryIsALoadProblem) {
    folder.Write("Sonaro.ocx", "not a library");
    EXPECT_FALSE(installer.InstallControl());
    EXPECT_EQ(Texts(),
              std::vector<std::string>{std::string("Problem Loading Sonaro.ocx | ") + kProblem});
}

TEST_F(SonaroInstallerTest, LibraryWithoutRegistrationIsARegisterProblem) {
    RegisterAsInstalled(kSimPath);
    std::string before;
    ASSERT_TRUE(installer.GetRegisteredControlPath(before));
    Ship(test::kEmptyLibraryPath);
    EXPECT_FALSE(installer.InstallControl());
    EXPECT_EQ(Texts(), std::vector<std::string>{std::string("Problem Registering Sonaro.ocx | ") +
                                                kProblem});
    std::string after;
    ASSERT_TRUE(installer.GetRegisteredControlPath(after));
    EXPECT_EQ(after, before);
    EXPECT_FALSE(test::IsMapped(System() + "Sonaro.ocx"));
}

TEST_F(SonaroInstallerTest, BuildComparisonUsesTheLow16Bits) {
    folder.Write("a.bin", "QUORVANE-BUILD:65837");  // 0x1012D
    EXPECT_EQ(SonaroInstaller::BuildOf(folder.File("a.bin")), 301u);
    EXPECT_EQ(SonaroInstaller::BuildOf(folder.File("missing.bin")), 0u);
}

// Through the manager: Connect checks and installs before it talks to the engine.
TEST(ManagerInstallTest, ConnectReplacesAnOutdatedRegisteredCopy) {
    test::EngineHarness h;
    h.factory->mode = sim::Mode::Recording;
    test::CopyFile(kSimPath, h.SystemFolder() + "Sonaro.ocx");
    RegistryForComponents writer(h.registry);
    ASSERT_TRUE(SonaroLibrary::Load(h.SystemFolder() + "Sonaro.ocx")->RegisterServer(writer));
    h.Ship(kSimNextPath);

    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    ASSERT_NE(h.Sim(), nullptr);
    EXPECT_EQ(h.Sim()->Build(), kSimNextBuild);
    EXPECT_TRUE(h.screen.boxes.empty());
}

TEST(ManagerInstallTest, DisablePatcherShowsBothMessagesAndDoesNotConnect) {
    test::EngineHarness h;
    test::CopyFile(kSimPath, h.SystemFolder() + "Sonaro.ocx");
    RegistryForComponents writer(h.registry);
    ASSERT_TRUE(SonaroLibrary::Load(h.SystemFolder() + "Sonaro.ocx")->RegisterServer(writer));
    h.Ship(kSimNextPath);
    h.machine.WriteInt("Internal", "DisablePatcher", 1);

    EXPECT_FALSE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    ASSERT_EQ(h.screen.boxes.size(), 2u);
    EXPECT_EQ(h.screen.boxes[0].caption, "Problem Installing Sonaro Control...");
    EXPECT_EQ(h.screen.boxes[1].text, "Failed to install Sonaro Control.");
    EXPECT_EQ(h.screen.boxes[1].caption, "Error...");
    EXPECT_EQ(h.screen.boxes[1].style, mb::kOk | mb::kIconExclamation);
    EXPECT_FALSE(h.manager->IsAlive());
    EXPECT_EQ(h.manager->State(), 0);
    EXPECT_EQ(h.factory->created, 0);
    EXPECT_EQ(ReadFileBuild(h.SystemFolder() + "Sonaro.ocx"), kSimBuild);
}

TEST(ManagerInstallTest, EveryConnectReloadsTheComponentSoItCanBeReplaced) {
    test::EngineHarness h;
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    EXPECT_EQ(h.Sim()->Build(), kSimBuild);
    // The updater ships a new build while connected; the next Connect picks it up.
    h.Ship(kSimNextPath);
    ASSERT_TRUE(h.manager->InstallControl());
    EXPECT_FALSE(h.manager->IsAlive());  // installing destroyed the running engine first
    ASSERT_TRUE(h.manager->Connect("voice.example", 12011, "nick", "42"));
    EXPECT_EQ(h.Sim()->Build(), kSimNextBuild);
    EXPECT_EQ(h.factory->created, 2);
}

}  // namespace
}  // namespace qv
