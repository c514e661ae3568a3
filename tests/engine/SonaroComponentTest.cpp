#include <gtest/gtest.h>

#include <string>

#include "EngineTestSupport.h"
#include "engine/SonaroLibrary.h"
#include "engine/SonaroRegistration.h"

namespace qv {
namespace {

using test::kSimBuild;
using test::kSimPath;

class SonaroComponentTest : public ::testing::Test {
  protected:
    std::string Install(const std::string& component) {
        const std::string copy = folder.File("system/Sonaro.ocx");
        test::CopyFile(component, copy);
        return copy;
    }
    test::TempFolder folder;
    Registry registry{folder.Path() + "registry/"};
    SonaroEventQueue sink;
};

TEST_F(SonaroComponentTest, LoadsAndReportsItsBuild) {
    std::shared_ptr<SonaroLibrary> lib = SonaroLibrary::Load(kSimPath);
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->Build(), kSimBuild);
    EXPECT_EQ(lib->Path(), kSimPath);
}

TEST_F(SonaroComponentTest, FilesThatAreNoLibraryDoNotLoad) {
    std::string why;
    EXPECT_FALSE(SonaroLibrary::Load(folder.File("missing.ocx"), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(SonaroLibrary::Load(folder.Write("text.ocx", "QUORVANE-BUILD:301 not code")));
}

TEST_F(SonaroComponentTest, RegisteringWritesProgIdClassIdAndItsOwnPath) {
    const std::string copy = Install(kSimPath);
    std::shared_ptr<SonaroLibrary> lib = SonaroLibrary::Load(copy);
    ASSERT_TRUE(lib);
    RegistryForComponents writer(registry);
    ASSERT_TRUE(lib->RegisterServer(writer));

    std::optional<std::string> id = LookUpClassId(registry, kSonaroProgId);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->front(), '{');
    EXPECT_LE(id->size(), kMaxClassIdText);
    EXPECT_EQ(LookUpInprocServer(registry, *id), copy);
    std::string path = "untouched";
    ASSERT_TRUE(GetRegisteredControlPath(registry, path));
    EXPECT_EQ(path, copy);
    EXPECT_TRUE(registry.KeyExists(Hive::LocalMachine,
                                   "SOFTWARE\\Classes\\CLSID\\" + *id + "\\InprocServer32"));
}

TEST_F(SonaroComponentTest, LookupsFailWithoutRegistration) {
    std::string path = "untouched";
    EXPECT_FALSE(GetRegisteredControlPath(registry, path));
    EXPECT_EQ(path, "untouched");
    EXPECT_FALSE(CreateRegisteredSonaro(registry, sink));
}

TEST_F(SonaroComponentTest, OverlongClassIdIsRefused) {
    registry.CreateKey(Hive::ClassesRoot, "SONARO.SonaroCtrl.1\\CLSID");
    registry.SetValue(Hive::ClassesRoot, "SONARO.SonaroCtrl.1\\CLSID", "",
                      RegistryValue::String("{" + std::string(70, 'A') + "}"));
    EXPECT_FALSE(LookUpClassId(registry, kSonaroProgId));
    registry.SetValue(Hive::ClassesRoot, "SONARO.SonaroCtrl.1\\CLSID", "",
                      RegistryValue::Dword(5));  // not text
    EXPECT_FALSE(LookUpClassId(registry, kSonaroProgId));
}

TEST_F(SonaroComponentTest, CreatesTheRegisteredEngineByProgId) {
    const std::string copy = Install(kSimPath);
    RegistryForComponents writer(registry);
    ASSERT_TRUE(SonaroLibrary::Load(copy)->RegisterServer(writer));

    std::unique_ptr<SonaroInstance> engine = CreateRegisteredSonaro(registry, sink);
    ASSERT_TRUE(engine);
    auto* sim = engine->Extension<sim::SonaroSimulation>(sim::kSonaroSimulationExtension);
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->Build(), kSimBuild);
    EXPECT_EQ(engine->Extension<void>("SomethingElse"), nullptr);
    EXPECT_TRUE(test::IsMapped(copy));
    engine.reset();
    EXPECT_FALSE(test::IsMapped(copy));
}

TEST_F(SonaroComponentTest, ComponentsWithoutUsableEntryPointsMakeNoInstance) {
    RegistryForComponents writer(registry);
    std::shared_ptr<SonaroLibrary> empty = SonaroLibrary::Load(test::kEmptyLibraryPath);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Build(), 0u);
    EXPECT_FALSE(empty->RegisterServer(writer));
    EXPECT_FALSE(SonaroLibrary::CreateInstance(empty, sink));

    std::shared_ptr<SonaroLibrary> old = SonaroLibrary::Load(test::kOldInterfacePath);
    ASSERT_TRUE(old);
    EXPECT_FALSE(SonaroLibrary::CreateInstance(old, sink));
    EXPECT_FALSE(SonaroLibrary::CreateInstance(nullptr, sink));
}

TEST_F(SonaroComponentTest, UnloadingLeavesNoThreadAndNoMapping) {
    const std::string copy = Install(kSimPath);
    const int before = test::ThreadCount();
    {
        std::unique_ptr<SonaroInstance> engine =
            SonaroLibrary::CreateInstance(SonaroLibrary::Load(copy), sink);
        ASSERT_TRUE(engine);
        // Automatic mode answers from its own thread.
        engine->Control().Connect("voice.example", 12011);
        engine->Extension<sim::SonaroSimulation>(sim::kSonaroSimulationExtension)->WaitIdle();
        EXPECT_GT(test::ThreadCount(), before);
        EXPECT_EQ(sink.Pending(), 1u);  // connectionEvent(0), queued for the host
    }
    EXPECT_EQ(test::ThreadCount(), before);
    EXPECT_FALSE(test::IsMapped(copy));
}

}  // namespace
}  // namespace qv
