// Lindar as a new user starts it (empty XDG folders, no control registry) under a real X
// server: the window's name (xwininfo), the hand-over of a second start, raw frames, the
// exit on SIGTERM without a sanitizer report, and a killed first instance.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <list>
#include <memory>
#include <thread>

#include "testsupport/childprocess.h"
#include "testsupport/testsupport.h"
#include "testsupport/xvfb.h"

using testsupport::CTempDir;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

class LindarE2E : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"cfg", "data", "tmp", "run", "home"})
            ASSERT_EQ(mkdir((dir / sub).c_str(), 0700), 0);
        int nStatus = -1;
        RunCommand(std::string(PYTHON_EXE " " EKG_FIXTURES_SCRIPT " ") + ShellQuote(dir / "fx"),
                   &nStatus);
        ASSERT_EQ(nStatus, 0);
        // The X server, on a display number it picks itself.
        ASSERT_TRUE(xvfb.Start()) << "Xvfb did not start";
        display = xvfb.Display();
        env.emplace_back("DISPLAY", display.c_str());
        env.emplace_back("QT_QPA_PLATFORM", "xcb");
        env.emplace_back("XDG_CONFIG_HOME", (dir / "cfg").c_str());
        env.emplace_back("XDG_DATA_HOME", (dir / "data").c_str());
        env.emplace_back("XDG_RUNTIME_DIR", (dir / "run").c_str());
        env.emplace_back("TMPDIR", (dir / "tmp").c_str());
        env.emplace_back("CORVANE_HOME", (dir / "home").c_str());
        env.emplace_back("LSAN_OPTIONS", "suppressions=" LSAN_SUPP);
    }
    std::string Tree() { return xvfb.Tree(); }
    int CountTitles() {
        const std::string t = Tree();
        int n = 0;
        for (auto p = t.find("\"Lindar - "); p != std::string::npos;
             p = t.find("\"Lindar - ", p + 1))
            ++n;
        return n;
    }
    bool WaitTitle(const std::string& strTitle, int nMs = 45000) {
        return xvfb.WaitForWindow(strTitle, nMs);
    }
    std::unique_ptr<testsupport::CChildProcess> Start(std::vector<std::string> args,
                                                      const std::string& strLog) {
        args.insert(args.begin(), LINDAR_PATH);
        auto p = std::make_unique<testsupport::CChildProcess>();
        EXPECT_TRUE(p->Start(args, dir / strLog));
        return p;
    }
    std::string Fx(const char* n) { return dir / ("fx/" + std::string(n)); }
    static void Settle(int ms = 700) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    CTempDir dir;
    testsupport::CXvfb xvfb;
    std::string display;
    std::list<testsupport::CEnvScope> env;
};

bool HasSanitizerReport(const std::string& strLog) {
    return strLog.find("AddressSanitizer") != std::string::npos ||
           strLog.find("runtime error:") != std::string::npos ||
           strLog.find("LeakSanitizer") != std::string::npos;
}

TEST_F(LindarE2E, OneWindowPerUserWithTheHandOver) {
    ASSERT_TRUE(xvfb.StartWindowManager());
    auto first = Start({Fx("server.ekg")}, "first.log");
    ASSERT_TRUE(WaitTitle("Lindar - " + Fx("server.ekg")))
        << testsupport::ReadFile(dir / "first.log");
    // The shell registration of a new user.
    EXPECT_NE(testsupport::ReadFile(dir / "data/mime/packages/corvane-lindar.xml").find("*.ekg"),
              std::string::npos);
    EXPECT_TRUE(testsupport::Exists(dir / "data/applications/corvane-lindar.desktop"));

    // A second start hands its file over and ends without a window.
    auto second = Start({Fx("control.ekg")}, "second.log");
    EXPECT_EQ(second->Wait(45000), 0);
    EXPECT_TRUE(WaitTitle("Lindar - " + Fx("control.ekg")));
    EXPECT_EQ(CountTitles(), 1);

    // "-sid" alone opens nothing.
    auto third = Start({"-sid", "x"}, "third.log");
    EXPECT_EQ(third->Wait(45000), 0);
    // Raw frames of code 29 and of a 2,000-byte text change nothing.
    EXPECT_EQ(RunCommand(std::string(LINDARSEND_PATH " 29 ") + ShellQuote(Fx("server.ekg")) +
                         "; echo $?"),
              "0\n");
    EXPECT_EQ(RunCommand(LINDARSEND_PATH " 30 -b 2000; echo $?"), "0\n");
    Settle();
    EXPECT_TRUE(WaitTitle("Lindar - " + Fx("control.ekg"), 100));
    EXPECT_EQ(CountTitles(), 1);
    // A frame of code 30 opens (here: the first file again, already open: said in a box on
    // the screen, then shown again).
    testsupport::CScreenOperator op(xvfb, "^Lindar$");
    op.Answer({"Return"});
    EXPECT_EQ(RunCommand(std::string(LINDARSEND_PATH " 30 ") + ShellQuote(Fx("server.ekg")) +
                         "; echo $?"),
              "0\n");
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Exame já está aberto."), std::string::npos) << boxes[0];
    EXPECT_TRUE(WaitTitle("Lindar - " + Fx("server.ekg")));

    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
    const std::string strLog = testsupport::ReadFile(dir / "first.log");
    EXPECT_FALSE(HasSanitizerReport(strLog)) << strLog;
}

TEST_F(LindarE2E, AFailedOpenIsABoxOnTheScreenAndARelativeHandOverOpensTheCallersFile) {
    ASSERT_TRUE(xvfb.StartWindowManager());
    ASSERT_TRUE(testsupport::WriteFile(dir / "bad.ekg", "no record"));
    testsupport::CScreenOperator op(xvfb, "^Lindar$");
    op.Answer({"Return"}, 60000);
    auto first = Start({dir / "bad.ekg"}, "first.log");
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u) << testsupport::ReadFile(dir / "first.log");
    EXPECT_NE(boxes[0].find("Falha ao abrir o arquivo (*.ekg) !!!"), std::string::npos) << boxes[0];
    EXPECT_TRUE(WaitTitle("Lindar - Vazio"));
    // A second start in the records' folder names its file relative to that folder.
    EXPECT_EQ(
        RunCommand("cd " + ShellQuote(dir / "fx") + " && " LINDAR_PATH " control.ekg; echo $?"),
        "0\n");
    EXPECT_TRUE(WaitTitle("Lindar - " + Fx("control.ekg"))) << Tree();
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
}

TEST_F(LindarE2E, AKilledFirstInstanceDoesNotBlockTheNext) {
    auto first = Start({Fx("server.ekg")}, "first.log");
    ASSERT_TRUE(WaitTitle("Lindar - " + Fx("server.ekg")));
    first->Signal(SIGKILL);
    first->Wait(5000);
    auto next = Start({Fx("control.ekg")}, "next.log");
    EXPECT_TRUE(WaitTitle("Lindar - " + Fx("control.ekg")));
    next->Signal(SIGINT);
    EXPECT_EQ(next->Wait(45000), 0);
}

TEST_F(LindarE2E, WithoutAFileTheTitleIsEmpty) {
    auto first = Start({"-u", "a", "-p", "b"}, "first.log");
    EXPECT_TRUE(WaitTitle("Lindar - Vazio"));
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
}

}  // namespace

namespace {

TEST_F(LindarE2E, AMinimisedFirstWindowComesBackForAForwardedFile) {
    ASSERT_TRUE(xvfb.StartWindowManager());
    auto first = Start({Fx("server.ekg")}, "first.log");
    ASSERT_TRUE(WaitTitle("Lindar - " + Fx("server.ekg")));
    const std::string strId =
        RunCommand("xdotool search --name '^Lindar - ' 2>/dev/null | head -1 | tr -d '\\n'");
    ASSERT_FALSE(strId.empty());
    const std::string strState =
        "xwininfo -display " + display + " -id " + strId + " | grep 'Map State'";
    RunCommand("xdotool windowminimize " + strId);
    for (int t = 0; t < 50 && RunCommand(strState).find("IsViewable") != std::string::npos; ++t)
        Settle(100);
    ASSERT_EQ(RunCommand(strState).find("IsViewable"), std::string::npos) << RunCommand(strState);
    auto second = Start({Fx("control.ekg")}, "second.log");
    EXPECT_EQ(second->Wait(45000), 0);
    EXPECT_TRUE(WaitTitle("Lindar - " + Fx("control.ekg")));
    for (int t = 0; t < 50 && RunCommand(strState).find("IsViewable") == std::string::npos; ++t)
        Settle(100);
    EXPECT_NE(RunCommand(strState).find("IsViewable"), std::string::npos) << RunCommand(strState);
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
}

}  // namespace

#include <cstdio>

namespace {

TEST_F(LindarE2E, ASignalDuringTheSplashEndsTheProgram) {
    auto first = Start({Fx("server.ekg")}, "first.log");
    // The frame is up with its empty title while the splash shows; the record opens after it.
    ASSERT_TRUE(WaitTitle("Lindar - Vazio")) << testsupport::ReadFile(dir / "first.log");
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
    EXPECT_FALSE(HasSanitizerReport(testsupport::ReadFile(dir / "first.log")));
}

TEST_F(LindarE2E, TheStatusBarShowsTheCapsLockLight) {
    auto first = Start({}, "first.log");
    ASSERT_TRUE(WaitTitle("Lindar - Vazio"));
    Settle(2000);  // the splash has gone
    const std::string strId =
        RunCommand("xdotool search --name '^Lindar - ' 2>/dev/null | head -1 | tr -d '\\n'");
    ASSERT_FALSE(strId.empty());
    // A window of a known size, whose status bar the shots below crop.
    RunCommand("xdotool windowsize " + strId + " 1100 800");
    Settle();
    // The right end of the status bar, where the lock indicators are.
    auto shoot = [&](const char* name) {
        const std::string strGeo =
            RunCommand("xwininfo -display " + display + " -id " + strId +
                       " | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}'");
        int w = 0, h = 0;
        sscanf(strGeo.c_str(), "%d %d", &w, &h);
        RunCommand("import -display " + display + " -window " + strId + " -crop 260x26+" +
                   std::to_string(w - 260) + "+" + std::to_string(h - 26) + " +repage " +
                   ShellQuote(dir / name));
    };
    auto differ = [&](const char* a, const char* b) {
        return RunCommand("compare -metric AE " + ShellQuote(dir / a) + " " + ShellQuote(dir / b) +
                          " null: 2>&1");
    };
    shoot("off.png");
    RunCommand("xdotool key Caps_Lock");
    Settle(1000);
    shoot("on.png");
    RunCommand("xdotool key Caps_Lock");
    Settle(1000);
    shoot("off2.png");
    EXPECT_NE(differ("off.png", "on.png"), "0");
    EXPECT_EQ(differ("off.png", "off2.png"), "0");
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
}

}  // namespace
