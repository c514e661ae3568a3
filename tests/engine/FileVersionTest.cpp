#include "platform/FileVersion.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>

#include "EngineTestSupport.h"

namespace qv {
namespace {

TEST(FileVersionTest, ReadsTheBuildOfBothSimulationComponents) {
    EXPECT_EQ(ReadFileBuild(test::kSimPath), test::kSimBuild);
    EXPECT_EQ(ReadFileBuild(test::kSimNextPath), test::kSimNextBuild);
    EXPECT_NE(test::kSimBuild, test::kSimNextBuild);
}

TEST(FileVersionTest, ThisProgramCarriesItsOwnBuild) {
    EXPECT_EQ(ThisBuild(), static_cast<std::uint32_t>(QUORVANE_BUILD));
    EXPECT_EQ(ReadFileBuild("/proc/self/exe"), ThisBuild());
}

TEST(FileVersionTest, MissingFileOrNoMarkerGivesZero) {
    test::TempFolder folder;
    EXPECT_EQ(ReadFileBuild(folder.File("missing.ocx")), 0u);
    EXPECT_EQ(ReadFileBuild(folder.Write("plain.bin", "no marker in here")), 0u);
    EXPECT_EQ(ReadFileBuild(folder.Path()), 0u);  // a folder is no binary
}

// Made at run time: a marker written out here would sit in this test's own file.
std::string M(const std::string& rest) {
    std::string prefix = "quorvane-build:";
    for (char& c : prefix) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return prefix + rest;
}

struct MarkerCase {
    const char* name;
    std::function<std::string()> bytes;
    std::uint32_t build;
};

class FileVersionMarkerTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(FileVersionMarkerTest, FindsTheFirstWholeMarker) {
    test::TempFolder folder;
    EXPECT_EQ(ReadFileBuild(folder.Write("f.bin", GetParam().bytes())), GetParam().build);
}

std::string Padding(std::size_t n) {
    return std::string(n, '\x7f');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileVersionMarkerTest,
    ::testing::Values(
        MarkerCase{"simple", [] { return std::string(2, '\0') + M("101") + '\0'; }, 101},
        MarkerCase{"prefixWithoutDigitsSkipped",
                   [] { return M("") + std::string(1, '\0') + "x" + M("7") + '\0'; }, 7},
        MarkerCase{"firstOfTwo", [] { return M("5;") + M("6"); }, 5},
        // 64 KiB chunks: a marker across the boundary, and digits across it.
        MarkerCase{"acrossChunks", [] { return Padding(65536 - 8) + M("4321"); }, 4321},
        MarkerCase{"digitsAcrossChunks", [] { return Padding(65536 - 17) + M("98765"); }, 98765},
        MarkerCase{"atEnd", [] { return Padding(100) + M("3"); }, 3},
        MarkerCase{"tooLarge", [] { return M("99999999999"); }, 0},
        MarkerCase{"largest", [] { return M("4294967295"); }, 4294967295u}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv
