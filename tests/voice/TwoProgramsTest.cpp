// Two real programs with their own data roots log in as two users on one voice server at the
// same time; a third user's engine watches both come online and go offline again.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "RealProgram.h"
#include "VoiceRig.h"

namespace qv {
namespace {

// Everything below folder that others could read, write or enter (tests run as root, so the bits
// are checked, not access). The desktop's own folders, which the test puts in there too, are not
// the program's (the desktop's tools write their caches for everyone to read).
std::vector<std::string> OpenToOthers(const std::string& folder) {
    std::vector<std::string> open;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it.depth() == 0 && (name == "xdg-data" || name == "xdg-config")) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && !S_ISLNK(st.st_mode) &&
            (st.st_mode & 077) != 0) {
            open.push_back(it->path().string());
        }
    }
    return open;
}

int LastStatus(const test::VoiceUser& user, const std::string& id) {
    int status = -1;
    for (const std::string& line : user.Events("Watch " + id + " ")) {
        status = std::stoi(line.substr(7 + id.size()));
    }
    return status;
}

TEST(TwoProgramsTest, TwoDataRootsLogInAsTwoUsersOnOneVoiceServer) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready());
    const test::Account ann = rig.Register("Ann");
    const test::Account bob = rig.Register("Bob");
    const test::Account cat = rig.Register("Cat");

    auto watcher = rig.NewUser();
    ASSERT_TRUE(rig.LogIn(*watcher, cat, rig.LogInToDirectory(cat), ann.id + "\n" + bob.id + "\n"));
    ASSERT_TRUE(watcher->DriveUntil([&] { return LastStatus(*watcher, bob.id) == 0; }));

    test::TempFolder homeA;
    test::TempFolder homeB;
    test::RealProgram a(homeA, ann, rig.directory.Host(), rig.VoicePort(), rig.voice.CaFile());
    test::RealProgram b(homeB, bob, rig.directory.Host(), rig.VoicePort(), rig.voice.CaFile());
    ASSERT_TRUE(a.Started() && b.Started());
    EXPECT_TRUE(watcher->DriveUntil(
        [&] { return LastStatus(*watcher, ann.id) == 1 && LastStatus(*watcher, bob.id) == 1; },
        30000))
        << rig.voice.Log();

    EXPECT_EQ(a.Terminate(), 0);
    EXPECT_TRUE(watcher->DriveUntil([&] { return LastStatus(*watcher, ann.id) == 0; }));
    EXPECT_EQ(LastStatus(*watcher, bob.id), 1);
    // A data root after one login holds nothing other users can read.
    EXPECT_EQ(OpenToOthers(homeA.Path()), std::vector<std::string>{});
    EXPECT_EQ(b.Terminate(), 0);
    EXPECT_TRUE(watcher->DriveUntil([&] { return LastStatus(*watcher, bob.id) == 0; }));
}

TEST(TwoProgramsTest, AProgramComesBackOnlineAfterTheVoiceServerRestarts) {
    test::VoiceRig rig;
    ASSERT_TRUE(rig.Ready());
    const test::Account ann = rig.Register("Ann");
    const test::Account cat = rig.Register("Cat");
    test::TempFolder home;
    test::RealProgram program(home, ann, rig.directory.Host(), rig.VoicePort(), rig.voice.CaFile());
    ASSERT_TRUE(program.Started());
    auto watcher = rig.NewUser();
    ASSERT_TRUE(rig.LogIn(*watcher, cat, rig.LogInToDirectory(cat), ann.id + "\n"));
    ASSERT_TRUE(watcher->DriveUntil([&] { return LastStatus(*watcher, ann.id) == 1; }, 30000));

    EXPECT_EQ(rig.voice.Stop(), 0);
    ASSERT_TRUE(watcher->DriveUntil([&] { return watcher->h.manager->State() == 0; }));
    const std::string port = std::to_string(rig.VoicePort());
    test::VoiceServerProcess again(SONARO_SERVER_PROGRAM, rig.folder,
                                   rig.directory.TicketPublicKey(),
                                   {"--listen", "127.0.0.1:" + port});
    ASSERT_EQ(again.Port(), rig.VoicePort());

    // The program notices the lost connection and reconnects by itself, logging in afresh.
    auto watcherAgain = rig.NewUser();
    ASSERT_TRUE(rig.LogIn(*watcherAgain, cat, rig.LogInToDirectory(cat), ann.id + "\n"));
    EXPECT_TRUE(
        watcherAgain->DriveUntil([&] { return LastStatus(*watcherAgain, ann.id) == 1; }, 30000))
        << again.Log() << home.Read("trace.log");
    EXPECT_EQ(program.Terminate(), 0);
}

}  // namespace
}  // namespace qv
