// The real program, started as a person would start it (offscreen), twice.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

class Program {
  public:
    Program(const std::string& home, const std::string& trace, std::vector<std::string> args) {
        std::vector<std::string> all{QUORVANE_PROGRAM, "--home", home};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> envStore;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string v = *e;
            if (v.rfind("QUORVANE_TRACE=", 0) != 0 && v.rfind("QT_QPA_PLATFORM=", 0) != 0) {
                envStore.push_back(v);
            }
        }
        envStore.push_back("QUORVANE_TRACE=" + trace);
        envStore.push_back("QT_QPA_PLATFORM=offscreen");
        envStore.push_back("QUORVANE_MIXER=null");
        envStore.push_back("XDG_DATA_HOME=" + home + "xdg-data");
        envStore.push_back("XDG_CONFIG_HOME=" + home + "xdg-config");
        std::vector<char*> envp;
        for (auto& e : envStore) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, QUORVANE_PROGRAM, nullptr, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    // The exit status, or -1 when it did not end in time.
    int Wait(std::chrono::milliseconds limit = 20s) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }
    void Terminate() { ::kill(pid_, SIGTERM); }
    bool Started() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

bool WaitForText(const qv::test::TempFolder& dir, const std::string& file, const std::string& text,
                 std::chrono::milliseconds limit = 20s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (dir.Read(file).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

TEST(ProgramTest, SecondStartHandsItsCommandFileToTheFirstAndExitLeavesSettings) {
    qv::test::TempFolder home;
    Program first(home.Path(), home.File("first.trace"), {});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitForText(home, "first.trace", "created MainWindow"));

    const std::string file = home.Write("downloads/join forum.qdx", "Fmusic/jazz\r\n");
    Program second(home.Path(), home.File("second.trace"), {file});
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(home.Read("quorvane.qdx"), "Fmusic/jazz\r\n");
    EXPECT_TRUE(WaitForText(home, "first.trace",
                            "CQuorvaneApp::OpenDocumentFile " + home.File("quorvane.qdx")));
    // The second one never got as far as making a window.
    EXPECT_EQ(home.Read("second.trace").find("created MainWindow"), std::string::npos);

    first.Terminate();
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_NE(home.Read("first.trace").find("destroyed Registry"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(home.File("Quorvane.ini")));
    EXPECT_TRUE(std::filesystem::exists(home.File("registry/HKEY_CLASSES_ROOT.reg")));
    EXPECT_TRUE(std::filesystem::exists(home.File("xdg-data/applications/quorvane.desktop")));
}

TEST(ProgramTest, TwoProgramsStartedAtTheSameMomentLeaveOneRunning) {
    qv::test::TempFolder home;
    Program a(home.Path(), home.File("a.trace"), {});
    Program b(home.Path(), home.File("b.trace"), {});
    ASSERT_TRUE(a.Started() && b.Started());
    // Exactly one of them ends at once, handing over to the other.
    int ended = -1;
    auto end = std::chrono::steady_clock::now() + 20s;
    while (ended < 0 && std::chrono::steady_clock::now() < end) {
        if (a.Wait(50ms) == 0) {
            ended = 0;
        } else if (b.Wait(50ms) == 0) {
            ended = 1;
        }
    }
    ASSERT_GE(ended, 0);
    Program& survivor = ended == 0 ? b : a;
    EXPECT_EQ(survivor.Wait(500ms), -1);  // still running
    survivor.Terminate();
    EXPECT_EQ(survivor.Wait(), 0);
}

TEST(ProgramTest, QtsOwnArgumentsAreNotOpenedAsACommandFile) {
    qv::test::TempFolder home;
    Program program(home.Path(), home.File("trace"), {"-style", "fusion", "-session", "4711"});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(WaitForText(home, "trace", "created MainWindow"));
    program.Terminate();
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_EQ(home.Read("trace").find("OpenDocumentFile"), std::string::npos);
}

TEST(ProgramTest, SettingsFileThatIsAFifoDoesNotBlockStartUp) {
    qv::test::TempFolder home;
    ASSERT_EQ(::mkfifo(home.File("Quorvane.ini").c_str(), 0600), 0);
    Program program(home.Path(), home.File("trace"), {});
    ASSERT_TRUE(program.Started());
    EXPECT_TRUE(WaitForText(home, "trace", "created MainWindow"));
    program.Terminate();
    EXPECT_EQ(program.Wait(), 0);
}

}  // namespace
