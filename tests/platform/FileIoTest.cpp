#include "platform/FileIo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "support/TempFolder.h"

namespace qv {
namespace {

// Tests run as root, which reads and writes whatever the bits say: check the bits themselves.
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(FileIoTest, NewFilesArePrivateAndARewriteKeepsTheModeItFinds) {
    test::TempFolder dir;
    const std::string file = dir.File("Options.ini");
    const mode_t oldMask = ::umask(0);  // the mode must not depend on the umask
    ASSERT_TRUE(WriteFileAtomically(file, "a"));
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(file), 0600u);

    for (mode_t chosen : {0600u, 0640u, 0400u}) {
        ASSERT_EQ(::chmod(file.c_str(), chosen), 0);
        ASSERT_TRUE(WriteFileAtomically(file, "b"));
        EXPECT_EQ(ModeOf(file), chosen);
        EXPECT_EQ(dir.Read("Options.ini"), "b");
    }
    ASSERT_TRUE(WriteFileAtomically(dir.File("open.txt"), "c", 0644));
    EXPECT_EQ(ModeOf(dir.File("open.txt")), 0644u);
}

TEST(FileIoTest, CopyGetsItsOwnModeNotTheSources) {
    test::TempFolder dir;
    const std::string from = dir.Write("from browser.qdx", "Fmusic\r\n");
    ASSERT_EQ(::chmod(from.c_str(), 0444), 0);
    ASSERT_TRUE(CopyFileOver(from, dir.File("quorvane.qdx")));
    EXPECT_EQ(ModeOf(dir.File("quorvane.qdx")), 0600u);
    // A read-only target is replaced too, and comes out with the mode asked for.
    ASSERT_EQ(::chmod(dir.File("quorvane.qdx").c_str(), 0444), 0);
    dir.Write("second.qdx", "Gx\r\ny\r\n");
    ASSERT_TRUE(CopyFileOver(dir.File("second.qdx"), dir.File("quorvane.qdx")));
    EXPECT_EQ(dir.Read("quorvane.qdx"), "Gx\r\ny\r\n");
    EXPECT_EQ(ModeOf(dir.File("quorvane.qdx")), 0600u);
    ASSERT_TRUE(CopyFileOver(from, dir.File("engine.ocx"), 0700));
    EXPECT_EQ(ModeOf(dir.File("engine.ocx")), 0700u);
    EXPECT_FALSE(CopyFileOver(dir.File("missing"), dir.File("x")));
}

TEST(FileIoTest, FoldersArePrivate) {
    test::TempFolder dir;
    const mode_t oldMask = ::umask(0);
    ASSERT_TRUE(MakeFolders(dir.File("a/b/c/")));
    ::umask(oldMask);
    for (const char* f : {"a", "a/b", "a/b/c"}) {
        EXPECT_EQ(ModeOf(dir.File(f)), 0700u) << f;
    }
    EXPECT_FALSE(MakeFolders(dir.Write("plain", "x") + "/below"));
}

TEST(FileIoTest, RestrictToOwnerTightensWhatOlderVersionsLeftOpen) {
    test::TempFolder dir;
    const std::string root = dir.File("root/");
    ASSERT_TRUE(MakeFolders(root + "42/Voice Mail/"));
    dir.Write("root/registry/HKEY_CURRENT_USER.reg", "x");
    dir.Write("root/42/Options.ini", "x");
    dir.Write("root/outside", "x");
    for (const char* f : {"root", "root/42", "root/42/Voice Mail", "root/registry"}) {
        ::chmod(dir.File(f).c_str(), 0755);
    }
    ::chmod(dir.File("root/registry/HKEY_CURRENT_USER.reg").c_str(), 0644);
    ::chmod(dir.File("root/42/Options.ini").c_str(), 0666);
    ::chmod(dir.File("outside").c_str(), 0644);
    // A link is left alone, and so is what it points at.
    ASSERT_EQ(::symlink(dir.File("outside").c_str(), dir.File("root/link").c_str()), 0);
    dir.Write("outside", "x");
    ::chmod(dir.File("outside").c_str(), 0644);

    RestrictToOwner(root);
    EXPECT_EQ(ModeOf(dir.File("root")), 0700u);
    EXPECT_EQ(ModeOf(dir.File("root/42")), 0700u);
    EXPECT_EQ(ModeOf(dir.File("root/42/Voice Mail")), 0700u);
    EXPECT_EQ(ModeOf(dir.File("root/registry")), 0700u);
    EXPECT_EQ(ModeOf(dir.File("root/registry/HKEY_CURRENT_USER.reg")), 0600u);
    EXPECT_EQ(ModeOf(dir.File("root/42/Options.ini")), 0600u);
    EXPECT_EQ(ModeOf(dir.File("outside")), 0644u);
}

TEST(FileIoTest, PrivateFileOpenCreatesAPrivateFile) {
    test::TempFolder dir;
    for (bool append : {true, false}) {
        const std::string path = dir.File(append ? "trace.log" : "download.wav");
        std::FILE* file = OpenPrivateFile(path, append);
        ASSERT_NE(file, nullptr);
        std::fputs("line\n", file);
        std::fclose(file);
        EXPECT_EQ(ModeOf(path), 0600u);
    }
}

TEST(FileIoTest, ReadingAFifoDoesNotBlock) {
    test::TempFolder dir;
    const std::string fifo = dir.File("Quorvane.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] { return ReadWholeFile(fifo); });
    if (read.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        // Lets the blocked reader go so the test can end.
        int fd = ::open(fifo.c_str(), O_WRONLY);
        ::close(fd);
        FAIL() << "reading a FIFO blocked";
    }
    EXPECT_FALSE(read.get().has_value());
}

}  // namespace
}  // namespace qv
