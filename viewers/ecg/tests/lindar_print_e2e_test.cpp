// "Lindar -p <record>" under a real X server: the record opens with the print dialog, Enter
// (xdotool) accepts it and the page comes out of the default PDF queue of a private CUPS
// server (pdftotext), or the program's box tells why a refusing queue printed nothing; with
// "-u" the same parameter is a password and nothing is printed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <list>
#include <thread>

#include "testsupport/cupspeer.h"
#include "testsupport/childprocess.h"
#include "testsupport/testsupport.h"
#include "testsupport/xvfb.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

class LindarPrintE2E : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"cfg", "data", "tmp", "run", "home", "dcfg"})
            ASSERT_EQ(mkdir((dir / sub).c_str(), 0700), 0);
        // A record of clean beats with a named patient, written by the control itself.
        int nStatus = -1;
        std::string out = RunCommand(std::string(PYTHON_EXE " " ECGSYNTH_SCRIPT " ") + ShellQuote(dir / "synth.ekg") +
                                         " --rate 72 2>&1",
                                     &nStatus);
        ASSERT_EQ(nStatus, 0) << out;
        const std::string strEnv = "XDG_CONFIG_HOME=" + ShellQuote(dir / "dcfg") + " QT_QPA_PLATFORM=offscreen ";
        out = RunCommand(strEnv + REGCTL_PATH " " WAVELIN_PATH " 2>&1 && " + strEnv +
                             "ASAN_OPTIONS=detect_leaks=0 " DISPCALL_PATH " WAVELIN2.WavelinCtrl.1 'EKGOpenFile(\"" +
                             (dir / "synth.ekg") + "\")' 'EKGSetPatientInfo(1,\"Maria Oliveira\")' 'EKGSaveFile(\"" +
                             record + "\")' 2>&1",
                         &nStatus);
        ASSERT_EQ(nStatus, 0) << out;
        ASSERT_NE(out.find("EKGSaveFile = TRUE"), std::string::npos) << out;

        // The print system: a private cupsd whose default queue writes PDF files. Its
        // CUPS_SERVER is inherited by the program.
        ASSERT_TRUE(cups.Start()) << cups.Error();
        ASSERT_TRUE(cups.AddPdfQueue("LindarPdf")) << cups.Error();
        ASSERT_TRUE(cups.SetDefault("LindarPdf")) << cups.Error();

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
    bool WaitWindow(const std::string& strName, int nMs = 45000) { return xvfb.WaitForWindow(strName, nMs); }
    std::unique_ptr<testsupport::CChildProcess> Start(std::vector<std::string> args, const std::string& strLog) {
        args.insert(args.begin(), LINDAR_PATH);
        auto p = std::make_unique<testsupport::CChildProcess>();
        EXPECT_TRUE(p->Start(args, dir / strLog));
        return p;
    }

    testsupport::CTempDir dir;
    const std::string record = dir / "named.ekg";
    testsupport::CCupsPeer cups;
    testsupport::CXvfb xvfb;
    std::string display;
    std::list<testsupport::CEnvScope> env;
};

TEST_F(LindarPrintE2E, PrintPathOpensTheRecordAndEnterPrintsIt) {
    auto lindar = Start({"-p", record}, "lindar.log");
    ASSERT_TRUE(WaitWindow("Imprimir")) << testsupport::ReadFile(dir / "lindar.log");
    EXPECT_TRUE(WaitWindow("Lindar - " + record, 100)) << Tree();
    const std::string strId = RunCommand("xdotool search --name '^Imprimir$' 2>/dev/null | head -1 | tr -d '\\n'");
    ASSERT_FALSE(strId.empty());
    RunCommand("xdotool windowfocus --sync " + strId + " 2>&1");
    RunCommand("xdotool key Return 2>&1");
    const std::string pdf = cups.WaitForOutput(60000);
    ASSERT_FALSE(pdf.empty()) << cups.Log() << testsupport::ReadFile(dir / "lindar.log");
    const std::string text = RunCommand("pdftotext " + ShellQuote(pdf) + " -");
    EXPECT_NE(text.find("Maria Oliveira"), std::string::npos) << text;
    EXPECT_EQ(cups.OutputFiles().size(), 1u);
    lindar->Signal(SIGTERM);
    EXPECT_EQ(lindar->Wait(45000), 0);
    const std::string strLog = testsupport::ReadFile(dir / "lindar.log");
    EXPECT_EQ(strLog.find("Sanitizer"), std::string::npos) << strLog;
    EXPECT_EQ(strLog.find("runtime error:"), std::string::npos) << strLog;
}

// The default queue refuses jobs: after Enter in the print dialog the program's own box says
// so on the screen, naming the queue and the print system's reason; one job was asked for.
TEST_F(LindarPrintE2E, ARefusedPrintIsToldOnTheScreen) {
    ASSERT_TRUE(cups.AddRejectingQueue("Refuser")) << cups.Error();
    ASSERT_TRUE(cups.SetDefault("Refuser")) << cups.Error();
    ASSERT_TRUE(xvfb.StartWindowManager());
    auto lindar = Start({"-p", record}, "lindar.log");
    ASSERT_TRUE(WaitWindow("Imprimir")) << testsupport::ReadFile(dir / "lindar.log");
    const std::string strId = xvfb.WaitForWindowId("^Imprimir$");
    ASSERT_FALSE(strId.empty()) << Tree();
    testsupport::CScreenOperator op(xvfb, "^Lindar$");
    op.Answer({"Return"}, 60000);
    xvfb.Key(strId, "Return");
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u) << Tree() << testsupport::ReadFile(dir / "lindar.log");
    EXPECT_NE(boxes[0].find("Erro de Impressão: Refuser"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("not accepting jobs"), std::string::npos) << boxes[0];
    EXPECT_EQ(cups.JobRequests(), 1);
    EXPECT_TRUE(cups.OutputFiles().empty());
    lindar->Signal(SIGTERM);
    EXPECT_EQ(lindar->Wait(45000), 0);
    const std::string strLog = testsupport::ReadFile(dir / "lindar.log");
    EXPECT_EQ(strLog.find("Sanitizer"), std::string::npos) << strLog;
}

TEST_F(LindarPrintE2E, WithAUserThePrintParameterIsAPasswordAndNothingPrints) {
    for (const std::string& strPassword : {std::string("b"), record}) {
        auto lindar = Start({"-u", "a", "-p", strPassword}, "lindar.log");
        ASSERT_TRUE(WaitWindow("Lindar - Vazio")) << testsupport::ReadFile(dir / "lindar.log");
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        EXPECT_EQ(Tree().find("\"Imprimir\""), std::string::npos) << strPassword;
        EXPECT_TRUE(cups.OutputFiles().empty());
        lindar->Signal(SIGTERM);
        EXPECT_EQ(lindar->Wait(45000), 0);
    }
}

}  // namespace
