#include "app/ProgramFolders.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "app/PartnerNumber.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

// Sets an environment variable for the test's duration.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ProgramFoldersTest, UserFolderIsMadeOnFirstUseAndFallsBackToTheProgramFolder) {
    test::TempFolder root;
    ProgramFolders folders(root.Path().substr(0, root.Path().size() - 1));  // without the '/'
    EXPECT_EQ(folders.ProgramFolder(), root.Path());
    EXPECT_EQ(folders.SystemFolder(), root.Path() + "system/");
    EXPECT_EQ(folders.UserFolder(""), root.Path());
    EXPECT_EQ(folders.UserFolder("4711"), root.Path() + "4711/");
    EXPECT_TRUE(std::filesystem::is_directory(root.File("4711")));
    struct stat st {};
    ASSERT_EQ(::stat(root.File("4711").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);  // the user's settings and mail live there
    EXPECT_EQ(folders.UserFolder("4711"), root.Path() + "4711/");  // exists already: fine

    ProgramFolders broken(root.File("missing/deeper"));
    EXPECT_EQ(broken.UserFolder("42"), broken.ProgramFolder());
}

TEST(ProgramFoldersTest, DataRootComesFromOptionThenEnvironment) {
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv qh("QUORVANE_HOME", "/srv/qv");
        ScopedEnv xdg("XDG_DATA_HOME", "/xdg");
        EXPECT_EQ(ProgramFolders::ResolveDataRoot("/opt/here/"), "/opt/here/");
        EXPECT_EQ(ProgramFolders::ResolveDataRoot(""), "/srv/qv/");
    }
    {
        ScopedEnv qh("QUORVANE_HOME", nullptr);
        ScopedEnv xdg("XDG_DATA_HOME", "/xdg/");
        EXPECT_EQ(ProgramFolders::ResolveDataRoot(""), "/xdg/quorvane/");
    }
    {
        ScopedEnv qh("QUORVANE_HOME", nullptr);
        ScopedEnv xdg("XDG_DATA_HOME", "relative/ignored");
        EXPECT_EQ(ProgramFolders::ResolveDataRoot(""), "/home/someone/.local/share/quorvane/");
    }
    {
        ScopedEnv qh("QUORVANE_HOME", nullptr);
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        ScopedEnv noHome("HOME", nullptr);
        // Start-up refuses this folder when another user made it first.
        EXPECT_EQ(ProgramFolders::ResolveDataRoot(""),
                  "/tmp/quorvane-" + std::to_string(::getuid()) + "/");
    }
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(ProgramFolders::ResolveDataRoot("rel/dir"), cwd + "/rel/dir/");
}

TEST(PartnerNumberTest, FirstTwoBytesLittleEndianElseOne) {
    test::TempFolder dir;
    EXPECT_EQ(ReadPartnerNumber(dir.File("missing")), 1);
    EXPECT_EQ(ReadPartnerNumber(dir.Write("a", std::string("\x05\x00\xFF", 3))), 5);
    EXPECT_EQ(ReadPartnerNumber(dir.Write("b", "\x34\x12")), 0x1234);
    EXPECT_EQ(ReadPartnerNumber(dir.Write("c", "\x07")), 1);  // too short to hold a number
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadPartnerNumber(dir.File("fifo")), 1);  // at once, not waiting for a writer
}

}  // namespace
}  // namespace qv
