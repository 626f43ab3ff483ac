#include "platform/process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "testsupport/testsupport.h"

using namespace platform;

TEST(Process, ExitCodesAndArgumentsWithoutShell) {
    testsupport::CTempDir dir;
    auto r = RunProcess({"sh", "-c", "exit 3"}, 5000);
    EXPECT_TRUE(r.bStarted);
    EXPECT_EQ(r.nExitCode, 3);
    EXPECT_FALSE(r.Succeeded());
    // An argument with spaces and quotes arrives as one argument, untouched.
    std::string out = dir / "out.txt";
    r = RunProcess({"sh", "-c", "printf '%s' \"$1\" > \"$2\"", "sh", "a \"b\" $HOME;", out}, 5000);
    EXPECT_TRUE(r.Succeeded());
    EXPECT_EQ(testsupport::ReadFile(out), "a \"b\" $HOME;");
    // -1 from a program reads as 255.
    EXPECT_EQ(RunProcess({"perl", "-e", "exit(-1)"}, 5000).nExitCode, 255);
}

TEST(Process, StandardInputIsEmptyAndWorkDirIsUsed) {
    testsupport::CTempDir dir;
    auto r = RunProcess({"sh", "-c", "read x; test -z \"$x\" && pwd > here.txt"}, 5000, dir.Path());
    EXPECT_TRUE(r.Succeeded());
    std::string here = testsupport::ReadFile(dir / "here.txt");
    EXPECT_EQ(here, dir.Path().substr(0, dir.Path().size() - 1) + "\n");
}

TEST(Process, OurFilesAreNotInheritedByTheChild) {
    testsupport::CTempDir dir;
    int fd = open((dir / "held.txt").c_str(), O_WRONLY | O_CREAT, 0600);  // no close-on-exec
    ASSERT_GE(fd, 3);
    const std::string probe = "test ! -e /proc/self/fd/" + std::to_string(fd);
    EXPECT_TRUE(RunProcess({"sh", "-c", probe}, 5000).Succeeded());
    EXPECT_TRUE(RunProcess({"sh", "-c", "test -e /proc/self/fd/2"}, 5000).Succeeded());
    close(fd);
}

TEST(Process, TimeLimitKillsTheChildAndItsChildren) {
    auto start = std::chrono::steady_clock::now();
    auto r = RunProcess({"sh", "-c", "sleep 30 & sleep 30"}, 200);
    EXPECT_TRUE(r.bTimedOut);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(Process, AChildCollectedElsewhereIsNotATimeout) {
    // With SIGCHLD ignored the system collects the child itself; it ended, it did not
    // run out of time, and its old process group is not ours to kill.
    struct sigaction ign{}, old{};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ign, &old);
    auto r = RunProcess({"true"}, 5000);
    auto r2 = RunProcess({"true"}, -1);
    sigaction(SIGCHLD, &old, nullptr);
    EXPECT_TRUE(r.bStarted);
    EXPECT_FALSE(r.bTimedOut);
    EXPECT_FALSE(r.bSignalled);
    EXPECT_FALSE(r2.bTimedOut);
}

TEST(Process, MissingProgramIsNotStarted) {
    auto r = RunProcess({"/no/such/program"}, 1000);
    EXPECT_FALSE(r.bStarted);
    EXPECT_FALSE(r.strError.empty());
    EXPECT_FALSE(RunProcess({}, 1000).bStarted);
    EXPECT_FALSE(StartDetached({"/no/such/program"}));
}

TEST(Process, DetachedProgramRuns) {
    testsupport::CTempDir dir;
    ASSERT_TRUE(StartDetached({"sh", "-c", "echo x > \"$0\"", dir / "d.txt"}));
    for (int i = 0; i < 500 && testsupport::ReadFile(dir / "d.txt") != "x\n"; ++i) {
        RunProcess({"sleep", "0.01"}, 1000);
    }
    EXPECT_EQ(testsupport::ReadFile(dir / "d.txt"), "x\n");
}
