// Pulmetra as a new user starts it (empty XDG folders, no control registry) under a real X
// server: the window's name (xwininfo), the INI defaults, the hand-over of a second start,
// raw frames, the exit on SIGTERM without a sanitizer report, and a killed first instance.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <list>
#include <memory>
#include <thread>
#include <filesystem>

#include "acq_server/app/datalistctrl.h"
#include "hostprocess.h"
#include "oxuutil/inifile.h"
#include "acq_server/settings/serversettings.h"
#include "platform/folders.h"
#include "platform/settings.h"
#include "testsupport/qtapp.h"
#include "testsupport/childprocess.h"
#include "testsupport/testsupport.h"
#include "testsupport/xvfb.h"

using testsupport::CTempDir;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

class PulmetraE2E : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"cfg", "data", "tmp", "run", "home"})
            ASSERT_EQ(mkdir((dir / sub).c_str(), 0700), 0);
        int nStatus = -1;
        RunCommand(std::string(PYTHON_EXE " " SPIRO_FIXTURES_SCRIPT " ") + ShellQuote(dir / "fx"),
                   &nStatus);
        ASSERT_EQ(nStatus, 0);
        ASSERT_TRUE(xvfb.Start()) << "Xvfb did not start";
        display = xvfb.Display();
        env.emplace_back("DISPLAY", display.c_str());
        env.emplace_back("QT_QPA_PLATFORM", "xcb");
        env.emplace_back("XDG_CONFIG_HOME", (dir / "cfg").c_str());
        env.emplace_back("XDG_DATA_HOME", (dir / "data").c_str());
        // No system MIME packages: the machine's own claims do not change what is written.
        env.emplace_back("XDG_DATA_DIRS", (dir / "sysdata").c_str());
        env.emplace_back("XDG_RUNTIME_DIR", (dir / "run").c_str());
        env.emplace_back("TMPDIR", (dir / "tmp").c_str());
        env.emplace_back("CORVANE_HOME", (dir / "home").c_str());
        env.emplace_back("LSAN_OPTIONS", "suppressions=" LSAN_SUPP);
    }
    std::string Tree() { return xvfb.Tree(); }
    int CountTitles() {
        const std::string t = Tree();
        int n = 0;
        for (auto p = t.find("\"Pulmetra [Local] - "); p != std::string::npos;
             p = t.find("\"Pulmetra [Local] - ", p + 1))
            ++n;
        return n;
    }
    bool WaitTitle(const std::string& strTitle, int nMs = 45000) {
        return xvfb.WaitForWindow(strTitle, nMs);
    }
    std::unique_ptr<testsupport::CChildProcess> Start(std::vector<std::string> args,
                                                      const std::string& strLog) {
        args.insert(args.begin(), PULMETRA_PATH);
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

std::string Read(const std::string& p) {
    return testsupport::ReadFile(p);
}

// The server's data list is a widget: one application for the program (offscreen itself;
// the programs it starts get the X server).
::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

TEST_F(PulmetraE2E, ANewUserGetsOneWindowAndTheHandOver) {
    ASSERT_TRUE(xvfb.StartWindowManager());
    const std::string strName = "Pulmetra [Local] - [spiro_t1_f2.fvc]";
    auto first = Start({Fx("spiro_t1_f2.fvc")}, "first.log");
    ASSERT_TRUE(WaitTitle(strName)) << Read(dir / "first.log") << Tree();
    // The INI defaults of a fresh installation.
    const std::string strIni = Read(dir / "home/Pulmetra/Pulmetra.ini");
    EXPECT_NE(strIni.find("FILE_SERVER=127.0.0.1"), std::string::npos) << strIni;
    EXPECT_NE(strIni.find("FILE_SERVER_PORT=6003"), std::string::npos) << strIni;
    EXPECT_NE(strIni.find("CACHE_FOLDER=" + dir / "home/Pulmetra/Cache"), std::string::npos)
        << strIni;
    // The shell registration of a new user.
    const std::string strMime = Read(dir / "data/mime/packages/corvane-pulmetra.xml");
    for (const char* g : {"*.fvc", "*.svc", "*.mvv"})
        EXPECT_NE(strMime.find(g), std::string::npos) << g;
    EXPECT_TRUE(testsupport::Exists(dir / "data/applications/corvane-pulmetra.desktop"));

    // A second start hands its file over and ends without a window.
    auto second = Start({Fx("spiro_t2_f1.svc")}, "second.log");
    EXPECT_EQ(second->Wait(45000), 0);
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - [spiro_t2_f1.svc]"));
    EXPECT_EQ(CountTitles(), 1);
    // "-sid" alone only raises the window.
    auto third = Start({"-sid", "S-1"}, "third.log");
    EXPECT_EQ(third->Wait(45000), 0);
    // Raw frames: another code, and a 2,000-byte text (the channel refuses a text over
    // 1,023 bytes whole: a cut path could name another file). Nothing changes.
    EXPECT_EQ(RunCommand(std::string(SENDER_PATH " -n PulmetraFrame 29 ") +
                         ShellQuote(Fx("spiro_t3_f2.mvv")) + "; echo $?"),
              "0\n");
    EXPECT_EQ(RunCommand(SENDER_PATH " -n PulmetraFrame 30 -b 2000; echo $?"), "0\n");
    Settle();
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - [spiro_t2_f1.svc]", 100));
    EXPECT_EQ(CountTitles(), 1);
    // Code 30 opens.
    EXPECT_EQ(RunCommand(std::string(SENDER_PATH " -n PulmetraFrame 30 ") +
                         ShellQuote(Fx("spiro_t3_f2.mvv")) + "; echo $?"),
              "0\n");
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - [spiro_t3_f2.mvv]"));
    // A file that is open already: said in a box on the screen (its event loop runs while
    // the sender has hung up), then shown again.
    testsupport::CScreenOperator op(xvfb, "^Pulmetra$");
    op.Answer({"Return"});
    EXPECT_EQ(RunCommand(std::string(SENDER_PATH " -n PulmetraFrame 30 ") +
                         ShellQuote(Fx("spiro_t1_f2.fvc")) + "; echo $?"),
              "0\n");
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Exame já está aberto."), std::string::npos) << boxes[0];
    EXPECT_TRUE(WaitTitle(strName));

    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
    const std::string strLog = Read(dir / "first.log");
    EXPECT_FALSE(HasSanitizerReport(strLog)) << strLog;
}

TEST_F(PulmetraE2E, AFailedOpenIsABoxOnTheScreenAndARelativeHandOverOpensTheCallersFile) {
    ASSERT_TRUE(xvfb.StartWindowManager());
    ASSERT_TRUE(testsupport::WriteFile(dir / "bad.fvc", "no test"));
    testsupport::CScreenOperator op(xvfb, "^Pulmetra$");
    op.Answer({"Return"}, 60000);
    auto first = Start({dir / "bad.fvc"}, "first.log");
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u) << Read(dir / "first.log");
    EXPECT_NE(boxes[0].find("Falha ao abrir o arquivo Spiro !!!"), std::string::npos) << boxes[0];
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - Empty"));
    // A second start in the tests' folder names its file relative to that folder.
    EXPECT_EQ(RunCommand("cd " + ShellQuote(dir / "fx") +
                         " && " PULMETRA_PATH " spiro_t2_f1.svc; echo $?"),
              "0\n");
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - [spiro_t2_f1.svc]")) << Tree();
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
}

TEST_F(PulmetraE2E, AKilledFirstInstanceDoesNotBlockTheNext) {
    auto first = Start({Fx("spiro_t1_f2.fvc")}, "first.log");
    ASSERT_TRUE(WaitTitle("Pulmetra [Local] - [spiro_t1_f2.fvc]")) << Read(dir / "first.log");
    first->Signal(SIGKILL);
    first->Wait(5000);
    auto next = Start({Fx("spiro_t5_f2.fvc")}, "next.log");
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - [spiro_t5_f2.fvc]"));
    next->Signal(SIGINT);
    EXPECT_EQ(next->Wait(45000), 0);
    EXPECT_FALSE(HasSanitizerReport(Read(dir / "next.log")));
}

TEST_F(PulmetraE2E, WithoutAFileTheTitleIsEmpty) {
    auto first = Start({"-u", "a", "-p", "b"}, "first.log");
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - Empty")) << Read(dir / "first.log");
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
}

TEST_F(PulmetraE2E, TheServersRunPulmetraOpensTheListedTest) {
    // A received test in a folder with a blank, listed by the server, opened with its
    // "Run Pulmetra": the viewer the server's settings name, the path as one argument.
    ASSERT_TRUE(std::filesystem::create_directories(dir / "Data/SPIRO 1"));
    std::filesystem::copy_file(Fx("spiro_t4_f1.fvc"), dir / "Data/SPIRO 1/P-9_20260304.fvc");
    platform::CSettingsStore(acqsettings::kKeyPath)
        .WriteString(acqsettings::kSection, "Pulmetra", PULMETRA_PATH);
    CDataListCtrl list;
    list.Init();
    list.AddRecord({"2026/03/04 05:06", "P-9", dir / "Data/SPIRO 1/P-9_20260304.fvc"});
    list.setCurrentIndex(list.model()->index(0, 0));
    list.OnOpenSpiro();
    const std::string strTitle = "Pulmetra [Local] - [P-9_20260304.fvc]";
    ASSERT_TRUE(WaitTitle(strTitle)) << Tree();
    // The started viewer is ended by its own process id (from its window).
    const std::string strPid = RunCommand("xdotool search --name " +
                                          ShellQuote("^" + std::string("Pulmetra \\[Local\\]")) +
                                          " getwindowpid 2>/dev/null | head -1 | tr -d '\\n'");
    ASSERT_FALSE(strPid.empty());
    const pid_t pid = std::atoi(strPid.c_str());
    ASSERT_GT(pid, 1);
    kill(pid, SIGTERM);
    for (int t = 0; t < 200 && kill(pid, 0) == 0; ++t)
        Settle(50);
    EXPECT_NE(kill(pid, 0), 0);
}

TEST_F(PulmetraE2E, ATestTheServerLibraryReceivedOpensFromItsInstanceRow) {
    // The server library stores a spirometer's FVC test (SQLite) ...
    const std::string strHostHome = dir / "oxu/";
    ASSERT_TRUE(platform::MakeDirs(strHostHome + "oxuhost/"));
    {
        CIniFile ini((strHostHome + "oxuhost/Oxu.ini").c_str());
        ini.WriteString("OXU_SERVER", "BIND_ADDRESS", "127.0.0.1");
        ini.WriteInt("OXU_SERVER", "ECG_PORT", 0);
        ini.WriteInt("OXU_SERVER", "FILE_PORT", 0);
        ini.WriteString("OXU_DB", "DB_HOST", (strHostHome + "oxuhost/Database/oxunet.mdb").c_str());
        ini.WriteInt("OXU_DB", "DB_ACCESS_MDB", 1);
    }
    oxutest::CHostProcess host;
    ASSERT_TRUE(host.Start(OXUHOST_PATH, {}, strHostHome));
    const std::string strReady = host.WaitFor("READY", 60000);
    ASSERT_NE(strReady.find("ecg="), std::string::npos) << host.Text();
    const int nPort = std::atoi(strReady.substr(strReady.find("ecg=") + 4).c_str());
    const std::string strOut =
        RunCommand("python3 " + ShellQuote(DEVSIM_PY) + " --port " + std::to_string(nPort) +
                   " --timeout 60 frame-fvc --id S7 --name 'ROE ANN' 2>&1");
    EXPECT_NE(strOut.find("REPLY fc06"), std::string::npos) << strOut;
    host.Terminate();
    // ... and its instance row names the file: folder and name.
    const std::string strRow =
        RunCommand("sqlite3 " + ShellQuote(strHostHome + "oxuhost/Database/oxunet.mdb") +
                   " 'SELECT file_folder, file_name FROM instance' 2>&1");
    const auto nBar = strRow.find('|');
    ASSERT_NE(nBar, std::string::npos) << strRow;
    std::string strName = strRow.substr(nBar + 1);
    while (!strName.empty() && strName.back() == '\n')
        strName.pop_back();
    std::string strFolder = strRow.substr(0, nBar);
    if (strFolder.back() != '/')
        strFolder += '/';
    auto viewer = Start({strFolder + strName}, "viewer.log");
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - [" + strName + "]"))
        << Read(dir / "viewer.log") << strRow;
    viewer->Signal(SIGTERM);
    EXPECT_EQ(viewer->Wait(45000), 0);
}

TEST_F(PulmetraE2E, AMinimisedWindowComesBackForAForwardedFile) {
    ASSERT_TRUE(xvfb.StartWindowManager());
    auto first = Start({Fx("spiro_t1_f0.fvc")}, "first.log");
    ASSERT_TRUE(WaitTitle("Pulmetra [Local] - [spiro_t1_f0.fvc]")) << Read(dir / "first.log");
    const std::string strId = RunCommand(
        "xdotool search --name '^Pulmetra \\[Local\\] - ' 2>/dev/null | head -1 | tr -d '\\n'");
    ASSERT_FALSE(strId.empty());
    const std::string strState =
        "xwininfo -display " + display + " -id " + strId + " | grep 'Map State'";
    RunCommand("xdotool windowminimize " + strId);
    for (int t = 0; t < 50 && RunCommand(strState).find("IsViewable") != std::string::npos; ++t)
        Settle(100);
    ASSERT_EQ(RunCommand(strState).find("IsViewable"), std::string::npos) << RunCommand(strState);
    auto second = Start({Fx("spiro_t4_f0.fvc")}, "second.log");
    EXPECT_EQ(second->Wait(45000), 0);
    EXPECT_TRUE(WaitTitle("Pulmetra [Local] - [spiro_t4_f0.fvc]"));
    for (int t = 0; t < 50 && RunCommand(strState).find("IsViewable") == std::string::npos; ++t)
        Settle(100);
    EXPECT_NE(RunCommand(strState).find("IsViewable"), std::string::npos) << RunCommand(strState);
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(45000), 0);
}

}  // namespace
